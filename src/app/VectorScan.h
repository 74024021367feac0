#pragma once
// The vector candidate filter of the byte search: two bytes of the pattern (its rarest, by a
// table of how often bytes occur in text) are compared at 16 (SSE2) or 32 (AVX2) window
// starts at once, and only a window whose two bytes both match is compared in whole. Without
// match case an ASCII letter is compared with the 0x20 bit set on both sides, which equates
// exactly its two cases and nothing else; every other byte compares exactly.
//
// The kernels examine the window starts that whole vectors cover and leave the rest (at most
// a vector's width of starts at one end) to the caller's scalar search. They read nothing
// outside [text, text + n).

#include <cstddef>
#include <cstdint>

namespace vscan {

// Which kernel runs. Scalar is the reference every other kernel agrees with.
enum class Kernel { Scalar, Sse2, Avx2 };

// The fastest kernel this processor runs (decided once, at the first call).
Kernel Best();
// Whether this processor (and this build) runs kernel k.
bool Supported(Kernel k);

// A pattern as the kernels take it. p: the pattern's bytes, folded to upper case without
// match case; m >= 1. The anchors are positions in p with the byte each must equal once
// or-ed with its mask (0x20 for a folded letter, else 0).
struct Pattern {
    const unsigned char* p = nullptr;
    std::size_t m = 0;
    bool matchCase = true;
    std::size_t pos1 = 0, pos2 = 0;
    unsigned char byte1 = 0, byte2 = 0;
    unsigned char mask1 = 0, mask2 = 0;
};

// Chooses the anchors for p[0, m) (m >= 1): the rarest byte and the rarest other byte.
void ChooseAnchors(Pattern& pat);

// Both need n >= pat.m.
// Forward: the first matching window start in the blocks examined, or -1. next is set to the
// first start not examined; starts from next on are the caller's (next is 0 when no block fit).
std::ptrdiff_t Forward(Kernel k, const Pattern& pat, const unsigned char* t, std::size_t n,
                       std::size_t& next);
// Backward: the last matching window start in the blocks examined, or -1. lowest is set to the
// lowest start examined; starts below it are the caller's (lowest is n - m + 1, one past the
// last start, when no block fit).
std::ptrdiff_t Backward(Kernel k, const Pattern& pat, const unsigned char* t, std::size_t n,
                        std::size_t& lowest);

} // namespace vscan
