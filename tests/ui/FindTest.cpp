// Find, Replace and bookmarks in the window: the dialogs driven as a user drives them, the
// walks across items as the window shows them, and Escape on a long walk.
#include "AppFixture.h"
#include "app/Bookmarks.h"
#include "app/Settings.h"
#include "platform/Strings.h"
#include "ui/text/EditPaneView.h"
#include "ui/text/FindDlg.h"
#include "ui/text/ReplaceDlg.h"
#include "ui/tree/BookmarkCommands.h"
#include "ui/tree/BookmarksDlg.h"
#include "ui/tree/FindCommands.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
const std::string kInvalid =
    "Invalid search string. Enter one or more non-space characters in the 'Find What' field.";
} // namespace

class FindTest : public OpenWindowTest {
protected:
    void SetUp() override { OpenWindow("find.Nota", true); }
    CFindCommands& Find() { return Frame()->FindCommands(); }
    CBookmarkCommands& Marks() { return Frame()->BookmarkCommands(); }
    CAppSettings& Settings() { return app->Settings(); }

    void Idle() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !TreePane()->IsSelChangePending(); }, 2000));
    }
    // A textlet with text (or a folder), stored; the selection stays on it.
    HTREEITEM Add(HTREEITEM parent, const std::string& title, const QString& text = {},
                  bool folder = false) {
        HTREEITEM h = app->Doc().InsertNewItem(parent, title, folder);
        Idle();
        if (!text.isEmpty()) {
            Edit()->setPlainText(text);
            EXPECT_TRUE(app->Doc().StorePendingText());
        }
        return h;
    }
    void Select(HTREEITEM h) {
        Tree().SelectItem(h);
        Idle();
    }
    QString Selected() { return Edit()->textCursor().selectedText(); }
    // Runs fn on the dialog once its modal loop runs.
    template <typename Dlg> static void Later(Dlg& dlg, std::function<void(Dlg&)> fn) {
        QTimer::singleShot(0, &dlg, [&dlg, fn] { fn(dlg); });
    }
    // A key pressed on a pane of the active window, its commands' states as the idle step
    // leaves them (no window manager activates the window again after a dialog here).
    void Key(QWidget* pane, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Frame()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Frame()));
        Frame()->UpdateCommandStates();
        QTest::keyClick(pane, key, mods);
    }
    bool Enabled(UINT id) {
        Frame()->UpdateCommandStates();
        return Frame()->Action(id)->isEnabled();
    }
};

TEST_F(FindTest, CtrlFEntireFileEnterSelectsTheHitAndHighlightsTheMatch) {
    HTREEITEM hA = Add(Root(), "Alpha", QStringLiteral("nothing here"));
    HTREEITEM hB = Add(Root(), "Beta", QStringLiteral("first line\nthe Needle is here"));
    Select(hA);
    TreePane()->setFocus();
    Find().m_onFindDialog = [](CFindDlg& dlg) {
        Later<CFindDlg>(dlg, [](CFindDlg& d) {
            EXPECT_FALSE(d.MarkAllButton()->isEnabled()); // current textlet by default
            QTest::keyClicks(d.FindWhat()->lineEdit(), QStringLiteral("needle"));
            d.EntireFile()->click();
            EXPECT_TRUE(d.EntireFile()->isChecked());
            EXPECT_TRUE(d.MarkAllButton()->isEnabled());
            QTest::keyClick(d.FindWhat()->lineEdit(), Qt::Key_Return);
        });
    };
    Key(TreePane(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Tree().GetSelectedItem(), hB);
    EXPECT_EQ(Selected(), QStringLiteral("Needle")); // case folded, CR LF counted as one
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 15);
    EXPECT_EQ(Settings().m_nFindScope, 1);
    EXPECT_EQ(Settings().m_findHistory[0], "needle");
    EXPECT_TRUE(ui.boxes.empty());
    // The status text while it searched, and the prompt again afterwards.
    ASSERT_GE(ui.statusTexts.size(), 2u);
    EXPECT_EQ(ui.statusTexts[ui.statusTexts.size() - 2],
              "Searching for 'needle'...  Press Escape to Stop");
    EXPECT_EQ(ui.statusTexts.back(), str::kIdlePrompt);

    // F3 again: the only other match is the same one, found again in the second pass.
    Edit()->moveCursor(QTextCursor::End);
    Key(TreePane(), Qt::Key_F3);
    EXPECT_EQ(Tree().GetSelectedItem(), hB);
    EXPECT_EQ(Selected(), QStringLiteral("Needle"));
}

