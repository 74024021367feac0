// What a new user meets in the first hour, done as the user did it: keys typed into the
// Options sheet, F1 in each dialog, Ctrl+Tab past a refusing page, the fonts' boxes and
// dialogs, long bookmark paths, a drag that cannot be made, the help's word on Undo, the
// Date and Time formats, the file dialogs' columns and the name printing to a file proposes.

#include "AppFixture.h"
#include "TreePaneFixture.h"

#include "app/Bookmarks.h"
#include "ui/frame/FileDialogs.h"
#include "ui/frame/HelpWindow.h"
#include "ui/frame/ToolIcons.h"
#include "ui/options/FontPickers.h"
#include "ui/options/OptionsPages.h"
#include "ui/options/OptionsSheet.h"
#include "ui/print/PrintService.h"
#include "ui/text/DateTimeDlg.h"
#include "ui/tree/BookmarksDlg.h"
#include "ui/tree/ItemDrag.h"
#include "ui/tree/ItemMimeData.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFile>
#include <QFontDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <filesystem>
#include <fstream>

namespace {

// The sheet as the program runs it, with the tab and pages a message box shows over.
class CSheetUi : public CRecordingUi {
public:
    COptionsSheet* sheet = nullptr;
    std::vector<int> tabAtBox;
    int MessageBox(const std::string& text, UINT type) override {
        tabAtBox.push_back(sheet ? sheet->Tabs()->currentIndex() : -1);
        return CRecordingUi::MessageBox(text, type);
    }
};

class OptionsKeysTest : public ::testing::Test {
protected:
    CSheetUi ui;
    CAppSettings settings{96};
    int lastPage = 1; // the Editor page
    std::unique_ptr<COptionsSheet> sheet;

    void SetUp() override {
        settings.m_lfScreenFont.SetFaceName("DejaVu Sans Mono");
        settings.m_lfScreenFont.lfHeight = -16; // 12 points at 96 dpi
        OPTIONSCONTEXT c;
        c.settings = &settings;
        c.ui = &ui;
        c.lastPage = &lastPage;
        sheet = std::make_unique<COptionsSheet>(c);
        ui.sheet = sheet.get();
        sheet->show();
        sheet->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    }
    CEditorPageDlg& Editor() { return sheet->Editor(); }
    // Types into a box as the user does: click into it, select what is there, type.
    void TypeInto(QComboBox* box, const QString& text) {
        box->lineEdit()->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, keys);
        QApplication::processEvents();
    }
    static LONG HeightOf(int points) { return -MulDiv(points * 20, 96, 1440); }
};

} // namespace

