// Feeds arbitrary texts and patterns to the searches across items, as stored texts from any
// file reach them: the byte search must agree with a plain scan with every kernel this
// processor runs (scalar and vector), and a match found in stored bytes must map into the
// shown text.
#include "app/PatternSearch.h"
#include "app/StoredPattern.h"

#include <string>

namespace {

bool Equal(const std::string& t, std::size_t i, const std::string& p, bool matchCase) {
    auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    for (std::size_t k = 0; k < p.size(); ++k) {
        auto a = static_cast<unsigned char>(t[i + k]), b = static_cast<unsigned char>(p[k]);
        if (matchCase ? a != b : fold(a) != fold(b))
            return false;
    }
    return true;
}

std::ptrdiff_t Scan(const std::string& t, const std::string& p, bool matchCase, bool backward) {
    if (p.empty() || t.size() < p.size())
        return -1;
    std::size_t last = t.size() - p.size();
    for (std::size_t n = 0; n <= last; ++n) {
        std::size_t i = backward ? last - n : n;
        if (Equal(t, i, p, matchCase))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

} // namespace

// Input: one byte of flags, one byte of pattern length, the pattern, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    bool matchCase = data[0] & 1, backward = data[0] & 2;
    std::size_t m = std::min<std::size_t>(data[1], size - 2);
    std::string pattern(reinterpret_cast<const char*>(data + 2), m);
    std::string text(reinterpret_cast<const char*>(data + 2 + m), size - 2 - m);
    // The text's own bytes repeated make long texts (the two-halves path) from short inputs.
    if (data[0] & 4)
        while (!text.empty() && text.size() < 5000)
            text += text;

    const std::ptrdiff_t want = Scan(text, pattern, matchCase, backward);
    for (vscan::Kernel k : {vscan::Kernel::Scalar, vscan::Kernel::Sse2, vscan::Kernel::Avx2}) {
        if (!vscan::Supported(k))
            continue;
        CPatternSearch search;
        search.UseKernel(k);
        search.Init(pattern, matchCase);
        if (search.Find(text, backward) != want)
            __builtin_trap();
    }

    CStoredPattern stored;
    stored.Init(pattern, matchCase);
    PatternMatch match = stored.Find(text, backward);
    if (match) {
        if (static_cast<std::size_t>(match.nPos) + match.nLength > text.size())
            __builtin_trap();
        ShownRange r = StoredToShown(text, static_cast<std::size_t>(match.nPos), match.nLength);
        (void)r;
    }
    return 0;
}
