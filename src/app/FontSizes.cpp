#include "app/FontSizes.h"

#include "app/Records.h"

#include <cctype>
#include <climits>

namespace fontsize {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

int Parse(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i == text.size())
        return kEmpty;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (value < INT_MAX)
            value = value * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (digits == 0 || i != text.size())
        return kNotNumber;
    if (negative || value <= 0)
        return 0;
    if (value > INT_MAX / 20)
        return INT_MAX; // beyond every limit; the caller's range check refuses it
    return static_cast<int>(value * 20);
}

std::string ToText(int twentieths) {
    if (twentieths <= 0)
        return {};
    return std::to_string((twentieths + 10) / 20);
}

LONG HeightFromSize(int typed, int lastSize, int logPixelsY) {
    int n = typed;
    if (n == kNotNumber || (n >= 0 && n < 20) || n > kMaxTwips)
        n = lastSize;
    if (n < 0)
        n = 0; // an empty box: the default size
    return -MulDiv(n, logPixelsY, 1440);
}

int FromCharHeight(int pixels, int logPixelsY) {
    return MulDiv(pixels, 1440, logPixelsY > 0 ? logPixelsY : 96);
}

} // namespace fontsize
