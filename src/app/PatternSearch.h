#pragma once
// The byte search of the walks across items: Boyer-Moore with the bad-character rule only,
// forward (first occurrence) and backward (last occurrence). Patterns of four bytes or more
// skip by the pair of bytes at the window's far end (a table of 65,536 one-byte shifts), which
// moves almost a whole pattern length on ordinary text; shorter ones by single bytes. Without match
// case only the ASCII letters a to z fold; every other byte, 0x80 to 0xFF included, compares
// exactly.
//
// Where the processor has vectors (SSE2 on every x86-64, AVX2 where it has it) a vector filter
// (app/VectorScan) runs first and the scalar search above finishes the few window starts at the
// text's end that a whole vector does not cover; texts shorter than a vector go to the scalar
// search alone. Every kernel finds exactly what the scalar one finds.
//
// Needs nothing but the pattern; never reads outside [text, text + n). Both directions are
// ready after Init, whatever direction a caller searches in.

#include "app/VectorScan.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CPatternSearch {
public:
    // Prepares the search for pattern (any bytes). An empty pattern never matches.
    void Init(std::string_view pattern, bool matchCase);

    // Offset of the first occurrence in text[0, n), or -1.
    std::ptrdiff_t FindForward(const char* text, std::size_t n) const;
    // Offset of the last occurrence in text[0, n), or -1.
    std::ptrdiff_t FindBackward(const char* text, std::size_t n) const;
    std::ptrdiff_t Find(std::string_view text, bool backward) const {
        return backward ? FindBackward(text.data(), text.size())
                        : FindForward(text.data(), text.size());
    }

    std::size_t Length() const { return m_pattern.size(); }
    bool MatchCase() const { return m_bMatchCase; }

    // The kernel the searches use: vscan::Best() unless set. k must be vscan::Supported; tests
    // and the fuzz target compare the kernels with it. Kept across Init.
    void UseKernel(vscan::Kernel k) { m_kernel = k; }
    vscan::Kernel Kernel() const { return m_kernel; }

private:
    vscan::Kernel m_kernel = vscan::Best();
    vscan::Pattern m_anchors; // its p is set at each search (the object may be copied)
    std::string m_pattern;    // folded to upper case without match case
    bool m_bMatchCase = true;
    // Bad-character shifts by unsigned byte value. Forward: distance from the byte's
    // rightmost place in the pattern to the pattern's end; backward: the byte's leftmost
    // place. Bytes not in the pattern shift by its whole length.
    std::array<std::uint32_t, 256> m_forward{};
    std::array<std::uint32_t, 256> m_backward{};
    // Pair shifts by slot (PairSlot in the source); empty for short patterns.
    // Forward: the pair ending the window; backward: the pair starting it. At most 255.
    std::vector<std::uint8_t> m_pairForward;
    std::vector<std::uint8_t> m_pairBackward;

    void InitPairs();
    std::ptrdiff_t ScalarForward(const unsigned char* t, std::size_t n) const;
    std::ptrdiff_t ScalarBackward(const unsigned char* t, std::size_t n) const;
};