TEST_F(OptionsKeysTest, ASizeTypedIntoTheSizeBoxIsTakenByEnter) {
    TypeInto(Editor().SizeBox(), QStringLiteral("13"));
    Press(Qt::Key_Return);
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(settings.m_lfScreenFont.lfHeight, HeightOf(13));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(OptionsKeysTest, ANameTypedThenTabThenEnterClosesWithTheSizeTheBoxShows) {
    TypeInto(Editor().NameBox(), QStringLiteral("Noto Mono"));
    Press(Qt::Key_Tab);
    EXPECT_TRUE(QApplication::focusWidget() == Editor().SizeBox() ||
                QApplication::focusWidget() == Editor().SizeBox()->lineEdit())
        << QApplication::focusWidget()->metaObject()->className() << " "
        << QApplication::focusWidget()->parentWidget()->metaObject()->className();
    const QString shown = Editor().SizeBox()->currentText();
    EXPECT_EQ(shown, QStringLiteral("12"));
    Press(Qt::Key_Return);
    ASSERT_EQ(sheet->result(), QDialog::Accepted) << "one Enter closes the sheet";
    EXPECT_STREQ(settings.m_lfScreenFont.lfFaceName, "Noto Mono");
    EXPECT_EQ(settings.m_lfScreenFont.lfHeight, HeightOf(shown.toInt()));
}

TEST_F(OptionsKeysTest, CtrlTabPastABadTabWidthShowsTheMessageOverTheEditorPage) {
    Editor().TabWidthBox()->setFocus();
    Editor().TabWidthBox()->selectAll();
    QTest::keyClicks(Editor().TabWidthBox(), QStringLiteral("17"));
    Press(Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Please enter an integer between 1 and 16.");
    EXPECT_EQ(ui.tabAtBox, std::vector<int>{1}); // not the unfilled Printing page behind it
    EXPECT_EQ(sheet->Tabs()->currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), Editor().TabWidthBox());
    // Once put right, Ctrl+Tab goes on to a filled Printing page.
    Editor().TabWidthBox()->selectAll();
    QTest::keyClicks(Editor().TabWidthBox(), QStringLiteral("6"));
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(sheet->Tabs()->currentIndex(), 2);
    EXPECT_EQ(sheet->Printing().HeaderBox()->text(), QString::fromStdString(settings.m_strHeader));
}

class DialogHelpTest : public OpenWindowTest {
protected:
    // Runs the command; in the dialog it opens, presses F1 where the focus is and notes the
    // help's topic and whether the help covers the dialog; then closes the dialog.
    QString F1In(UINT command) {
        QString topic = QStringLiteral("(no help)");
        QTimer::singleShot(50, [&] {
            QWidget* dlg = QApplication::activeModalWidget();
            if (!dlg)
                dlg = QApplication::activeWindow();
            if (!dlg || dlg == Frame()) {
                topic = QStringLiteral("(no dialog)");
                return;
            }
            QWidget* focus = dlg->focusWidget() ? dlg->focusWidget() : dlg;
            QTest::keyClick(focus, Qt::Key_F1);
            CHelpWindow* help = Frame()->HelpWindow();
            if (help && help->isVisible()) {
                topic = help->CurrentTopic();
                covered = help->frameGeometry().intersects(dlg->frameGeometry());
                help->close();
            }
            if (auto* dialog = qobject_cast<QDialog*>(dlg))
                dialog->reject();
            else
                dlg->close();
        });
        Frame()->Action(command)->trigger();
        QTest::qWait(100);
        return topic;
    }
    bool covered = false;
};

TEST_F(DialogHelpTest, F1InEachDialogOpensItsOwnTopic) {
    OpenWindow("help.Nota", true);
    HTREEITEM note = Add(Root(), "Note", false);
    Tree().SelectItem(note);
    Edit()->setFocus();
    EXPECT_EQ(F1In(ID_OPTIONS), QStringLiteral("settings.html#options"));
    EXPECT_EQ(F1In(ID_DATE_TIME), QStringLiteral("settings.html#datetime"));
    EXPECT_EQ(F1In(ID_FILE_PAGE_SETUP), QStringLiteral("settings.html#printing"));
    EXPECT_EQ(F1In(ID_FIND), QStringLiteral("editing.html#find"));
    EXPECT_EQ(F1In(ID_FILE_BACKUPS), QStringLiteral("backups.html"));
}

TEST(HelpPlacementTest, TheHelpOpensBesideTheDialogThatAskedWhenThereIsRoom) {
    QDialog dialog;
    dialog.setGeometry(QRect(20, 40, 200, 150));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QRect screen = dialog.screen()->availableGeometry();
    CHelpWindow help;
    help.resize(std::min(560, screen.width() - 260), 300);
    help.PlaceBeside(&dialog);
    help.show();
    EXPECT_FALSE(help.frameGeometry().intersects(dialog.frameGeometry()));
    EXPECT_TRUE(screen.contains(help.frameGeometry().topLeft()));
    // At the right edge of the screen it goes to the dialog's left.
    dialog.move(screen.right() - 210, 40);
    help.PlaceBeside(&dialog);
    EXPECT_LT(help.x(), dialog.x());
}

// ---- the font pickers and the font dialogs ----------------------------------------------------

TEST(FontBoxesTest, NamesShowTheirStartAndTheUsersWritingSystemComesFirst) {
    CFontNameCombo names;
    names.resize(120, names.height()); // narrower than its longest names
    names.m_nUserCharSet = 0;          // a Western user
    names.FillFontList(false);
    names.SelectByText(QStringLiteral("DejaVu Serif"), false);
    EXPECT_EQ(names.currentText(), QStringLiteral("DejaVu Serif (Western)"));
    EXPECT_EQ(names.lineEdit()->cursorPosition(), 0) << "the start of the name in sight";
    names.SelectFont(QStringLiteral("DejaVu Sans Mono"), 1);
    EXPECT_EQ(names.currentText(), QStringLiteral("DejaVu Sans Mono (Western)"));
    EXPECT_EQ(names.lineEdit()->cursorPosition(), 0);
    // The list is wide enough for its longest name.
    int widest = 0;
    for (int i = 0; i < names.count(); ++i)
        widest =
            std::max(widest, names.view()->sizeHintForIndex(names.model()->index(i, 0)).width());
    EXPECT_GE(names.view()->minimumWidth(), widest);

    names.m_nUserCharSet = 204; // a Cyrillic user
    names.FillFontList(false);
    names.SelectByText(QStringLiteral("DejaVu Serif"), false);
    EXPECT_EQ(names.currentText(), QStringLiteral("DejaVu Serif (Cyrillic)"));
}

TEST(FontBoxesTest, TheFontDialogsOfferNoEffects) {
    bool sawDialog = false;
    QStringList visibleChecks;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        if (dialog) {
            sawDialog = true;
            for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
                if (box->isVisibleTo(dialog))
                    visibleChecks << box->text();
            dialog->reject();
        }
    });
    LOGFONT lf;
    lf.SetFaceName("DejaVu Sans");
    lf.lfUnderline = 1;
    EXPECT_FALSE(ChooseFontDialog(lf, 96, nullptr));
    EXPECT_TRUE(sawDialog);
    EXPECT_TRUE(visibleChecks.isEmpty()) << visibleChecks.join(u',').toStdString();
}

// ---- bookmarks, help text, dates -------------------------------------------------------------

