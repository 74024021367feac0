#include "app/SearchWalk.h"
#include "app/Bookmarks.h"
#include "app/TreeWalk.h"
#include "support/DocFixture.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Texts by item, with a count of reads.
class CMapReader : public ITextReader {
public:
    std::map<HTREEITEM, std::string> texts;
    int reads = 0;
    std::string_view ReadText(const CTreeCtrl&, HTREEITEM h) override {
        ++reads;
        auto it = texts.find(h);
        return it == texts.end() ? std::string_view() : std::string_view(it->second);
    }
};

// Root
//   A (folder, collapsed)
//     a1 "one apple"
//     a2 "two"
//   B (folder)
//     b1 "apple pie, apple tart"
//   c "nothing"
class SearchWalkTest : public ::testing::Test {
protected:
    CTreeCtrl tree;
    CMapReader reader;
    CStoredPattern pattern;
    CStopCheck stop;
    SearchContext ctx{tree, pattern, reader, stop};
    HTREEITEM root, A, a1, a2, B, b1, c;

    void SetUp() override {
        root = tree.InsertItem("Root", 0, 0);
        A = tree.InsertItem("A", 4, 4, root);
        a1 = tree.InsertItem("a1", 8, 8, A);
        a2 = tree.InsertItem("a2", 8, 8, A);
        B = tree.InsertItem("B", 4, 4, root);
        b1 = tree.InsertItem("b1", 8, 8, B);
        c = tree.InsertItem("c", 8, 8, root);
        reader.texts = {
            {a1, "one apple"}, {a2, "two"}, {b1, "apple pie, apple tart"}, {c, "nothing"}};
    }
    ItemHit Find(const std::string& what, HTREEITEM selected, bool backward = false,
                 bool titlesOnly = false, bool matchCase = false) {
        pattern.Init(what, matchCase);
        return FindAcrossItems(ctx, selected, backward, titlesOnly);
    }
};

} // namespace

TEST_F(SearchWalkTest, FindNextWalksOnThenWrapsRoundToTheSelection) {
    ItemHit hit = Find("APPLE", a1); // pass 1 finds b1 after a1
    EXPECT_EQ(hit.hItem, b1);
    EXPECT_EQ(hit.nPos, 0);
    EXPECT_EQ(hit.nLength, 5u);
    EXPECT_EQ(Find("apple", b1).hItem, a1); // pass 2 from the root
    EXPECT_EQ(Find("apple", b1).nPos, 4);
    // The only match is the selected item itself: found in pass 2 from the start of its text.
    EXPECT_EQ(Find("pie", b1).hItem, b1);
    EXPECT_EQ(Find("pie", c).hItem, b1);
    EXPECT_EQ(Find("two", c).hItem, a2); // from the last item pass 1 is empty
    reader.reads = 0;
    ItemHit none = Find("pear", a2);
    EXPECT_EQ(none.hItem, nullptr);
    EXPECT_FALSE(none.bEscaped);
    EXPECT_EQ(reader.reads, static_cast<int>(tree.GetCount())); // each item once
}

TEST_F(SearchWalkTest, FindPreviousIsTheMirrorImageAndTakesTheLastMatch) {
    ItemHit hit = Find("apple", c, true);
    EXPECT_EQ(hit.hItem, b1);
    EXPECT_EQ(hit.nPos, 11); // the last occurrence in the text
    EXPECT_EQ(Find("apple", b1, true).hItem, a1);
    EXPECT_EQ(Find("apple", a1, true).hItem, b1); // wraps to the last item and comes down
    EXPECT_EQ(Find("nothing", root, true).hItem, c);
    EXPECT_EQ(Find("pie", b1, true).hItem, b1);
}

TEST_F(SearchWalkTest, TextIsPreferredOverTheTitleAndTitlesOnlySkipsTexts) {
    reader.texts[B] = "folder b notes";
    ItemHit text = Find("b", A);
    EXPECT_EQ(text.hItem, B);
    EXPECT_EQ(text.nPos, 7); // the text's "b", not the title "B"
    ItemHit title = Find("b", A, false, true);
    EXPECT_EQ(title.hItem, B);
    EXPECT_EQ(title.nPos, -1);
    reader.reads = 0;
    EXPECT_EQ(Find("apple", root, false, true).hItem, nullptr);
    EXPECT_EQ(reader.reads, 0);
    EXPECT_EQ(Find("B", root, false, false, true).nPos, -1); // match case: only the title
}

