// The tree pane's flows on a real data file: selection and the deferred load, rename, delete,
// the open picture, label-editor commands and the context menu.

#include "TreePaneFixture.h"

#include "platform/Strings.h"

#include <QLineEdit>
#include <QSignalSpy>

namespace {

QLineEdit* LabelEditor(CTreePaneView& pane) {
    return pane.viewport()->findChild<QLineEdit*>();
}

} // namespace

TEST_F(PaneTest, NewFileShowsTheSelectedRootWithAnEmptyReadOnlyPane) {
    ASSERT_NE(Root(), nullptr);
    EXPECT_EQ(Tree().GetSelectedItem(), Root());
    EXPECT_EQ(Title(Root()), "Notarium");
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(Root()));
    EXPECT_FALSE(pane->IsSelChangePending());
    EXPECT_TRUE(edit->toPlainText().isEmpty());
    EXPECT_TRUE(edit->isReadOnly());
}

TEST_F(PaneTest, SelectionSavesTheOldTextAndLoadsTheNewOneOnlyWhenIdle) {
    HTREEITEM a = Add(Root(), "a");
    HTREEITEM b = Add(Root(), "b");
    Select(a);
    Type("first\nline");
    EXPECT_TRUE(edit->IsTextChanged());

    pane->setCurrentIndex(pane->Model().IndexOf(b)); // a click in the view
    EXPECT_EQ(Tree().GetSelectedItem(), b);
    EXPECT_EQ(StoredText(a), "first\r\nline"); // committed before the selection moved
    EXPECT_TRUE(pane->IsSelChangePending());
    EXPECT_EQ(edit->toPlainText(), "first\nline"); // not reloaded inside the change

    Idle();
    EXPECT_FALSE(pane->IsSelChangePending());
    EXPECT_TRUE(edit->toPlainText().isEmpty());
    EXPECT_FALSE(edit->IsTextChanged());
    EXPECT_FALSE(edit->isReadOnly());

    Select(a);
    EXPECT_EQ(edit->toPlainText(), "first\nline");
}

TEST_F(PaneTest, SelectionByTheControlIsShownByTheView) {
    HTREEITEM folder = Add(Root(), "folder", true);
    HTREEITEM inner = Add(folder, "inner");
    Tree().SelectItem(Root());
    Tree().Expand(folder, TVE_COLLAPSE);
    Tree().SelectItem(inner); // makes itself visible: the folder opens
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(inner));
    EXPECT_TRUE(pane->isExpanded(pane->Model().IndexOf(folder)));
    EXPECT_TRUE(Image(folder) & nota::IMAGE_OPEN);
}

TEST_F(PaneTest, RenameTrimsResortsAndSavesAtTheIdleStep) {
    HTREEITEM a = Add(Root(), "alpha");
    Add(Root(), "beta");
    EXPECT_TRUE(pane->EndLabelEdit(a, QStringLiteral(" \t zeta  ")));
    EXPECT_EQ(Title(a), "zeta");
    Idle();
    EXPECT_EQ(ChildTitles(Root()), (std::vector<std::string>{"beta", "zeta"}));
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(Tree().GetSelectedItem()));
    Reopen();
    EXPECT_EQ(ChildTitles(Root()), (std::vector<std::string>{"beta", "zeta"}));
}

TEST_F(PaneTest, BlankRenameKeepsTheTitleAndRenamingTheRootSavesTheTree) {
    HTREEITEM a = Add(Root(), "alpha");
    EXPECT_FALSE(pane->EndLabelEdit(a, QStringLiteral(" \t ")));
    EXPECT_EQ(Title(a), "alpha");

    EXPECT_TRUE(pane->EndLabelEdit(Root(), QStringLiteral("My notes")));
    Idle();
    Reopen();
    EXPECT_EQ(Title(Root()), "My notes");
}

TEST_F(PaneTest, LabelEditorTakesAtMost64CharactersAndItsCommandsActOnTheLabel) {
    HTREEITEM a = Add(Root(), "alpha");
    settings.m_bInlineRename = false; // clicks no longer edit, the command still does
    pane->ApplySettings();
    EXPECT_EQ(pane->editTriggers(), QAbstractItemView::NoEditTriggers);
    pane->Rename();
    QLineEdit* editor = LabelEditor(*pane);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(pane->IsLabelEditing());
    editor->selectAll();
    QTest::keyClicks(editor, QString(70, u'x'));
    EXPECT_EQ(editor->text().size(), 64);
    // Multi-byte characters: the 64 bytes of the file are the limit.
    editor->clear();
    for (int i = 0; i < 40; ++i)
        editor->insert(QString(QChar(0x00E9)));
    EXPECT_EQ(editor->text().size(), 32);

    EXPECT_TRUE(TitleEditor().CanUndo());
    TitleEditor().Undo();
    EXPECT_NE(editor->text().size(), 32);
    editor->setText(QStringLiteral("renamed"));
    editor->selectAll();
    EXPECT_TRUE(TitleEditor().HasSelection());
    QTest::keyClick(editor, Qt::Key_Return);
    Idle();
    EXPECT_FALSE(pane->IsLabelEditing());
    EXPECT_EQ(Title(a), "renamed");
}

