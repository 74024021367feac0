#include "platform/TreeCtrl.h"
#include "app/TreeWalk.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::string> Titles(const CTreeCtrl& tree, HTREEITEM parent) {
    std::vector<std::string> out;
    for (HTREEITEM c = tree.GetChildItem(parent); c; c = tree.GetNextSiblingItem(c))
        out.push_back(tree.GetItemText(c));
    return out;
}

struct Recorder : ITreeObserver {
    std::vector<std::string> events;
    const CTreeCtrl* tree = nullptr;
    std::string Name(HTREEITEM h) { return h ? tree->GetItemText(h) : "-"; }
    void OnSelChanging(HTREEITEM o, HTREEITEM n) override {
        events.push_back("changing " + Name(o) + ">" + Name(n));
    }
    void OnSelChanged(HTREEITEM o, HTREEITEM n) override {
        events.push_back("changed " + Name(o) + ">" + Name(n));
    }
    void OnItemExpanded(HTREEITEM h, UINT a) override {
        events.push_back((a == TVE_EXPAND ? "expanded " : "collapsed ") + Name(h));
    }
    void OnItemInserted(HTREEITEM h) override { events.push_back("inserted " + Name(h)); }
    void OnTreeReset() override { events.push_back("reset"); }
};

} // namespace

TEST(TreeCtrlTest, SortedInsertionIsCaseInsensitiveAndKeepsTiesInInsertionOrder) {
    CTreeCtrl tree;
    HTREEITEM p = tree.InsertItem("p", 4, 4);
    HTREEITEM first = tree.InsertItem("beta", 8, 8, p, TVI_SORT);
    tree.InsertItem("Alpha", 8, 8, p, TVI_SORT);
    HTREEITEM second = tree.InsertItem("BETA", 8, 8, p, TVI_SORT);
    tree.InsertItem("gamma", 8, 8, p, TVI_SORT);
    tree.InsertItem("a", 8, 8, p, TVI_FIRST);
    EXPECT_EQ(Titles(tree, p), (std::vector<std::string>{"a", "Alpha", "beta", "BETA", "gamma"}));
    EXPECT_EQ(tree.GetNextSiblingItem(first), second);
    EXPECT_EQ(tree.GetIndexInParent(second), 3u);
    EXPECT_EQ(tree.GetCount(), 6u);
}

TEST(TreeCtrlTest, ManyUnsortedInsertionsGiveTheSameOrderAsOneByOneSorting) {
    CTreeCtrl tree;
    std::mt19937 rng(7);
    std::vector<std::string> expected;
    for (int i = 0; i < 5000; ++i) {
        std::string t = "t" + std::to_string(rng() % 1000);
        // the reference: insert after the last equal title
        auto pos = std::upper_bound(expected.begin(), expected.end(), t);
        expected.insert(pos, t);
        tree.InsertItem(t, 8, 8, TVI_ROOT, TVI_SORT);
        if (i % 997 == 0) { // looking in between merges what is pending
            EXPECT_EQ(tree.GetChildCount(nullptr), static_cast<std::size_t>(i + 1));
        }
    }
    EXPECT_EQ(Titles(tree, nullptr), expected);
    for (std::size_t i = 0; i < expected.size(); i += 611)
        EXPECT_EQ(tree.GetIndexInParent(tree.GetChildAt(nullptr, i)), i);
}

TEST(TreeCtrlTest, ItemRecordsReadAndWriteTheFieldsOfTheirMask) {
    CTreeCtrl tree;
    HTREEITEM h = tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM, std::string(70, 'x'), 9, 0,
                                  0, 0, 544, TVI_ROOT, TVI_LAST);
    TVITEM item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    item.hItem = h;
    item.cchTextMax = 65;
    ASSERT_TRUE(tree.GetItem(item));
    EXPECT_EQ(item.strText.size(), 64u); // read through a 65-byte buffer
    EXPECT_EQ(item.iImage, 9);
    EXPECT_EQ(item.iSelectedImage, 0); // not in the insertion mask
    EXPECT_EQ(item.lParam, 544u);
    EXPECT_EQ(item.cChildren, 0);
    item.mask = TVIF_PARAM;
    item.lParam = 1056;
    tree.SetItem(item);
    EXPECT_EQ(tree.GetItemData(h), 1056u);
    EXPECT_EQ(tree.GetItemText(h).size(), 70u); // the label itself is not cut
}

