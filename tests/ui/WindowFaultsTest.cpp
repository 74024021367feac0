// Faults found using the window, and rules that had no test: dropped files on the panes,
// deferred work only at the idle step, help from dialogs, menu commands while a title is
// being edited, the keyboard context menu, the lock indicators, tree lines, what a folder's
// text pane and a cut-off title show, and the web page without a browser.

#include "AppFixture.h"
#include "TreePaneFixture.h"

#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "ui/common/QtUiServices.h"
#include "ui/tree/AddItemDlg.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <filesystem>

namespace {

// Drags data onto target and drops it there, as the window system delivers a drop.
bool DropOn(QWidget* target, const QMimeData& data, QPoint pos = QPoint(10, 10)) {
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class WindowTest : public OpenWindowTest {
protected:
    void SetUp() override { OpenWindow("window.Nota"); }
    CTreePaneView* Pane() { return Frame()->TreePane(); }
};

TEST_F(WindowTest, FileDroppedOnEitherPaneOpensItAndTypesNothing) {
    Add(Root(), "Note", false); // an editable textlet is shown
    ASSERT_FALSE(Edit()->isReadOnly());
    const std::string other = NewDataFile("dropped.Nota");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});

    EXPECT_TRUE(DropOn(Edit()->viewport(), data));
    EXPECT_TRUE(Edit()->toPlainText().isEmpty());
    EXPECT_FALSE(Edit()->IsTextChanged());
    EXPECT_TRUE(QTest::qWaitFor([&] { return OpenPath() == other; }, 2000));

    QMimeData back;
    back.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    EXPECT_TRUE(DropOn(Pane()->viewport(), back));
    EXPECT_TRUE(QTest::qWaitFor([&] { return OpenPath() == path; }, 2000));
    EXPECT_EQ(Tree().GetItemText(Tree().GetChildItem(Root())), "Note");

    // Plain text dropped on the text pane is still text.
    QMimeData text;
    text.setText(QStringLiteral("dropped words"));
    Tree().SelectItem(Tree().GetChildItem(Root()));
    QApplication::processEvents();
    DropOn(Edit()->viewport(), text);
    EXPECT_EQ(Edit()->toPlainText(), QStringLiteral("dropped words"));
}

TEST_F(WindowTest, DeferredSelectionWorkWaitsForModalDialogsAndLongOperations) {
    HTREEITEM a = Add(Root(), "a", false);
    Edit()->insertPlainText(QStringLiteral("text of a"));
    HTREEITEM b = Add(Root(), "b", false);
    ASSERT_TRUE(Edit()->toPlainText().isEmpty());

    // A selection change while a modal dialog runs its own loop: not loaded inside it.
    bool pendingInDialog = false;
    QString shownInDialog;
    QDialog dialog(Frame());
    QTimer::singleShot(0, &dialog, [&] {
        Tree().SelectItem(a);
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        pendingInDialog = Pane()->IsSelChangePending();
        shownInDialog = Edit()->toPlainText();
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(pendingInDialog);
    EXPECT_TRUE(shownInDialog.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Pane()->IsSelChangePending(); }, 2000));
    EXPECT_EQ(Edit()->toPlainText(), QStringLiteral("text of a"));

    // ... nor while a long operation polls for Escape.
    CQtUiServices qtUi;
    Tree().SelectItem(b);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qtUi.PollEscape();
    EXPECT_TRUE(Pane()->IsSelChangePending());
    QApplication::restoreOverrideCursor();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Pane()->IsSelChangePending(); }, 2000));
    EXPECT_TRUE(Edit()->toPlainText().isEmpty());
}

