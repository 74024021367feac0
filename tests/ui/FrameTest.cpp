// The main window: enable rules, routing, the Compact command, window placement and bars.
#include "AppFixture.h"
#include "app/Records.h"
#include "platform/Strings.h"
#include "ui/frame/CommandTable.h"
#include "ui/text/EditPaneView.h"

#include <QClipboard>
#include <QDialog>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

class FrameTest : public OpenWindowTest {
protected:
    void SetUp() override { OpenWindow("frame.Nota"); }
    bool Enabled(UINT id) {
        Frame()->UpdateCommandStates();
        return Frame()->Action(id)->isEnabled();
    }
};

TEST_F(FrameTest, ItemCommandsFollowTheSelection) {
    EXPECT_EQ(Tree().GetSelectedItem(), Root());
    EXPECT_FALSE(Enabled(ID_DELETE_ITEM)); // the root
    EXPECT_TRUE(Enabled(ID_RENAME));
    EXPECT_FALSE(Enabled(ID_QUICK_COPY)); // no stored text
    EXPECT_TRUE(Enabled(ID_ADD_ITEM));

    HTREEITEM hNote = Add(Root(), "Note", false);
    ASSERT_EQ(Tree().GetSelectedItem(), hNote);
    EXPECT_TRUE(Enabled(ID_DELETE_ITEM));
    EXPECT_FALSE(Enabled(ID_QUICK_COPY)); // a new textlet has no text yet

    Edit()->insertPlainText(QStringLiteral("some text"));
    ASSERT_TRUE(app->Doc().StorePendingText());
    EXPECT_TRUE(Enabled(ID_QUICK_COPY));

    Tree().SelectItem(nullptr);
    QApplication::processEvents();
    EXPECT_FALSE(Enabled(ID_RENAME));
    EXPECT_FALSE(Enabled(ID_DELETE_ITEM));
}

TEST_F(FrameTest, AFeaturePlugsInByRegisteringAHandler) {
    // A handler registered at the frame's level runs when the command is chosen.
    bool ran = false;
    Frame()->Router().Set(CommandLevel::Frame, ID_OPTIONS, [&ran] { ran = true; });
    EXPECT_TRUE(Enabled(ID_OPTIONS));
    Frame()->Action(ID_OPTIONS)->trigger();
    EXPECT_TRUE(ran);
}

TEST_F(FrameTest, EditCommandsGoToTheFocusedPane) {
    Add(Root(), "Note", false);
    Edit()->setFocus();
    QApplication::processEvents();
    Edit()->insertPlainText(QStringLiteral("hello"));
    EXPECT_FALSE(Enabled(ID_EDIT_COPY)); // nothing selected in the text
    EXPECT_TRUE(Enabled(ID_EDIT_SELECT_ALL));
    Frame()->Action(ID_EDIT_SELECT_ALL)->trigger();
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    EXPECT_TRUE(Enabled(ID_EDIT_CUT));

    // In the tree, with no label being edited, Cut takes items (off for the root), and
    // Select All belongs to the text pane only.
    Frame()->TreePane()->setFocus();
    QApplication::processEvents();
    Tree().SelectItem(Root());
    QApplication::processEvents();
    EXPECT_FALSE(Enabled(ID_EDIT_CUT));
    EXPECT_FALSE(Enabled(ID_EDIT_SELECT_ALL));
    bool cut = false;
    Frame()->SetItemCommand(ID_EDIT_CUT, {[&cut] { cut = true; }, {}});
    EXPECT_TRUE(Enabled(ID_EDIT_CUT));
    Frame()->Action(ID_EDIT_CUT)->trigger();
    EXPECT_TRUE(cut);
}

TEST_F(FrameTest, TheTreePanesCutCopyAndPasteMoveItemsThroughTheClipboard) {
    QGuiApplication::clipboard()->setText(QStringLiteral("not items"));
    HTREEITEM box = Add(Root(), "Box", true);
    Add(box, "Inside", false);
    Frame()->TreePane()->setFocus();
    QApplication::processEvents();
    Tree().SelectItem(box);
    EXPECT_TRUE(Enabled(ID_EDIT_CUT));
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
    EXPECT_FALSE(
        Frame()->MainToolBar()->widgetForAction(Frame()->Action(ID_EDIT_PASTE))->isEnabled());

    Frame()->Action(ID_EDIT_CUT)->trigger(); // Ctrl+X: no question, the item goes
    EXPECT_EQ(ui.boxes.size(), 0u);
    EXPECT_EQ(Tree().GetChildItem(Root()), nullptr);
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Box\n  Inside\n"));

    Tree().SelectItem(Root());
    Frame()->Action(ID_EDIT_PASTE)->trigger();
    HTREEITEM back = Tree().GetSelectedItem();
    ASSERT_NE(back, Root());
    EXPECT_EQ(Tree().GetItemText(back), "Box");
    EXPECT_EQ(Tree().GetItemText(Tree().GetChildItem(back)), "Inside");

    // With the text pane focused, Copy is the text's again.
    Edit()->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(Enabled(ID_EDIT_COPY));
}