TEST(TreeCtrlTest, SelectionNotifiesAroundTheChangeAndExpandsAncestors) {
    CTreeCtrl tree;
    Recorder rec;
    rec.tree = &tree;
    HTREEITEM root = tree.InsertItem("root", 0, 0);
    HTREEITEM folder = tree.InsertItem("folder", 4, 4, root);
    HTREEITEM leaf = tree.InsertItem("leaf", 8, 8, folder);
    tree.AddObserver(&rec);
    tree.SelectItem(leaf);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"expanded root", "expanded folder",
                                                    "changing ->leaf", "changed ->leaf"}));
    EXPECT_EQ(tree.GetItemState(leaf, TVIS_SELECTED), TVIS_SELECTED);

    // Collapsing a folder that hides the selection moves the selection up to it.
    rec.events.clear();
    tree.Expand(root, TVE_COLLAPSE);
    EXPECT_EQ(tree.GetSelectedItem(), root);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"changing leaf>root", "changed leaf>root",
                                                    "collapsed root"}));
    EXPECT_FALSE(tree.Expand(leaf, TVE_EXPAND)); // nothing to expand
    tree.RemoveObserver(&rec);
}

TEST(TreeCtrlTest, DeletingTheSelectedSubtreeSelectsANeighbourWithoutAnOldItem) {
    CTreeCtrl tree;
    Recorder rec;
    rec.tree = &tree;
    HTREEITEM root = tree.InsertItem("root", 0, 0);
    HTREEITEM a = tree.InsertItem("a", 4, 4, root);
    HTREEITEM inner = tree.InsertItem("inner", 8, 8, a);
    tree.InsertItem("b", 8, 8, root);
    tree.SelectItem(inner);
    tree.AddObserver(&rec);
    tree.DeleteItem(a);
    EXPECT_EQ(tree.GetCount(), 2u);
    EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), "b");
    ASSERT_GE(rec.events.size(), 2u);
    EXPECT_EQ(rec.events.front(), "changing ->b"); // nothing is saved into the doomed item
    EXPECT_EQ(rec.events.back(), "changed ->b");
    tree.DeleteItem(tree.GetSelectedItem());
    EXPECT_EQ(tree.GetSelectedItem(), root); // the last child gone: the parent
    tree.RemoveObserver(&rec);
}

TEST(TreeCtrlTest, LockedUpdatesArriveAsOneReset) {
    CTreeCtrl tree;
    Recorder rec;
    rec.tree = &tree;
    tree.AddObserver(&rec);
    {
        CTreeUpdateLock outer(tree);
        CTreeUpdateLock inner(tree);
        for (int i = 0; i < 3; ++i)
            tree.InsertItem("x" + std::to_string(i), 8, 8);
    }
    EXPECT_EQ(rec.events, std::vector<std::string>{"reset"});
    tree.RemoveObserver(&rec);
}

TEST(TreeWalkTest, PreorderWalksVisitCollapsedFoldersBothWays) {
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("root", 0, 0);
    HTREEITEM a = tree.InsertItem("a", 4, 4, root);
    HTREEITEM a1 = tree.InsertItem("a1", 8, 8, a);
    HTREEITEM b = tree.InsertItem("b", 4, 4, root);
    HTREEITEM b1 = tree.InsertItem("b1", 4, 4, b);
    HTREEITEM b11 = tree.InsertItem("b11", 8, 8, b1);
    std::vector<HTREEITEM> order{root, a, a1, b, b1, b11};
    HTREEITEM h = tree.GetRootItem();
    for (HTREEITEM want : order) {
        EXPECT_EQ(h, want);
        h = treewalk::NextPreorder(tree, h);
    }
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(treewalk::LastPreorder(tree), b11);
    h = b11;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        EXPECT_EQ(h, *it);
        h = treewalk::PrevPreorder(tree, h);
    }
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(treewalk::GetFolderOf(tree, a1), a);
    EXPECT_EQ(treewalk::GetFolderOf(tree, b1), b1);
    EXPECT_TRUE(treewalk::IsSameOrAncestor(tree, b11, b));
    EXPECT_FALSE(treewalk::IsSameOrAncestor(tree, b, b11));
    CTreeCtrl empty;
    EXPECT_EQ(treewalk::LastPreorder(empty), nullptr);
}

