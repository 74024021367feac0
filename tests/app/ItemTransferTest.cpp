#include "app/TreeWalk.h"
#include "store/Payload.h"
#include "support/DocFixture.h"

using namespace nota;

namespace {

// Block offsets whose bytes differ between two images of a file.
std::vector<DWORD> ChangedBlocks(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    std::vector<DWORD> out;
    std::size_t n = std::max(a.size(), b.size());
    for (std::size_t off = 32; off < n; off += 512) {
        bool same = off + 512 <= a.size() && off + 512 <= b.size() &&
                    std::equal(a.begin() + off, a.begin() + off + 512, b.begin() + off);
        if (!same)
            out.push_back(static_cast<DWORD>(off));
    }
    return out;
}

} // namespace

class ItemTransferTest : public DocFixture {
protected:
    HTREEITEM folder = nullptr;
    HTREEITEM t1 = nullptr, t2 = nullptr, t3 = nullptr;
    void SetUp() override {
        CreateAndOpen();
        folder = Add(Root(), "Folder", true);
        t1 = Add(folder, "one", false);
        t2 = Add(folder, "two", false);
        t3 = Add(folder, "three", false);
        SetText(t1, "text one");
        SetText(t2, "text two");
        SetText(t3, "text three");
    }
};

TEST_F(ItemTransferTest, DeletingAFolderFreesItsChildrensChainsInTheirOrder) {
    // Display order is one, three, two.
    DWORD c1 = Chain(t1), c3 = Chain(t3), c2 = Chain(t2);
    ui.statusTexts.clear();
    ASSERT_TRUE(doc.DeleteItem(folder));
    EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"Deleting item...", "For Help, press F1"}));
    CBlockFile& store = doc.Store();
    EXPECT_EQ(store.GetFreeList(), c2); // the last freed is the first reused
    std::vector<BYTE> bytes = ReadFileBytes(path);
    EXPECT_EQ(GetLE32(bytes.data() + 20), c2); // and the header is on disk already
    EXPECT_EQ(GetLE32(bytes.data() + c2), c3);
    EXPECT_EQ(GetLE32(bytes.data() + c3), c1);
    EXPECT_EQ(store.AllocBlock(), c2);
    Reopen();
    EXPECT_TRUE(Titles(Root()).empty());
}

TEST_F(ItemTransferTest, DeletingTheOnlyChildCollapsesItsFolderAndClosesItsPicture) {
    HTREEITEM sub = Add(folder, "sub", true);
    HTREEITEM only = Add(sub, "only", false); // selecting it expands sub
    treewalk::UpdateOpenImage(tree, sub);
    ASSERT_TRUE(tree.GetItemState(sub, TVIS_EXPANDED));
    ASSERT_EQ(treewalk::GetImage(tree, sub), 5);
    ASSERT_TRUE(doc.DeleteItem(only));
    EXPECT_FALSE(tree.GetItemState(sub, TVIS_EXPANDED));
    EXPECT_EQ(treewalk::GetImage(tree, sub), 4);
}

TEST_F(ItemTransferTest, DeletingItemsWithoutTextWritesOnlyTheTreeStream) {
    HTREEITEM empty = Add(Root(), "empty", true);
    Add(empty, "blank", false);
    std::vector<BYTE> before = ReadFileBytes(path);
    ASSERT_TRUE(doc.DeleteItem(empty));
    EXPECT_EQ(ChangedBlocks(before, ReadFileBytes(path)), std::vector<DWORD>{32});
}

