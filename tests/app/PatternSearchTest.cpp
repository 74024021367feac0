#include "app/PatternSearch.h"
#include "app/StoredPattern.h"

#include <gtest/gtest.h>

#include <random>

namespace {

unsigned char Fold(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

bool EqualAt(const std::string& t, std::size_t i, const std::string& p, bool matchCase) {
    for (std::size_t k = 0; k < p.size(); ++k) {
        auto a = static_cast<unsigned char>(t[i + k]), b = static_cast<unsigned char>(p[k]);
        if (matchCase ? a != b : Fold(a) != Fold(b))
            return false;
    }
    return true;
}

// The reference: every position tried in turn.
std::ptrdiff_t Naive(const std::string& t, const std::string& p, bool matchCase, bool backward) {
    if (p.empty() || t.size() < p.size())
        return -1;
    std::size_t last = t.size() - p.size();
    for (std::size_t n = 0; n <= last; ++n) {
        std::size_t i = backward ? last - n : n;
        if (EqualAt(t, i, p, matchCase))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

std::ptrdiff_t Fast(const std::string& t, const std::string& p, bool matchCase, bool backward) {
    CPatternSearch s;
    s.Init(p, matchCase);
    return s.Find(t, backward);
}

std::string Random(std::mt19937& rng, std::size_t n, int alphabet) {
    // A small alphabet makes near-misses and overlaps common; letters of both cases make
    // folding matter; alphabet 256 covers every byte.
    static const std::string small = "aAbB\x80\xE1\xC1z";
    std::string s(n, '\0');
    for (char& c : s) {
        unsigned v = rng() % static_cast<unsigned>(alphabet);
        c = alphabet <= static_cast<int>(small.size()) ? small[v] : static_cast<char>(v);
    }
    return s;
}

} // namespace

TEST(PatternSearch, AgreesWithTheNaiveSearchOnRandomTexts) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 6000; ++round) {
        int alphabet = round % 3 == 0 ? 256 : (round % 3 == 1 ? 4 : 8);
        std::size_t m = 1 + rng() % (round % 10 == 0 ? 256 : 12);
        std::string p = Random(rng, m, alphabet);
        std::string t = Random(rng, rng() % 700, alphabet);
        // Plant the pattern (or a case-changed copy) now and then.
        if (round % 2 == 0 && t.size() >= m) {
            std::string copy = p;
            if (round % 4 == 0)
                for (char& c : copy)
                    c = static_cast<char>(
                        std::isalpha(static_cast<unsigned char>(c)) && (c & 0x80) == 0 ? c ^ 0x20
                                                                                       : c);
            t.replace(rng() % (t.size() - m + 1), m, copy);
        }
        for (bool matchCase : {true, false})
            for (bool backward : {false, true})
                ASSERT_EQ(Fast(t, p, matchCase, backward), Naive(t, p, matchCase, backward))
                    << "round " << round << " case " << matchCase << " back " << backward;
    }
}

TEST(PatternSearch, AgreesWithTheNaiveSearchOnLongTexts) {
    // Long texts take the path that searches two halves at once; plant copies anywhere.
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        int alphabet = round % 2 ? 256 : 8;
        std::size_t m = 1 + rng() % (round % 5 == 0 ? 256 : 20);
        std::string p = Random(rng, m, alphabet);
        std::string t = Random(rng, 4000 + rng() % 9000, alphabet);
        for (unsigned copies = rng() % 3; copies > 0; --copies)
            t.replace(rng() % (t.size() - m + 1), m, p);
        for (bool matchCase : {true, false})
            for (bool backward : {false, true})
                ASSERT_EQ(Fast(t, p, matchCase, backward), Naive(t, p, matchCase, backward))
                    << "round " << round << " case " << matchCase << " back " << backward;
    }
}

TEST(PatternSearch, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(Fast("xxHELLO", "hello", false, false), 2);
    EXPECT_EQ(Fast("xxHELLO", "hello", true, false), -1);
    // 0xE9 and 0xC9 are one letter in two cases in Windows-1252, but not to this search.
    EXPECT_EQ(Fast("caf\xC9", "caf\xE9", false, false), -1);
    // '@' and '`' lie 32 away from 'A'-1 and 'a'-1 and must not fold either.
    EXPECT_EQ(Fast("@[", "`{", false, false), -1);
    EXPECT_EQ(Fast(std::string("a\0b\xFF", 4), std::string("\0B\xFF", 3), false, false), 1);
}

TEST(PatternSearch, FindsTheFirstAndTheLastOccurrence) {
    std::string t = "abcabcabc";
    EXPECT_EQ(Fast(t, "abc", true, false), 0);
    EXPECT_EQ(Fast(t, "abc", true, true), 6);
    EXPECT_EQ(Fast("aaaa", "aa", true, true), 2);
    EXPECT_EQ(Fast("ab", "abc", true, false), -1);
    EXPECT_EQ(Fast("ab", "abc", true, true), -1);
    EXPECT_EQ(Fast("", "a", false, true), -1);
    EXPECT_EQ(Fast("abc", "", true, false), -1);
}

