#include "app/PrintGeometry.h"
#include "app/FontSizes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A Letter sheet at 600 dots per inch with a quarter-inch unprintable edge.
PAGEMETRICS LetterAt600() {
    PAGEMETRICS p;
    p.logPixelsX = p.logPixelsY = 600;
    p.physicalWidth = 5100;
    p.physicalHeight = 6600;
    p.physicalOffsetX = p.physicalOffsetY = 150;
    return p;
}

LOGFONT Face(const char* name, LONG height) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.SetFaceName(name);
    return lf;
}

} // namespace

TEST(PrintGeometryTest, MarginsAreMeasuredFromThePhysicalEdges) {
    const RECT r = CalcPrintRect(RECT{1000, 500, 750, 2000}, LetterAt600());
    EXPECT_EQ(r.left, 600 - 150);
    EXPECT_EQ(r.top, 300 - 150);
    EXPECT_EQ(r.right, 5100 - 150 - 450);
    EXPECT_EQ(r.bottom, 6600 - 150 - 1200);

    // Margins of 0 start at the paper edge, before the printable area.
    const RECT edge = CalcPrintRect(RECT{0, 0, 0, 0}, LetterAt600());
    EXPECT_EQ(edge.left, -150);
    EXPECT_EQ(edge.top, -150);
    EXPECT_EQ(edge.right, 4950);
    EXPECT_EQ(edge.bottom, 6450);

    // Different horizontal and vertical resolutions.
    PAGEMETRICS p;
    p.logPixelsX = 300;
    p.logPixelsY = 150;
    p.physicalWidth = 2550;
    p.physicalHeight = 1650;
    const RECT mixed = CalcPrintRect(RECT{1000, 1000, 1000, 1000}, p);
    EXPECT_EQ(mixed.left, 300);
    EXPECT_EQ(mixed.top, 150);
    EXPECT_EQ(mixed.right, 2250);
    EXPECT_EQ(mixed.bottom, 1500);
}

TEST(PrintGeometryTest, FontsScaleFromScreenToPrinterResolution) {
    LOGFONT lf = Face("Arial", -13);
    lf.lfWidth = 7;
    ScaleFontToPrinter(lf, 600, 1200, 96, 96);
    EXPECT_EQ(lf.lfHeight, -163); // 13 × 1200 / 96 = 162.5, rounded away from zero
    EXPECT_EQ(lf.lfWidth, 44);    // 7 × 600 / 96 = 43.75

    LOGFONT unchanged = Face("Arial", 20);
    ScaleFontToPrinter(unchanged, 0, 0, 96, 96);
    EXPECT_EQ(unchanged.lfHeight, 20);
}

TEST(PrintGeometryTest, HeaderAndFooterEachTakeTwoLinesOnlyWhenPresent) {
    const RECT area{100, 200, 900, 1200};
    PAGEBANDS both = SplitPageBands(area, 50, true, true);
    EXPECT_TRUE(both.hasHeader && both.hasFooter);
    EXPECT_EQ(both.header, (RECT{100, 200, 900, 250}));
    EXPECT_EQ(both.footer, (RECT{100, 1150, 900, 1200}));
    EXPECT_EQ(both.body, (RECT{100, 300, 900, 1100}));

    // An empty header: the body starts at the top margin.
    PAGEBANDS footerOnly = SplitPageBands(area, 50, false, true);
    EXPECT_FALSE(footerOnly.hasHeader);
    EXPECT_EQ(footerOnly.body.top, 200);
    EXPECT_EQ(footerOnly.body.bottom, 1100);

    PAGEBANDS none = SplitPageBands(area, 50, false, false);
    EXPECT_EQ(none.body, area);
}

TEST(PrintGeometryTest, FontDescriptionsNameFaceSizeAndEffects) {
    EXPECT_EQ(DescribeFont(Face("Arial", -13), 96), "Arial, 10pt.");
    LOGFONT times = Face("Times New Roman", -16);
    times.lfWeight = FW_BOLD;
    times.lfItalic = 1;
    EXPECT_EQ(DescribeFont(times, 96), "Times New Roman, 12pt., Bold, Italic");
    LOGFONT all = Face("Courier", 20); // a positive height counts the same
    all.lfWeight = 900;
    all.lfItalic = all.lfUnderline = all.lfStrikeOut = 1;
    EXPECT_EQ(DescribeFont(all, 96), "Courier, 15pt., Bold, Italic, Underline, Strike Out");
    LOGFONT semi = Face("X", -13);
    semi.lfWeight = 600;
    EXPECT_EQ(DescribeFont(semi, 96), "X, 10pt.");
    // A face name that fills the whole field without a terminating NUL stays inside it.
    LOGFONT full;
    std::fill(std::begin(full.lfFaceName), std::end(full.lfFaceName), 'A');
    EXPECT_EQ(DescribeFont(full, 96).substr(0, 33), std::string(32, 'A') + ",");
}

TEST(FontSizesTest, SizeBoxTextParsesToTwentiethsOfAPoint) {
    EXPECT_EQ(fontsize::Parse("12"), 240);
    EXPECT_EQ(fontsize::Parse(" \t12 "), 240);
    EXPECT_EQ(fontsize::Parse("+9"), 180);
    EXPECT_EQ(fontsize::Parse(""), fontsize::kEmpty);
    EXPECT_EQ(fontsize::Parse("  "), fontsize::kEmpty);
    EXPECT_EQ(fontsize::Parse("12pt"), fontsize::kNotNumber);
    EXPECT_EQ(fontsize::Parse("1 2"), fontsize::kNotNumber);
    EXPECT_EQ(fontsize::Parse("-"), fontsize::kNotNumber);
    EXPECT_EQ(fontsize::Parse("0"), 0);
    EXPECT_EQ(fontsize::Parse("-4"), 0);
    EXPECT_GT(fontsize::Parse("99999999999999"), fontsize::kMaxTwips);

    EXPECT_EQ(fontsize::ToText(240), "12");
    EXPECT_EQ(fontsize::ToText(229), "11");
    EXPECT_EQ(fontsize::ToText(230), "12");
    EXPECT_EQ(fontsize::ToText(0), "");
}

TEST(FontSizesTest, HeightsFallBackToTheLastSizeForUnusableInput) {
    EXPECT_EQ(fontsize::HeightFromSize(240, 200, 96), -16);
    EXPECT_EQ(fontsize::HeightFromSize(fontsize::kNotNumber, 200, 96), -13); // "12pt"
    EXPECT_EQ(fontsize::HeightFromSize(0, 200, 96), -13);                    // "0"
    EXPECT_EQ(fontsize::HeightFromSize(19, 200, 96), -13);
    EXPECT_EQ(fontsize::HeightFromSize(40000, 200, 96), -13);
    EXPECT_EQ(fontsize::HeightFromSize(fontsize::kEmpty, 200, 96), 0); // the default size
    EXPECT_EQ(fontsize::HeightFromSize(fontsize::kNotNumber, 0, 96), 0);

    EXPECT_EQ(fontsize::FromCharHeight(16, 96), 240);
    EXPECT_EQ(fontsize::FromCharHeight(13, 96), 195);
}