TEST_F(PaneTest, RenamedTitlesAreCutAtACharacterBoundaryAndOthersKeepTheirBytes) {
    HTREEITEM a = Add(Root(), "a");
    const QString longTitle = QString(63, u'a') + QChar(0x00E9); // 65 bytes in UTF-8
    EXPECT_TRUE(pane->EndLabelEdit(a, longTitle));
    EXPECT_EQ(Title(a), std::string(63, 'a'));

    // A Windows-1252 title stays as it is unless the user changes it.
    Tree().SetItemText(a, "caf\xe9");
    EXPECT_TRUE(pane->EndLabelEdit(a, QString::fromUtf8(" caf\xc3\xa9 ")));
    EXPECT_EQ(Title(a), "caf\xe9");
    EXPECT_TRUE(pane->EndLabelEdit(a, QString::fromUtf8("caf\xc3\xa9s")));
    EXPECT_EQ(Title(a), "caf\xc3\xa9s");
}

TEST_F(PaneTest, DeleteAsksWithTheWarningOnlyForFoldersWithChildren) {
    HTREEITEM folder = Add(Root(), "Folder", true);
    Add(folder, "inside");
    HTREEITEM empty = Add(Root(), "Empty", true);

    Tree().SelectItem(folder);
    ui.answers.push_back(IDNO);
    items->DeleteSelectedItem();
    EXPECT_EQ(ui.LastBox(), std::string("Delete 'Folder'?") + str::kDeleteFolderWarning);
    EXPECT_EQ(ui.boxes.back().type & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(Tree().GetChildCount(Root()), 2u); // No keeps it

    Tree().SelectItem(empty);
    items->DeleteSelectedItem(); // Yes by default
    EXPECT_EQ(ui.LastBox(), "Delete 'Empty'?");
    EXPECT_EQ(ChildTitles(Root()), (std::vector<std::string>{"Folder"}));

    settings.m_bConfirmDelete = false;
    Tree().SelectItem(folder);
    const auto boxes = ui.boxes.size();
    items->DeleteSelectedItem();
    EXPECT_EQ(ui.boxes.size(), boxes);
    EXPECT_EQ(Tree().GetChildCount(Root()), 0u);
    Idle();
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(Tree().GetSelectedItem()));
}

TEST_F(PaneTest, TheRootCannotBeDeleted) {
    Tree().SelectItem(Root());
    EXPECT_FALSE(items->CanDeleteItem());
    items->DeleteSelectedItem();
    EXPECT_EQ(ui.LastBox(), str::kCannotDeleteRoot);
    EXPECT_NE(Root(), nullptr);
}

TEST_F(PaneTest, ExpandAndCollapseChangeOnlyTheOpenBit) {
    HTREEITEM folder = Add(Root(), "folder", true);
    HTREEITEM sub = Add(folder, "sub", true);
    Add(sub, "leaf");
    Tree().SetItemImage(folder, nota::IMAGE_FOLDER | nota::IMAGE_BOOKMARK,
                        nota::IMAGE_FOLDER | nota::IMAGE_BOOKMARK);

    pane->CollapseAll();
    Idle();
    EXPECT_EQ(Image(folder), nota::IMAGE_FOLDER | nota::IMAGE_BOOKMARK);
    EXPECT_EQ(Image(Root()), nota::IMAGE_ROOT);
    EXPECT_EQ(Tree().GetSelectedItem(), Root()); // the selection left the hidden leaf

    pane->ExpandAll();
    EXPECT_EQ(Image(folder), nota::IMAGE_FOLDER | nota::IMAGE_BOOKMARK | nota::IMAGE_OPEN);
    EXPECT_EQ(Image(sub), nota::IMAGE_FOLDER | nota::IMAGE_OPEN);
    EXPECT_TRUE(pane->isExpanded(pane->Model().IndexOf(sub)));

    pane->collapse(pane->Model().IndexOf(folder)); // by the user
    EXPECT_EQ(Image(folder), nota::IMAGE_FOLDER | nota::IMAGE_BOOKMARK);
    EXPECT_FALSE(Tree().GetItemState(folder, TVIS_EXPANDED) & TVIS_EXPANDED);
    pane->expand(pane->Model().IndexOf(folder));
    EXPECT_TRUE(Tree().GetItemState(folder, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_TRUE(pane->isExpanded(pane->Model().IndexOf(sub))); // still open inside
}

TEST_F(PaneTest, HasTextOnlyForItemsWithStoredText) {
    HTREEITEM a = Add(Root(), "a");
    Idle();
    EXPECT_FALSE(items->HasText());
    Type("x");
    EXPECT_TRUE(doc.StorePendingText());
    EXPECT_TRUE(items->HasText());
    Tree().SelectItem(Root());
    EXPECT_FALSE(items->HasText());
    Tree().SelectItem(a);
    EXPECT_TRUE(items->HasText());
}

TEST_F(PaneTest, KeyboardContextMenuOpensAtTheTopLeftCorner) {
    QSignalSpy spy(pane.get(), &CTreePaneView::contextMenuRequested);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(-1, -1), QPoint(-1, -1));
    QApplication::sendEvent(pane->viewport(), &event);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toPoint(), pane->viewport()->mapToGlobal(QPoint(5, 5)));
}

TEST_F(PaneTest, UnreadableTextIsReportedAndNothingCanBeTypedIntoIt) {
    HTREEITEM good = Add(Root(), "good");
    Idle();
    Type("kept");
    HTREEITEM bad = Add(Root(), "bad");
    Tree().SetItemData(bad, 0x7FFFFF00); // a chain far beyond the end of the file
    const auto boxes = ui.boxes.size();
    Select(bad);
    EXPECT_EQ(ui.boxes.size(), boxes + 1); // the file error
    EXPECT_TRUE(edit->toPlainText().isEmpty());
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_FALSE(edit->IsTextChanged());
    EXPECT_EQ(StoredText(good), "kept");
}