TEST(TreeWalkTest, OpenImageFollowsExpansionAndKeepsTheBookmark) {
    CTreeCtrl tree;
    HTREEITEM f = tree.InsertItem("f", 6, 6); // bookmarked folder
    tree.InsertItem("t", 8, 8, f);
    tree.Expand(f, TVE_EXPAND);
    treewalk::UpdateOpenImage(tree, f);
    EXPECT_EQ(treewalk::GetImage(tree, f), 7);
    tree.Expand(f, TVE_COLLAPSE);
    treewalk::UpdateOpenImage(tree, f);
    EXPECT_EQ(treewalk::GetImage(tree, f), 6);
}

TEST(TreeCtrlTest, TitlesKeepTheirBytesThroughRenamesAndAcrossArenaChunks) {
    CTreeCtrl tree;
    HTREEITEM folder = tree.InsertItem("folder", 4, 4);
    std::vector<HTREEITEM> items;
    // Two MiB of titles: several chunks of the title arena, one title bigger than a chunk's
    // share, and NUL and high bytes, which a title may hold.
    for (int i = 0; i < 20000; ++i) {
        std::string title = "item " + std::to_string(100000 + i) + std::string(90, 'x');
        title[title.size() - 2] = '\0';
        title[title.size() - 1] = static_cast<char>(0xE9);
        items.push_back(tree.InsertItem(title, 8, 8, folder, TVI_SORT));
    }
    HTREEITEM big = tree.InsertItem(std::string(300000, 'z'), 8, 8, folder, TVI_SORT);
    for (int i = 0; i < 20000; i += 997) {
        std::string want = "item " + std::to_string(100000 + i) + std::string(90, 'x');
        want[want.size() - 2] = '\0';
        want[want.size() - 1] = static_cast<char>(0xE9);
        EXPECT_EQ(tree.GetItemText(items[i]), want);
        EXPECT_EQ(tree.GetItemTitle(items[i]), want);
        EXPECT_EQ(tree.GetIndexInParent(items[i]), static_cast<std::size_t>(i));
    }
    EXPECT_EQ(tree.GetItemText(big), std::string(300000, 'z'));
    tree.SetItemText(items[0], "short");               // fits in place
    tree.SetItemText(items[1], std::string(500, 'L')); // moves
    tree.SetItemText(items[2], "");
    EXPECT_EQ(tree.GetItemText(items[0]), "short");
    EXPECT_EQ(tree.GetItemText(items[1]), std::string(500, 'L'));
    EXPECT_EQ(tree.GetItemText(items[2]), "");
    EXPECT_EQ(tree.GetItemText(items[3]).substr(0, 5), "item ");
    // A title's length is kept in 16 bits up to 65534 bytes and behind the title from 65535 on:
    // both sides of that line, and a long title that shrinks, keep their bytes.
    for (std::size_t n : {65534u, 65535u, 65536u}) {
        tree.SetItemText(items[4], std::string(n, 'q'));
        EXPECT_EQ(tree.GetItemTitle(items[4]), std::string(n, 'q')) << n;
        EXPECT_EQ(tree.GetItemTitle(items[5]).substr(0, 5), "item ") << n;
    }
    tree.SetItemText(big, "tiny");
    EXPECT_EQ(tree.GetItemText(big), "tiny");
    tree.SetItemText(big, "tinier");
    EXPECT_EQ(tree.GetItemText(big), "tinier");
    EXPECT_EQ(tree.GetItemTitle(TVI_ROOT), "");
    TVINSERTSTRUCT ins;
    ins.hParent = tree.InsertItem("other", 4, 4);
    tree.InsertItem("item 1", 8, 8, ins.hParent);
    ins.hInsertAfter = TVI_SORT;
    ins.item.mask = TVIF_PARAM;
    ins.item.lParam = 77;
    HTREEITEM viewed = tree.InsertItem(ins, std::string_view("item 0000000 from a view", 12));
    EXPECT_EQ(tree.GetItemText(viewed), "item 0000000");
    EXPECT_EQ(tree.GetItemData(viewed), 77u);
    EXPECT_EQ(tree.GetIndexInParent(viewed), 0u);
}

