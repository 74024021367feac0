#include "RepairFixture.h"

#include "app/NotariumDoc.h"
#include "platform/File.h"

#include <filesystem>

using namespace nota;

namespace {

const std::string kTruncatedIndex =
    "ERROR: Invalid index data detected : FIX: Truncating data index";

std::string CorruptItem(const std::string& reason) {
    return "ERROR: Corrupt item data detected : " + reason +
           " : FIX: Truncating data and bookmarking item";
}

bool NoWorkFilesIn(const std::string& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind("FIX", 0) == 0)
            return false;
    return true;
}

} // namespace

TEST_F(RepairTest, SoundFileIsCopiedSortedWithoutStateOrBookmarks) {
    CFileBuilder file = SoundFile();
    DWORD free1 = file.AddBlock(0, 0);
    file.SetFreeList(file.AddBlock(free1, 0));
    Repair(file);

    ASSERT_FALSE(aborted);
    EXPECT_EQ(errors, 0);
    std::vector<std::string> expected{"Source file: " + Source(),
                                      "Target file: " + Target(),
                                      "Inspecting source file",
                                      "Writing data to temporary file",
                                      "Scanning source file for unused blocks",
                                      "Copying temporary file to target file",
                                      "PROCESS COMPLETE: No errors detected"};
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(status, "PROCESS COMPLETE: No errors detected");
    EXPECT_TRUE(ui.boxes.empty());

    std::vector<BYTE> out = ReadFileBytes(Target());
    EXPECT_EQ(GetLE32(out.data() + HDR_TREE_DATA), 32u);
    EXPECT_EQ(GetLE32(out.data() + HDR_FREE_LIST), 0u);
    EXPECT_EQ(std::vector<BYTE>(out.begin() + 4, out.begin() + 16), std::vector<BYTE>(12, 0));
    auto items = TargetItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "Notarium");
    EXPECT_EQ(items[1].title, "Alpha"); // sorted before Work
    EXPECT_EQ(items[2].title, "Work");
    EXPECT_EQ(items[3].title, "Memo");
    EXPECT_EQ(items[3].depth, 2);
    EXPECT_EQ(items[0].image, IMAGE_ROOT);
    EXPECT_EQ(items[2].image, IMAGE_FOLDER);
    for (const auto& item : items)
        EXPECT_EQ(item.state, 0u) << item.title;
    EXPECT_EQ(TextOf(items[1]), "first");
    EXPECT_EQ(TextOf(items[3]), "Call Bob\r\nabout the " + std::string(700, 'x'));
    // Texts follow the tree stream in pre-order; the file holds nothing else.
    EXPECT_EQ(items[1].textData, 544u);
    EXPECT_EQ(items[3].textData, 1056u);
    EXPECT_EQ(out.size(), 32u + 4 * 512);
    EXPECT_TRUE(NoWorkFilesIn(dir.Path()));
}

TEST_F(RepairTest, FatalErrorsEndTheRunAndLeaveTheTargetAlone) {
    struct Case {
        std::vector<BYTE> bytes;
        std::string fatal;
    };
    CFileBuilder noIndex; // exactly 32 bytes, dwTreeData 0
    std::vector<BYTE> upper = noIndex.bytes;
    upper[0] = 'N';
    CFileBuilder emptyIndex; // an index whose first item is cut off
    emptyIndex.SetTreeData(emptyIndex.AddChain({8, 0, 40, 0}));
    std::vector<Case> cases{
        {noIndex.bytes, "Starting block of data index (dwTreeData) is 0 : Unable to continue "
                        "without index"},
        {upper, "File does not contain a valid file signature. " + Source() +
                    " is not a valid Notarium data file."},
        {std::vector<BYTE>(noIndex.bytes.begin(), noIndex.bytes.begin() + 31),
         "File does not contain a valid file signature. " + Source() +
             " is not a valid Notarium data file."},
        {emptyIndex.bytes,
         "No valid entries found in data index : Unable to continue without index"},
    };
    for (const auto& c : cases) {
        WriteFileBytes(Source(), c.bytes);
        WriteFileBytes(Target(), {'o', 'l', 'd'});
        ui.boxes.clear();
        log.lines.clear();
        Run(Source(), Target());
        EXPECT_TRUE(aborted);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "FATAL ERROR: " + c.fatal);
        EXPECT_EQ(log.lines.back(), "FATAL ERROR: " + c.fatal);
        EXPECT_EQ(ReadFileBytes(Target()), (std::vector<BYTE>{'o', 'l', 'd'}));
        EXPECT_EQ(ReadFileBytes(Source()), c.bytes);
        EXPECT_TRUE(NoWorkFilesIn(dir.Path()));
    }
}

