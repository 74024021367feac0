// A long chain rewritten in a journaled file (a large tree stream saved) whose bytes move: from
// where they move, the chain takes the free blocks in the free list's order, which need no
// journal, or grows the file; the old rest goes to the free list. A stop or a power cut at
// any moment leaves the old chain or the new one, and a free list that holds every other
// block once.

#include "store/BlockFile.h"
#include "store/Journal.h"
#include "support/CrashLoop.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

using namespace nota;

namespace {

std::vector<BYTE> Pattern(std::size_t n, unsigned seed) {
    std::vector<BYTE> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<BYTE>(i * 31 + i / 506 + seed);
    return data;
}

// A file as its chains show it: the chain at dwTreeData and the free list, walked without
// trusting them (a loop or a link out of the file ends the walk and counts as broken).
struct Layout {
    std::vector<BYTE> chain;
    std::vector<DWORD> chainBlocks;
    std::vector<DWORD> freeBlocks;
    bool bBroken = false;
    DWORD blockCount = 0;
};

void Walk(const std::vector<BYTE>& file, DWORD first, std::vector<DWORD>& blocks,
          std::vector<BYTE>* data, bool& bBroken) {
    std::set<DWORD> seen;
    for (DWORD b = first; b != 0; b = GetLE32(file.data() + b)) {
        if (!IsBlockAligned(b) || b + std::uint64_t{BLOCK_SIZE} > file.size() ||
            !seen.insert(b).second) {
            bBroken = true;
            return;
        }
        blocks.push_back(b);
        if (data) {
            const WORD n = GetLE16(file.data() + b + 4);
            if (n > BLOCK_DATA) {
                bBroken = true;
                return;
            }
            data->insert(data->end(), file.begin() + b + 6, file.begin() + b + 6 + n);
        }
    }
}

Layout LayoutOf(const std::string& path) {
    const std::vector<BYTE> file = ReadFileBytes(path);
    Layout l;
    l.blockCount = static_cast<DWORD>((file.size() - HEADER_SIZE) / BLOCK_SIZE);
    Walk(file, GetLE32(file.data() + HDR_TREE_DATA), l.chainBlocks, &l.chain, l.bBroken);
    Walk(file, GetLE32(file.data() + HDR_FREE_LIST), l.freeBlocks, nullptr, l.bBroken);
    return l;
}

// Every block of the file is in the chain or on the free list, and in one of them only.
void ExpectEveryBlockOnce(const Layout& l) {
    ASSERT_FALSE(l.bBroken);
    std::set<DWORD> all(l.chainBlocks.begin(), l.chainBlocks.end());
    all.insert(l.freeBlocks.begin(), l.freeBlocks.end());
    EXPECT_EQ(all.size(), l.chainBlocks.size() + l.freeBlocks.size());
    EXPECT_EQ(all.size(), l.blockCount);
}

class ChainMoveTest : public ::testing::Test {
protected:
    CTempDir dir{CTempDir::MemoryBase()}; // the crash simulation stands in for the disk
    std::string path = dir.File("r.Nota");
    std::vector<BYTE> original;
    std::vector<BYTE> old;
    DWORD first = 0;
    std::vector<DWORD> freeBlocks;

    // The chain to replace (`blocks` full blocks), then a free list of `free` blocks in
    // order (none: the replacement grows the file).
    void Build(std::size_t blocks, std::size_t free) {
        CFileBuilder b;
        old = Pattern(blocks * BLOCK_DATA - 100, 1);
        first = b.AddChain(old);
        b.SetTreeData(first);
        freeBlocks.clear();
        if (free > 0) {
            const DWORD f = b.AddChain(Pattern(free * BLOCK_DATA, 7));
            for (DWORD at = f; at != 0; at = b.NextOf(at))
                freeBlocks.push_back(at);
            b.SetFreeList(f);
        }
        original = b.bytes;
    }
    void Restore() {
        WriteFileBytes(path, original);
        std::filesystem::remove(journal::PathFor(path));
    }
    // The chain rewritten with `now` in one journaled operation (with `between` first, when
    // given: the second rewrite then takes the blocks the first one freed), the file closed.
    void Rewrite(const std::vector<BYTE>& now, const std::vector<BYTE>* between = nullptr) {
        CBlockFile file;
        try {
            file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
            if (!file.CheckSignature())
                return;
            CStoreOperation op(file);
            CTransferScope transfer(file);
            for (const std::vector<BYTE>* data : {between, &now}) {
                if (!data)
                    continue;
                file.BeginRewrite(first);
                file.WriteData(data->data(), data->size());
                file.EndTransfer();
            }
            op.Commit();
            file.Close();
        } catch (const CFileException&) {
            file.Abort(); // a crash: nothing more reaches the disk
        }
    }
    // The offsets every committed journal held, and the blocks the data file got.
    void Watch(const std::vector<BYTE>& now, std::set<DWORD>& journaled,
               std::set<std::uint64_t>& written) {
        const std::string journalPath = journal::PathFor(path);
        CFile::SetIoObserver([&](const CFile::IoEvent& e) {
            if (e.op == CFile::Op::Write && e.path == path)
                for (std::uint64_t at = e.offset; at < e.offset + e.size; at += BLOCK_SIZE)
                    written.insert(at);
            journal::Record record;
            if (e.op == CFile::Op::Flush && e.path.rfind(journalPath, 0) == 0 &&
                journal::ReadJournal(e.path, record))
                for (const journal::Region& g : record.regions)
                    journaled.insert(g.offset);
        });
        Rewrite(now);
        CFile::SetIoObserver(nullptr);
    }
};

} // namespace