TEST_F(WindowTest, F1InAddItemShowsItsHelpWhichWorksWhileTheDialogIsOpen) {
    bool dialogOpenAfterHelp = false;
    QString topic;
    bool helpClosedByItsOwnKeys = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CAddItemDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        QTest::keyClick(dlg->NameEdit(), Qt::Key_F1);
        CHelpWindow* help = Frame()->HelpWindow();
        if (help && help->isVisible()) {
            topic = help->CurrentTopic();
            // The help window takes its own keys although a modal dialog runs.
            QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
            QApplication::processEvents();
            helpClosedByItsOwnKeys = !help->isVisible();
        }
        dialogOpenAfterHelp = QApplication::activeModalWidget() == dlg;
        dlg->reject();
    });
    Frame()->Action(ID_ADD_ITEM)->trigger();
    EXPECT_EQ(topic, QStringLiteral("tree.html"));
    EXPECT_TRUE(helpClosedByItsOwnKeys);
    EXPECT_TRUE(dialogOpenAfterHelp);
}

TEST_F(WindowTest, MenuEditCommandsActOnTheTitleBeingEdited) {
    HTREEITEM note = Add(Root(), "Note", false);
    Frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    Frame()->Action(ID_RENAME)->trigger();
    QPointer<QLineEdit> editor = Pane()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->hasFocus(); }, 2000));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Memo"));

    // Alt+E opens the Edit menu of the menu bar; U is its Undo.
    bool menuOpened = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        menuOpened = menu != nullptr;
        if (menu)
            QTest::keyClick(menu, Qt::Key_U);
    });
    QTest::keyClick(editor, Qt::Key_E, Qt::AltModifier);
    QTest::qWait(50);
    EXPECT_TRUE(menuOpened);
    EXPECT_TRUE(Pane()->IsLabelEditing());
    ASSERT_TRUE(editor);
    EXPECT_NE(editor->text(), QStringLiteral("Memo")); // the typing was undone
    EXPECT_EQ(Tree().GetItemText(note), "Note");

    // Copy from the menu copies the title's selected text, not an item.
    editor->setText(QStringLiteral("Memo"));
    editor->selectAll();
    Frame()->UpdateCommandStates();
    ASSERT_TRUE(Frame()->Action(ID_EDIT_COPY)->isEnabled());
    Frame()->Action(ID_EDIT_COPY)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Memo"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(Tree().GetItemText(note), "Memo");
}

TEST_F(WindowTest, ShiftF10OpensTheFocusedPanesContextMenuAtItsCorner) {
    Frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
    for (QWidget* pane : {static_cast<QWidget*>(Pane()), static_cast<QWidget*>(Edit())}) {
        pane->setFocus();
        QApplication::processEvents();
        QMenu* shown = nullptr;
        QPoint at;
        QTimer::singleShot(0, [&] {
            shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (shown) {
                at = shown->pos();
                shown->close();
            }
        });
        QTest::keyClick(pane, Qt::Key_F10, Qt::ShiftModifier);
        QApplication::processEvents();
        QMenu* expected = pane == Pane() ? Frame()->TreeContextMenu() : Frame()->EditContextMenu();
        EXPECT_EQ(shown, expected);
        const QPoint corner =
            static_cast<QAbstractScrollArea*>(pane)->viewport()->mapToGlobal(QPoint(5, 5));
        EXPECT_LE((at - corner).manhattanLength(), 1) << at.x() << "," << at.y();
    }
}

TEST_F(WindowTest, LockIndicatorsAreLeftOutWhereThePlatformCannotTell) {
    // The offscreen platform reports no lock states: no boxes that could never fill.
    EXPECT_EQ(Frame()->Indicator(0), nullptr);
    EXPECT_EQ(Frame()->findChild<QLabel*>(QStringLiteral("indicatorCAP")), nullptr);
}

TEST_F(WindowTest, WebPageWithoutABrowserSaysSo) {
    Exit();
    // No browser: every address fails to open.
    CAppOptions options;
    options.ui = &ui;
    options.store = store.get();
    options.dialogs = &dialogs;
    options.lockPath = lockPath;
    options.openUrl = [](const QUrl&) { return false; };
    app = std::make_unique<CNotariumApp>(options);
    ASSERT_TRUE(app->InitInstance({QString::fromStdString(path)}, Qt::NoModifier));
    ui.boxes.clear();
    Frame()->Action(ID_WEB_PAGE)->trigger();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, CMainFrame::kNoBrowser);
}

