#include "app/VectorScan.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define NOTA_VECTOR_SCAN 1
#endif

namespace vscan {

namespace {

using Byte = unsigned char;

// How common each byte is in text, 0 (never seen) to 255 (the space). Letters of English
// prose and source code first, then capitals, digits and punctuation; control bytes and
// bytes of other encodings last. Only the order matters.
std::array<Byte, 256> MakeRanks() {
    std::array<Byte, 256> r{};
    for (int b = 0x80; b < 0x100; ++b)
        r[b] = 40;
    for (int b = 0x21; b < 0x7F; ++b)
        r[b] = 60; // punctuation
    for (int b = '0'; b <= '9'; ++b)
        r[b] = 90;
    for (int b = 'A'; b <= 'Z'; ++b)
        r[b] = 80;
    for (const char* s = "TAISCMBPHWDRE"; *s; ++s)
        r[static_cast<Byte>(*s)] = 110;
    r['\t'] = 100;
    r['\r'] = r['\n'] = 170;
    r[','] = r['.'] = 180;
    const char* byFrequency = "etaoinsrhldcumfpgwybvkxjqz"; // most common first
    for (int i = 0; byFrequency[i]; ++i)
        r[static_cast<Byte>(byFrequency[i])] = static_cast<Byte>(250 - 6 * i);
    r[' '] = 255;
    return r;
}

const std::array<Byte, 256>& Ranks() {
    static const std::array<Byte, 256> ranks = MakeRanks();
    return ranks;
}

bool IsUpper(Byte c) {
    return c >= 'A' && c <= 'Z';
}

// How common pattern byte c is under the case rule (a folded letter stands for both cases).
unsigned RankOf(Byte c, bool matchCase) {
    const auto& r = Ranks();
    if (!matchCase && IsUpper(c))
        return r[c] > r[c | 0x20] ? r[c] : r[c | 0x20];
    return r[c];
}

Byte FoldAscii(Byte c) {
    return c >= 'a' && c <= 'z' ? static_cast<Byte>(c - 32) : c;
}

// The whole window at t against the pattern, under its case rule.
inline bool Verify(const Pattern& pat, const Byte* t) {
    if (pat.matchCase)
        return std::memcmp(t, pat.p, pat.m) == 0;
    for (std::size_t k = 0; k < pat.m; ++k)
        if (FoldAscii(t[k]) != pat.p[k])
            return false;
    return true;
}

// The lowest (forward) or highest (backward) window start of the candidates in mask (bit b:
// start s + b) that verifies, or -1.
inline std::ptrdiff_t FirstVerified(const Pattern& pat, const Byte* t, std::size_t s,
                                    std::uint32_t mask) {
    for (; mask != 0; mask &= mask - 1) {
        std::size_t start = s + static_cast<std::size_t>(__builtin_ctz(mask));
        if (Verify(pat, t + start))
            return static_cast<std::ptrdiff_t>(start);
    }
    return -1;
}

inline std::ptrdiff_t LastVerified(const Pattern& pat, const Byte* t, std::size_t s,
                                   std::uint32_t mask) {
    while (mask != 0) {
        int bit = 31 - __builtin_clz(mask);
        std::size_t start = s + static_cast<std::size_t>(bit);
        if (Verify(pat, t + start))
            return static_cast<std::ptrdiff_t>(start);
        mask &= ~(std::uint32_t{1} << bit);
    }
    return -1;
}

#if defined(NOTA_VECTOR_SCAN)

// Candidates among the 16 window starts from s: bit b set when both anchors match at s + b.
struct Sse2 {
    static constexpr std::size_t kWidth = 16;
    __m128i b1, b2, m1, m2;
    explicit Sse2(const Pattern& pat)
        : b1(_mm_set1_epi8(static_cast<char>(pat.byte1))),
          b2(_mm_set1_epi8(static_cast<char>(pat.byte2))),
          m1(_mm_set1_epi8(static_cast<char>(pat.mask1))),
          m2(_mm_set1_epi8(static_cast<char>(pat.mask2))) {}
    std::uint32_t Candidates(const Byte* w1, const Byte* w2) const {
        __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w1)), m1);
        __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w2)), m2);
        __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(a, b1), _mm_cmpeq_epi8(b, b2));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(eq));
    }
};

#define NOTA_AVX2 __attribute__((target("avx2")))

struct Avx2 {
    static constexpr std::size_t kWidth = 32;
    __m256i b1, b2, m1, m2;
    NOTA_AVX2 explicit Avx2(const Pattern& pat)
        : b1(_mm256_set1_epi8(static_cast<char>(pat.byte1))),
          b2(_mm256_set1_epi8(static_cast<char>(pat.byte2))),
          m1(_mm256_set1_epi8(static_cast<char>(pat.mask1))),
          m2(_mm256_set1_epi8(static_cast<char>(pat.mask2))) {}
    NOTA_AVX2 std::uint32_t Candidates(const Byte* w1, const Byte* w2) const {
        __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(w1)), m1);
        __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(w2)), m2);
        __m256i eq = _mm256_and_si256(_mm256_cmpeq_epi8(a, b1), _mm256_cmpeq_epi8(b, b2));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(eq));
    }
};