TEST(PatternSearch, APatternOfTheFullLengthLimitKeepsMoving) {
    std::string p(256, 'q');
    p[0] = 'k';
    std::string t(5000, 'q');
    EXPECT_EQ(Fast(t, p, true, false), -1);
    EXPECT_EQ(Fast(t, p, true, true), -1);
    t.replace(3000, 256, p);
    EXPECT_EQ(Fast(t, p, true, false), 3000);
    EXPECT_EQ(Fast(t, p, false, true), 3000);
    // Patterns longer than 256 bytes (a UTF-8 text of 256 characters) work too.
    std::string longer(700, '\xE9');
    longer[350] = 'x';
    std::string text = "....." + longer + "...";
    EXPECT_EQ(Fast(text, longer, false, false), 5);
    EXPECT_EQ(Fast(text, longer, true, true), 5);
}

// Windows-1252 "café" is 63 61 66 E9; UTF-8 "café" is 63 61 66 C3 A9.
TEST(StoredPattern, SearchesEachTextInTheEncodingItIsShownIn) {
    CStoredPattern p;
    p.Init("CAF\xC3\xA9", false); // what the user typed: "CAFé"
    EXPECT_EQ(p.Cp1252Bytes(), "CAF\xE9");
    PatternMatch inUtf8 = p.Find("un caf\xC3\xA9", false);
    EXPECT_EQ(inUtf8.nPos, 3);
    EXPECT_EQ(inUtf8.nLength, 5u);
    PatternMatch in1252 = p.Find("un caf\xE9 noir", true);
    EXPECT_EQ(in1252.nPos, 3);
    EXPECT_EQ(in1252.nLength, 4u);
    // The UTF-8 bytes inside a Windows-1252 text show as "cafÃ©": no match there.
    EXPECT_FALSE(p.Find("caf\xC3\xA9 \xE9", false));
    // The Windows-1252 byte inside valid UTF-8 (here the lead byte of U+9000) is no "é".
    EXPECT_FALSE(p.Find("caf\xE9\x80\x80", false));
    // Case folds for ASCII letters only: "É" (C3 89, or C9) is another letter.
    EXPECT_FALSE(p.Find("CAF\xC3\x89", false));
    EXPECT_FALSE(p.Find("CAF\xC9", false));
}

TEST(StoredPattern, TakesTheLastMatchOfTheTextsEncodingBackward) {
    CStoredPattern p;
    p.Init("\xC3\xA9", true); // "é"
    EXPECT_EQ(p.Find("\xE9 x \xE9 y", true).nPos, 4);
    EXPECT_EQ(p.Find("\xC3\xA9 x \xC3\xA9 y", true).nPos, 5);
}

TEST(StoredPattern, PatternsWithoutAWindows1252FormSearchUtf8TextsOnly) {
    CStoredPattern p;
    p.Init("\xE2\x82\xAC\xE4\xB8\xAD", true); // "€中": 中 has no Windows-1252 byte
    EXPECT_EQ(p.Cp1252Bytes(), "");
    EXPECT_EQ(p.Find("a\xE2\x82\xAC\xE4\xB8\xAD", false).nPos, 1);
    EXPECT_FALSE(p.Find("\xFF\xE2\x82\xAC\xE4\xB8\xAD", false)); // shown as Windows-1252
    CStoredPattern euro;
    euro.Init("\xE2\x82\xAC", true);
    EXPECT_EQ(euro.Cp1252Bytes(), "\x80");
    EXPECT_EQ(euro.Find("5 \x80", false).nPos, 2);
}

TEST(StoredPattern, AsciiAndRawPatternsMatchInEveryText) {
    CStoredPattern p;
    p.Init("line\nnext", false);
    EXPECT_EQ(p.Find("\xFF LINE\r\nNext", false).nPos, 2); // a line feed stands for CR LF
    CStoredPattern raw;
    raw.Init("\xE9t\xE9", true); // not UTF-8: searched as given
    EXPECT_EQ(raw.Find("\xC3\xA9t\xE9t\xE9", false).nPos, 3);
}

TEST(StoredPattern, MapsAStoredMatchToTheShownText) {
    // Windows-1252 "é" becomes two UTF-8 bytes; each CR LF one LF.
    std::string stored = "\xE9\r\nab\r\ncd";
    ShownRange r = StoredToShown(stored, 7, 2);
    EXPECT_EQ(r.nStart, 6u);
    EXPECT_EQ(r.nLength, 2u);
    ShownRange across = StoredToShown(stored, 3, 4); // "ab\r\n"
    EXPECT_EQ(across.nStart, 3u);
    EXPECT_EQ(across.nLength, 3u);
    ShownRange utf8 = StoredToShown("\xC3\xA9\r\nx", 4, 1);
    EXPECT_EQ(utf8.nStart, 3u);
    EXPECT_EQ(StoredToShown("abc", 10, 5).nLength, 0u); // clamped
}