TEST_F(FindTest, WalksAcrossItemsWrapAsTheWindowShowsThem) {
    HTREEITEM hA = Add(Root(), "A", QStringLiteral("x key"));
    HTREEITEM hB = Add(Root(), "B", QStringLiteral("key - key"));
    HTREEITEM hC = Add(Root(), "C keynote", QStringLiteral("none"));
    Settings().m_findHistory.Add("key");
    Settings().m_nFindScope = 1;

    // In the current text after the caret: selected without walking.
    Select(hB);
    Edit()->moveCursor(QTextCursor::Start);
    Find().FindNext(false);
    EXPECT_EQ(Tree().GetSelectedItem(), hB);
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 0);
    Find().FindNext(false);
    EXPECT_EQ(Tree().GetSelectedItem(), hB);
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 6);
    // Then the following items, the title of C (its text has none).
    Find().FindNext(false);
    EXPECT_EQ(Tree().GetSelectedItem(), hC);
    // Wrapping: from the top, A's text.
    Find().FindNext(false);
    EXPECT_EQ(Tree().GetSelectedItem(), hA);
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 2);
    // Backwards from A wraps to the last item, C (a title: nothing selected in its text).
    Find().FindNext(true);
    EXPECT_EQ(Tree().GetSelectedItem(), hC);
    EXPECT_FALSE(Edit()->textCursor().hasSelection());
    // Find Previous from C: B's last match.
    Find().FindNext(true);
    EXPECT_EQ(Tree().GetSelectedItem(), hB);
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 6);

    // Titles only skips every text, the current one too.
    Settings().m_nFindTitlesOnly = 1;
    Select(hA);
    Find().FindNext(false);
    EXPECT_EQ(Tree().GetSelectedItem(), hC);
    // A match only before the caret in the current textlet, none elsewhere: found after
    // all the other items, in the second pass.
    Settings().m_nFindTitlesOnly = 0;
    Settings().m_findHistory.Add("x key");
    Select(hA);
    Edit()->moveCursor(QTextCursor::End);
    Find().FindNext(false);
    EXPECT_EQ(Tree().GetSelectedItem(), hA);
    EXPECT_EQ(Selected(), QStringLiteral("x key"));
    EXPECT_TRUE(ui.boxes.empty());
    // Nothing anywhere.
    Settings().m_findHistory.Add("absent");
    Find().FindNext(false);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Cannot find the string 'absent'.");
    EXPECT_EQ(Tree().GetSelectedItem(), hA);
}

TEST_F(FindTest, CurrentTextletWrapsOnceAndReportsNothingFound) {
    Add(Root(), "Note", QStringLiteral("abc def abc"));
    Settings().m_findHistory.Add("abc");
    Settings().m_nFindScope = 0;
    QTextCursor c = Edit()->textCursor();
    c.setPosition(5);
    Edit()->setTextCursor(c);
    Find().FindNext(false);
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 8);
    Find().FindNext(false); // wraps to the top
    EXPECT_EQ(Edit()->textCursor().selectionStart(), 0);
    EXPECT_TRUE(Edit()->hasFocus());
    Settings().m_findHistory.Add("xyz");
    Find().FindNext(false);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Cannot find the string 'xyz'.");
    EXPECT_EQ(Selected(), QStringLiteral("abc")); // the selection did not move
}

TEST_F(FindTest, FindDialogEnableRulesValidationAndCancel) {
    Settings().m_nFindScope = 0;
    Settings().m_nFindMatchCase = 0;
    bool checked = false;
    Find().m_onFindDialog = [&](CFindDlg& dlg) {
        Later<CFindDlg>(dlg, [&](CFindDlg& d) {
            EXPECT_FALSE(d.TitlesOnlyBox()->isEnabled());
            EXPECT_FALSE(d.MarkAllButton()->isEnabled());
            d.EntireFile()->click();
            EXPECT_TRUE(d.TitlesOnlyBox()->isEnabled());
            EXPECT_TRUE(d.MarkAllButton()->isEnabled());
            d.CurrentTextlet()->click();
            EXPECT_FALSE(d.TitlesOnlyBox()->isEnabled());
            EXPECT_EQ(d.FindWhat()->lineEdit()->maxLength(), 256);
            // Only white space: refused, the dialog stays.
            d.FindWhat()->setEditText(QStringLiteral("  \t "));
            d.FindNextButton()->click();
            EXPECT_TRUE(d.isVisible());
            d.MatchCaseBox()->setChecked(true);
            d.EntireFile()->click();
            checked = true;
            d.reject();
        });
    };
    Find().Find();
    EXPECT_TRUE(checked);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kInvalid);
    // Cancel changed nothing.
    EXPECT_EQ(Settings().m_nFindScope, 0);
    EXPECT_EQ(Settings().m_nFindMatchCase, 0);
    EXPECT_EQ(Settings().m_findHistory.GetSize(), 0);
    // Find Next with an empty history opens the dialog.
    bool opened = false;
    Find().m_onFindDialog = [&](CFindDlg& dlg) {
        opened = true;
        Later<CFindDlg>(dlg, [](CFindDlg& d) { d.reject(); });
    };
    Key(TreePane(), Qt::Key_F3);
    EXPECT_TRUE(opened);
}