TEST_F(ItemTransferTest, MovingAFolderKeepsItsChainsAndArrivesCollapsedAndSorted) {
    HTREEITEM target = Add(Root(), "Archive", true);
    Add(target, "zzz", false);
    HTREEITEM sub = Add(folder, "sub", true);
    Add(sub, "deep", false); // expands sub and folder
    std::vector<BYTE> before = ReadFileBytes(path);
    DWORD c1 = Chain(t1);
    ui.statusTexts.clear();
    HTREEITEM moved = doc.MoveItem(folder, target);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(ui.statusTexts.front(), "Moving item...");
    EXPECT_EQ(Titles(target), (std::vector<std::string>{"Folder", "zzz"}));
    EXPECT_FALSE(tree.GetItemState(moved, TVIS_EXPANDED));
    HTREEITEM movedSub = Child(moved, "sub");
    EXPECT_FALSE(tree.GetItemState(movedSub, TVIS_EXPANDED));
    EXPECT_EQ(treewalk::GetImage(tree, movedSub), 4); // closed picture for a collapsed folder
    EXPECT_EQ(Chain(Child(moved, "one")), c1);
    std::vector<DWORD> changed = ChangedBlocks(before, ReadFileBytes(path));
    EXPECT_EQ(changed, std::vector<DWORD>{32}); // only the tree stream
    Reopen();
    EXPECT_EQ(GetText(Child(Child(Child(Root(), "Archive"), "Folder"), "two")), "text two");
}

TEST_F(ItemTransferTest, CopyAndInsertCarryTitlesTextsAndPlainKinds) {
    tree.SetItemImage(folder, 7, 7); // open and bookmarked
    HTREEITEM blank = Add(folder, "blank", false);
    std::vector<BYTE> data = doc.CopyItems(folder);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data[0], KIND_FOLDER);

    std::uint64_t len = doc.Store().Length();
    HTREEITEM copy = doc.InsertItems(Root(), data.data(), data.size());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(treewalk::GetImage(tree, copy), 4); // not bookmarked, not open
    EXPECT_EQ(Titles(copy), (std::vector<std::string>{"blank", "one", "three", "two"}));
    EXPECT_EQ(Chain(Child(copy, "blank")), 0u); // no text, no chain
    EXPECT_NE(Chain(Child(copy, "two")), Chain(t2));
    EXPECT_EQ(GetText(Child(copy, "two")), "text two");
    EXPECT_EQ(doc.Store().Length(), len + 3 * 512); // one new chain per text
    (void)blank;

    // A copy of the root arrives as an ordinary folder.
    std::vector<BYTE> rootData = doc.CopyItems(Root());
    HTREEITEM rootCopy = doc.InsertItems(folder, rootData.data(), rootData.size());
    EXPECT_EQ(treewalk::GetImage(tree, rootCopy), 4);
    Reopen();
    EXPECT_EQ(Titles(Root()), (std::vector<std::string>{"Folder", "Folder"}));
}

TEST_F(ItemTransferTest, ADamagedPayloadInsertsWhatItCanAndNeverMakesARoot) {
    payload::CPayloadWriter w;
    w.BeginItem(KIND_FOLDER, "sound");
    const BYTE text[] = {'o', 'k', 0};
    w.WriteText(3, text);
    w.BeginItem(0, "claims to be a root"); // another program's odd kind code: not ours
    w.WriteNoText();
    w.EndList();
    w.EndList();
    std::vector<BYTE> data = w.Data();
    HTREEITEM h = doc.InsertItems(folder, data.data(), data.size());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(treewalk::GetImage(tree, h), 4);
    EXPECT_EQ(GetText(h), "ok");
    EXPECT_EQ(tree.GetChildItem(h), nullptr); // reading stopped at the odd kind

    payload::CPayloadWriter cut;
    cut.BeginItem(KIND_TEXTLET, "cut short");
    cut.WriteText(3, text);
    cut.BeginItem(KIND_TEXTLET, "child");
    data = cut.Data();
    data.push_back(0x00); // cut off in the middle of the child's text length
    EXPECT_NE(doc.InsertItems(folder, data.data(), data.size()), nullptr);
    EXPECT_EQ(doc.Store().GetMode(), CBlockFile::modeIdle);
    Reopen();
    HTREEITEM f = Child(Root(), "Folder");
    EXPECT_NE(Child(f, "sound"), nullptr);
    EXPECT_NE(Child(f, "cut short"), nullptr);
    EXPECT_EQ(Child(f, "claims to be a root"), nullptr);
}

