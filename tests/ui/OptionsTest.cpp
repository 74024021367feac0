// The Options sheet: every control of every page changed, OK finds it in the settings, in the
// store and applied through the one apply step; Cancel changes nothing; the checks and the
// enabling rules; the sheet reopens on the page last shown.

#include "support/RecordingUi.h"

#include "app/Settings.h"
#include "ui/common/FontConvert.h"
#include "ui/options/FontPickers.h"
#include "ui/options/OptionsPages.h"
#include "ui/options/OptionsSheet.h"
#include "ui/text/EditPaneView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class OptionsTest : public ::testing::Test {
protected:
    CRecordingUi ui;
    CAppSettings settings{96};
    CMemorySettingsStore store;
    int lastPage = 0;
    bool bars[3] = {true, true, true};
    std::vector<std::pair<int, bool>> shown;
    int applied = 0;
    std::unique_ptr<CEditPaneView> pane;

    void SetUp() override {
        settings.m_lfScreenFont.SetFaceName("DejaVu Sans Mono");
        pane = std::make_unique<CEditPaneView>(settings, ui);
    }

    OPTIONSCONTEXT Context() {
        OPTIONSCONTEXT c;
        c.settings = &settings;
        c.ui = &ui;
        c.lastPage = &lastPage;
        c.store = &store;
        c.isBarVisible = [this](int bar) { return bars[bar]; };
        c.showBar = [this](int bar, bool show) { shown.emplace_back(bar, show); };
        c.applySettings = [this] {
            ++applied;
            pane->ApplySettings();
        };
        return c;
    }
    std::vector<BYTE> Saved() const {
        CMemorySettingsStore s;
        settings.Save(s);
        std::vector<BYTE> all;
        for (const auto& [k, v] : s.ints)
            all.push_back(static_cast<BYTE>(v));
        for (const auto& [k, v] : s.strings)
            all.insert(all.end(), v.begin(), v.end());
        for (const auto& [k, v] : s.binaries)
            all.insert(all.end(), v.begin(), v.end());
        return all;
    }
};

} // namespace

TEST_F(OptionsTest, GeneralPageEveryCheckBoxReachesSettingsStoreBarsAndApply) {
    COptionsSheet sheet(Context());
    sheet.show();
    CGeneralPageDlg& page = sheet.General();
    ASSERT_EQ(sheet.Tabs()->currentIndex(), 0);
    for (int i = 0; i < CGeneralPageDlg::kCheckCount; ++i)
        page.Check(i)->click();
    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);

    EXPECT_TRUE(settings.m_bFoldersHaveText);
    EXPECT_FALSE(settings.m_bInlineRename || settings.m_bRememberTreeState ||
                 settings.m_bMarkAllOpen || settings.m_bConfirmDelete);
    for (const char* name : {"InlineRename", "RememberTreeState", "MarkAllOpen", "ConfirmDelete"})
        EXPECT_EQ(store.GetInt("Settings", name), 0) << name;
    EXPECT_EQ(store.GetInt("Settings", "FoldersHaveText"), 1);
    EXPECT_EQ(shown, (std::vector<std::pair<int, bool>>{{0, false}, {1, false}, {2, false}}));
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(OptionsTest, CancelChangesNothingButTheLastPage) {
    const std::vector<BYTE> before = Saved();
    {
        COptionsSheet sheet(Context());
        sheet.show();
        for (int i = 0; i < CGeneralPageDlg::kCheckCount; ++i)
            sheet.General().Check(i)->click();
        sheet.Tabs()->setCurrentIndex(1);
        sheet.Editor().TabWidthBox()->setText(QStringLiteral("3"));
        sheet.Editor().WordWrapBox()->click();
        sheet.Tabs()->setCurrentIndex(2);
        sheet.Printing().HeaderBox()->setText(QStringLiteral("changed"));
        sheet.Printing().UseScreenFontBox()->click();
        QTest::mouseClick(sheet.CancelButton(), Qt::LeftButton);
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
    }
    EXPECT_EQ(Saved(), before);
    EXPECT_TRUE(store.ints.empty() && store.binaries.empty());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(lastPage, 2);

    COptionsSheet again(Context());
    EXPECT_EQ(again.Tabs()->currentIndex(), 2);
}