TEST_F(FindTest, MarkAllBookmarksEveryHitAndReportsNone) {
    HTREEITEM hA = Add(Root(), "A", QStringLiteral("one mark"));
    HTREEITEM hB = Add(Root(), "B mark", QStringLiteral("none"));
    HTREEITEM hC = Add(Root(), "C", QStringLiteral("none"));
    Settings().m_bMarkAllOpen = false;
    Find().MarkAll("MARK", false, false);
    EXPECT_TRUE(bookmarks::IsSet(Tree(), hA));
    EXPECT_TRUE(bookmarks::IsSet(Tree(), hB));
    EXPECT_FALSE(bookmarks::IsSet(Tree(), hC));
    EXPECT_TRUE(ui.boxes.empty());
    Find().MarkAll("MARK", true, false); // match case: nothing
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Cannot find the string 'MARK'.");
    // With MarkAllOpen the list follows.
    Settings().m_bMarkAllOpen = true;
    int rows = 0;
    Marks().m_onDialog = [&](CBookmarksDlg& dlg) {
        rows = dlg.List()->count();
        Later<CBookmarksDlg>(dlg, [](CBookmarksDlg& d) { d.reject(); });
    };
    Find().MarkAll("none", false, false);
    EXPECT_EQ(rows, 3); // A and B already marked, C now
    EXPECT_NE(std::find(ui.statusTexts.begin(), ui.statusTexts.end(),
                        std::string("Showing bookmarks...")),
              ui.statusTexts.end());
}

