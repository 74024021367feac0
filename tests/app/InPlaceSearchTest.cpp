// The search's look at texts where their blocks lie: it must never miss what reading the
// text out finds (across seams of any size, in both encodings, any case), it must spare the
// read when the pattern is absent, and damage must fall back to the read that reports it.
#include "app/SearchWalk.h"
#include "store/ReadWindows.h"
#include "support/DocFixture.h"

#include <gtest/gtest.h>

#include <random>

using namespace nota;

namespace {

class InPlaceSearchTest : public DocFixture {
protected:
    // Stores `text` (with its NUL) as a chain whose blocks hold the given numbers of data
    // bytes in turn (the last number repeats), in blocks laid out back to front, so that the
    // chain's seams fall anywhere and its links jump backwards.
    DWORD WriteChain(const std::string& text, const std::vector<WORD>& sizes,
                     bool inOrder = false) {
        std::string data(4, '\0');
        PutLE32(reinterpret_cast<BYTE*>(data.data()), static_cast<DWORD>(text.size() + 1));
        data += text;
        data.push_back('\0');
        CBlockFile& store = doc.Store();
        std::vector<std::pair<std::size_t, std::size_t>> pieces; // data offset, bytes
        for (std::size_t at = 0, i = 0; at < data.size(); ++i) {
            std::size_t n =
                std::min<std::size_t>(sizes[std::min(i, sizes.size() - 1)], data.size() - at);
            pieces.emplace_back(at, n);
            at += n;
        }
        std::vector<DWORD> blocks(pieces.size());
        for (std::size_t i = pieces.size(); i-- > 0;)
            blocks[inOrder ? pieces.size() - 1 - i : i] = store.AllocBlock();
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            BYTE block[BLOCK_SIZE] = {};
            PutLE32(block, i + 1 < blocks.size() ? blocks[i + 1] : 0);
            PutLE16(block + 4, static_cast<WORD>(pieces[i].second));
            std::memcpy(block + BLOCK_HEADER, data.data() + pieces[i].first, pieces[i].second);
            store.WriteAt(blocks[i], block, BLOCK_SIZE);
        }
        return blocks[0];
    }
    HTREEITEM AddWithChain(const std::string& text, const std::vector<WORD>& sizes,
                           bool inOrder = false) {
        HTREEITEM h = Add(Root(), "item", false);
        CStoreOperation scope(doc.Store());
        tree.SetItemData(h, WriteChain(text, sizes, inOrder));
        scope.Commit();
        return h;
    }
};

TEST_F(InPlaceSearchTest, NeverMissesWhatTheReadFindsAcrossSeamsOfAnySize) {
    CreateAndOpen();
    std::mt19937 rng(7);
    const std::vector<std::vector<WORD>> layouts = {{506},  {1},         {3, 1, 506},
                                                    {7, 2}, {100, 0, 5}, {4, 1, 1, 1, 200}};
    const char* patterns[] = {"abcab", "BAC", "a",
                              "cab"
                              "cabcab"
                              "cabcab",
                              "\xC3\xA9"
                              "ab"};
    CStoreTextReader reader(doc.Store());
    std::size_t skipped = 0, checked = 0;
    for (int round = 0; round < 36; ++round) {
        std::string text;
        std::uniform_int_distribution<int> len(0, 1600), pick(0, 2);
        for (int i = len(rng); i > 0; --i)
            text.push_back("abc"[pick(rng)]);
        if (round % 3 == 0)
            text += "\xE9"
                    "ab"; // Windows-1252 text: its é is one byte
        HTREEITEM h = AddWithChain(text, layouts[static_cast<std::size_t>(round) % layouts.size()]);
        for (const char* what : patterns) {
            for (bool matchCase : {true, false}) {
                CStoredPattern pattern;
                pattern.Init(what, matchCase);
                std::size_t bytes = 0;
                const bool bMay = reader.MayHold(tree, h, pattern, bytes);
                const bool bFound =
                    static_cast<bool>(pattern.Find(reader.ReadText(tree, h), false));
                ++checked;
                if (bFound) {
                    EXPECT_TRUE(bMay) << "round " << round << " pattern " << what;
                }
                if (!bMay) {
                    ++skipped;
                    EXPECT_EQ(bytes, text.size() + 1); // every byte was looked at
                }
            }
        }
    }
    EXPECT_GT(skipped, checked / 10); // absent patterns are told without a read
}

