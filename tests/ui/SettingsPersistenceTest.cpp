// Settings through QSettings: defaults from an empty store, every value written at exit in
// its exact layout, the histories and the recent-file list kept across runs.
#include "AppFixture.h"
#include "app/Records.h"

#include <QSettings>

namespace {

const char* const kSettingValues[] = {"Font",
                                      "DividerPos",
                                      "LastFile",
                                      "FoldersHaveText",
                                      "InlineRename",
                                      "RememberTreeState",
                                      "MarkAllOpen",
                                      "ConfirmDelete",
                                      "TabWidth",
                                      "WordWrap",
                                      "VarWidthFonts",
                                      "UseScreenFont",
                                      "PrinterFont",
                                      "HeaderFont",
                                      "Header",
                                      "Footer",
                                      "LineBelowHeader",
                                      "LineAboveFooter",
                                      "PageMargins",
                                      "FindScope",
                                      "FindMatchCase",
                                      "FindTitlesOnly",
                                      "WindowPos",
                                      "WindowMax"};

} // namespace

class SettingsPersistenceTest : public AppTest {
protected:
    // A run of the program on a data file that ends by closing its window.
    void RunAndClose(const std::string& path) {
        Start({QString::fromStdString(path)});
        ASSERT_NE(Frame(), nullptr);
        Frame()->close();
        Exit();
    }
    QSettings Ini() {
        return QSettings(QString::fromStdString(dir.File("settings.ini")), QSettings::IniFormat);
    }
};

TEST_F(SettingsPersistenceTest, EmptyStoreGivesEveryDefault) {
    NewApp();
    CAppSettings& s = app->Settings();
    s.Load(*store, 96);
    const CAppSettings defaults(96);
    EXPECT_EQ(s.m_lfScreenFont, defaults.m_lfScreenFont);
    EXPECT_STREQ(s.m_lfScreenFont.lfFaceName, "Courier");
    EXPECT_EQ(s.m_nDividerPos, 170);
    EXPECT_EQ(s.m_strLastFile, "");
    EXPECT_FALSE(s.m_bFoldersHaveText);
    EXPECT_TRUE(s.m_bInlineRename);
    EXPECT_TRUE(s.m_bRememberTreeState);
    EXPECT_TRUE(s.m_bMarkAllOpen);
    EXPECT_TRUE(s.m_bConfirmDelete);
    EXPECT_EQ(s.m_nTabWidth, 8);
    EXPECT_TRUE(s.m_bWordWrap);
    EXPECT_FALSE(s.m_bVarWidthFonts);
    EXPECT_TRUE(s.m_bUseScreenFont);
    EXPECT_STREQ(s.m_lfPrinterFont.lfFaceName, "Arial");
    EXPECT_EQ(s.m_lfPrinterFont.lfHeight, -MulDiv(10, 96, 72));
    EXPECT_EQ(s.m_lfHeaderFont, s.m_lfPrinterFont);
    EXPECT_EQ(s.m_strHeader, "&l&n");
    EXPECT_EQ(s.m_strFooter, "&p");
    EXPECT_TRUE(s.m_bLineBelowHeader);
    EXPECT_FALSE(s.m_bLineAboveFooter);
    EXPECT_EQ(s.m_rcPageMargins, (RECT{1000, 1000, 1000, 1000}));
    EXPECT_EQ(s.m_findHistory.GetSize(), 0);
    EXPECT_EQ(s.m_replaceHistory.GetSize(), 0);
    EXPECT_EQ(s.m_nFindScope, 0);
    EXPECT_EQ(s.m_nFindMatchCase, 0);
    EXPECT_EQ(s.m_nFindTitlesOnly, 0);
    EXPECT_EQ(app->RecentFiles().GetSize(), 0);
}

TEST_F(SettingsPersistenceTest, AfterOneRunEveryValueExistsInItsLayout) {
    RunAndClose(NewDataFile("a.Nota"));
    QSettings ini = Ini();
    for (const char* name : kSettingValues)
        EXPECT_TRUE(ini.contains(QStringLiteral("Settings/") + QLatin1String(name))) << name;
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(ini.contains(QStringLiteral("Recent File List/File%1").arg(i))) << i;
    EXPECT_TRUE(ini.contains(QStringLiteral("Toolbars/State")));
    EXPECT_EQ(ini.value("Settings/Font").toByteArray().size(), 60);
    EXPECT_EQ(ini.value("Settings/PrinterFont").toByteArray().size(), 60);
    EXPECT_EQ(ini.value("Settings/HeaderFont").toByteArray().size(), 60);
    EXPECT_EQ(ini.value("Settings/WindowPos").toByteArray().size(), 16);
    const QByteArray margins = ini.value("Settings/PageMargins").toByteArray();
    ASSERT_EQ(margins.size(), 16);
    EXPECT_EQ(QByteArray(margins.constData(), 4), QByteArray("\xE8\x03\x00\x00", 4)); // 1000 LE
    EXPECT_EQ(ini.value("Settings/DividerPos").toInt(), 170);
    EXPECT_EQ(ini.value("Settings/LastFile").toString().toStdString(), dir.File("a.Nota"));
}

