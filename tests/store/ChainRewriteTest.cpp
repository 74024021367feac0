// Rewrites of a long chain in a journaled file where only some blocks change (the tree-data
// stream after a rename or an insert): only those blocks are journaled and written, and a
// stop or a power cut at any moment leaves the old file or the new one.

#include "store/BlockFile.h"
#include "store/Journal.h"
#include "support/CrashLoop.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace nota;

namespace {

constexpr std::size_t kBlocks = 40;

std::vector<BYTE> Pattern(std::size_t n) {
    std::vector<BYTE> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<BYTE>(i * 31 + i / 506);
    return data;
}

// What one rewrite did to the files: the blocks the data file got, and the offsets of the
// regions its journal held when the data file was first written.
struct Traffic {
    std::set<std::uint64_t> written;
    std::set<DWORD> journaled;
};

class ChainRewriteTest : public ::testing::Test {
protected:
    CTempDir dir{CTempDir::MemoryBase()}; // the crash simulation stands in for the disk
    std::string path = dir.File("r.Nota");
    std::vector<BYTE> data = Pattern(kBlocks * BLOCK_DATA - 100);
    std::vector<BYTE> original;
    DWORD first = 0;

    void SetUp() override {
        CFileBuilder b;
        first = b.AddChain(data);
        b.SetTreeData(first);
        original = b.bytes;
    }
    void Restore() {
        WriteFileBytes(path, original);
        std::filesystem::remove(journal::PathFor(path));
    }
    // The chain rewritten with `now` in one journaled operation, the file closed.
    void Rewrite(const std::vector<BYTE>& now) {
        CBlockFile file;
        try {
            file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
            if (!file.CheckSignature())
                return;
            CStoreOperation op(file);
            CTransferScope transfer(file);
            file.BeginWrite(first);
            file.WriteData(now.data(), now.size());
            file.EndTransfer();
            op.Commit();
            file.Close();
        } catch (const CFileException&) {
            file.Abort(); // a crash: nothing more reaches the disk
        }
    }
    Traffic Watch(const std::vector<BYTE>& now) {
        Traffic t;
        const std::string journalPath = journal::PathFor(path);
        bool bJournalRead = false;
        CFile::SetIoObserver([&](const CFile::IoEvent& e) {
            if (e.op != CFile::Op::Write || e.path != path)
                return;
            if (!bJournalRead) { // the journal is committed before the first data write
                journal::Record record;
                EXPECT_TRUE(journal::ReadJournal(journalPath, record));
                for (const journal::Region& g : record.regions)
                    t.journaled.insert(g.offset);
                bJournalRead = true;
            }
            for (std::uint64_t at = e.offset; at < e.offset + e.size; at += BLOCK_SIZE)
                t.written.insert(at);
        });
        Rewrite(now);
        CFile::SetIoObserver(nullptr);
        return t;
    }
    DWORD Block(std::size_t i) const { return first + static_cast<DWORD>(i * BLOCK_SIZE); }
};

} // namespace

TEST_F(ChainRewriteTest, OnlyTheBlocksWhoseBytesChangeAreJournaledAndWritten) {
    Restore();
    Traffic same = Watch(data);
    EXPECT_TRUE(same.written.empty());
    EXPECT_EQ(ReadFileBytes(path), original);

    // One byte in block 20: that block alone (the header is always journaled).
    std::vector<BYTE> changed = data;
    changed[20 * BLOCK_DATA + 7] ^= 0xFF;
    Restore();
    Traffic one = Watch(changed);
    EXPECT_EQ(one.written, (std::set<std::uint64_t>{Block(20)}));
    EXPECT_EQ(one.journaled, (std::set<DWORD>{0, Block(20)}));

    // Three bytes inserted in block 20: the bytes after them move, so blocks 20 to the end
    // change; the ones before do not.
    std::vector<BYTE> inserted = data;
    inserted.insert(inserted.begin() + 20 * BLOCK_DATA + 7, {'a', 'b', 'c'});
    Restore();
    Traffic moved = Watch(inserted);
    std::set<std::uint64_t> tail;
    std::set<DWORD> tailJournaled{0};
    for (std::size_t i = 20; i < kBlocks; ++i) {
        tail.insert(Block(i));
        tailJournaled.insert(Block(i));
    }
    EXPECT_EQ(moved.written, tail);
    EXPECT_EQ(moved.journaled, tailJournaled);

    // Either way the chain reads back as written.
    CBlockFile file(path, CFile::modeReadWrite | CFile::shareExclusive);
    ASSERT_TRUE(file.CheckSignature());
    std::vector<BYTE> back(inserted.size());
    file.BeginRead(first);
    file.ReadData(back.data(), back.size());
    file.EndTransfer();
    EXPECT_EQ(back, inserted);
}

// A stop before any file step of the rewrite (the journal's writes, its commit, the data
// file's writes, its commit, the journal's invalidation), as a kill and as a power cut
// that loses or tears what was not committed: the next open finds the old file or the new.
TEST_F(ChainRewriteTest, AStopAtAnyStepLeavesTheOldChainOrTheNew) {
    std::vector<BYTE> shifted = data;
    shifted.insert(shifted.begin() + 30 * BLOCK_DATA, {'x', 'y'});
    std::vector<BYTE> grown = data;
    grown.insert(grown.begin() + 25 * BLOCK_DATA, 400, 'g'); // one block more
    for (const auto& now : {shifted, grown}) {
        Restore();
        int steps = 0;
        {
            CCrashSim sim;
            sim.Arm(0);
            Rewrite(now);
            steps = sim.Steps();
        }
        const std::vector<BYTE> after = ReadFileBytes(path);
        ASSERT_NE(after, original);
        ASSERT_GT(steps, 3);
        for (int stop = 1; stop <= steps + 1; ++stop) {
            for (int how = 0; how < CCrashSim::kEnds; ++how) {
                SCOPED_TRACE("stop " + std::to_string(stop) + " ending " + std::to_string(how));
                Restore();
                CrashThenReopen(path, stop, how, static_cast<unsigned>(stop * 5 + 1),
                                [&] { Rewrite(now); });
                const std::vector<BYTE> found = ReadFileBytes(path);
                if (stop > steps) {
                    ASSERT_TRUE(found == after);
                } else {
                    ASSERT_TRUE(found == original || found == after);
                }
            }
        }
    }
}
