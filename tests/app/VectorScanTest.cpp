// The vector kernels of the byte search against the scalar search they replace: the same
// first and last hits on every input, above all near the edges of the vector blocks.
#include "app/PatternSearch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<vscan::Kernel> VectorKernels() {
    std::vector<vscan::Kernel> out;
    for (vscan::Kernel k : {vscan::Kernel::Sse2, vscan::Kernel::Avx2})
        if (vscan::Supported(k))
            out.push_back(k);
    return out;
}

std::ptrdiff_t FindWith(vscan::Kernel k, const std::string& text, const std::string& pattern,
                        bool matchCase, bool backward) {
    CPatternSearch s;
    s.UseKernel(k);
    s.Init(pattern, matchCase);
    return s.Find(text, backward);
}

// Every vector kernel agrees with the scalar one, both directions; returns the scalar answer.
std::ptrdiff_t ExpectAgree(const std::string& text, const std::string& pattern, bool matchCase,
                           bool backward) {
    std::ptrdiff_t want = FindWith(vscan::Kernel::Scalar, text, pattern, matchCase, backward);
    for (vscan::Kernel k : VectorKernels())
        EXPECT_EQ(FindWith(k, text, pattern, matchCase, backward), want)
            << "kernel " << static_cast<int>(k) << " text size " << text.size() << " pattern \""
            << pattern << "\" case " << matchCase << " backward " << backward;
    return want;
}

void ExpectAgreeAllWays(const std::string& text, const std::string& pattern) {
    for (bool matchCase : {true, false})
        for (bool backward : {false, true})
            ExpectAgree(text, pattern, matchCase, backward);
}

} // namespace

TEST(VectorScan, TheBestKernelRunsHereAndStaysAcrossInit) {
    EXPECT_TRUE(vscan::Supported(vscan::Best()));
    EXPECT_TRUE(vscan::Supported(vscan::Kernel::Scalar));
    CPatternSearch s;
    s.UseKernel(vscan::Kernel::Scalar);
    s.Init("pattern", false);
    EXPECT_EQ(s.Kernel(), vscan::Kernel::Scalar);
}

TEST(VectorScan, AgreesWithTheScalarSearchOnRandomTexts) {
    std::mt19937 rng(8122026);
    const std::string small = "aAbB@`\x80\xE1\xC1z";
    for (int round = 0; round < 4000; ++round) {
        // Small alphabets make candidates and near misses common; 256 covers every byte.
        std::size_t alphabet = round % 3 == 0 ? 256 : (round % 3 == 1 ? 3 : small.size());
        auto pick = [&] {
            unsigned v = rng() % alphabet;
            return alphabet == 256 ? static_cast<char>(v) : small[v];
        };
        std::string text(rng() % 300, '\0'), pattern(1 + rng() % (round % 8 == 0 ? 70 : 6), '\0');
        for (char& c : text)
            c = pick();
        for (char& c : pattern)
            c = pick();
        if (round % 2 == 0 && text.size() >= pattern.size()) // plant a hit, often with other case
            text.replace(rng() % (text.size() - pattern.size() + 1), pattern.size(), pattern);
        ExpectAgreeAllWays(text, pattern);
    }
}

TEST(VectorScan, FindsAHitAtEveryOffsetAroundTheBlockEdges) {
    for (std::size_t size : {15u, 16u, 17u, 31u, 32u, 33u, 47u, 63u, 64u, 65u, 95u, 97u, 130u}) {
        for (std::size_t m : {1u, 2u, 3u, 5u, 16u, 17u, 33u}) {
            if (m > size)
                continue;
            std::string pattern;
            for (std::size_t k = 0; k < m; ++k)
                pattern += static_cast<char>('a' + (k * 7) % 26);
            pattern[m / 2] = 'Q'; // a rare letter in the middle, a capital to fold
            for (std::size_t at = 0; at + m <= size; ++at) {
                std::string text(size, '.');
                text.replace(at, m, pattern);
                for (bool matchCase : {true, false})
                    for (bool backward : {false, true})
                        EXPECT_EQ(ExpectAgree(text, pattern, matchCase, backward),
                                  static_cast<std::ptrdiff_t>(at))
                            << "size " << size << " m " << m << " at " << at;
                // The other case matches only without match case.
                std::string upper = text;
                for (char& c : upper)
                    if (c >= 'a' && c <= 'z')
                        c = static_cast<char>(c - 32);
                EXPECT_EQ(ExpectAgree(upper, pattern, false, false),
                          static_cast<std::ptrdiff_t>(at));
                if (pattern != std::string(upper, at, m)) {
                    EXPECT_EQ(ExpectAgree(upper, pattern, true, false), -1);
                }
            }
        }
    }
}

TEST(VectorScan, TheFirstAndTheLastOfManyHitsAcrossBlocks) {
    // Hits in several blocks, the text's first and last windows among them: forward must
    // report the lowest, backward the highest, whichever block a kernel reaches first.
    for (std::size_t size : {40u, 64u, 100u, 200u}) {
        std::string text(size, 'x');
        for (std::size_t at : {std::size_t{0}, size / 3, size / 2 + 1, size - 3})
            text.replace(at, 3, "abc");
        EXPECT_EQ(ExpectAgree(text, "abc", true, false), 0);
        EXPECT_EQ(ExpectAgree(text, "abc", true, true), static_cast<std::ptrdiff_t>(size - 3));
        EXPECT_EQ(ExpectAgree(text, "ABC", false, true), static_cast<std::ptrdiff_t>(size - 3));
    }
}

TEST(VectorScan, FoldsOnlyTheAsciiLettersInsideTheVectors) {
    // '@' and '`', '[' and '{', 0xC1 and 0xE1 differ by the case bit but are no letters.
    const std::string filler(70, '-');
    struct Case {
        std::string pattern, inText;
        bool foldedHit;
    } cases[] = {
        {"@", "`", false},        {"`", "@", false},       {"[x", "{x", false},
        {"a@", "A`", false},      {"A@", "a@", true},      {"\xC1z", "\xE1z", false},
        {"\xC1Z", "\xC1z", true}, {"^_", "~\x7F", false},  {"zZ", "Zz", true},
        {"a\x80", "A\x80", true}, {"\x9A", "\xBA", false}, {"1!", "1\x01", false},
    };
    for (const Case& c : cases) {
        for (std::size_t at : {0u, 15u, 31u, 40u, 68u - 1u}) {
            std::string text = filler;
            text.replace(at, c.inText.size(), c.inText);
            std::ptrdiff_t want = c.foldedHit ? static_cast<std::ptrdiff_t>(at) : -1;
            for (bool backward : {false, true}) {
                EXPECT_EQ(ExpectAgree(text, c.pattern, false, backward), want)
                    << "pattern \"" << c.pattern << "\" at " << at;
                EXPECT_EQ(ExpectAgree(text, c.pattern, true, backward),
                          c.pattern == c.inText ? static_cast<std::ptrdiff_t>(at) : -1);
            }
        }
    }
}

TEST(VectorScan, PatternsOfOneRepeatedByteAndEveryLength) {
    // Every window is a candidate: the kernels must still report the exact first and last.
    std::string text(150, 'a');
    text[75] = 'b';
    for (std::size_t m = 1; m <= 80; ++m) {
        ExpectAgreeAllWays(text, std::string(m, 'a'));
        ExpectAgreeAllWays(text, std::string(m, 'A'));
        ExpectAgreeAllWays(text, std::string(m - 1, 'a') + "b");
    }
}
