#include "app/HeaderFooter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The codes a print job defines, as the printing code sets them.
CHeaderFooter PrintingCodes() {
    CHeaderFooter hf;
    hf.SetCode('f', "Notes.Nota");
    hf.SetCode('F', "/home/ann/Notes.Nota");
    hf.SetCode('n', "Shopping");
    hf.SetCode('N', "Notarium\\Lists\\Shopping");
    hf.SetCode('d', "12/6/97");
    hf.SetCodeNumber('p', 3);
    return hf;
}

struct Sections {
    std::string left, centre, right;
};

Sections Expand(CHeaderFooter& hf, const std::string& pattern) {
    hf.Format(pattern);
    return {hf.Left(), hf.Centre(), hf.Right()};
}

} // namespace

TEST(HeaderFooterTest, EveryPrintingCodeExpandsToItsValueInTheCentreByDefault) {
    CHeaderFooter hf = PrintingCodes();
    const std::pair<const char*, const char*> cases[] = {
        {"&p", "3"},          {"&d", "12/6/97"},
        {"&n", "Shopping"},   {"&N", "Notarium\\Lists\\Shopping"},
        {"&f", "Notes.Nota"}, {"&F", "/home/ann/Notes.Nota"},
        {"&&", "&"},          {"Page &p of &f", "Page 3 of Notes.Nota"}};
    for (const auto& [pattern, expected] : cases) {
        const Sections s = Expand(hf, pattern);
        EXPECT_EQ(s.centre, expected) << pattern;
        EXPECT_EQ(s.left, "") << pattern;
        EXPECT_EQ(s.right, "") << pattern;
    }
}

TEST(HeaderFooterTest, SectionSwitchesRouteTextAndRepeatedSwitchesAppendInOrder) {
    CHeaderFooter hf = PrintingCodes();
    Sections s = Expand(hf, "&l&n");
    EXPECT_EQ(s.left, "Shopping");
    EXPECT_EQ(s.centre, "");

    s = Expand(hf, "before&lL1&rR&cC&lL2");
    EXPECT_EQ(s.centre, "beforeC");
    EXPECT_EQ(s.left, "L1L2");
    EXPECT_EQ(s.right, "R");

    // Every Format starts afresh in the centre.
    s = Expand(hf, "x");
    EXPECT_EQ(s.centre, "x");
    EXPECT_EQ(s.left, "");
    EXPECT_EQ(s.right, "");
}

TEST(HeaderFooterTest, UnknownCodesUpperCaseSwitchesAndDoubledAmpersandsPrintThemselves) {
    CHeaderFooter hf = PrintingCodes();
    EXPECT_EQ(Expand(hf, "&x&q").centre, "xq");
    EXPECT_EQ(Expand(hf, "&L&C&R").centre, "LCR"); // switches are lower case only
    EXPECT_EQ(Expand(hf, "&P").centre, "P");       // codes are case-sensitive
    EXPECT_EQ(Expand(hf, "a&&b&&&&").centre, "a&b&&");
    EXPECT_EQ(Expand(hf, "&&p").centre, "&p"); // the doubled "&" does not start a code
}

TEST(HeaderFooterTest, EmptyPatternsTrailingAmpersandsAndBareSwitches) {
    CHeaderFooter hf = PrintingCodes();
    Sections s = Expand(hf, "");
    EXPECT_EQ(s.left + s.centre + s.right, "");

    EXPECT_EQ(Expand(hf, "Total &").centre, "Total &");
    EXPECT_EQ(Expand(hf, "&").centre, "&");

    s = Expand(hf, "&r");
    EXPECT_EQ(s.left + s.centre + s.right, "");
    s = Expand(hf, "&r&");
    EXPECT_EQ(s.right, "&");
    EXPECT_EQ(s.centre, "");
}

TEST(HeaderFooterTest, CodesAreReplacedInPlaceClearedAndCharactersOfSeveralBytesPassThrough) {
    CHeaderFooter hf;
    hf.SetCodeNumber('p', 1);
    hf.SetCodeNumber('p', 12);
    EXPECT_EQ(Expand(hf, "&p").centre, "12");
    hf.SetCodeNumber('q', -5);
    EXPECT_EQ(Expand(hf, "&q").centre, "-5");

    hf.ClearCodes();
    EXPECT_EQ(Expand(hf, "&p").centre, "p");

    // "&" followed by the first byte of a UTF-8 character leaves the character whole.
    EXPECT_EQ(Expand(hf, "Gr\xC3\xBC&\xC3\xBC&l\xE2\x82\xAC").centre, "Gr\xC3\xBC\xC3\xBC");
    EXPECT_EQ(hf.Left(), "\xE2\x82\xAC");

    // A value holding "&" is not expanded again.
    hf.SetCode('n', "A&p");
    EXPECT_EQ(Expand(hf, "&n").centre, "A&p");
}

TEST(HeaderFooterTest, CaseBlindCodesAndOtherDefaultSections) {
    CHeaderFooter blind(CHeaderFooter::kLeft, false);
    blind.SetCode('N', "name");
    EXPECT_EQ(Expand(blind, "&n|&N").left, "name|name");
    blind.SetCode('n', "other");
    EXPECT_EQ(Expand(blind, "&N").left, "other"); // one code, replaced

    CHeaderFooter right(CHeaderFooter::kRight);
    EXPECT_EQ(Expand(right, "x&cy").right, "x");
    EXPECT_EQ(right.Centre(), "y");

    CHeaderFooter odd(7); // out of range: the centre
    EXPECT_EQ(Expand(odd, "z").centre, "z");
}

TEST(HeaderFooterTest, PrintDateIsMonthDayAndTwoDigitYear) {
    EXPECT_EQ(FormatPrintDate(1997, 12, 6), "12/6/97");
    EXPECT_EQ(FormatPrintDate(2005, 1, 31), "1/31/05");
    EXPECT_EQ(FormatPrintDate(2000, 7, 4), "7/4/00");
    const std::string today = TodayPrintDate();
    EXPECT_EQ(std::count(today.begin(), today.end(), '/'), 2);
}
