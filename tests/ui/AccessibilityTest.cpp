// Every control of every window has a name that a screen reader can speak: the main window
// with its panes and status bar, each dialog, every page of the Options sheet. Read through
// Qt's accessibility interface, as assistive technology reads it.

#include "AppFixture.h"
#include "support/WidgetWalk.h"

#include "app/Bookmarks.h"
#include "app/HistoryList.h"
#include "app/Settings.h"
#include "support/RecordingUi.h"
#include "ui/backup/BackupCommands.h"
#include "ui/frame/AboutDlg.h"
#include "ui/frame/ExchangeDialogs.h"
#include "ui/frame/HelpWindow.h"
#include "ui/options/OptionsSheet.h"
#include "ui/print/PageSetupDlg.h"
#include "ui/text/DateTimeDlg.h"
#include "ui/text/EditBuffer.h"
#include "ui/text/FindDlg.h"
#include "ui/text/ReplaceDlg.h"
#include "ui/tree/AddItemDlg.h"
#include "ui/tree/BookmarksDlg.h"

#include <QPrinter>
#include <QTabWidget>

namespace {

std::string Listed(const std::vector<std::string>& names) {
    std::string all;
    for (const std::string& n : names)
        all += "\n  " + n;
    return all;
}

// Shows dialog, checks it and every tab of each of its tab widgets, and closes it.
void ExpectAllNamed(QWidget& dialog, const char* what) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog)) << what;
    EXPECT_TRUE(widgetwalk::UnnamedControls(&dialog).empty())
        << what << ":" << Listed(widgetwalk::UnnamedControls(&dialog));
    for (QTabWidget* tabs : dialog.findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            const auto unnamed = widgetwalk::UnnamedControls(&dialog);
            EXPECT_TRUE(unnamed.empty())
                << what << ", page " << tabs->tabText(i).toStdString() << ":" << Listed(unnamed);
        }
    }
    dialog.hide();
}

} // namespace

class AccessibilityTest : public OpenWindowTest {};

TEST_F(AccessibilityTest, TheMainWindowsPanesBarsAndStatusFieldsAreNamed) {
    OpenWindow("named.Nota", true);
    Add(Root(), "Note", false);
    const auto unnamed = widgetwalk::UnnamedControls(Frame());
    EXPECT_TRUE(unnamed.empty()) << Listed(unnamed);
    // The panes say what they hold.
    auto* tree = QAccessible::queryAccessibleInterface(TreePane());
    auto* text = QAccessible::queryAccessibleInterface(Edit());
    ASSERT_TRUE(tree && text);
    EXPECT_FALSE(tree->text(QAccessible::Description).isEmpty());
    EXPECT_FALSE(text->text(QAccessible::Description).isEmpty());
    EXPECT_NE(tree->text(QAccessible::Name), text->text(QAccessible::Name));
}

TEST_F(AccessibilityTest, EveryDialogAndEveryOptionsPageNamesItsControls) {
    OpenWindow("dialogs.Nota");
    HTREEITEM note = Add(Root(), "Note", false);
    CRecordingUi ui;
    CHistoryList finds("Find"), replaces("Replace");

    CFindDlg find(finds, ui, 1, false, false);
    ExpectAllNamed(find, "Find");
    CEditBuffer buffer(*Edit());
    CReplaceDlg replace(finds, replaces, ui, buffer, false);
    ExpectAllNamed(replace, "Replace");
    std::vector<bookmarks::BookmarkEntry> marks{{"Notarium\\Note", note, 8, 8, false}};
    CBookmarksDlg bookmarksDlg(marks);
    ExpectAllNamed(bookmarksDlg, "Bookmarks");
    CAddItemDlg add(Tree());
    ExpectAllNamed(add, "Add Item");
    CDateTimeDlg dateTime;
    ExpectAllNamed(dateTime, "Date and Time");
    QPrinter printer;
    CPageSetupDlg pageSetup(RECT{1000, 1000, 1000, 1000}, printer);
    ExpectAllNamed(pageSetup, "Page Setup");
    CExportDlg exportDlg(ExportDefaults{QStringLiteral("Docs"), "/tmp", "Docs", "all"});
    ExpectAllNamed(exportDlg, "Export");
    CImportDlg importDlg(QStringLiteral("Docs"), "/tmp");
    ExpectAllNamed(importDlg, "Import");
    CAboutDlg about;
    ExpectAllNamed(about, "About");
    CBackupCommands& commands = Frame()->BackupCommands();
    CBackupsDlg backups({app->Doc(), ui, commands.Auto(), commands.Checker(), *TreePane(), {}});
    ExpectAllNamed(backups, "Backups");
    EXPECT_TRUE(widgetwalk::SharedMnemonics(&backups).empty());
    CHelpWindow help;
    help.ShowTopic(QStringLiteral("index.html"));
    ExpectAllNamed(help, "Help");

    CAppSettings settings{96};
    int lastPage = 0;
    OPTIONSCONTEXT context;
    context.settings = &settings;
    context.ui = &ui;
    context.lastPage = &lastPage;
    COptionsSheet options(context);
    ExpectAllNamed(options, "Options");
}