TEST_F(WindowTest, CollapseAllWhenThePendingTextCannotBeSavedCollapsesNothing) {
    HTREEITEM folder = Add(Root(), "Folder", true);
    HTREEITEM note = Add(folder, "Note", false);
    Edit()->insertPlainText(QStringLiteral("unsaved"));
    ASSERT_TRUE(Tree().GetItemState(folder, TVIS_EXPANDED) & TVIS_EXPANDED);
    CFile::SetFaultHook([](CFile::Op op, const std::string& file) {
        if (op == CFile::Op::Write)
            throw CFileException(CFileException::diskFull, file);
    });
    ui.boxes.clear();
    Frame()->Action(ID_COLLAPSE_ALL)->trigger();
    CFile::SetFaultHook(nullptr);
    EXPECT_EQ(ui.boxes.size(), 1u); // the file error
    EXPECT_TRUE(Tree().GetItemState(folder, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_TRUE(Tree().GetItemState(Root(), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(Tree().GetSelectedItem(), note);
    EXPECT_TRUE(Pane()->IsSelChangePending());
    // The next idle step shows what the file holds for the item.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Pane()->IsSelChangePending(); }, 2000));
    EXPECT_TRUE(Edit()->toPlainText().isEmpty());
}

TEST_F(WindowTest, QuickCopyWhileASelectionChangeIsPendingCopiesTheNewItem) {
    HTREEITEM a = Add(Root(), "a", false);
    Edit()->insertPlainText(QStringLiteral("first"));
    HTREEITEM b = Add(Root(), "b", false);
    Edit()->insertPlainText(QStringLiteral("second"));
    Tree().SelectItem(a); // stores b's text; a is loaded at the next idle step
    ASSERT_TRUE(Pane()->IsSelChangePending());
    Frame()->UpdateCommandStates();
    ASSERT_TRUE(Frame()->Action(ID_QUICK_COPY)->isEnabled());
    Frame()->Action(ID_QUICK_COPY)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("first"));
    EXPECT_FALSE(Pane()->IsSelChangePending());
    (void)b;
}

// ---- the panes on their own -------------------------------------------------------------

TEST_F(PaneTest, RightClickOnAnUnselectedItemSelectsAndLoadsItAtOnce) {
    HTREEITEM a = Add(Root(), "a");
    Idle();
    Type("text of a");
    Add(Root(), "b");
    Idle();
    const QRect rect = pane->visualRect(pane->Model().IndexOf(a));
    QSignalSpy spy(pane.get(), &CTreePaneView::contextMenuRequested);
    QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                            pane->viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(pane->viewport(), &event);
    EXPECT_EQ(Tree().GetSelectedItem(), a);
    EXPECT_FALSE(pane->IsSelChangePending());
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("text of a"));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(PaneTest, WithInPlaceRenameAClickOnTheSelectedTitleStartsEditing) {
    HTREEITEM a = Add(Root(), "alpha");
    settings.m_bInlineRename = true;
    pane->ApplySettings();
    Idle();
    pane->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pane.get()));
    const QPoint at = pane->visualRect(pane->Model().IndexOf(a)).center();
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane->IsLabelEditing(); }, 3000));
    QTest::keyClick(qobject_cast<CLabelEditor*>(pane->itemDelegate())->Editor(), Qt::Key_Escape);
    EXPECT_FALSE(pane->IsLabelEditing());
    EXPECT_EQ(Title(a), "alpha");

    settings.m_bInlineRename = false;
    pane->ApplySettings();
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_FALSE(pane->IsLabelEditing());
}

TEST_F(PaneTest, TheTreeDrawsItsConnectingLines) {
    HTREEITEM folder = Add(Root(), "folder", true);
    HTREEITEM leaf = Add(folder, "leaf");
    Add(folder, "last");
    Idle();
    pane->resize(300, 200);
    const QImage image = pane->viewport()->grab().toImage();
    // The branch area left of a textlet: a line runs through it (no box, no arrow there).
    const QRect row = pane->visualRect(pane->Model().IndexOf(leaf));
    const QRect branch(row.left() - pane->indentation(), row.top(), pane->indentation(),
                       row.height());
    const QRgb background = pane->viewport()->palette().color(QPalette::Base).rgb();
    int marked = 0;
    for (int y = branch.top(); y <= branch.bottom(); ++y)
        for (int x = branch.left(); x <= branch.right(); ++x)
            if (image.pixel(x, y) != background)
                ++marked;
    EXPECT_GT(marked, 3); // the dotted lines
}