TEST_F(FindTest, ReplaceAllReportsItsCountAndSingleReplacesAreNotCounted) {
    Add(Root(), "Note", QStringLiteral("cat cat cat"));
    Settings().m_nFindMatchCase = 0;
    TreePane()->setFocus();
    Find().m_onReplaceDialog = [](CReplaceDlg& dlg) {
        Later<CReplaceDlg>(dlg, [](CReplaceDlg& d) {
            EXPECT_EQ(d.CloseButton()->text(), QStringLiteral("Cancel"));
            d.FindWhat()->setEditText(QStringLiteral("cat"));
            d.ReplaceWith()->setEditText(QStringLiteral("dog"));
            d.ReplaceAllButton()->click();
            EXPECT_EQ(d.CloseButton()->text(), QStringLiteral("Close"));
            QTest::keyClick(&d, Qt::Key_Escape);
        });
    };
    Key(TreePane(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(Edit()->toPlainText(), QStringLiteral("dog dog dog"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Notarium has finished searching the current textlet or folder. "
                                "3 replacement(s) made.");
    EXPECT_EQ(Settings().m_findHistory[0], "cat");
    EXPECT_EQ(Settings().m_replaceHistory[0], "dog");
    EXPECT_TRUE(Edit()->IsTextChanged());

    // Replace one by one from the top: the run ends at the end, without a count.
    ui.boxes.clear();
    Edit()->moveCursor(QTextCursor::Start);
    Find().m_onReplaceDialog = [](CReplaceDlg& dlg) {
        Later<CReplaceDlg>(dlg, [](CReplaceDlg& d) {
            d.FindWhat()->setEditText(QStringLiteral("dog"));
            d.ReplaceWith()->setEditText(QStringLiteral("ox"));
            d.FindNextButton()->click();
            d.ReplaceButton()->click();
            d.ReplaceButton()->click();
            d.ReplaceButton()->click();
            d.CloseButton()->click();
        });
    };
    Find().Replace();
    EXPECT_EQ(Edit()->toPlainText(), QStringLiteral("ox ox ox"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Notarium has finished searching the current textlet or folder.");
}

TEST_F(FindTest, ReplaceDialogKeepsTheMatchCaseOfItsLastAction) {
    Add(Root(), "Note", QStringLiteral("Ab ab"));
    Settings().m_nFindMatchCase = 0;
    // Toggled but never used: Cancel keeps the setting.
    Find().m_onReplaceDialog = [](CReplaceDlg& dlg) {
        Later<CReplaceDlg>(dlg, [](CReplaceDlg& d) {
            d.MatchCaseBox()->setChecked(true);
            QTest::keyClick(&d, Qt::Key_Escape);
        });
    };
    Find().Replace();
    EXPECT_EQ(Settings().m_nFindMatchCase, 0);
    // Used with Match Case, toggled afterwards: Escape keeps the case of the action.
    Find().m_onReplaceDialog = [](CReplaceDlg& dlg) {
        Later<CReplaceDlg>(dlg, [](CReplaceDlg& d) {
            d.FindWhat()->setEditText(QStringLiteral("ab"));
            d.MatchCaseBox()->setChecked(true);
            d.FindNextButton()->click();
            d.MatchCaseBox()->setChecked(false);
            QTest::keyClick(&d, Qt::Key_Escape);
            EXPECT_TRUE(d.MatchCaseBox()->isChecked());
        });
    };
    Find().Replace();
    EXPECT_EQ(Settings().m_nFindMatchCase, 1);
    EXPECT_TRUE(ui.boxes.empty()); // ended quietly
    // Only white space is refused.
    Find().m_onReplaceDialog = [](CReplaceDlg& dlg) {
        Later<CReplaceDlg>(dlg, [](CReplaceDlg& d) {
            d.FindWhat()->setEditText(QStringLiteral(" "));
            d.ReplaceAllButton()->click();
            EXPECT_EQ(d.CloseButton()->text(), QStringLiteral("Cancel"));
            d.reject();
        });
    };
    Find().Replace();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kInvalid);
    // A folder's text cannot be changed: no Replace there.
    Add(Root(), "Folder", {}, true);
    EXPECT_FALSE(Enabled(ID_REPLACE));
}

TEST_F(FindTest, F4GoesBetweenTwoBookmarksAndBeepsWithoutAnother) {
    HTREEITEM hFolder = Add(Root(), "Folder", {}, true);
    HTREEITEM hA = Add(hFolder, "A");
    HTREEITEM hB = Add(Root(), "B");
    HTREEITEM hC = Add(Root(), "C");
    Select(hA);
    Key(TreePane(), Qt::Key_F4, Qt::ControlModifier); // Toggle Bookmark
    EXPECT_TRUE(bookmarks::IsSet(Tree(), hA));
    // Alone and selected: a beep and the kept status text.
    Key(TreePane(), Qt::Key_F4);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ui.statusTexts.back(), str::kNoMoreBookmarks);
    EXPECT_EQ(Tree().GetSelectedItem(), hA);
    Select(hC);
    Key(TreePane(), Qt::Key_F4, Qt::ControlModifier);
    // A closed folder hides A: Next Bookmark opens it and shows A.
    Tree().Expand(hFolder, TVE_COLLAPSE);
    Select(hB);
    Key(TreePane(), Qt::Key_F4);
    EXPECT_EQ(Tree().GetSelectedItem(), hC);
    Key(Edit(), Qt::Key_F4); // from the edit pane too: into the closed folder
    EXPECT_EQ(Tree().GetSelectedItem(), hA);
    Idle();
    EXPECT_TRUE(TreePane()->isExpanded(TreePane()->currentIndex().parent()));
    Key(TreePane(), Qt::Key_F4, Qt::ShiftModifier); // Previous: back to C
    EXPECT_EQ(Tree().GetSelectedItem(), hC);
    Key(TreePane(), Qt::Key_F4, Qt::ShiftModifier); // round the top to A
    EXPECT_EQ(Tree().GetSelectedItem(), hA);
    EXPECT_EQ(ui.beeps, 1);
    // The bookmarks reach the file when the window closes.
    Frame()->close();
    Exit();
    Start({QString::fromStdString(path)});
    const auto marks = bookmarks::Collect(Tree());
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].strPath, "Notarium\\C");
    EXPECT_EQ(marks[1].strPath, "Notarium\\Folder\\A");
}

TEST_F(FindTest, BookmarksDialogEnableRulesRemovalsAndGoTo) {
    HTREEITEM hA = Add(Root(), "A");
    HTREEITEM hB = Add(Root(), "B");
    HTREEITEM hC = Add(Root(), "C");
    for (HTREEITEM h : {hA, hB, hC})
        bookmarks::Set(Tree(), h, true);
    Marks().m_onDialog = [](CBookmarksDlg& dlg) {
        Later<CBookmarksDlg>(dlg, [](CBookmarksDlg& d) {
            ASSERT_EQ(d.List()->count(), 3);
            EXPECT_EQ(d.List()->item(0)->text(), QStringLiteral("Notarium\\A"));
            d.List()->clearSelection();
            EXPECT_FALSE(d.GoToButton()->isEnabled());
            EXPECT_FALSE(d.RemoveButton()->isEnabled());
            EXPECT_TRUE(d.RemoveAllButton()->isEnabled());
            EXPECT_TRUE(d.RemoveAllButton()->isDefault());
            d.List()->item(0)->setSelected(true);
            d.List()->item(2)->setSelected(true);
            EXPECT_FALSE(d.GoToButton()->isEnabled());
            EXPECT_TRUE(d.RemoveButton()->isDefault());
            d.RemoveButton()->click(); // A and C
            ASSERT_EQ(d.List()->count(), 1);
            d.List()->setCurrentRow(0);
            EXPECT_TRUE(d.GoToButton()->isEnabled());
            EXPECT_TRUE(d.GoToButton()->isDefault());
            d.GoToButton()->click();
        });
    };
    Select(hC);
    Key(TreePane(), Qt::Key_F5);
    EXPECT_FALSE(bookmarks::IsSet(Tree(), hA));
    EXPECT_TRUE(bookmarks::IsSet(Tree(), hB));
    EXPECT_FALSE(bookmarks::IsSet(Tree(), hC));
    EXPECT_EQ(Tree().GetSelectedItem(), hB);
    // Removing the last row closes the dialog.
    Marks().m_onDialog = [](CBookmarksDlg& dlg) {
        Later<CBookmarksDlg>(dlg, [](CBookmarksDlg& d) {
            d.List()->setCurrentRow(0);
            d.RemoveButton()->click();
            if (d.isVisible()) {
                ADD_FAILURE() << "still open";
                d.reject();
            }
        });
    };
    Marks().ShowBookmarks();
    EXPECT_TRUE(bookmarks::Collect(Tree()).empty());
    EXPECT_TRUE(ui.boxes.empty());
    Marks().ShowBookmarks();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "No bookmarks found.");
}