TEST_F(SearchWalkTest, WalksStopBeforeTheStopItemAndWhenStartIsStop) {
    pattern.Init("nothing", false);
    SEARCHWALK walk;
    walk.hStart = root;
    walk.hStop = c;
    EXPECT_EQ(WalkForward(ctx, walk), nullptr);
    walk.hStart = walk.hStop = a1;
    EXPECT_EQ(WalkForward(ctx, walk), nullptr);
    walk.hStart = root;
    walk.hStop = nullptr;
    EXPECT_EQ(WalkForward(ctx, walk), c);
    EXPECT_EQ(walk.nFoundPos, 0);
}

TEST_F(SearchWalkTest, TheStopCheckEndsAWalkSilently) {
    int polls = 0;
    CStopCheck escape([&] { return ++polls == 2; });
    SearchContext escCtx{tree, pattern, reader, escape};
    for (int i = 0; i < 200; ++i)
        reader.texts[tree.InsertItem("x" + std::to_string(i), 8, 8, B)] = "x";
    pattern.Init("apple", false);
    reader.reads = 0;
    ItemHit hit = FindAcrossItems(escCtx, b1, false, false);
    EXPECT_EQ(hit.hItem, nullptr);
    EXPECT_TRUE(hit.bEscaped);
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(reader.reads, 2 * static_cast<int>(CStopCheck::kItemsPerPoll));
    // Big texts make it poll sooner: every 4 MB.
    CStopCheck bytes([] { return true; });
    EXPECT_FALSE(bytes.Tick(CStopCheck::kBytesPerPoll - 1));
    EXPECT_TRUE(bytes.Tick(1));
}

TEST_F(SearchWalkTest, MarkAllBookmarksEveryHitAndCountsMarkedOnes) {
    bookmarks::Set(tree, b1, true);
    pattern.Init("APPLE", false);
    MarkAllResult r = MarkAll(tree, ctx, false);
    EXPECT_EQ(r.nHits, 2u);
    EXPECT_FALSE(r.bEscaped);
    EXPECT_TRUE(bookmarks::IsSet(tree, a1));
    EXPECT_TRUE(bookmarks::IsSet(tree, b1));
    EXPECT_FALSE(bookmarks::IsSet(tree, a2));
    int image = 0, selected = 0;
    tree.GetItemImage(a1, image, selected);
    EXPECT_EQ(image, 8 | 2);
    EXPECT_EQ(selected, 8 | 2);
    pattern.Init("a", false);
    EXPECT_EQ(MarkAll(tree, ctx, true).nHits, 3u); // titles "A", "a1", "a2"
}

TEST_F(SearchWalkTest, MarkAllStoppedKeepsWhatItMarked) {
    for (int i = 0; i < 100; ++i)
        tree.InsertItem("hit " + std::to_string(i), 8, 8, root);
    int polls = 0;
    CStopCheck escape([&] { return ++polls == 2; });
    SearchContext escCtx{tree, pattern, reader, escape};
    pattern.Init("hit", false);
    MarkAllResult r = MarkAll(tree, escCtx, true);
    EXPECT_TRUE(r.bEscaped);
    EXPECT_GT(r.nHits, 0u);
    EXPECT_LT(r.nHits, 100u);
    EXPECT_EQ(bookmarks::Collect(tree).size(), r.nHits);
}

TEST_F(SearchWalkTest, BookmarkWalksWrapAndNeverReturnTheSelection) {
    using bookmarks::FindNext;
    using bookmarks::FindPrevious;
    EXPECT_EQ(FindNext(tree, a1), nullptr);
    bookmarks::Set(tree, a2, true);
    EXPECT_EQ(FindNext(tree, a2), nullptr); // the only bookmark is the selection
    EXPECT_EQ(FindPrevious(tree, a2), nullptr);
    EXPECT_EQ(FindNext(tree, c), a2); // wraps
    EXPECT_EQ(FindPrevious(tree, a1), a2);
    EXPECT_EQ(FindNext(tree, root), a2);
    EXPECT_EQ(FindNext(tree, nullptr), a2);
    bookmarks::Set(tree, root, true);
    EXPECT_EQ(FindNext(tree, a2), root); // wraps to the root itself
    EXPECT_EQ(FindPrevious(tree, a2), root);
    EXPECT_EQ(FindPrevious(tree, root), a2); // from the root backwards: wraps to the end
    bookmarks::Set(tree, c, true);
    EXPECT_EQ(FindPrevious(tree, c), a2);
    EXPECT_EQ(FindNext(tree, c), root);
    EXPECT_EQ(bookmarks::RemoveAll(tree), 3u);
    EXPECT_EQ(FindNext(tree, a1), nullptr);
}