TEST_F(SettingsPersistenceTest, ChangedValuesAndHistoriesComeBack) {
    const std::string path = NewDataFile("a.Nota");
    Start({QString::fromStdString(path)});
    CAppSettings& s = app->Settings();
    s.m_nTabWidth = 4;
    s.m_bWordWrap = false;
    s.m_strHeader = "&c&f";
    s.m_rcPageMargins = RECT{500, 600, 700, 800};
    s.m_lfScreenFont.SetFaceName("DejaVu Sans Mono");
    for (const char* text : {"one", "two", "three", "two"})
        s.m_findHistory.Add(text);
    s.m_replaceHistory.Add("with");
    Frame()->close();
    Exit();

    Start({QString::fromStdString(path)});
    const CAppSettings& t = app->Settings();
    EXPECT_EQ(t.m_nTabWidth, 4);
    EXPECT_FALSE(t.m_bWordWrap);
    EXPECT_EQ(t.m_strHeader, "&c&f");
    EXPECT_EQ(t.m_rcPageMargins, (RECT{500, 600, 700, 800}));
    EXPECT_STREQ(t.m_lfScreenFont.lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(t.m_findHistory.Items(), (std::vector<std::string>{"two", "three", "one"}));
    EXPECT_EQ(t.m_replaceHistory.Items(), (std::vector<std::string>{"with"}));
    EXPECT_EQ(Ini().value("Settings/FindWhat1").toString(), QStringLiteral("two"));
}

TEST_F(SettingsPersistenceTest, DamagedBinaryValuesFallBackToDefaults) {
    store->WriteBinary("Settings", "Font", std::vector<BYTE>(7, 0xFF));
    store->WriteBinary("Settings", "PageMargins", std::vector<BYTE>(3, 0xFF));
    store->WriteBinary("Settings", "WindowPos", std::vector<BYTE>(5, 0xFF));
    store->WriteInt("Settings", "WindowMax", 1);
    Start({QString::fromStdString(NewDataFile("a.Nota"))});
    EXPECT_STREQ(app->Settings().m_lfScreenFont.lfFaceName, "Courier");
    EXPECT_EQ(app->Settings().m_rcPageMargins, (RECT{1000, 1000, 1000, 1000}));
    ASSERT_NE(Frame(), nullptr);
    EXPECT_FALSE(Frame()->isMaximized()); // WindowMax counts only with a valid WindowPos
}

TEST_F(SettingsPersistenceTest, RecentFilesKeepTheLastFourMostRecentFirst) {
    std::vector<std::string> files;
    for (const char* name : {"1.Nota", "2.Nota", "3.Nota", "4.Nota", "5.Nota"})
        files.push_back(NewDataFile(name));
    Start({QString::fromStdString(files[0])});
    for (std::size_t i = 1; i < files.size(); ++i)
        ASSERT_TRUE(app->OpenOrCreateFile(files[i], false));
    ASSERT_TRUE(app->OpenOrCreateFile(files[2], false)); // re-used: moves to the top
    Frame()->close();
    Exit();

    QSettings ini = Ini();
    EXPECT_EQ(ini.value("Recent File List/File1").toString().toStdString(), files[2]);
    EXPECT_EQ(ini.value("Recent File List/File2").toString().toStdString(), files[4]);
    EXPECT_EQ(ini.value("Recent File List/File3").toString().toStdString(), files[3]);
    EXPECT_EQ(ini.value("Recent File List/File4").toString().toStdString(), files[1]);

    // A recent file that fails to open leaves the list.
    Start({QString::fromStdString(files[0])});
    ASSERT_EQ(app->RecentFiles().GetSize(), 4);
    std::remove(files[4].c_str());
    app->OpenRecentFile(2); // files[4] is now third: files[0] went to the top
    EXPECT_EQ(app->RecentFiles().GetSize(), 3);
    EXPECT_EQ(OpenPath(), files[0]);
}