TEST_F(FindTest, EscapeStopsALongWalkAndTheWindowStaysAlive) {
    // One stored text of 256 KiB that 30,000 items share: the walk reads and searches each
    // one, so it runs for seconds unless stopped.
    HTREEITEM hText = Add(Root(), "Big", QString(256 * 1024, QLatin1Char('z')));
    const LPARAM chain = Tree().GetItemData(hText);
    ASSERT_NE(chain, 0);
    {
        CTreeUpdateLock lock(Tree());
        for (int i = 0; i < 30000; ++i)
            Tree().InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM,
                              "item " + std::to_string(i), 8, 8, 0, 0, chain, Root(), TVI_LAST);
    }
    Select(Root());
    int ticks = 0;
    QTimer alive;
    QObject::connect(&alive, &QTimer::timeout, [&] { ++ticks; });
    alive.start(10);
    QElapsedTimer clock;
    qint64 pressedAt = -1;
    QTimer::singleShot(300, Frame(), [&] {
        pressedAt = clock.elapsed();
        QCoreApplication::postEvent(
            TreePane(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    clock.start();
    Find().FindItem("absent", false, false, false);
    const qint64 stoppedAt = clock.elapsed();
    ASSERT_GE(pressedAt, 0) << "the walk ended before Escape";
    const qint64 latency = stoppedAt - pressedAt;
    std::printf("Escape stopped the walk %lld ms after it was pressed\n",
                static_cast<long long>(latency));
    EXPECT_LT(latency, 500);       // a generous bound; the figure is printed above
    EXPECT_GT(ticks, 5);           // timers ran meanwhile
    EXPECT_TRUE(ui.boxes.empty()); // stopped silently
    EXPECT_EQ(Tree().GetSelectedItem(), Root());
}