TEST_F(InPlaceSearchTest, FindsAWordAtEveryPlaceAroundTheEndOfAGatheredStretch) {
    // Short texts are searched whole; longer ones a gathered stretch at a time, the bytes
    // around each stretch's end on their own. A word that starts anywhere near that end, in
    // chains of full and of small blocks, is found, and a word that is not there is not.
    CreateAndOpen();
    CStoreTextReader reader(doc.Store());
    CStoredPattern needle, absent;
    needle.Init("needle", false);
    absent.Init("needlf", false);
    const std::size_t end = COccursScan::kGather;
    for (const std::vector<WORD>& layout : {std::vector<WORD>{506}, std::vector<WORD>{37}}) {
        for (std::size_t at = end - 560; at < end + 8; ++at) {
            const std::string text = std::string(at, 'x') + "NEEDLE" + std::string(600, 'y');
            HTREEITEM h = AddWithChain(text, layout);
            std::size_t bytes = 0;
            EXPECT_TRUE(reader.MayHold(tree, h, needle, bytes)) << at << " " << layout[0];
            EXPECT_FALSE(reader.MayHold(tree, h, absent, bytes)) << at << " " << layout[0];
            EXPECT_EQ(bytes, text.size() + 1);
            doc.DeleteItem(h);
        }
    }
}

TEST_F(InPlaceSearchTest, AnAbsentPatternSparesTheReadAndTheWalkStillFindsTheRest) {
    CreateAndOpen();
    HTREEITEM a = AddWithChain(std::string(3000, 'x') + "needle" + std::string(10, 'y'), {506});
    HTREEITEM b = AddWithChain(std::string(1200, 'z'), {9, 506});
    CStoreTextReader reader(doc.Store());
    CStoredPattern pattern;
    pattern.Init("NEEDLE", false);
    std::size_t bytes = 0;
    EXPECT_FALSE(reader.MayHold(tree, b, pattern, bytes));
    EXPECT_EQ(bytes, 1201u);
    EXPECT_TRUE(reader.MayHold(tree, a, pattern, bytes));
    CStopCheck stop;
    SearchContext ctx{tree, pattern, reader, stop};
    ItemHit hit = FindAcrossItems(ctx, b, false, false);
    EXPECT_EQ(hit.hItem, a);
    EXPECT_EQ(hit.nPos, 3000);
    // No text at all: nothing to look at, nothing to find.
    EXPECT_FALSE(reader.MayHold(tree, Add(Root(), "empty", false), pattern, bytes));
}

