#include "store/TreeStream.h"
#include "app/NotariumDoc.h"
#include "platform/PreorderWalk.h"
#include "support/FileBuilder.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace nota;

namespace {

std::vector<BYTE> Hex(std::initializer_list<int> bytes) {
    std::vector<BYTE> out;
    for (int b : bytes)
        out.push_back(static_cast<BYTE>(b));
    return out;
}

// Loads the stream from a file built around it.
void LoadStream(const std::vector<BYTE>& stream, CTreeCtrl& tree, bool remember,
                treestream::LoadResult& result, CTempDir& dir) {
    CFileBuilder b;
    b.SetTreeData(b.AddChain(stream));
    b.WriteTo(dir.File("s.Nota"));
    CBlockFile file(dir.File("s.Nota"), CFile::modeReadWrite);
    ASSERT_TRUE(file.CheckSignature());
    treestream::ReadTree(file, tree, remember, result);
}

} // namespace

TEST(TreeStreamTest, NewDatabaseIsExactlyTheKnown544Bytes) {
    CTempDir dir;
    CRecordingUi ui;
    ASSERT_TRUE(CNotariumDoc::PrepareDataFile(dir.File("new.Nota"), true, ui));
    std::vector<BYTE> expected(544, 0);
    std::copy_n("nota", 4, expected.begin());
    expected[16] = 32; // dwTreeData
    std::vector<BYTE> block =
        Hex({0,   0,   0, 0, 25, 0, 0, 0,    9,    0, 'N', 'o', 't', 'a',  'r', 'i',
             'u', 'm', 0, 0, 0,  0, 0, 0xFF, 0xFF, 2, 0,   0,   0,   0xFF, 0xFF});
    std::copy(block.begin(), block.end(), expected.begin() + 32); // dwNext 0, wLength 25, stream
    EXPECT_EQ(ReadFileBytes(dir.File("new.Nota")), expected);
}

TEST(TreeStreamTest, ExampleTreeGivesTheKnown63Bytes) {
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium", 1, 1);
    HTREEITEM work = tree.InsertItem("Work", 4, 4, root);
    HTREEITEM memo = tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM, "Memo", 8, 8, 0, 0, 544,
                                     work, TVI_LAST);
    tree.Expand(root, TVE_EXPAND);
    tree.SelectItem(root);
    (void)memo;
    std::vector<BYTE> expected =
        Hex({0x01, 0,    9, 0, 'N', 'o',  't',  'a',  'r', 'i',  'u',  'm', 0,
             0,    0,    0, 0,                                                 // root
             0x04, 0,    5, 0, 'W', 'o',  'r',  'k',  0,   0,    0,    0,   0, // Work
             0x08, 0,    5, 0, 'M', 'e',  'm',  'o',  0,   0x20, 0x02, 0,   0, // Memo
             0xFF, 0xFF, 0, 0, 0,   0,    0xFF, 0xFF, 0,   0,    0,    0,   0xFF,
             0xFF, 0x22, 0, 0, 0,   0xFF, 0xFF});
    EXPECT_EQ(expected.size(), 63u);
    EXPECT_EQ(treestream::Serialize(tree), expected);

    // And reading it back restores titles, codes, references and state.
    CTempDir dir;
    CTreeCtrl back;
    treestream::LoadResult r;
    LoadStream(expected, back, true, r, dir);
    EXPECT_EQ(r.nItems, 3u);
    EXPECT_EQ(treestream::Serialize(back).size(), 63u);
    HTREEITEM broot = back.GetRootItem();
    EXPECT_EQ(r.hSelect, broot);
    EXPECT_TRUE(back.GetItemState(broot, TVIS_EXPANDED));
    EXPECT_EQ(back.GetItemData(back.GetChildItem(back.GetChildItem(broot))), 544u);
}