TEST_F(FrameTest, WindowAcceleratorsComeBeforeTheTextPanesKeys) {
    HTREEITEM hNote = Add(Root(), "Note", false);
    Frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    Edit()->setFocus();
    QApplication::processEvents();
    ui.answers = {IDYES};
    QTest::keyClick(Edit(), Qt::Key_Delete, Qt::ControlModifier); // Delete Item
    QApplication::processEvents();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Delete 'Note'?");
    EXPECT_EQ(Tree().GetCount(), 1u);
    (void)hNote;
}

TEST_F(FrameTest, CompactAsksFirstAndCancelLeavesTheFileAlone) {
    HTREEITEM hNote = Add(Root(), "Note", false);
    Edit()->insertPlainText(QString(3000, QLatin1Char('x')));
    ASSERT_TRUE(app->Doc().StorePendingText());
    ASSERT_TRUE(app->Doc().DeleteItem(hNote)); // leaves free blocks behind
    QApplication::processEvents();
    const std::vector<BYTE> before = ReadFileBytes(path);

    ui.boxes.clear();
    ui.answers = {IDCANCEL};
    Frame()->Action(ID_FILE_COMPACT)->trigger();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, str::kCompactQuestion);
    EXPECT_EQ(ui.boxes[0].type & MB_TYPEMASK, MB_OKCANCEL);
    EXPECT_EQ(ReadFileBytes(path), before);

    ui.answers = {IDOK};
    Frame()->Action(ID_FILE_COMPACT)->trigger();
    EXPECT_EQ(ReadFileBytes(path).size(), 544u); // header and one tree block
    EXPECT_EQ(ui.progressBegun, 1);
    EXPECT_EQ(ui.progressEnded, 1);
    EXPECT_TRUE(app->Doc().IsOpen());
}

TEST_F(FrameTest, PlacementDividerAndBarsComeBack) {
    Frame()->setGeometry(60, 70, 700, 500);
    Frame()->Splitter()->setSizes({230, 470});
    Frame()->ShowBar(CMainFrame::Bar::BookmarkToolbar, false);
    QApplication::processEvents();
    const QRect placed = Frame()->geometry();
    Frame()->close();
    Exit();

    Start({QString::fromStdString(path)});
    ASSERT_NE(Frame(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame()));
    EXPECT_EQ(Frame()->geometry(), placed);
    EXPECT_EQ(app->Settings().m_nDividerPos, 230);
    EXPECT_EQ(Frame()->Splitter()->sizes().value(0), 230);
    EXPECT_TRUE(Frame()->IsBarVisible(CMainFrame::Bar::MainToolbar));
    EXPECT_FALSE(Frame()->IsBarVisible(CMainFrame::Bar::BookmarkToolbar));
    EXPECT_TRUE(Frame()->IsBarVisible(CMainFrame::Bar::StatusBar));
}

TEST_F(FrameTest, ClosingStoresTheTextBeingEditedAndTheSelection) {
    HTREEITEM hFolder = Add(Root(), "Folder", true);
    Add(hFolder, "Inner", false);
    Edit()->insertPlainText(QStringLiteral("line one\nline two"));
    Frame()->close();
    Exit();

    Start({QString::fromStdString(path)});
    HTREEITEM hSel = Tree().GetSelectedItem();
    ASSERT_NE(hSel, nullptr);
    EXPECT_EQ(Tree().GetItemText(hSel), "Inner");
    EXPECT_EQ(Edit()->toPlainText(), QStringLiteral("line one\nline two"));
}

TEST_F(FrameTest, StatusBarAndToolbarsHoldTheirCommandsInOrder) {
    EXPECT_EQ(Frame()->MainToolBar()->windowTitle(), QStringLiteral("Toolbar"));
    EXPECT_EQ(Frame()->BookmarkBar()->windowTitle(), QStringLiteral("Bookmarks"));
    auto tips = [](QToolBar* bar) {
        QStringList list;
        for (QAction* a : bar->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->toolTip());
        return list;
    };
    EXPECT_EQ(tips(Frame()->MainToolBar()),
              QStringList({"New File", "Open File",   "-",         "Cut",           "Copy",
                           "Paste",    "Quick Copy",  "-",         "Date and Time", "-",
                           "Add Item", "Delete Item", "-",         "Expand All",    "Collapse All",
                           "-",        "Find",        "Find Next", "Find Previous", "-",
                           "Print"}));
    EXPECT_EQ(tips(Frame()->BookmarkBar()),
              QStringList({"Toggle Bookmark", "Next Bookmark", "Previous Bookmark", "Bookmarks",
                           "Remove All Bookmarks"}));
    QAction* add = Frame()->Action(ID_ADD_ITEM);
    EXPECT_EQ(add->statusTip(), QStringLiteral("Add a new folder or textlet"));
    EXPECT_EQ(add->toolTip(), QStringLiteral("Add Item"));
    EXPECT_EQ(add->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_FALSE(add->icon().isNull());
    EXPECT_EQ(Frame()->Action(ID_EDIT_CUT)->shortcuts().size(), 2);
}

TEST_F(FrameTest, ContextMenusHoldTheirCommandsInOrder) {
    auto texts = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text().section('\t', 0, 0));
        return list;
    };
    EXPECT_EQ(texts(Frame()->TreeContextMenu()),
              QStringList({"Cu&t", "&Copy", "&Paste", "&Quick Copy", "-", "&Add Item...",
                           "&Delete Item...", "R&ename", "-", "&Find...", "-", "&Bookmarks"}));
    EXPECT_EQ(texts(Frame()->EditContextMenu()),
              QStringList({"&Undo", "Cu&t", "&Copy", "&Paste", "&Select All", "&Quick Copy",
                           "Date and &Time...", "&Find...", "&Replace...", "&Print..."}));
}