TEST(BookmarksListTest, ALongPathKeepsItsEndInSight) {
    std::string path = "Notarium";
    for (int i = 0; i < 12; ++i)
        path += "\\Folder number " + std::to_string(i);
    path += "\\The item itself";
    std::vector<bookmarks::BookmarkEntry> entries{{path, nullptr, 8, 8, false}};
    CBookmarksDlg dlg(entries);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* list = dlg.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    const QRect row = list->visualItemRect(list->item(0));
    EXPECT_LE(row.right(), list->viewport()->rect().right()) << "the row fits the list";
    EXPECT_EQ(list->textElideMode(), Qt::ElideLeft);
    EXPECT_EQ(list->item(0)->toolTip().toStdString(), path);
}

TEST(HelpTextTest, ReplaceHelpPromisesOnlyTheUndoThereIs) {
    InitNotariumResources();
    QFile page(QStringLiteral(":/help/editing.html"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll()).simplified();
    EXPECT_FALSE(text.contains(QStringLiteral("Every replacement can be undone")));
    EXPECT_TRUE(text.contains(QStringLiteral("Undo takes back the last replacement")));
}

TEST(DateFormatsTest, OnlyTheLocalesOwnFormatsAreOffered) {
    const QDateTime moment(QDate(2026, 3, 9), QTime(14, 5, 7));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QStringList own;
    for (auto format : {QLocale::ShortFormat, QLocale::LongFormat, QLocale::NarrowFormat}) {
        own << us.toString(moment.date(), format) << us.toString(moment.time(), format);
    }
    for (const QString& entry : CDateTimeDlg::Entries(moment, us))
        EXPECT_TRUE(own.contains(entry)) << entry.toStdString() << " is not one of the locale's";
    EXPECT_FALSE(CDateTimeDlg::Entries(moment, us).contains(QStringLiteral("2026-03-09")));
    // A locale that writes ISO dates keeps them.
    const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    if (swedish.dateFormat(QLocale::ShortFormat) == QStringLiteral("yyyy-MM-dd")) {
        EXPECT_TRUE(CDateTimeDlg::Entries(moment, swedish).contains(QStringLiteral("2026-03-09")));
    }
}

// ---- file dialogs and printing to a file ----------------------------------------------------

TEST(FileDialogColumnsTest, SizeTypeAndDateAreShownWhole) {
    CTempDir dir;
    std::ofstream(dir.File("A rather long file name for the list.Nota")) << "x";
    COpenFileDlg dlg(nullptr, QString::fromStdString(dir.Path()));
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto* details = dlg.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(details, nullptr);
    details->setVisible(true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return details->model()->rowCount(details->rootIndex()) > 0; }, 3000));
    QApplication::processEvents();
    QHeaderView* header = details->header();
    for (int column = 1; column < header->count(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        int widest = 0;
        const QModelIndex root = details->rootIndex();
        for (int row = 0; row < details->model()->rowCount(root); ++row)
            widest = std::max(
                widest,
                details->sizeHintForIndex(details->model()->index(row, column, root)).width());
        EXPECT_GE(header->sectionSize(column), widest) << column;
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                  details->viewport()->width())
            << "column " << column << " runs past the view";
    }
}

TEST(PrintToFileTest, TheDialogIsToldTheDataFilesName) {
    CRecordingUi ui;
    CAppSettings settings{96};
    CPrintService service(settings, ui);
    QString docName;
    service.m_runPrintDialog = [&](QPrintDialog& dialog) {
        docName = dialog.printer()->docName();
        return false;
    };
    PRINTSOURCE source;
    source.text = QStringLiteral("text");
    source.docPath = "/home/u/Recipes.Nota";
    source.itemTitle = "Pie";
    service.Print(source, QString(), nullptr);
    // Qt's dialog proposes "<docName without its extension>.pdf" for printing to a file.
    EXPECT_EQ(docName, QStringLiteral("Recipes.Nota"));
}

// ---- a drag that cannot be made -------------------------------------------------------------

TEST_F(PaneTest, ADragWhoseDataCannotBeMadeReportsOnlyItsFileError) {
    HTREEITEM folder = Add(Root(), "Archive", true);
    HTREEITEM note = Add(Root(), "Note");
    Select(note);
    Type(QStringLiteral("words"));
    Select(Root());
    Tree().SetItemData(note, 0x7FFFFE00); // its text cannot be read
    std::unique_ptr<CItemMimeData> data(
        static_cast<CItemMimeData*>(pane->Model().mimeData({pane->Model().IndexOf(note)})));
    ASSERT_TRUE(data);
    const QPoint pos = pane->visualRect(pane->Model().IndexOf(folder)).center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(pos, offered, data.get(), Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(pane->viewport(), &enter);
    QDragMoveEvent move(pos, offered, data.get(), Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(pane->viewport(), &move);
    QDropEvent drop(QPointF(pos), offered, data.get(), Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(pane->viewport(), &drop);
    pane->Model().DragEnded(drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction);
    ASSERT_EQ(ui.boxes.size(), 1u) << ui.LastBox();
    EXPECT_NE(ui.boxes[0].text, "Out of memory.");
    EXPECT_EQ(Tree().GetChildItem(folder), nullptr);
}
