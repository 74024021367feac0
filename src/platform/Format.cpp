#include "platform/Format.h"

#include <cstdio>

namespace {

std::string ArgAsString(const FormatArg& a) {
    if (auto s = std::get_if<std::string>(&a))
        return *s;
    if (auto p = std::get_if<const char*>(&a))
        return *p ? *p : "";
    if (auto i = std::get_if<std::int64_t>(&a))
        return std::to_string(*i);
    return std::to_string(std::get<std::uint64_t>(a));
}

std::int64_t ArgAsSigned(const FormatArg& a) {
    if (auto i = std::get_if<std::int64_t>(&a))
        return *i;
    if (auto u = std::get_if<std::uint64_t>(&a))
        return static_cast<std::int64_t>(*u);
    return 0;
}

std::uint64_t ArgAsUnsigned(const FormatArg& a) {
    if (auto u = std::get_if<std::uint64_t>(&a))
        return *u;
    if (auto i = std::get_if<std::int64_t>(&a))
        return static_cast<std::uint32_t>(*i); // %u shows a negative int as 32-bit unsigned
    return 0;
}

std::string Pad(std::string digits, std::size_t width, bool zero) {
    bool negative = !digits.empty() && digits[0] == '-';
    if (digits.size() >= width)
        return digits;
    std::size_t fill = width - digits.size();
    if (zero && negative)
        return "-" + std::string(fill, '0') + digits.substr(1);
    return std::string(fill, zero ? '0' : ' ') + digits;
}

} // namespace

std::string FormatText(const std::string& format, const std::vector<FormatArg>& args) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        if (format[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        bool zero = false;
        if (format[j] == '0') {
            zero = true;
            ++j;
        }
        std::size_t width = 0;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9')
            width = width * 10 + static_cast<std::size_t>(format[j++] - '0');
        if (j >= format.size()) {
            out.append(format, i, std::string::npos);
            break;
        }
        char conv = format[j];
        if (conv != 's' && conv != 'd' && conv != 'u' && conv != 'i') {
            out.append(format, i, j - i + 1);
            i = j;
            continue;
        }
        FormatArg arg = next < args.size() ? args[next] : FormatArg(std::string());
        ++next;
        std::string text;
        if (conv == 's')
            text = ArgAsString(arg);
        else if (conv == 'u')
            text = std::to_string(ArgAsUnsigned(arg));
        else
            text = std::to_string(ArgAsSigned(arg));
        out += Pad(text, width, zero && conv != 's');
        i = j;
    }
    return out;
}

std::string FormatString1(const std::string& format, const std::string& arg) {
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '1') {
            out += arg;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}