TEST_F(ChainMoveTest, MovedBytesGoIntoFreeBlocksWrittenWithoutAJournal) {
    Build(300, 320);
    Restore();
    std::vector<BYTE> now = old;
    now.insert(now.begin() + 3, {'n', 'e', 'w'}); // every byte after it moves
    std::set<DWORD> journaled;
    std::set<std::uint64_t> written;
    Watch(now, journaled, written);

    // Four changed blocks stay in place; from there the chain takes the free blocks in
    // their order. The journal holds the header, those four blocks, the old rest's last
    // block (now linked to the rest of the free list) and the new chain's last block (its
    // link changed), but none of the free blocks whose links stayed.
    auto A = [&](std::size_t i) { return first + static_cast<DWORD>(i * BLOCK_SIZE); };
    Layout after = LayoutOf(path);
    EXPECT_EQ(after.chain, now);
    std::vector<DWORD> expected{A(0), A(1), A(2), A(3)};
    expected.insert(expected.end(), freeBlocks.begin(), freeBlocks.begin() + 296);
    EXPECT_EQ(after.chainBlocks, expected);
    EXPECT_EQ(journaled, (std::set<DWORD>{0, A(0), A(1), A(2), A(3), A(299), freeBlocks[295]}));
    for (std::size_t i = 0; i < 296; ++i)
        EXPECT_TRUE(written.count(freeBlocks[i])) << i;
    // The old rest is free, before what was left of the free list.
    ASSERT_EQ(after.freeBlocks.size(), 320u);
    EXPECT_EQ(after.freeBlocks.front(), A(4));
    EXPECT_EQ(after.freeBlocks[296], freeBlocks[296]);
    ExpectEveryBlockOnce(after);

    // A change that does not move the bytes after it stays in place.
    Restore();
    journaled.clear();
    written.clear();
    std::vector<BYTE> edited = old;
    edited[2 * BLOCK_DATA] ^= 1;
    edited[200 * BLOCK_DATA + 7] ^= 1;
    Watch(edited, journaled, written);
    EXPECT_EQ(written, (std::set<std::uint64_t>{A(2), A(200)}));
    EXPECT_EQ(LayoutOf(path).freeBlocks, freeBlocks);

    // A short chain that takes a few free blocks journals them all: one flush less.
    Build(6, 20);
    Restore();
    journaled.clear();
    written.clear();
    Watch(Pattern(7 * BLOCK_DATA, 5), journaled, written);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(journaled.count(freeBlocks[i])) << i;
    EXPECT_EQ(LayoutOf(path).chain, Pattern(7 * BLOCK_DATA, 5));
}

