// The model over the item tree: rows, parents and persistent indexes through insertions,
// deletions, re-sorts and bulk changes.

#include "TreePaneFixture.h"

#include <QPersistentModelIndex>

TEST(TreeModel, RowsOfABigFolderAreLookedUpByPosition) {
    CTreeCtrl tree;
    CTreeModel model(tree);
    HTREEITEM folder = tree.InsertItem("folder", 4, 4);
    {
        CTreeUpdateLock lock(tree);
        for (int i = 0; i < 100000; ++i)
            tree.InsertItem("item " + std::to_string(100000 + i), 8, 8, folder, TVI_LAST);
    }
    const QModelIndex folderIndex = model.index(0, 0);
    ASSERT_EQ(CTreeModel::ItemOf(folderIndex), folder);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.rowCount(folderIndex), 100000);
    const QModelIndex last = model.index(99999, 0, folderIndex);
    EXPECT_EQ(last.data().toString(), QStringLiteral("item 199999"));
    EXPECT_EQ(model.parent(last), folderIndex);
    EXPECT_FALSE(model.hasChildren(last));
    EXPECT_FALSE(model.index(100000, 0, folderIndex).isValid());
}

TEST(TreeModel, PersistentIndexesFollowTheirItems) {
    CTreeCtrl tree;
    CTreeModel model(tree);
    HTREEITEM b = tree.InsertItem("b", 8, 8, TVI_ROOT, TVI_SORT);
    HTREEITEM d = tree.InsertItem("d", 8, 8, TVI_ROOT, TVI_SORT);
    QPersistentModelIndex pb(model.IndexOf(b));
    QPersistentModelIndex pd(model.IndexOf(d));

    tree.InsertItem("a", 8, 8, TVI_ROOT, TVI_SORT);
    EXPECT_EQ(pb.row(), 1);
    EXPECT_EQ(pd.row(), 2);

    tree.SetItemText(d, "0");
    tree.SortChildren(nullptr);
    EXPECT_EQ(pd.row(), 0);
    EXPECT_EQ(CTreeModel::ItemOf(pd), d);
    EXPECT_EQ(pb.row(), 2);

    tree.DeleteItem(d);
    EXPECT_FALSE(pd.isValid());
    EXPECT_EQ(pb.row(), 1);
    EXPECT_EQ(model.rowCount(), 2);
}

TEST(TreeModel, TitlesThatAreNotUtf8AreShownAsWindows1252) {
    CTreeCtrl tree;
    CTreeModel model(tree);
    tree.InsertItem("caf\xe9 \x80", 8, 8);
    EXPECT_EQ(model.index(0, 0).data().toString(), QString::fromUtf8("café €"));
}

TEST_F(PaneTest, BulkChangesResetTheModelAndKeepExpansionAndSelection) {
    HTREEITEM folder = Add(Root(), "folder", true);
    HTREEITEM sub = Add(folder, "sub", true);
    HTREEITEM leaf = Add(sub, "leaf");
    Tree().SelectItem(leaf);
    {
        CTreeUpdateLock lock(Tree());
        Tree().InsertItem("new", 8, 8, folder, TVI_SORT);
    }
    const QModelIndex subIndex = pane->Model().IndexOf(sub);
    EXPECT_TRUE(pane->isExpanded(pane->Model().IndexOf(folder)));
    EXPECT_TRUE(pane->isExpanded(subIndex));
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(leaf));
    EXPECT_EQ(pane->Model().rowCount(pane->Model().IndexOf(folder)), 2);
}

TEST_F(PaneTest, ReopeningRestoresExpandedFoldersAndTheSelection) {
    HTREEITEM folder = Add(Root(), "folder", true);
    Add(Root(), "closed", true);
    HTREEITEM leaf = Add(folder, "leaf");
    Select(leaf);
    Reopen();
    HTREEITEM closed = Tree().GetChildItem(Root());
    folder = Tree().GetNextSiblingItem(closed);
    ASSERT_EQ(Title(folder), "folder");
    EXPECT_EQ(Title(Tree().GetSelectedItem()), "leaf");
    EXPECT_TRUE(pane->isExpanded(pane->Model().IndexOf(folder)));
    EXPECT_FALSE(pane->isExpanded(pane->Model().IndexOf(closed)));
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(Tree().GetSelectedItem()));
}

TEST(TreeModel, TouchesNoItemWhileUpdatesAreLocked) {
    CTreeCtrl tree;
    CTreeModel model(tree);
    HTREEITEM a = tree.InsertItem("a", 4, 4);
    tree.InsertItem("b", 8, 8, a, TVI_LAST);
    const QModelIndex stale = model.index(0, 0, model.index(0, 0));
    CTreeUpdateLock lock(tree);
    tree.DeleteItem(a); // the views hear of it only at the end of the lock
    EXPECT_FALSE(model.parent(stale).isValid());
    EXPECT_FALSE(model.data(stale).isValid());
    EXPECT_EQ(model.rowCount(), 0);
}