TEST_F(PaneTest, AFoldersReadOnlyTextPaneSaysItHoldsNoText) {
    HTREEITEM folder = Add(Root(), "folder", true);
    Idle();
    const QColor folderBase = edit->palette().color(QPalette::Base);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->placeholderText(), QString::fromUtf8(CEditPaneView::kNoFolderText));
    Add(folder, "note");
    Idle();
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_TRUE(edit->placeholderText().isEmpty());
    EXPECT_NE(edit->palette().color(QPalette::Base), folderBase);
    settings.m_bFoldersHaveText = true;
    Tree().SelectItem(folder);
    Idle();
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_TRUE(edit->placeholderText().isEmpty());
}

TEST_F(PaneTest, ATitleCutOffByThePaneShowsInFullAsAToolTip) {
    const std::string title = "A title far too long to fit into this narrow pane";
    HTREEITEM h = Add(Root(), title);
    HTREEITEM shortOne = Add(Root(), "Short");
    Idle();
    pane->resize(120, 200);
    QApplication::processEvents();
    auto tipAt = [&](HTREEITEM item) {
        QToolTip::hideText();
        const QPoint at = pane->visualRect(pane->Model().IndexOf(item)).topLeft() + QPoint(30, 3);
        QHelpEvent event(QEvent::ToolTip, at, pane->viewport()->mapToGlobal(at));
        QApplication::sendEvent(pane->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_TRUE(tipAt(shortOne).isEmpty());
    EXPECT_EQ(tipAt(h), QString::fromStdString(title));
}

TEST_F(PaneTest, ANewTitleIsCutTo64BytesAsSoonAsItIsAdded) {
    // The cut matches what the file stores: the title shown is the one that comes back.
    CAddItemDlg dlg(Tree());
    dlg.SetItemKind(CAddItemDlg::ItemKind::Textlet);
    dlg.show();
    QTest::keyClicks(dlg.NameEdit(), QString(100, u'n'));
    dlg.OkButton()->click();
    HTREEITEM h = items->InsertFromDialog(dlg);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Title(h), std::string(64, 'n'));
    Reopen();
    EXPECT_EQ(Title(Tree().GetChildItem(Root())), std::string(64, 'n'));
}

// The window never traps its user: text that cannot be stored at exit goes to a recovery file
// in the user's data folder, the user is told its name, and the window closes.
TEST_F(WindowTest, ExitWithTextThatCannotBeStoredKeepsItInARecoveryFileAndCloses) {
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.File("data")));
    Add(Root(), "Note", false);
    Edit()->insertPlainText(QStringLiteral("typed\nwords \u00e9"));
    CFile::SetFaultHook([](CFile::Op op, const std::string& file) {
        if (op == CFile::Op::Write)
            throw CFileException(CFileException::diskFull, file);
    });
    ui.boxes.clear();
    ui.statusTexts.clear();
    const bool closed = Frame()->close();
    CFile::SetFaultHook(nullptr);
    qputenv("XDG_DATA_HOME", oldData);
    EXPECT_TRUE(closed);
    ASSERT_EQ(ui.boxes.size(), 1u); // the file error
    std::vector<std::string> kept;
    for (const auto& e : std::filesystem::directory_iterator(dir.File("data/Notarium/recovered")))
        kept.push_back(e.path().string());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadFileBytes(kept[0]), (std::vector<BYTE>{'t', 'y', 'p', 'e', 'd', '\n', 'w', 'o',
                                                         'r', 'd', 's', ' ', 0xC3, 0xA9}));
    EXPECT_NE(std::find(ui.statusTexts.begin(), ui.statusTexts.end(),
                        Format(str::kTextKeptAside, "Note", path, kept[0])),
              ui.statusTexts.end());
}