TEST_F(RepairTest, MissingOrLockedSourceIsFatal) {
    Run(dir.File("missing%d.Nota"), Target());
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.LastBox(), "FATAL ERROR: Unable to open " + dir.File("missing%d.Nota") + " : " +
                                dir.File("missing%d.Nota") + " was not found.");

    SoundFile().WriteTo(Source());
    CFile holder(Source(), CFile::modeReadWrite | CFile::shareExclusive);
    aborted = false;
    Run(Source(), Target());
    EXPECT_TRUE(aborted);
    EXPECT_EQ(ui.LastBox(), "FATAL ERROR: Unable to open " + Source() +
                                " : A sharing violation occurred while accessing " + Source() +
                                ".");
    EXPECT_FALSE(std::filesystem::exists(Target()));
}

TEST_F(RepairTest, PartialBlockAtTheEndIsReportedOnceAndIgnored) {
    CFileBuilder file = SoundFile();
    std::size_t blocks = file.BlockCount();
    file.bytes.resize(file.bytes.size() + 100, 'z');
    Repair(file);
    std::string error = "ERROR: Invalid source file length (" +
                        std::to_string(32 + 512 * blocks + 100) +
                        " bytes) : FIX: Ignoring partial block at end of file";
    EXPECT_EQ(CountLogged(error), 1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(progress.ranges.back(), std::make_pair(0, static_cast<int>(blocks)));
    EXPECT_EQ(TargetItems().size(), 4u);
}

TEST_F(RepairTest, FreeListDamageIsReportedAndNeverCarriedOver) {
    CFileBuilder file = SoundFile();
    DWORD a = file.AddBlock(0, 0);
    DWORD b = file.AddBlock(a, 0);
    file.SetNext(a, b); // a circle
    file.SetFreeList(b);
    Repair(file);
    EXPECT_EQ(CountLogged("ERROR: Invalid block detected in free list chain : Block offset refers "
                          "to already-used block : FIX: Truncating free list (Note: Free list "
                          "never written to target file)"),
              1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(GetLE32(ReadFileBytes(Target()).data() + HDR_FREE_LIST), 0u);

    struct Case {
        DWORD head;
        const char* reason;
    };
    for (Case c : {Case{999999, "Block offset exceeds file size"},
                   Case{33, "Block offset is not on even block boundary"},
                   Case{8, "Block offset exceeds file size"}}) {
        CFileBuilder bad = SoundFile();
        bad.SetFreeList(c.head);
        log.lines.clear();
        Repair(bad);
        EXPECT_TRUE(Logged(std::string("ERROR: Invalid block detected in free list chain : ") +
                           c.reason +
                           " : FIX: Truncating free list (Note: Free list never written to "
                           "target file)"))
            << c.head;
    }
}

TEST_F(RepairTest, DamagedTextsAreTruncatedOrDroppedAndBookmarked) {
    CFileBuilder file;
    DWORD tree = file.AddBlock(0, 0);
    file.SetTreeData(tree);
    DWORD shared = file.AddText("shared text");
    // Length field claims 1000 while two sound blocks hold 600 bytes in all.
    std::vector<BYTE> longClaim(600, 'L');
    PutLE32(longClaim.data(), 1000);
    DWORD claim = file.AddChain(longClaim);
    DWORD zero = file.AddChain({0, 0, 0, 0, 'x', 0});
    DWORD bad = file.AddText("cut");
    file.SetLength(bad, 600);
    std::vector<BYTE> stream = CTreeStreamBuilder()
                                   .Item(IMAGE_ROOT, "Notarium")
                                   .Leaf(IMAGE_TEXTLET, "A first", shared)
                                   .Leaf(IMAGE_TEXTLET, "B second", shared)
                                   .Leaf(IMAGE_TEXTLET, "C claim", claim)
                                   .Leaf(IMAGE_TEXTLET, "D zero", zero)
                                   .Leaf(IMAGE_TEXTLET, "E bad", bad)
                                   .End()
                                   .Finish();
    file.PutChain({tree}, stream);
    Repair(file);

    EXPECT_EQ(log.lines.back(),
              "PROCESS COMPLETE: 5 error(s) detected and repaired : Data may have been lost");
    EXPECT_TRUE(Logged(CorruptItem("Block offset refers to already-used block")));
    EXPECT_EQ(CountLogged(CorruptItem(CRepairEngine::kReasonChain)), 2);
    EXPECT_TRUE(Logged(CorruptItem("Block contains invalid length field")));
    // The bad block is unclaimed and is looked at once more by the scan.
    EXPECT_TRUE(Logged("ERROR: Unused and invalid block detected : Block contains invalid length "
                       "field : FIX: Discarding block"));
    auto items = TargetItems();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(TextOf(items[1]), "shared text");
    EXPECT_EQ(items[1].image, IMAGE_TEXTLET);
    EXPECT_EQ(items[2].textData, 0u);
    EXPECT_EQ(items[2].image, IMAGE_TEXTLET | IMAGE_BOOKMARK);
    ASSERT_EQ(items[3].text.size(), 596u);
    EXPECT_EQ(items[3].text.back(), 0);
    EXPECT_EQ(items[3].text[594], 'L');
    EXPECT_EQ(items[3].image, IMAGE_TEXTLET | IMAGE_BOOKMARK);
    EXPECT_EQ(items[4].textData, 0u);
    EXPECT_EQ(items[4].image, IMAGE_TEXTLET | IMAGE_BOOKMARK);
    EXPECT_EQ(items[5].textData, 0u);
}

TEST_F(RepairTest, BrokenIndexKeepsWholeItemsAndRecoversLostTexts) {
    CFileBuilder file;
    // Enough items that the stream needs two blocks; the second block's link is broken.
    CTreeStreamBuilder tb;
    tb.Item(IMAGE_ROOT, "Notarium");
    for (int i = 0; i < 40; ++i)
        tb.Leaf(IMAGE_TEXTLET, "Item " + std::to_string(100 + i));
    tb.End();
    std::vector<BYTE> stream = tb.Finish();
    ASSERT_GT(stream.size(), 506u);
    DWORD tree = file.AddChain(stream);
    file.SetTreeData(tree);
    file.SetNext(tree, 999936);
    DWORD lost1 = file.AddText("lost text one");
    DWORD lost2 = file.AddText("lost text two");
    Repair(file);

    EXPECT_TRUE(Logged("WARNING: Bad data index chain detected! : Block offset exceeds file size "
                       ": Significant data loss may result"));
    EXPECT_TRUE(Logged(kTruncatedIndex));
    // The stream's second block is unclaimed now and is tried as text too.
    EXPECT_TRUE(Logged("ERROR: Unused block detected : FIX: Adding Unused:0001 to target file"));
    auto items = TargetItems();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[0].title, "Notarium");
    EXPECT_EQ(items[1].title, "#[NotaFix]");
    EXPECT_EQ(items[1].image, IMAGE_FOLDER | IMAGE_BOOKMARK);
    EXPECT_EQ(TextOf(items[1]), CRepairEngine::kRecoveryText);
    const StoredItem* one = FindItem(items, "Unused:0002");
    const StoredItem* two = FindItem(items, "Unused:0003");
    ASSERT_TRUE(one && two);
    EXPECT_EQ(TextOf(*one), "lost text one");
    EXPECT_EQ(TextOf(*two), "lost text two");
    EXPECT_EQ(one->image, IMAGE_TEXTLET | IMAGE_BOOKMARK);
    EXPECT_EQ(one->depth, 2);
    std::size_t survivors = 0;
    for (const auto& item : items)
        survivors += item.title.rfind("Item ", 0) == 0;
    EXPECT_GT(survivors, 20u);
    EXPECT_LT(survivors, 40u);
    (void)lost1;
    (void)lost2;

    // The repaired file opens as a document: its items, its recovered texts.
    {
        CAppSettings settings;
        CNotariumDoc doc(ui, settings);
        CTreeCtrl& tree = doc.Tree();
        ASSERT_TRUE(doc.OnOpenDocument(Target()));
        ASSERT_TRUE(doc.ReloadTree());
        EXPECT_EQ(tree.GetCount(), items.size());
        HTREEITEM folder = tree.GetChildItem(tree.GetRootItem());
        ASSERT_EQ(tree.GetItemText(folder), "#[NotaFix]");
        std::string text;
        doc.ReadText(tree.GetNextSiblingItem(tree.GetChildItem(folder)), text);
        EXPECT_EQ(text, "lost text one");
    }
    // The repaired file is sound.
    std::string again = dir.File("again.Nota");
    log.lines.clear();
    Run(Target(), again);
    EXPECT_EQ(log.lines.back(), CRepairEngine::kNoErrors);
}

TEST_F(RepairTest, UnclaimedBlocksAreRecoveredOrDiscarded) {
    CFileBuilder file = SoundFile();
    std::string letters = "abcdefghij";
    file.AddBlock(0, 10, std::vector<BYTE>(letters.begin(), letters.end()));
    file.AddBlock(0, 5, {0, 'a', 'b', 'c', 'd'});
    file.AddBlock(0, 0);
    file.AddBlock(0, 507);
    std::vector<BYTE> textStart{12, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', '!', 0, 0};
    file.AddBlock(0, 12, textStart);
    Repair(file);

    std::vector<std::string> errorsLogged;
    for (const auto& line : log.lines)
        if (line.rfind("ERROR: ", 0) == 0)
            errorsLogged.push_back(line);
    std::vector<std::string> expected{
        "ERROR: Unused block detected : FIX: Adding Unused:0001 to target file",
        "ERROR: Unused and invalid block detected : Data appears corrupt : FIX: Discarding block",
        "ERROR: Unused and invalid block detected : Data appears corrupt : FIX: Discarding block",
        "ERROR: Unused and invalid block detected : Block contains invalid length field : FIX: "
        "Discarding block",
        "ERROR: Unused block detected : FIX: Adding Unused:0002 to target file"};
    EXPECT_EQ(errorsLogged, expected);
    auto items = TargetItems();
    const StoredItem* first = FindItem(items, "Unused:0001");
    const StoredItem* second = FindItem(items, "Unused:0002");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->text, (std::vector<BYTE>{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0}));
    // The length field is dropped, the last byte becomes the NUL.
    EXPECT_EQ(second->text, (std::vector<BYTE>{'h', 'e', 'l', 'l', 'o', '!', 0, 0}));
    // The recovery folder's chain comes first after the texts, then one chain per block.
    EXPECT_LT(FindItem(items, "#[NotaFix]")->textData, first->textData);
    EXPECT_LT(first->textData, second->textData);
}

TEST_F(RepairTest, SourceAsTargetIsReplacedAndPercentSignsAreKept) {
    std::string path = dir.File("100%s sure.Nota");
    CFileBuilder file = SoundFile();
    file.AddBlock(0, 3, {'x', 'y', 'z'});
    file.WriteTo(path);
    Run(path, path);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(log.lines[0], "Source file: " + path);
    EXPECT_EQ(FindItem(ReadItems(ReadFileBytes(path)), "Unused:0001")->text,
              (std::vector<BYTE>{'x', 'y', 0}));
    EXPECT_TRUE(NoWorkFilesIn(dir.Path()));
}

TEST_F(RepairTest, TargetBehindALinkIsReplacedWhereItLives) {
    SoundFile().WriteTo(Source());
    WriteFileBytes(dir.File("real.Nota"), {'o', 'l', 'd'});
    std::filesystem::create_symlink(dir.File("real.Nota"), Target());
    Run(Source(), Target());
    EXPECT_EQ(log.lines.back(), CRepairEngine::kNoErrors);
    EXPECT_TRUE(std::filesystem::is_symlink(Target()));
    EXPECT_EQ(TargetItems().size(), 4u);
}

TEST_F(RepairTest, DeeplyNestedIndexNeedsNoDeepStack) {
    const int depth = 50000;
    CTreeStreamBuilder stream;
    stream.Item(IMAGE_ROOT, "Notarium");
    for (int i = 0; i < depth; ++i)
        stream.Item(IMAGE_FOLDER, "f");
    for (int i = 0; i <= depth; ++i)
        stream.End();
    CFileBuilder file;
    file.SetTreeData(file.AddChain(stream.Finish()));
    Repair(file);
    EXPECT_EQ(log.lines.back(), CRepairEngine::kNoErrors);
}

TEST_F(RepairTest, MalformedIndexRecordsStopTheIndexThere) {
    struct Case {
        std::vector<BYTE> tail; // after a sound root item with one child
        std::size_t items;
    };
    auto head = CTreeStreamBuilder().Item(IMAGE_ROOT, "Notarium").Leaf(IMAGE_TEXTLET, "ok").bytes;
    std::vector<Case> cases{
        {{8, 0, 66, 0}, 2},            // title length over 65
        {{8, 0, 0xFE, 0xFF}, 2},       // negative title length
        {{8, 0, 5, 0, 'a', 'b'}, 2},   // cut inside a title
        {{8, 0, 1, 0, 0, 0, 0, 0}, 2}, // cut inside dwTextData
        {{0xFF, 0xFF, 0, 0, 0}, 2},    // cut inside the root's state
        {{0xFF, 0xFF, 0, 0, 0, 0}, 2}, // the top-level end mark missing
        {{8, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF}, 3},
    };
    for (const auto& c : cases) {
        CFileBuilder file;
        std::vector<BYTE> stream = head;
        stream.insert(stream.end(), c.tail.begin(), c.tail.end());
        file.SetTreeData(file.AddChain(stream));
        log.lines.clear();
        Repair(file);
        EXPECT_EQ(TargetItems().size(), c.items);
        EXPECT_EQ(Logged(kTruncatedIndex), c.items == 2) << c.tail.size();
    }
    // The last case: an item without a title gets one.
    EXPECT_TRUE(FindItem(TargetItems(), "Untitled"));
}