// A stop before any file step of the replacement (free blocks written ahead, their flush,
// the journals, the growth written ahead, the commits, the invalidation), as a kill and as a
// power cut that loses or tears what was not committed: the next open finds the old chain
// or the new one, and every other block on the free list once.
TEST_F(ChainMoveTest, AStopAtAnyStepLeavesTheOldChainOrTheNew) {
    struct Case {
        const char* what;
        std::size_t blocks, free;
        bool bTwice;
    };
    // Into free blocks (more than a write-ahead run of them); into growth; and twice in one
    // operation, where the second rewrite takes the old chain's blocks, whose bytes the
    // rollback needs.
    for (const Case& c : {Case{"free", 2150, 2200, false}, Case{"growth", 300, 0, false},
                          Case{"twice", 300, 400, true}}) {
        SCOPED_TRACE(c.what);
        Build(c.blocks, c.free);
        std::vector<BYTE> now = old;
        now.insert(now.begin() + 10, 600, 'x'); // a block more
        const std::vector<BYTE> between = Pattern(old.size() - 3000, 9);
        const std::vector<BYTE>* before = c.bTwice ? &between : nullptr;
        Restore();
        int steps = 0;
        {
            CCrashSim sim;
            sim.Arm(0);
            Rewrite(now, before);
            steps = sim.Steps();
        }
        ASSERT_EQ(LayoutOf(path).chain, now);
        ASSERT_GT(steps, 5);
        for (int stop = 1; stop <= steps; ++stop) {
            // A kill, and power cuts that lose all, tear, or keep only what came after the
            // last flush of another file.
            for (int how = 0; how < CCrashSim::kEnds; ++how) {
                SCOPED_TRACE("stop " + std::to_string(stop) + " ending " + std::to_string(how));
                Restore();
                CrashThenReopen(path, stop, how, static_cast<unsigned>(stop * 7 + 3),
                                [&] { Rewrite(now, before); });
                const Layout found = LayoutOf(path);
                ASSERT_TRUE(found.chain == old || found.chain == now);
                ExpectEveryBlockOnce(found);
                if (found.chain == old) {
                    ASSERT_EQ(found.freeBlocks, freeBlocks);
                }
            }
        }
    }
}

// A damaged file whose free list runs into the old chain: the chain may take that block, and
// the old rest that is freed ends where it reaches the chain's own blocks.
TEST_F(ChainMoveTest, AnOldRestThatRunsIntoTheChainIsFreedOnlyUpToIt) {
    Build(10, 2);
    CFileBuilder b;
    b.bytes = original;
    const DWORD a7 = first + 7 * BLOCK_SIZE;
    b.SetNext(freeBlocks[1], a7); // the free list goes on into the chain
    original = b.bytes;
    Restore();
    const std::vector<BYTE> now = Pattern(12 * BLOCK_DATA, 3);
    Rewrite(now);
    const Layout after = LayoutOf(path);
    ASSERT_FALSE(after.bBroken);
    EXPECT_EQ(after.chain, now);
    for (DWORD block : after.freeBlocks)
        EXPECT_EQ(std::count(after.chainBlocks.begin(), after.chainBlocks.end(), block), 0)
            << block;
}

// One session that keeps the links it learnt (the chain read at open, each rewrite's blocks
// and freed rests) across moved rewrites, a rollback and another chain that takes free
// blocks and gives them back: every rewrite still lands on the file's true links.
TEST_F(ChainMoveTest, LinksKeptAcrossOperationsStayTrue) {
    Build(300, 0);
    Restore();
    CBlockFile file;
    file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
    ASSERT_TRUE(file.CheckSignature());
    std::vector<BYTE> now = old;
    {
        std::vector<BYTE> read(now.size());
        file.BeginRead(first, true);
        file.ReadData(read.data(), read.size());
        file.EndTransfer();
        ASSERT_EQ(read, old);
    }
    auto rewrite = [&](const std::vector<BYTE>& data, bool bCommit) {
        CStoreOperation op(file);
        file.BeginRewrite(first);
        file.WriteData(data.data(), data.size());
        file.EndTransfer();
        if (bCommit)
            op.Commit();
    };
    auto check = [&](const std::vector<BYTE>& expected) {
        const Layout l = LayoutOf(path);
        EXPECT_EQ(l.chain, expected);
        ExpectEveryBlockOnce(l);
    };
    for (unsigned round = 0; round < 4; ++round) {
        now.insert(now.begin() + 5 + round, static_cast<BYTE>('a' + round));
        rewrite(now, true); // moves: into growth first, then into the freed rest
        check(now);
        // Another chain takes free blocks (relinking them) and gives them back.
        const std::vector<BYTE> text = Pattern(40 * BLOCK_DATA, round);
        DWORD textFirst = 0;
        {
            CStoreOperation op(file);
            textFirst = file.BeginNewChain();
            file.WriteData(text.data(), text.size());
            file.EndTransfer();
            op.Commit();
        }
        std::vector<BYTE> back(text.size());
        file.BeginRead(textFirst);
        file.ReadData(back.data(), back.size());
        file.EndTransfer();
        EXPECT_EQ(back, text);
        {
            CStoreOperation op(file);
            file.FreeChain(textFirst);
            op.Commit();
        }
        check(now);
        std::vector<BYTE> dropped = now;
        dropped.insert(dropped.begin() + 1, {'x', 'y'});
        rewrite(dropped, false); // rolled back: its links never were
        check(now);
    }
    file.Close();
}