TEST_F(SearchWalkTest, BookmarksChangeOnlyTheirBitAndListInPreorder) {
    tree.SetItemImage(B, 4 | 1, 4 | 1); // an open folder
    EXPECT_TRUE(bookmarks::Toggle(tree, B));
    bookmarks::Toggle(tree, c);
    bookmarks::Toggle(tree, a1);
    int image = 0, selected = 0;
    tree.GetItemImage(B, image, selected);
    EXPECT_EQ(image, 4 | 1 | 2);
    std::vector<bookmarks::BookmarkEntry> list = bookmarks::Collect(tree);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].hItem, a1);
    EXPECT_EQ(list[1].hItem, B);
    EXPECT_EQ(list[1].nImage, 4 | 2); // the closed picture, with the ribbon
    EXPECT_EQ(list[1].strPath, "Root\\B");
    EXPECT_EQ(list[0].strPath, "Root\\A\\a1");
    list[0].bRemoved = list[2].bRemoved = true;
    bookmarks::ApplyRemovals(tree, list);
    EXPECT_EQ(bookmarks::Collect(tree).size(), 1u);
    bookmarks::Toggle(tree, B);
    tree.GetItemImage(B, image, selected);
    EXPECT_EQ(image, 4 | 1);
    EXPECT_FALSE(bookmarks::Toggle(tree, nullptr));
}

TEST(ItemPath, LongPathsKeepTheirLastWholeTitlesBehindDots) {
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium", 0, 0);
    HTREEITEM f = tree.InsertItem("A folder with a rather long title", 4, 4, root);
    HTREEITEM t = tree.InsertItem("Short one", 8, 8, f);
    EXPECT_EQ(bookmarks::GetItemPath(tree, f, 50), "Notarium\\A folder with a rather long title");
    std::string p = bookmarks::GetItemPath(tree, t, 50);
    EXPECT_EQ(p, "...\\A folder with a rather long title\\Short one");
    EXPECT_LE(p.size(), 50u);
    // No backslash in the kept tail: the tail of one long title.
    HTREEITEM l = tree.InsertItem(std::string(60, 'x') + "END", 8, 8, f);
    EXPECT_EQ(bookmarks::GetItemPath(tree, l, 50), "..." + std::string(44, 'x') + "END");
    // Characters, not bytes, and Windows-1252 titles as shown.
    HTREEITEM e = tree.InsertItem(std::string(30, '\xE9'), 8, 8, root);
    std::string shown = bookmarks::GetItemPath(tree, e, 50);
    EXPECT_EQ(shown.substr(0, 9), "Notarium\\");
    EXPECT_EQ(shown.size(), 9 + 60u); // 30 "é" of two UTF-8 bytes
}

class StoreTextReaderTest : public DocFixture {};

TEST_F(StoreTextReaderTest, ReadsTextsUpToTheFirstNul) {
    CreateAndOpen();
    HTREEITEM a = Add(Root(), "a", false);
    HTREEITEM b = Add(Root(), "b", false);
    SetText(a, std::string(3000, 'y') + "needle");
    SetText(b, std::string("short\0hidden", 12));
    CStoreTextReader reader(doc.Store());
    EXPECT_EQ(reader.ReadText(tree, a).size(), 3006u);
    EXPECT_EQ(reader.ReadText(tree, b), "short");
    EXPECT_EQ(reader.ReadText(tree, Root()), "");
    CStoredPattern p;
    p.Init("hidden", true);
    CStopCheck stop;
    SearchContext ctx{tree, p, reader, stop};
    EXPECT_EQ(FindAcrossItems(ctx, Root(), false, false).hItem, nullptr);
    p.Init("NEEDLE", false);
    ItemHit hit = FindAcrossItems(ctx, Root(), false, false);
    EXPECT_EQ(hit.hItem, a);
    EXPECT_EQ(hit.nPos, 3000);
}

TEST_F(StoreTextReaderTest, AStoredTextOfNoBytesReadsAsEmptyAndIsSearched) {
    // A chain whose length field says 0 (a file from elsewhere may hold one), read first by a
    // fresh reader: its buffer has no bytes at all.
    CreateAndOpen();
    HTREEITEM a = Add(Root(), "empty text", false);
    CBlockFile& store = doc.Store();
    DWORD chain = store.BeginNewChain();
    const BYTE zero[4] = {};
    store.WriteData(zero, sizeof zero);
    store.EndTransfer();
    tree.SetItemData(a, chain);
    CStoreTextReader reader(store);
    EXPECT_EQ(reader.ReadText(tree, a), "");
    CStoredPattern p;
    p.Init("text", false);
    CStopCheck stop;
    SearchContext ctx{tree, p, reader, stop};
    ItemHit hit = FindAcrossItems(ctx, Root(), false, false);
    EXPECT_EQ(hit.hItem, a);
    EXPECT_EQ(hit.nPos, -1); // the title
}