TEST_F(FrameTest, HelpShowsTheContentsAndTheTopicOfThePane) {
    Frame()->Action(ID_HELP_FINDER)->trigger();
    ASSERT_NE(Frame()->HelpWindow(), nullptr);
    EXPECT_TRUE(Frame()->HelpWindow()->isVisible());
    EXPECT_EQ(Frame()->HelpWindow()->CurrentTopic(), QStringLiteral("index.html"));

    Frame()->Router().SetActivePane(CommandLevel::EditPane);
    Frame()->Action(ID_HELP)->trigger();
    EXPECT_EQ(Frame()->HelpWindow()->CurrentTopic(), QStringLiteral("editing.html"));
    Frame()->ShowHelp(QStringLiteral("AddItem")); // a dialog's topic
    EXPECT_EQ(Frame()->HelpWindow()->CurrentTopic(), QStringLiteral("tree.html"));
    Frame()->ShowHelp(QStringLiteral("nothing-like-this"));
    EXPECT_EQ(Frame()->HelpWindow()->CurrentTopic(), QStringLiteral("index.html"));
    Frame()->HelpWindow()->close();
}

TEST_F(FrameTest, ClosingMaximizedKeepsTheRestoredRectangle) {
    Frame()->setGeometry(50, 60, 640, 480);
    QApplication::processEvents();
    const QRect normal = Frame()->geometry();
    Frame()->showMaximized();
    QApplication::processEvents();
    if (!Frame()->isMaximized())
        GTEST_SKIP() << "this platform does not maximize windows";
    Frame()->close();
    Exit();

    QSettings ini(QString::fromStdString(dir.File("settings.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Settings/WindowMax").toInt(), 1);
    const QByteArray pos = ini.value("Settings/WindowPos").toByteArray();
    ASSERT_EQ(pos.size(), 16);
    RECT rc;
    ASSERT_TRUE(rc.FromBytes(std::vector<BYTE>(pos.begin(), pos.end())));
    EXPECT_EQ(QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top), normal);

    Start({QString::fromStdString(path)});
    EXPECT_TRUE(Frame()->isMaximized());
    Frame()->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(Frame()->geometry(), normal);
}

TEST_F(FrameTest, IdleStepWaitsForModalLoopsAndBusyWork) {
    EXPECT_TRUE(app->OnIdle());
    QApplication::setOverrideCursor(Qt::WaitCursor); // a long operation is running
    EXPECT_FALSE(app->OnIdle());
    QApplication::restoreOverrideCursor();

    bool idleInDialog = true;
    QDialog dialog(Frame());
    QTimer::singleShot(0, &dialog, [&] {
        idleInDialog = app->OnIdle();
        dialog.reject();
    });
    dialog.exec();
    EXPECT_FALSE(idleInDialog);
}

TEST_F(FrameTest, DroppedFileOpensWithTheDocumentsOwnChecks) {
    const std::string other = NewDataFile("dropped.Nota");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame(), &drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return OpenPath() == other; }, 2000));
    EXPECT_EQ(app->RecentFiles()[0], other);
}

TEST_F(FrameTest, SplitMovesTheDividerWithArrowsAndEscapeRestoresIt) {
    Frame()->Splitter()->setSizes({200, 500});
    QApplication::processEvents();
    Frame()->Action(ID_WINDOW_SPLIT)->trigger();
    QTest::keyClick(Frame(), Qt::Key_Right);
    QTest::keyClick(Frame(), Qt::Key_Right);
    EXPECT_EQ(Frame()->Splitter()->sizes().value(0), 216);
    QTest::keyClick(Frame(), Qt::Key_Escape);
    EXPECT_EQ(Frame()->Splitter()->sizes().value(0), 200);

    Frame()->Action(ID_WINDOW_SPLIT)->trigger();
    QTest::keyClick(Frame(), Qt::Key_Left);
    QTest::keyClick(Frame(), Qt::Key_Return);
    EXPECT_EQ(Frame()->Splitter()->sizes().value(0), 192);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