TEST(TreeCtrlTest, DeletedFoldersGiveTheirItemsAndListsBackWithoutLeavingChildrenBehind) {
    CTreeCtrl tree;
    HTREEITEM keep = tree.InsertItem("keep", 4, 4);
    tree.InsertItem("k1", 8, 8, keep, TVI_SORT);
    for (int round = 0; round < 3; ++round) {
        HTREEITEM a = tree.InsertItem("a", 4, 4, TVI_ROOT, TVI_SORT);
        HTREEITEM b = tree.InsertItem("b", 4, 4, a, TVI_SORT);
        for (int i = 0; i < 50; ++i)
            tree.InsertItem("c" + std::to_string(i), 8, 8, b, TVI_SORT);
        EXPECT_EQ(tree.GetCount(), 2u + 52u);
        tree.DeleteItem(a);
        EXPECT_EQ(tree.GetCount(), 2u);
        // New folders take the freed items and lists: they must start empty.
        HTREEITEM x = tree.InsertItem("x", 4, 4, TVI_ROOT, TVI_SORT);
        HTREEITEM y = tree.InsertItem("y", 4, 4, x, TVI_SORT);
        EXPECT_FALSE(tree.ItemHasChildren(y));
        EXPECT_EQ(tree.GetChildCount(x), 1u);
        EXPECT_EQ(tree.GetItemText(y), "y");
        tree.DeleteItem(x);
    }
    EXPECT_EQ(Titles(tree, nullptr), std::vector<std::string>{"keep"});
    EXPECT_EQ(Titles(tree, keep), std::vector<std::string>{"k1"});
    tree.DeleteAllItems();
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_EQ(tree.GetRootItem(), nullptr);
    HTREEITEM again = tree.InsertItem("again", 4, 4);
    EXPECT_EQ(tree.GetRootItem(), again);
    EXPECT_FALSE(tree.ItemHasChildren(again));
}

TEST(TreeCtrlTest, SortedAppendsAreCheckedWhenTheListIsNextLookedAt) {
    // Appends in order stay where they are; the first out of order sends the rest to the
    // sort, and an explicit insertion in between sees the sorted list.
    CTreeCtrl tree;
    for (const char* t : {"a", "b", "B", "d", "c", "e"})
        tree.InsertItem(t, 8, 8, TVI_ROOT, TVI_SORT);
    EXPECT_EQ(tree.GetChildCount(nullptr), 6u);
    EXPECT_EQ(Titles(tree, nullptr), (std::vector<std::string>{"a", "b", "B", "c", "d", "e"}));
    tree.InsertItem("z", 8, 8, TVI_ROOT, TVI_SORT);
    tree.InsertItem("A", 8, 8, TVI_ROOT, TVI_SORT);
    tree.InsertItem("first", 8, 8, TVI_ROOT, TVI_FIRST);
    EXPECT_EQ(Titles(tree, nullptr),
              (std::vector<std::string>{"first", "a", "A", "b", "B", "c", "d", "e", "z"}));
    for (std::size_t i = 0; i < tree.GetChildCount(nullptr); ++i)
        EXPECT_EQ(tree.GetIndexInParent(tree.GetChildAt(nullptr, i)), i);
}