TEST(TreeStreamTest, WithoutRememberedStateTheFlagsAreClearedAndNothingExpands) {
    CTreeStreamBuilder s;
    s.Item(3, "Notarium").Item(7, "F").Leaf(11, "T", 0, 2).End(0x20).End(0x22);
    CTempDir dir;
    CTreeCtrl tree;
    treestream::LoadResult r;
    LoadStream(s.Finish(), tree, false, r, dir);
    HTREEITEM root = tree.GetRootItem();
    HTREEITEM f = tree.GetChildItem(root);
    EXPECT_EQ(r.hSelect, nullptr);
    int image = 0, sel = 0;
    tree.GetItemImage(root, image, sel);
    EXPECT_EQ(image, 0);
    tree.GetItemImage(f, image, sel);
    EXPECT_EQ(image, 4);
    tree.GetItemImage(tree.GetChildItem(f), image, sel);
    EXPECT_EQ(image, 8);
    EXPECT_FALSE(tree.GetItemState(root, TVIS_EXPANDED));
}

TEST(TreeStreamTest, SiblingsAreSortedWhateverTheirOrderInTheFile) {
    CTreeStreamBuilder s;
    s.Item(0, "R").Leaf(8, "c").Leaf(8, "A").Leaf(8, "b").End();
    CTempDir dir;
    CTreeCtrl tree;
    treestream::LoadResult r;
    LoadStream(s.Finish(), tree, true, r, dir);
    HTREEITEM root = tree.GetRootItem();
    std::vector<std::string> titles;
    for (HTREEITEM c = tree.GetChildItem(root); c; c = tree.GetNextSiblingItem(c))
        titles.push_back(tree.GetItemText(c));
    EXPECT_EQ(titles, (std::vector<std::string>{"A", "b", "c"}));
}

TEST(TreeStreamTest, OverlongTitlesAreCutAndDamagedStreamsStopWithAnError) {
    CTempDir dir;
    {
        CTreeStreamBuilder s;
        s.Leaf(8, std::string(200, 'x')); // a title field far over 65
        CTreeCtrl tree;
        treestream::LoadResult r;
        LoadStream(s.Finish(), tree, true, r, dir);
        EXPECT_EQ(tree.GetItemText(tree.GetRootItem()).size(), 64u);
    }
    {
        // The stream ends in the middle of an item: what was read stays.
        CTreeStreamBuilder s;
        s.Item(0, "R").Leaf(8, "ok");
        std::vector<BYTE> bytes = s.bytes;
        bytes.push_back(8);
        CTreeCtrl tree;
        treestream::LoadResult r;
        EXPECT_THROW(LoadStream(bytes, tree, true, r, dir), CFileException);
        EXPECT_EQ(tree.GetCount(), 2u);
    }
    {
        std::vector<BYTE> bytes = Hex({8, 0, 0xFE, 0xFF}); // a negative title length
        CTreeCtrl tree;
        treestream::LoadResult r;
        EXPECT_THROW(LoadStream(bytes, tree, true, r, dir), CFileException);
    }
}

TEST(TreeStreamTest, DeepNestingNeedsNoCallStack) {
    CTreeCtrl tree;
    HTREEITEM parent = TVI_ROOT;
    for (int i = 0; i < 100000; ++i)
        parent = tree.InsertItem("d", 4, 4, parent);
    std::vector<BYTE> bytes = treestream::Serialize(tree);
    CTempDir dir;
    CTreeCtrl back;
    treestream::LoadResult r;
    LoadStream(bytes, back, true, r, dir);
    EXPECT_EQ(r.nItems, 100000u);
    EXPECT_EQ(treestream::Serialize(back), bytes);
}

namespace {

// The stream as the item-by-item writer made it: a copy of each item's record through
// GetItem, the walk through GetNextItem. The reference the writer must stay equal to.
std::vector<BYTE> SerializeItemByItem(const CTreeCtrl& tree, HTREEITEM hSkip) {
    std::vector<BYTE> out;
    auto word = [&](WORD w) { out.insert(out.end(), {BYTE(w & 0xFF), BYTE(w >> 8)}); };
    auto dword = [&](DWORD d) {
        word(static_cast<WORD>(d & 0xFFFF));
        word(static_cast<WORD>(d >> 16));
    };
    TVITEM item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_STATE;
    item.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
    item.cchTextMax = TITLE_BUFFER;
    treewalk::WalkNested(
        tree, tree.GetRootItem(), true,
        [&](HTREEITEM h) {
            item.hItem = h;
            tree.GetItem(item);
            word(static_cast<WORD>(item.iImage));
            word(static_cast<WORD>(item.strText.size() + 1));
            out.insert(out.end(), item.strText.begin(), item.strText.end());
            out.push_back(0);
            dword(static_cast<DWORD>(item.lParam));
        },
        [&] { word(0xFFFF); },
        [&](HTREEITEM done) { dword(tree.GetItemState(done, TVIS_SELECTED | TVIS_EXPANDED)); },
        hSkip);
    return out;
}

} // namespace

