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

constexpr std::size_t kPairMinLength = 4;

// Pairs share 4,096 slots so that the table stays in the nearest cache; a slot holds the
// smallest shift of the pairs that share it, which is safe for each of them.
inline unsigned PairSlot(Byte a, Byte b) {
    return (static_cast<unsigned>(a) << 4) ^ b;
}

// The pair table's shift is zero for the pairs equal (under the case rule) to the pattern's
// last two bytes (forward) or first two (backward), and for pairs that share their slot.
template <typename Rule>
bool WindowMatches(const Byte* t, std::size_t last, const Byte* p, std::size_t m) {
    const Byte* w = t + (last + 1 - m);
    std::size_t j = 0;
    while (j < m && Rule::Key(w[j]) == p[j])
        ++j;
    return j == m;
}

// The first match whose last byte lies in [i, end), end <= n; -1 for none.
template <typename Rule>
std::ptrdiff_t PairForwardRange(const Byte* t, std::size_t i, std::size_t end, const Byte* p,
                                std::size_t m, const std::uint8_t* pairs) {
    while (i < end) {
        std::uint8_t s = pairs[PairSlot(t[i - 1], t[i])];
        if (s != 0) {
            i += s;
        } else {
            if (WindowMatches<Rule>(t, i, p, m))
                return static_cast<std::ptrdiff_t>(i + 1 - m);
            ++i;
        }
    }
    return -1;
}

constexpr std::size_t kTwoChainsFrom = 4096;

// Long texts are searched in two halves at once: the two chains of dependent loads overlap,
// which nearly doubles the speed. The first half's match, when there is one, comes first.
template <typename Rule>
std::ptrdiff_t PairForward(const Byte* t, std::size_t n, const Byte* p, std::size_t m,
                           const std::uint8_t* pairs) {
    if (n < m)
        return -1;
    if (n < kTwoChainsFrom)
        return PairForwardRange<Rule>(t, m - 1, n, p, m, pairs);
    const std::size_t half = (n - m + 1) / 2;             // windows starting before it: first chain
    std::size_t a = m - 1, aEnd = half + m - 1, b = aEnd; // indices of windows' last bytes
    std::ptrdiff_t second = -1;
    while (a < aEnd && b < n) {
        std::uint8_t sa = pairs[PairSlot(t[a - 1], t[a])];
        std::uint8_t sb = pairs[PairSlot(t[b - 1], t[b])];
        a += sa;
        b += sb;
        if (sa == 0) {
            if (WindowMatches<Rule>(t, a, p, m))
                return static_cast<std::ptrdiff_t>(a + 1 - m);
            ++a;
        }
        if (sb == 0) {
            if (WindowMatches<Rule>(t, b, p, m)) {
                second = static_cast<std::ptrdiff_t>(b + 1 - m);
                break;
            }
            ++b;
        }
    }
    std::ptrdiff_t first = PairForwardRange<Rule>(t, a, aEnd, p, m, pairs);
    if (first >= 0)
        return first;
    return second >= 0 ? second : PairForwardRange<Rule>(t, b, n, p, m, pairs);
}

template <typename Rule>
std::ptrdiff_t PairBackward(const Byte* t, std::size_t n, const Byte* p, std::size_t m,
                            const std::uint8_t* pairs) {
    if (n < m)
        return -1;
    std::size_t s = n - m; // the window's start
    for (;;) {
        for (std::uint8_t d; (d = pairs[PairSlot(t[s], t[s + 1])]) != 0;) {
            if (d > s)
                return -1;
            s -= d;
        }
        std::size_t j = 0;
        while (j < m && Rule::Key(t[s + j]) == p[j])
            ++j;
        if (j == m)
            return static_cast<std::ptrdiff_t>(s);
        if (s == 0)
            return -1;
        --s;
    }
}

} // namespace

