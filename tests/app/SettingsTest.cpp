#include "app/Settings.h"

#include <gtest/gtest.h>

TEST(SettingsTest, AnEmptyStoreGivesEveryDefaultAndASaveWritesEveryValue) {
    CMemorySettingsStore store;
    CAppSettings s;
    s.Load(store, 96);
    EXPECT_EQ(s.m_nDividerPos, 170);
    EXPECT_TRUE(s.m_bInlineRename && s.m_bRememberTreeState && s.m_bMarkAllOpen &&
                s.m_bConfirmDelete && s.m_bWordWrap && s.m_bUseScreenFont && s.m_bLineBelowHeader);
    EXPECT_FALSE(s.m_bFoldersHaveText || s.m_bVarWidthFonts || s.m_bLineAboveFooter);
    EXPECT_EQ(s.m_nTabWidth, 8);
    EXPECT_EQ(s.m_strHeader, "&l&n");
    EXPECT_EQ(s.m_strFooter, "&p");
    EXPECT_EQ(s.m_rcPageMargins, (RECT{1000, 1000, 1000, 1000}));
    EXPECT_STREQ(s.m_lfScreenFont.lfFaceName, "Courier");
    EXPECT_EQ(s.m_lfScreenFont.lfHeight, -13);
    EXPECT_STREQ(s.m_lfPrinterFont.lfFaceName, "Arial");
    EXPECT_EQ(s.m_lfPrinterFont.lfHeight, -13);
    EXPECT_EQ(s.m_lfPrinterFont.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(s.m_lfHeaderFont, s.m_lfPrinterFont);

    s.Save(store);
    for (const char* name :
         {"DividerPos", "FoldersHaveText", "InlineRename", "RememberTreeState", "MarkAllOpen",
          "ConfirmDelete", "TabWidth", "WordWrap", "VarWidthFonts", "UseScreenFont",
          "LineBelowHeader", "LineAboveFooter", "FindScope", "FindMatchCase", "FindTitlesOnly"})
        EXPECT_TRUE(store.GetInt("Settings", name).has_value()) << name;
    for (const char* name : {"LastFile", "Header", "Footer"})
        EXPECT_TRUE(store.GetString("Settings", name).has_value()) << name;
    EXPECT_EQ(store.GetBinary("Settings", "Font")->size(), 60u);
    EXPECT_EQ(store.GetBinary("Settings", "PrinterFont")->size(), 60u);
    EXPECT_EQ(store.GetBinary("Settings", "HeaderFont")->size(), 60u);
    EXPECT_EQ(store.GetBinary("Settings", "PageMargins")->size(), 16u);
}

TEST(SettingsTest, ValuesRoundTripAndWrongSizedRecordsKeepTheDefault) {
    CMemorySettingsStore store;
    CAppSettings s;
    s.m_nDividerPos = 250;
    s.m_strLastFile = "/home/u/a.Nota";
    s.m_bConfirmDelete = false;
    s.m_lfScreenFont.SetFaceName("DejaVu Sans Mono");
    s.m_lfScreenFont.lfWeight = FW_BOLD;
    s.m_rcPageMargins = {500, 600, 700, 800};
    s.m_findHistory.Add("needle");
    s.Save(store);
    store.WriteBinary("Settings", "HeaderFont", std::vector<BYTE>(12, 0xAA));

    CAppSettings back;
    back.Load(store, 96);
    EXPECT_EQ(back.m_nDividerPos, 250);
    EXPECT_EQ(back.m_strLastFile, "/home/u/a.Nota");
    EXPECT_FALSE(back.m_bConfirmDelete);
    EXPECT_EQ(back.m_lfScreenFont, s.m_lfScreenFont);
    EXPECT_EQ(back.m_rcPageMargins, (RECT{500, 600, 700, 800}));
    EXPECT_EQ(back.m_findHistory.Items(), std::vector<std::string>{"needle"});
    EXPECT_EQ(back.m_lfHeaderFont, back.m_lfPrinterFont);
}

TEST(SettingsTest, LogFontBytesFollowTheRecordLayout) {
    LOGFONT lf;
    lf.lfHeight = -16;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfCharSet = 1;
    lf.SetFaceName("Arial");
    std::vector<BYTE> b = lf.ToBytes();
    ASSERT_EQ(b.size(), 60u);
    EXPECT_EQ((std::vector<BYTE>(b.begin(), b.begin() + 4)),
              (std::vector<BYTE>{0xF0, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(b[16], 0xBC); // 700 = 0x2BC
    EXPECT_EQ(b[20], 1);    // italic
    EXPECT_EQ(b[23], 1);    // character set
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 28)), "Arial");
}

TEST(HistoryListTest, TenAtMostNoDuplicatesMostRecentFirst) {
    CHistoryList h("FindWhat");
    EXPECT_EQ(h.Add(""), -1);
    for (int i = 0; i < 12; ++i)
        h.Add("s" + std::to_string(i));
    EXPECT_EQ(h.GetSize(), 10);
    EXPECT_EQ(h[0], "s11");
    EXPECT_EQ(h[9], "s2");
    h.Add("s5");
    EXPECT_EQ(h[0], "s5");
    EXPECT_EQ(h[1], "s11");
    EXPECT_EQ(h.GetSize(), 10);
    h.Add("S5"); // case matters
    EXPECT_EQ(h[0], "S5");

    CMemorySettingsStore store;
    h.Save(store, "Settings");
    EXPECT_EQ(*store.GetString("Settings", "FindWhat1"), "S5");
    store.WriteString("Settings", "FindWhat3", ""); // stops the load there
    CHistoryList back("FindWhat");
    back.Load(store, "Settings");
    EXPECT_EQ(back.GetSize(), 2);
}

// Two windows share one store. The one that exits last must not undo what the other stored
// with Options OK: it writes back only what it changed itself.
TEST(SettingsTest, AWindowWritesBackOnlyWhatItChangedItself) {
    CMemorySettingsStore store;
    CAppSettings a, b;
    a.Load(store, 96);
    b.Load(store, 96);
    const CAppSettings aLoaded = a, bLoaded = b;

    a.m_nTabWidth = 4; // Options OK in window A
    a.m_strHeader = "&f";
    a.m_rcPageMargins = {1, 2, 3, 4};
    a.m_lfScreenFont.SetFaceName("DejaVu Sans Mono");
    a.Save(store, &aLoaded);
    b.m_nDividerPos = 300; // window B moved its divider, then exits
    b.m_findHistory.Add("needle");
    b.Save(store, &bLoaded);

    CAppSettings next;
    next.Load(store, 96);
    EXPECT_EQ(next.m_nTabWidth, 4);
    EXPECT_EQ(next.m_strHeader, "&f");
    EXPECT_EQ(next.m_rcPageMargins, (RECT{1, 2, 3, 4}));
    EXPECT_STREQ(next.m_lfScreenFont.lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(next.m_nDividerPos, 300);
    EXPECT_EQ(next.m_findHistory.Items(), std::vector<std::string>{"needle"});
    // A value the store lacks is written even when unchanged: after one run every value is
    // there.
    CMemorySettingsStore empty;
    next.Save(empty, &next);
    EXPECT_EQ(empty.GetInt("Settings", "TabWidth"), 4);
    EXPECT_TRUE(empty.GetBinary("Settings", "Font").has_value());
}