// Nesting, empty folders, titles cut in the middle of a character and past the limit,
// bookmarks, expanded and selected items, lists sorted late, and an item left out with its
// subtree: the writer's bytes are the item-by-item writer's, and a file gets them too.
TEST(TreeStreamTest, TheWriterGivesTheSameBytesAsTheItemByItemWriter) {
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium", IMAGE_ROOT, IMAGE_ROOT);
    HTREEITEM empty = tree.InsertItem("Empty folder", IMAGE_FOLDER, IMAGE_FOLDER, root);
    HTREEITEM deep = root;
    for (int depth = 0; depth < 6; ++depth)
        deep =
            tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM, "Level " + std::to_string(depth),
                            IMAGE_FOLDER | IMAGE_OPEN, IMAGE_FOLDER, 0, 0,
                            static_cast<LPARAM>(32 + 512 * depth), deep, TVI_LAST);
    HTREEITEM marked =
        tree.InsertItem("Marked", IMAGE_TEXTLET | IMAGE_BOOKMARK, IMAGE_TEXTLET, deep);
    // Inserted out of order: the writer sees them sorted, as every walk does.
    HTREEITEM late = tree.InsertItem(TVIF_TEXT | TVIF_IMAGE, "zeta", IMAGE_TEXTLET, IMAGE_TEXTLET,
                                     0, 0, 0, root, TVI_SORT);
    tree.InsertItem(TVIF_TEXT | TVIF_IMAGE, "Alpha", IMAGE_TEXTLET, IMAGE_TEXTLET, 0, 0, 0, root,
                    TVI_SORT);
    std::string umlauts;
    for (int i = 0; i < 40; ++i)
        umlauts += "\xC3\xA4"; // 80 bytes: cut to 64, between two characters
    tree.InsertItem(umlauts, IMAGE_TEXTLET, IMAGE_TEXTLET, late);
    tree.InsertItem("x" + umlauts, IMAGE_TEXTLET, IMAGE_TEXTLET, late); // cut inside one
    tree.InsertItem(std::string(300, 'L'), IMAGE_TEXTLET, IMAGE_TEXTLET, late);
    tree.InsertItem("", IMAGE_TEXTLET, IMAGE_TEXTLET, late);
    std::string invalid(70, 'v');
    invalid[10] = '\xFF'; // not UTF-8: cut at the byte
    tree.InsertItem(invalid, IMAGE_TEXTLET, IMAGE_TEXTLET, late);
    tree.Expand(root, TVE_EXPAND);
    tree.Expand(late, TVE_EXPAND);
    tree.SelectItem(marked);

    for (HTREEITEM skip : {HTREEITEM{}, empty, late, marked, root}) {
        SCOPED_TRACE(skip ? tree.GetItemText(skip) : "nothing left out");
        const std::vector<BYTE> expected = SerializeItemByItem(tree, skip);
        EXPECT_EQ(treestream::Serialize(tree, skip), expected);

        CTempDir dir;
        CFileBuilder b;
        b.SetTreeData(b.AddChain(std::vector<BYTE>(3000, 'o'))); // rewritten in place
        b.WriteTo(dir.File("w.Nota"));
        CBlockFile file(dir.File("w.Nota"), CFile::modeReadWrite | CFile::shareExclusive);
        ASSERT_TRUE(file.CheckSignature());
        treestream::WriteTree(file, tree, skip);
        std::vector<BYTE> back(expected.size());
        file.BeginRead(file.GetTreeData());
        file.ReadData(back.data(), back.size());
        file.EndTransfer();
        EXPECT_EQ(back, expected);
    }
}