TEST_F(ItemTransferTest, BigTransfersShowOneProgressBarSmallOnesNone) {
    ui.progressBegun = 0;
    std::vector<BYTE> small = doc.CopyItems(folder);
    doc.InsertItems(Root(), small.data(), small.size());
    EXPECT_EQ(ui.progressBegun, 0);

    for (int i = 0; i < 200; ++i)
        tree.InsertItem(("n" + std::to_string(i)).c_str(), IMAGE_TEXTLET, IMAGE_TEXTLET, folder,
                        TVI_LAST);
    ASSERT_TRUE(doc.SaveTree());
    ui.progressPositions.clear();
    std::vector<BYTE> big = doc.CopyItems(folder);
    EXPECT_EQ(ui.progressBegun, 1);
    EXPECT_EQ(ui.progressEnded, 1);
    ASSERT_FALSE(ui.progressPositions.empty());
    EXPECT_EQ(ui.progressPositions.back(), 100);
    EXPECT_LE(ui.progressPositions.size(), 100u); // moved by the percent, not by the item
    EXPECT_EQ(ui.statusTexts.front(), "Copying item...");

    // An insertion counts the payload's bytes.
    payload::CPayloadWriter w;
    w.BeginItem(KIND_TEXTLET, "large");
    std::vector<BYTE> text(2u << 20, 'x');
    text.back() = 0;
    w.WriteText(static_cast<DWORD>(text.size()), text.data());
    w.EndList();
    w.EndList();
    ui.statusTexts.clear();
    ASSERT_NE(doc.InsertItems(Root(), w.Data().data(), w.Data().size()), nullptr);
    EXPECT_EQ(ui.progressBegun, 2);
    EXPECT_EQ(ui.progressEnded, 2);
    EXPECT_EQ(ui.statusTexts.front(), "Inserting item...");
    EXPECT_EQ(GetText(Child(Root(), "large")).size(), text.size() - 1);
}

// Memory running out halfway through a large paste: the store rolls back, and the tree must
// not keep the new items pointing at chains that no longer exist (a later save would write
// them into the file).
TEST_F(ItemTransferTest, AnInsertionStoppedByAnyFailureTakesItsItemsBack) {
    payload::CPayloadWriter w;
    w.BeginItem(KIND_FOLDER, "big");
    std::vector<BYTE> text(400 * 1024, 'x');
    for (int i = 0; i < 8; ++i) { // 3.2 MB: growth goes to the file ahead of the commit
        w.BeginItem(KIND_TEXTLET, "t" + std::to_string(i));
        w.WriteText(static_cast<DWORD>(text.size()), text.data());
        w.EndList();
    }
    w.EndList();
    w.EndList();
    const std::vector<BYTE> data = w.Data();
    const std::vector<std::string> before = Titles(Root());
    const std::uint64_t length = doc.Store().Length();

    int writes = 0;
    CFile::SetFaultHook([&](CFile::Op op, const std::string& file) {
        if (op == CFile::Op::Write && file == path && ++writes == 2)
            throw std::bad_alloc();
    });
    EXPECT_THROW(doc.InsertItems(Root(), data.data(), data.size()), std::bad_alloc);
    CFile::SetFaultHook(nullptr);
    ASSERT_GE(writes, 2);
    EXPECT_EQ(Titles(Root()), before);
    EXPECT_EQ(doc.Store().Length(), length);

    // The next structural change saves a tree without them, and the file stays sound.
    HTREEITEM later = Add(Root(), "later", false);
    ASSERT_NE(later, nullptr);
    Reopen();
    std::vector<std::string> after = before;
    after.push_back("later");
    std::sort(after.begin(), after.end());
    std::vector<std::string> titles = Titles(Root());
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, after);
    EXPECT_EQ(GetText(Child(Child(Root(), "Folder"), "one")), "text one");
}