void CPatternSearch::InitPairs() {
    const std::size_t m = m_pattern.size();
    m_pairForward.clear();
    m_pairBackward.clear();
    if (m < kPairMinLength)
        return;
    const auto whole = static_cast<std::uint8_t>(std::min<std::size_t>(m - 1, 255));
    m_pairForward.assign(4096, whole);
    m_pairBackward.assign(4096, whole);
    auto set = [&](std::vector<std::uint8_t>& table, std::size_t k, std::size_t value) {
        auto v = static_cast<std::uint8_t>(std::min<std::size_t>(value, 255));
        auto a = static_cast<Byte>(m_pattern[k]), b = static_cast<Byte>(m_pattern[k + 1]);
        for (Byte x : {a, m_bMatchCase ? a : OtherCase(a)})
            for (Byte y : {b, m_bMatchCase ? b : OtherCase(b)})
                table[PairSlot(x, y)] = std::min(table[PairSlot(x, y)], v);
    };
    for (std::size_t k = 0; k + 1 < m; ++k) // the smallest shift wins
        set(m_pairForward, k, m - 2 - k);
    for (std::size_t k = 0; k + 1 < m; ++k)
        set(m_pairBackward, k, k);
}

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
    InitPairs();
    if (!matchCase)
        for (char& c : m_pattern)
            c = static_cast<char>(FoldAscii(static_cast<Byte>(c)));
    m_anchors = vscan::Pattern{};
    m_anchors.m = m;
    m_anchors.matchCase = matchCase;
    if (m > 0) {
        m_anchors.p = reinterpret_cast<const Byte*>(m_pattern.data());
        vscan::ChooseAnchors(m_anchors);
        m_anchors.p = nullptr;
    }
}

std::ptrdiff_t CPatternSearch::FindForward(const char* text, std::size_t n) const {
    const auto* t = reinterpret_cast<const Byte*>(text);
    const std::size_t m = m_pattern.size();
    if (m_kernel == vscan::Kernel::Scalar || m == 0 || n < m || (m == 1 && m_bMatchCase))
        return ScalarForward(t, n);
    vscan::Pattern pat = m_anchors;
    pat.p = reinterpret_cast<const Byte*>(m_pattern.data());
    std::size_t next = 0;
    std::ptrdiff_t hit = vscan::Forward(m_kernel, pat, t, n, next);
    if (hit >= 0 || next > n - m)
        return hit;
    std::ptrdiff_t rest = ScalarForward(t + next, n - next);
    return rest < 0 ? -1 : rest + static_cast<std::ptrdiff_t>(next);
}

std::ptrdiff_t CPatternSearch::FindBackward(const char* text, std::size_t n) const {
    const auto* t = reinterpret_cast<const Byte*>(text);
    const std::size_t m = m_pattern.size();
    if (m_kernel == vscan::Kernel::Scalar || m == 0 || n < m)
        return ScalarBackward(t, n);
    vscan::Pattern pat = m_anchors;
    pat.p = reinterpret_cast<const Byte*>(m_pattern.data());
    std::size_t lowest = 0;
    std::ptrdiff_t hit = vscan::Backward(m_kernel, pat, t, n, lowest);
    if (hit >= 0 || lowest == 0)
        return hit;
    return ScalarBackward(t, lowest + m - 1); // the windows that start below lowest
}

std::ptrdiff_t CPatternSearch::ScalarForward(const Byte* t, std::size_t n) const {
    const auto* p = reinterpret_cast<const Byte*>(m_pattern.data());
    const std::size_t m = m_pattern.size();
    if (m == 1 && m_bMatchCase) {
        if (n == 0)
            return -1;
        const void* hit = std::memchr(t, p[0], n);
        return hit ? static_cast<const Byte*>(hit) - t : -1;
    }
    if (!m_pairForward.empty())
        return m_bMatchCase ? PairForward<Exact>(t, n, p, m, m_pairForward.data())
                            : PairForward<Folded>(t, n, p, m, m_pairForward.data());
    return m_bMatchCase ? Forward<Exact>(t, n, p, m, m_forward.data())
                        : Forward<Folded>(t, n, p, m, m_forward.data());
}

std::ptrdiff_t CPatternSearch::ScalarBackward(const Byte* t, std::size_t n) const {
    const auto* p = reinterpret_cast<const Byte*>(m_pattern.data());
    const std::size_t m = m_pattern.size();
    if (!m_pairBackward.empty())
        return m_bMatchCase ? PairBackward<Exact>(t, n, p, m, m_pairBackward.data())
                            : PairBackward<Folded>(t, n, p, m, m_pairBackward.data());
    return m_bMatchCase ? Backward<Exact>(t, n, p, m, m_backward.data())
                        : Backward<Folded>(t, n, p, m, m_backward.data());
}
