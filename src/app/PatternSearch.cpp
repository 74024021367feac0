#include "app/PatternSearch.h"

#include <algorithm>
#include <cstring>

namespace {

using Byte = unsigned char;

Byte FoldAscii(Byte c) {
    return c >= 'a' && c <= 'z' ? static_cast<Byte>(c - 32) : c;
}

// The other case of an ASCII letter, or the byte itself.
Byte OtherCase(Byte c) {
    if (c >= 'a' && c <= 'z')
        return static_cast<Byte>(c - 32);
    if (c >= 'A' && c <= 'Z')
        return static_cast<Byte>(c + 32);
    return c;
}

struct Exact {
    static Byte Key(Byte c) { return c; }
};
struct Folded {
    static Byte Key(Byte c) { return FoldAscii(c); }
};

// The shift table is zero exactly for the bytes equal (under the case rule) to the pattern's
// last byte, so the inner skip loop doubles as the test of the window's last byte.
template <typename Rule>
std::ptrdiff_t Forward(const Byte* t, std::size_t n, const Byte* p, std::size_t m,
                       const std::uint32_t* skip) {
    if (m == 0 || n < m)
        return -1;
    const std::size_t last = m - 1;
    std::size_t i = last; // text index under the pattern's last byte
    for (;;) {
        for (std::uint32_t s; (s = skip[t[i]]) != 0;) {
            i += s;
            if (i >= n)
                return -1;
        }
        std::size_t k = i, j = last;
        while (j > 0 && Rule::Key(t[k - 1]) == p[j - 1]) {
            --k;
            --j;
        }
        if (j == 0)
            return static_cast<std::ptrdiff_t>(k);
        --k; // the mismatch: text k against pattern j - 1
        i = k + std::max<std::size_t>(m - (j - 1), skip[t[k]]);
        if (i >= n)
            return -1;
    }
}

template <typename Rule>
std::ptrdiff_t Backward(const Byte* t, std::size_t n, const Byte* p, std::size_t m,
                        const std::uint32_t* skip) {
    if (m == 0 || n < m)
        return -1;
    std::size_t s = n - m; // the window's start
    for (;;) {
        for (std::uint32_t d; (d = skip[t[s]]) != 0;) {
            if (d > s)
                return -1;
            s -= d;
        }
        std::size_t j = 1;
        while (j < m && Rule::Key(t[s + j]) == p[j])
            ++j;
        if (j == m)
            return static_cast<std::ptrdiff_t>(s);
        std::size_t d = std::max<std::size_t>(j + 1, skip[t[s + j]]);
        if (d > s + j)
            return -1;
        s = s + j - d;
    }
}

} // namespace

void CPatternSearch::Init(std::string_view pattern, bool matchCase) {
    m_bMatchCase = matchCase;
    m_pattern.assign(pattern);
    const std::size_t m = m_pattern.size();
    const auto whole = static_cast<std::uint32_t>(std::min<std::size_t>(m, UINT32_MAX));
    m_forward.fill(whole);
    m_backward.fill(whole);
    auto set = [&](std::array<std::uint32_t, 256>& table, Byte c, std::size_t value) {
        auto v = static_cast<std::uint32_t>(std::min<std::size_t>(value, UINT32_MAX));
        table[c] = v;
        if (!matchCase)
            table[OtherCase(c)] = v;
    };
    for (std::size_t k = 0; k < m; ++k) // the rightmost place wins
        set(m_forward, static_cast<Byte>(m_pattern[k]), m - 1 - k);
    for (std::size_t k = m; k-- > 0;) // the leftmost place wins
        set(m_backward, static_cast<Byte>(m_pattern[k]), k);
    if (!matchCase)
        for (char& c : m_pattern)
            c = static_cast<char>(FoldAscii(static_cast<Byte>(c)));
}

std::ptrdiff_t CPatternSearch::FindForward(const char* text, std::size_t n) const {
    const auto* t = reinterpret_cast<const Byte*>(text);
    const auto* p = reinterpret_cast<const Byte*>(m_pattern.data());
    const std::size_t m = m_pattern.size();
    if (m == 1 && m_bMatchCase && n > 0) {
        const void* hit = std::memchr(t, p[0], n);
        return hit ? static_cast<const Byte*>(hit) - t : -1;
    }
    return m_bMatchCase ? Forward<Exact>(t, n, p, m, m_forward.data())
                        : Forward<Folded>(t, n, p, m, m_forward.data());
}

std::ptrdiff_t CPatternSearch::FindBackward(const char* text, std::size_t n) const {
    const auto* t = reinterpret_cast<const Byte*>(text);
    const auto* p = reinterpret_cast<const Byte*>(m_pattern.data());
    const std::size_t m = m_pattern.size();
    return m_bMatchCase ? Backward<Exact>(t, n, p, m, m_backward.data())
                        : Backward<Folded>(t, n, p, m, m_backward.data());
}