// The block loops, written once for both widths. The blocks of window starts [s, s + W) need
// s + W - 1 + m <= n, so that every load and every window lies inside the text. Forward takes
// two blocks a turn while they fit, which halves the tests of the candidate masks.
#define NOTA_FORWARD_BODY(V)                                                                       \
    const V v(pat);                                                                                \
    constexpr std::size_t W = V::kWidth;                                                           \
    const Byte* a1 = t + pat.pos1;                                                                 \
    const Byte* a2 = t + pat.pos2;                                                                 \
    std::size_t s = 0;                                                                             \
    for (; s + 2 * W - 1 + pat.m <= n; s += 2 * W) {                                               \
        std::uint32_t lo = v.Candidates(a1 + s, a2 + s);                                           \
        std::uint32_t hi = v.Candidates(a1 + s + W, a2 + s + W);                                   \
        if ((lo | hi) == 0)                                                                        \
            continue;                                                                              \
        std::ptrdiff_t hit = FirstVerified(pat, t, s, lo);                                         \
        if (hit < 0)                                                                               \
            hit = FirstVerified(pat, t, s + W, hi);                                                \
        if (hit >= 0)                                                                              \
            return hit;                                                                            \
    }                                                                                              \
    for (; s + W - 1 + pat.m <= n; s += W) {                                                       \
        std::ptrdiff_t hit = FirstVerified(pat, t, s, v.Candidates(a1 + s, a2 + s));               \
        if (hit >= 0)                                                                              \
            return hit;                                                                            \
    }                                                                                              \
    next = s;                                                                                      \
    return -1;

#define NOTA_BACKWARD_BODY(V)                                                                      \
    const V v(pat);                                                                                \
    constexpr std::size_t W = V::kWidth;                                                           \
    const Byte* a1 = t + pat.pos1;                                                                 \
    const Byte* a2 = t + pat.pos2;                                                                 \
    lowest = n - pat.m + 1; /* one past the last start */                                          \
    while (lowest >= W) {                                                                          \
        std::size_t s = lowest - W;                                                                \
        std::ptrdiff_t hit = LastVerified(pat, t, s, v.Candidates(a1 + s, a2 + s));                \
        if (hit >= 0)                                                                              \
            return hit;                                                                            \
        lowest = s;                                                                                \
    }                                                                                              \
    return -1;

std::ptrdiff_t ForwardSse2(const Pattern& pat, const Byte* t, std::size_t n,
                           std::size_t& next){NOTA_FORWARD_BODY(Sse2)} std::ptrdiff_t
    BackwardSse2(const Pattern& pat, const Byte* t, std::size_t n,
                 std::size_t& lowest){NOTA_BACKWARD_BODY(Sse2)} NOTA_AVX2 std::ptrdiff_t
    ForwardAvx2(const Pattern& pat, const Byte* t, std::size_t n,
                std::size_t& next){NOTA_FORWARD_BODY(Avx2)} NOTA_AVX2 std::ptrdiff_t
    BackwardAvx2(const Pattern& pat, const Byte* t, std::size_t n, std::size_t& lowest) {
    NOTA_BACKWARD_BODY(Avx2)
}

#undef NOTA_FORWARD_BODY
#undef NOTA_BACKWARD_BODY

#endif // NOTA_VECTOR_SCAN

} // namespace

bool Supported(Kernel k) {
#if defined(NOTA_VECTOR_SCAN)
    if (k == Kernel::Avx2) {
        static const bool avx2 = __builtin_cpu_supports("avx2");
        return avx2;
    }
    return true;
#else
    return k == Kernel::Scalar;
#endif
}

Kernel Best() {
    if (Supported(Kernel::Avx2))
        return Kernel::Avx2;
    return Supported(Kernel::Sse2) ? Kernel::Sse2 : Kernel::Scalar;
}

void ChooseAnchors(Pattern& pat) {
    std::size_t first = 0;
    for (std::size_t k = 1; k < pat.m; ++k)
        if (RankOf(pat.p[k], pat.matchCase) < RankOf(pat.p[first], pat.matchCase))
            first = k;
    // The second anchor: the rarest other byte value, else the rarest other place.
    std::size_t second = first;
    bool otherValue = false;
    for (std::size_t k = 0; k < pat.m; ++k) {
        if (k == first)
            continue;
        bool differs = pat.p[k] != pat.p[first];
        if (second == first || (differs && !otherValue) ||
            (differs == otherValue &&
             RankOf(pat.p[k], pat.matchCase) < RankOf(pat.p[second], pat.matchCase))) {
            second = k;
            otherValue = differs;
        }
    }
    auto maskOf = [&](Byte c) -> Byte { return !pat.matchCase && IsUpper(c) ? 0x20 : 0; };
    pat.pos1 = first;
    pat.pos2 = second;
    pat.mask1 = maskOf(pat.p[first]);
    pat.mask2 = maskOf(pat.p[second]);
    pat.byte1 = static_cast<Byte>(pat.p[first] | pat.mask1);
    pat.byte2 = static_cast<Byte>(pat.p[second] | pat.mask2);
}

std::ptrdiff_t Forward(Kernel k, const Pattern& pat, const Byte* t, std::size_t n,
                       std::size_t& next) {
    next = 0;
#if defined(NOTA_VECTOR_SCAN)
    if (k == Kernel::Avx2)
        return ForwardAvx2(pat, t, n, next);
    if (k == Kernel::Sse2)
        return ForwardSse2(pat, t, n, next);
#else
    (void)k, (void)pat, (void)t, (void)n;
#endif
    return -1;
}

std::ptrdiff_t Backward(Kernel k, const Pattern& pat, const Byte* t, std::size_t n,
                        std::size_t& lowest) {
    lowest = n - pat.m + 1;
#if defined(NOTA_VECTOR_SCAN)
    if (k == Kernel::Avx2)
        return BackwardAvx2(pat, t, n, lowest);
    if (k == Kernel::Sse2)
        return BackwardSse2(pat, t, n, lowest);
#else
    (void)k, (void)t;
#endif
    return -1;
}

} // namespace vscan
