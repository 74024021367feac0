#include "platform/Encoding.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

TEST(FormatTest, KnownConversionsAndArgumentsAreNeverFormatsAgain) {
    EXPECT_EQ(Format("Unused:%04d", 7), "Unused:0007");
    EXPECT_EQ(Format("Unused:%04d", 12345), "Unused:12345");
    EXPECT_EQ(Format("%u bytes", 4294967295u), "4294967295 bytes");
    EXPECT_EQ(Format("%d error(s)", -3), "-3 error(s)");
    EXPECT_EQ(Format("Unable to open %s : %s", "a%sb", "c%d"), "Unable to open a%sb : c%d");
    EXPECT_EQ(Format("100%% %s", "done"), "100% done");
    EXPECT_EQ(Format("%s and %s", "one"), "one and "); // a missing argument is empty
    EXPECT_EQ(FormatString1("%1 was not found.", "x"), "x was not found.");
}

TEST(EncodingTest, StoredBytesDecodeAsUtf8OrWindows1252) {
    EXPECT_TRUE(enc::IsValidUtf8("Gr\xC3\xBC\xC3\x9F"));
    EXPECT_FALSE(enc::IsValidUtf8("Gr\xFC\xDF"));
    EXPECT_FALSE(enc::IsValidUtf8("\xC0\x80")); // overlong
    EXPECT_EQ(enc::DecodeStored("Gr\xFC\xDF"), "Gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(enc::DecodeStored("\x80"), "\xE2\x82\xAC"); // the euro sign
    EXPECT_EQ(enc::DecodeStored("plain"), "plain");
}

TEST(EncodingTest, CuttingNeverSplitsACharacter) {
    std::string s = std::string(63, 'a') + "\xC3\xBC"; // 65 bytes, the last character 2 bytes
    EXPECT_EQ(enc::CutToBytes(s, 64), std::string(63, 'a'));
    EXPECT_EQ(enc::CutToBytes(std::string(70, 'b'), 64).size(), 64u);
    EXPECT_EQ(enc::CutToBytes(std::string(63, 'a') + "\xFC\xFC", 64).size(), 64u);
}

TEST(EncodingTest, LineBreaksAndTitleOrder) {
    EXPECT_EQ(enc::LfToCrLf("a\nb\r\nc"), "a\r\nb\r\nc");
    EXPECT_EQ(enc::CrLfToLf("a\r\nb\rc"), "a\nb\rc");
    EXPECT_EQ(enc::CompareTitles("abc", "ABC"), 0);
    EXPECT_LT(enc::CompareTitles("abc", "abd"), 0);
    EXPECT_LT(enc::CompareTitles("ab", "abc"), 0);
    EXPECT_GT(enc::CompareTitles("Zeta", "alpha"), 0);
}

// The order is byte by byte with 'A'..'Z' folded to lower case, then the shorter first:
// checked against that rule over titles of every length around the 8-byte steps, with the
// bytes that sit next to the folded range ('@', '[', '`', '{') and bytes past 0x7F.
TEST(EncodingTest, TitleOrderFoldsOnlyAsciiLettersAtAnyPosition) {
    auto reference = [](std::string_view a, std::string_view b) {
        auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            const int ca = fold(static_cast<unsigned char>(a[i]));
            const int cb = fold(static_cast<unsigned char>(b[i]));
            if (ca != cb)
                return ca < cb ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    };
    static const char letters[] = "aAzZ@[`{\x80\xC1\xE1\xFA\xDA\x00 m";
    const std::string alphabet(letters, sizeof letters - 1);
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 20000; ++round) {
        std::string a(next() % 20, ' ');
        for (char& c : a)
            c = alphabet[next() % alphabet.size()];
        std::string b = a;
        if (!b.empty() && next() % 4 != 0) {
            const std::size_t at = next() % b.size();
            b[at] = alphabet[next() % alphabet.size()];
        }
        if (next() % 3 == 0)
            b.resize(next() % 20, 'a');
        ASSERT_EQ(enc::CompareTitles(a, b), reference(a, b)) << round;
        ASSERT_EQ(enc::CompareTitles(b, a), reference(b, a)) << round;
    }
}