// Chains in consecutive blocks, as most files hold them, are looked at a run of blocks at a
// time: across the ends of read windows, with a chain that jumps back into blocks already
// looked at, and with blocks an open operation has changed (which the file does not hold yet).
TEST_F(InPlaceSearchTest, ChainsInConsecutiveBlocksAreSeenWholeAcrossWindowsAndOpenChanges) {
    // Every commit forgets the windows; the many small ones here would soon use up what a
    // stretch of reads may load, and the reads would go to the file's view instead.
    struct Allowance {
        unsigned old = CReadWindows::SetAllowance(1u << 30);
        ~Allowance() { CReadWindows::SetAllowance(old); }
    } allowance;
    CreateAndOpen();
    std::mt19937 rng(11);
    std::vector<std::pair<HTREEITEM, std::string>> items;
    for (int i = 0; i < 120; ++i) { // about 350 KB: the chains cross the 64 KiB windows
        std::string text(std::uniform_int_distribution<std::size_t>(600, 5000)(rng), 'w');
        if (i % 2 == 0)
            text.replace(std::uniform_int_distribution<std::size_t>(0, text.size() - 6)(rng), 6,
                         "needle");
        items.emplace_back(AddWithChain(text, {506}, true), text);
    }
    CStoreTextReader reader(doc.Store());
    CStoredPattern pattern;
    pattern.Init("NEEDLE", false);
    std::size_t bytes = 0;
    std::size_t across = 0; // texts without the word whose blocks cross a window's end
    for (const auto& [h, text] : items) {
        EXPECT_EQ(reader.MayHold(tree, h, pattern, bytes), text.find("needle") != text.npos);
        EXPECT_EQ(bytes, text.size() + 1);
        const std::size_t blocks = (text.size() + 5 + BLOCK_DATA - 1) / BLOCK_DATA;
        const auto window = [](std::uint64_t at) { return (at - HEADER_SIZE) >> 16; };
        across += text.find("needle") == text.npos &&
                  window(Chain(h)) != window(Chain(h) + (blocks - 1) * BLOCK_SIZE);
    }
    EXPECT_GE(across, 1u);
    // A chain whose second and third pieces trade blocks (first, third, second, fourth): the
    // scan goes back into blocks it has looked at in one run and is still exact.
    HTREEITEM swapped = AddWithChain(std::string(1500, 'k') + "needle", {506}, true);
    {
        CBlockFile& store = doc.Store();
        const DWORD b0 = Chain(swapped), b1 = b0 + BLOCK_SIZE, b2 = b1 + BLOCK_SIZE;
        BYTE piece1[BLOCK_SIZE], piece2[BLOCK_SIZE];
        store.ReadAt(b1, piece1, BLOCK_SIZE);
        store.ReadAt(b2, piece2, BLOCK_SIZE);
        ASSERT_EQ(GetLE32(piece1), b2); // laid out in order
        CStoreOperation scope(store);
        PutLE32(piece2, GetLE32(piece2)); // the second piece goes on to the fourth block
        PutLE32(piece1, b1);              // the first piece, now in b2, goes back to b1
        BYTE link[4];
        PutLE32(link, b2);
        store.WriteAt(b0, link, 4);
        store.WriteAt(b2, piece1, BLOCK_SIZE);
        store.WriteAt(b1, piece2, BLOCK_SIZE);
        scope.Commit();
    }
    EXPECT_TRUE(reader.MayHold(tree, swapped, pattern, bytes));
    EXPECT_EQ(bytes, 1507u);
    CStoredPattern seam;
    seam.Init(std::string(20, 'k') + "needle", true);
    EXPECT_TRUE(reader.MayHold(tree, swapped, seam, bytes));
    // Changes of an operation still open are seen, in a chain's first block and in a later one.
    std::vector<HTREEITEM> longer; // texts of more than four blocks without the word
    for (const auto& [h, text] : items)
        if (text.size() > 4 * BLOCK_DATA && text.find("needle") == text.npos)
            longer.push_back(h);
    ASSERT_GE(longer.size(), 2u);
    for (std::size_t which : {0u, 3u}) {
        const HTREEITEM h = longer[which == 0 ? 0 : 1];
        {
            CStoreOperation scope(doc.Store()); // never committed: rolled back at its end
            const DWORD at = Chain(h) + static_cast<DWORD>(which * BLOCK_SIZE) + BLOCK_HEADER + 100;
            doc.Store().WriteAt(at, "needle", 6);
            EXPECT_TRUE(reader.MayHold(tree, h, pattern, bytes)) << which;
        }
        EXPECT_FALSE(reader.MayHold(tree, h, pattern, bytes)) << which;
    }
}

TEST_F(InPlaceSearchTest, DamagedChainsFallBackToTheReadThatReportsThem) {
    CreateAndOpen();
    HTREEITEM h = AddWithChain(std::string(2000, 'q'), {506});
    CBlockFile& store = doc.Store();
    const DWORD first = Chain(h);
    CStoreTextReader reader(store);
    CStoredPattern pattern;
    pattern.Init("absent", true);
    std::size_t bytes = 0;
    auto expectFallBack = [&](const char* what) {
        EXPECT_TRUE(reader.MayHold(tree, h, pattern, bytes)) << what;
        EXPECT_THROW(reader.ReadText(tree, h), CFileException) << what;
    };
    BYTE link[4];
    auto setNext = [&](DWORD block, DWORD next) {
        CStoreOperation scope(store);
        PutLE32(link, next);
        store.WriteAt(block, link, 4);
        scope.Commit();
    };
    DWORD second = 0;
    store.ReadAt(first, link, 4);
    second = GetLE32(link);
    // A length field larger than the whole file could hold.
    {
        CStoreOperation scope(store);
        BYTE field[4];
        PutLE32(field, 0x7FFFFFF0);
        store.WriteAt(first + BLOCK_HEADER, field, 4);
        scope.Commit();
        expectFallBack("length");
        PutLE32(field, 2001);
        CStoreOperation undo(store);
        store.WriteAt(first + BLOCK_HEADER, field, 4);
        undo.Commit();
    }
    setNext(second, 0x7FFFFF00); // a link past the end
    expectFallBack("link outside");
    setNext(second, 0); // the chain ends before its text does
    expectFallBack("short chain");
}

} // namespace