TEST_F(OptionsTest, EditorPageTabWidthWrapAndFontReachTheSettingsAndThePane) {
    lastPage = 1;
    COptionsSheet sheet(Context());
    sheet.show();
    CEditorPageDlg& page = sheet.Editor();
    ASSERT_EQ(sheet.Tabs()->currentIndex(), 1);
    EXPECT_EQ(page.TabWidthBox()->text(), QStringLiteral("8"));
    // The face is listed once per character set; the first of them is selected.
    EXPECT_TRUE(page.NameBox()->currentText().startsWith(QStringLiteral("DejaVu Sans Mono (")));

    page.TabWidthBox()->setText(QStringLiteral("15"));
    page.TabUp()->click();
    page.TabUp()->click(); // stops at 16
    EXPECT_EQ(page.TabWidthBox()->text(), QStringLiteral("16"));
    page.TabDown()->click();
    page.TabDown()->click();
    EXPECT_EQ(page.TabWidthBox()->text(), QStringLiteral("14"));
    page.WordWrapBox()->click();
    page.VarWidthBox()->click();
    page.OnVarWidthClicked();
    EXPECT_TRUE(
        page.NameBox()->currentText().startsWith(QStringLiteral("DejaVu Sans Mono"))); // kept
    page.NameBox()->setEditText(QStringLiteral("DejaVu Serif"));
    page.OnNameChanged();
    page.SizeBox()->setEditText(QStringLiteral("14"));
    page.OnSizeLeft();
    EXPECT_EQ(page.Sample()->LogFont().lfHeight, -MulDiv(280, 96, 1440));

    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    ASSERT_EQ(sheet.result(), QDialog::Accepted) << ui.LastBox();
    EXPECT_EQ(settings.m_nTabWidth, 14);
    EXPECT_FALSE(settings.m_bWordWrap);
    EXPECT_TRUE(settings.m_bVarWidthFonts);
    EXPECT_STREQ(settings.m_lfScreenFont.lfFaceName, "DejaVu Serif");
    EXPECT_EQ(settings.m_lfScreenFont.lfHeight, -19);
    EXPECT_EQ(settings.m_lfScreenFont.lfWeight, FW_NORMAL);
    EXPECT_EQ(*store.GetBinary("Settings", "Font"), settings.m_lfScreenFont.ToBytes());
    EXPECT_EQ(store.GetInt("Settings", "TabWidth"), 14);
    EXPECT_EQ(store.GetInt("Settings", "WordWrap"), 0);
    EXPECT_EQ(store.GetInt("Settings", "VarWidthFonts"), 1);
    // Applied: the pane shows the new font without wrapping.
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(pane->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST_F(OptionsTest, EditorPageRefusesBadTabWidthsAndUnlistedFontNames) {
    lastPage = 1;
    COptionsSheet sheet(Context());
    sheet.show();
    CEditorPageDlg& page = sheet.Editor();
    for (const char* bad : {"0", "17"}) {
        page.TabWidthBox()->setText(QString::fromLatin1(bad));
        sheet.accept();
        EXPECT_EQ(ui.LastBox(), "Please enter an integer between 1 and 16.") << bad;
        EXPECT_FALSE(sheet.result() == QDialog::Accepted);
    }
    // Leaving the page is refused the same way.
    sheet.Tabs()->setCurrentIndex(2);
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 1);
    EXPECT_EQ(lastPage, 1);
    page.TabWidthBox()->setText(QString());
    sheet.accept();
    EXPECT_EQ(ui.LastBox(), "Please enter an integer.");

    page.TabWidthBox()->setText(QStringLiteral("4"));
    page.NameBox()->setEditText(QStringLiteral("Zq No Such Font"));
    ui.boxes.clear();
    sheet.accept();
    EXPECT_EQ(ui.LastBox(), "The selected font must match a name from the font list.");
    EXPECT_FALSE(sheet.result() == QDialog::Accepted);

    // The beginning of a listed name selects the first name that begins with it.
    page.NameBox()->setEditText(QStringLiteral("dejavu sans m"));
    ui.boxes.clear();
    sheet.accept();
    EXPECT_TRUE(ui.boxes.empty()) << ui.LastBox();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_STREQ(settings.m_lfScreenFont.lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(settings.m_nTabWidth, 4);
}

TEST_F(OptionsTest, PrintingPageRulesFontsAndPatternsReachTheSettings) {
    lastPage = 2;
    OPTIONSCONTEXT ctx = Context();
    int asked = 0;
    ctx.chooseFont = [&asked](LOGFONT& lf, QWidget*) {
        if (++asked == 3)
            return false; // cancelled: nothing changes
        lf = LOGFONT();
        lf.SetFaceName(asked == 1 ? "Times New Roman" : "Courier");
        lf.lfHeight = -16;
        lf.lfWeight = asked == 1 ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = asked == 1;
        return true;
    };
    COptionsSheet sheet(ctx);
    sheet.show();
    CPrintingPageDlg& page = sheet.Printing();
    EXPECT_EQ(page.PrinterFontText()->text(), QStringLiteral("Arial, 10pt."));
    EXPECT_FALSE(page.PrinterFontButton()->isEnabled()); // the screen font is used
    page.UseScreenFontBox()->click();
    EXPECT_TRUE(page.PrinterFontButton()->isEnabled() && page.PrinterFontText()->isEnabled());
    page.PrinterFontButton()->click();
    EXPECT_EQ(page.PrinterFontText()->text(),
              QStringLiteral("Times New Roman, 12pt., Bold, Italic"));
    page.HeaderFontButton()->click();
    EXPECT_EQ(page.HeaderFontText()->text(), QStringLiteral("Courier, 12pt."));
    page.HeaderFontButton()->click(); // cancelled
    EXPECT_EQ(page.HeaderFontText()->text(), QStringLiteral("Courier, 12pt."));

    // Emptying the header disables its rule at once; the check mark survives.
    ASSERT_TRUE(page.LineBelowHeaderBox()->isChecked());
    page.HeaderBox()->clear();
    EXPECT_FALSE(page.LineBelowHeaderBox()->isEnabled());
    QTest::keyClick(page.HeaderBox(), Qt::Key_X);
    EXPECT_TRUE(page.LineBelowHeaderBox()->isEnabled());
    EXPECT_TRUE(page.LineBelowHeaderBox()->isChecked());
    page.HeaderBox()->setText(QStringLiteral("&l&f"));
    page.LineBelowHeaderBox()->click();
    page.FooterBox()->setText(QStringLiteral("- &p -"));
    EXPECT_TRUE(page.LineAboveFooterBox()->isEnabled());
    page.LineAboveFooterBox()->click();
    page.FooterBox()->setText(QString(300, u'x'));
    EXPECT_EQ(page.FooterBox()->text().size(), 256); // longer input cannot be typed
    page.FooterBox()->setText(QStringLiteral("- &p -"));

    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    ASSERT_EQ(sheet.result(), QDialog::Accepted) << ui.LastBox();
    EXPECT_FALSE(settings.m_bUseScreenFont);
    EXPECT_STREQ(settings.m_lfPrinterFont.lfFaceName, "Times New Roman");
    EXPECT_STREQ(settings.m_lfHeaderFont.lfFaceName, "Courier");
    EXPECT_EQ(settings.m_strHeader, "&l&f");
    EXPECT_EQ(settings.m_strFooter, "- &p -");
    EXPECT_FALSE(settings.m_bLineBelowHeader);
    EXPECT_TRUE(settings.m_bLineAboveFooter);
    EXPECT_EQ(store.GetString("Settings", "Header"), "&l&f");
    EXPECT_EQ(*store.GetBinary("Settings", "PrinterFont"), settings.m_lfPrinterFont.ToBytes());
    EXPECT_EQ(store.GetInt("Settings", "UseScreenFont"), 0);
    EXPECT_EQ(store.GetInt("Settings", "LineAboveFooter"), 1);
    EXPECT_EQ(applied, 1);
    // The screen font was not touched: the Editor page was never shown.
    EXPECT_STREQ(settings.m_lfScreenFont.lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(settings.m_lfScreenFont.lfHeight, -13);
}

TEST_F(OptionsTest, AStoredPatternLongerThanTheLimitIsRefusedWhenThePageIsLeft) {
    settings.m_strFooter = std::string(300, 'f');
    lastPage = 2;
    COptionsSheet sheet(Context());
    sheet.show();
    EXPECT_EQ(sheet.Printing().FooterBox()->text().size(), 300);
    sheet.accept();
    EXPECT_EQ(ui.LastBox(), "Please enter no more than 256 characters.");
    EXPECT_FALSE(sheet.result() == QDialog::Accepted);
    EXPECT_EQ(applied, 0);
}

TEST_F(OptionsTest, AScreenFontThisSystemLacksShowsTheFaceItResolvesTo) {
    settings = CAppSettings(96); // the classic default: 10-point "Courier"
    lastPage = 1;
    COptionsSheet sheet(Context());
    sheet.show();
    CFontNameCombo* names = sheet.Editor().NameBox();
    EXPECT_GE(names->FindExact(names->currentText()), 0) << names->currentText().toStdString();
    sheet.accept();
    EXPECT_TRUE(ui.boxes.empty()) << ui.LastBox();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_STRNE(settings.m_lfScreenFont.lfFaceName, "Courier");
    EXPECT_EQ(settings.m_lfScreenFont.lfHeight, -13); // still 10 points
}
