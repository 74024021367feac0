// What the pager does below the chains: operations, growth written ahead of the commit under
// the provisional journal, its rollback, and files built afresh.
#include "store/Pager.h"
#include "store/Journal.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace nota;
using State = CPager::State;

namespace {

constexpr std::size_t kMiB = 1 << 20;

class PagerTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string path = dir.File("p.Nota");
    std::string journalPath = journal::PathFor(path);
    CPager pager;
    std::vector<BYTE> before;

    // A file of a header and `blocks` blocks, opened as the window opens its data file.
    void OpenWithBlocks(int blocks) {
        CFileBuilder b;
        for (int i = 0; i < blocks; ++i)
            b.AddBlock(0, 3, {'a', 'b', 'c'});
        b.WriteTo(path);
        before = ReadFileBytes(path);
        pager.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
        ASSERT_TRUE(pager.ReadHeader());
    }
    // Bytes that differ from block to block, so that a block out of place shows.
    static std::vector<BYTE> Pattern(std::size_t n, BYTE seed) {
        std::vector<BYTE> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<BYTE>(seed + i * 7 + i / 512);
        return v;
    }
    // Appends n bytes at the end in writes of `step`, as chains are appended.
    std::vector<BYTE> Grow(std::size_t n, std::size_t step = 64 * 1024, BYTE seed = 1) {
        std::vector<BYTE> bytes = Pattern(n, seed);
        const std::uint64_t at = pager.Length();
        for (std::size_t done = 0; done < n; done += step)
            pager.WriteAt(at + done, bytes.data() + done, std::min(step, n - done));
        return bytes;
    }
    bool ProvisionalJournalOnDisk() {
        journal::Record r;
        return journal::ReadJournal(journalPath, r) && r.newLength == ~std::uint64_t{0} &&
               r.originalLength == before.size();
    }
};

} // namespace

TEST_F(PagerTest, GrowthPastOneMiBIsWrittenAheadUnderTheProvisionalJournalThenCommitted) {
    OpenWithBlocks(4);
    pager.Begin();
    EXPECT_EQ(pager.GetState(), State::Open);
    auto grown = Grow(3 * kMiB + 100);
    // Most of it is in the file already, the journal on the disk says to cut it off again.
    EXPECT_EQ(pager.GetState(), State::Spilled);
    EXPECT_GT(pager.DiskLength(), before.size() + 2 * kMiB);
    EXPECT_EQ(pager.Length(), before.size() + grown.size());
    EXPECT_TRUE(ProvisionalJournalOnDisk());
    std::vector<BYTE> seen(grown.size());
    pager.ReadAt(before.size(), seen.data(), seen.size());
    EXPECT_EQ(seen, grown);

    pager.CommitOperation();
    EXPECT_EQ(pager.GetState(), State::Idle);
    auto after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size() + grown.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
    EXPECT_TRUE(std::equal(grown.begin(), grown.end(), after.begin() + before.size()));
    journal::Record r;
    EXPECT_FALSE(journal::ReadJournal(journalPath, r)); // invalidated
}

TEST_F(PagerTest, ARollbackCutsTheGrowthWrittenAheadOffAndRetiresTheJournal) {
    OpenWithBlocks(2);
    pager.Begin();
    BYTE changed[4] = {9, 9, 9, 9};
    pager.WriteAt(HEADER_SIZE, changed, sizeof changed); // in place: a page
    Grow(2 * kMiB);
    ASSERT_EQ(pager.GetState(), State::Spilled);
    pager.RollbackOperation();
    EXPECT_EQ(pager.GetState(), State::Idle);
    EXPECT_EQ(pager.Length(), before.size());
    EXPECT_EQ(pager.DiskLength(), before.size());
    EXPECT_EQ(ReadFileBytes(path), before);
    journal::Record r;
    EXPECT_FALSE(journal::ReadJournal(journalPath, r));
    // The next operation starts clean and commits normally.
    Grow(512);
    pager.Commit();
    EXPECT_EQ(ReadFileBytes(path).size(), before.size() + 512);
}

TEST_F(PagerTest, GrowthLeftByAStoppedProcessIsCutOffAtTheNextOpen) {
    OpenWithBlocks(3);
    pager.Begin();
    Grow(2 * kMiB);
    ASSERT_EQ(pager.GetState(), State::Spilled);
    pager.Abort(); // the process stops: its growth and the provisional journal stay
    EXPECT_GT(ReadFileBytes(path).size(), before.size());
    EXPECT_TRUE(ProvisionalJournalOnDisk());

    CPager next;
    next.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
    EXPECT_TRUE(next.WasRolledBack());
    EXPECT_EQ(next.Length(), before.size());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(journalPath));
}

TEST_F(PagerTest, GrowthRewrittenAfterItWentAheadIsSummedFromTheFileAtTheCommit) {
    // The commit's journal must describe the growth as it ends up, or a commit that then
    // reached the disk would be rolled back by the next open. Stop the commit after its
    // journal is written (the data file's commit fails) to see that journal.
    OpenWithBlocks(1);
    pager.Begin();
    auto grown = Grow(2 * kMiB, 4096);
    BYTE back[100];
    std::memset(back, 0x5A, sizeof back);
    pager.WriteAt(before.size() + 1000, back, sizeof back); // over bytes already written
    std::memcpy(grown.data() + 1000, back, sizeof back);
    std::uint64_t tail = 0;
    bool bFailed = false;
    CFile::SetFaultHook([&](CFile::Op op, const std::string& p) {
        journal::Record r;
        if (op == CFile::Op::Flush && p == path && !bFailed &&
            journal::ReadJournal(journalPath, r)) {
            bFailed = true;
            tail = r.tailChecksum;
            throw CFileException(CFileException::diskFull, p);
        }
    });
    EXPECT_THROW(pager.CommitOperation(), CFileException);
    CFile::SetFaultHook(nullptr);
    CFile grownFile;
    std::string copy = dir.File("grown");
    std::vector<BYTE> whole = before;
    whole.insert(whole.end(), grown.begin(), grown.end());
    {
        CFile f(copy, CFile::modeCreate | CFile::modeReadWrite);
        f.Write(whole.data(), static_cast<UINT>(whole.size()));
    }
    grownFile.Open(copy, CFile::modeRead);
    EXPECT_EQ(tail, journal::TailChecksum(grownFile, before.size(), whole.size()));
    EXPECT_EQ(ReadFileBytes(path), before); // and the failed commit left the file as it was
}

TEST_F(PagerTest, OperationsNestAndAnImplicitOneIsOpenedByTheFirstChange) {
    OpenWithBlocks(1);
    EXPECT_EQ(pager.GetState(), State::Idle);
    EXPECT_FALSE(pager.InOperation());
    BYTE b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    pager.WriteAt(HEADER_SIZE + 8, b, sizeof b);
    EXPECT_TRUE(pager.IsImplicit());
    pager.Begin(); // joins the implicit operation
    pager.Begin();
    EXPECT_FALSE(pager.IsImplicit());
    pager.CommitOperation(); // the inner one: nothing reaches the disk yet
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(pager.GetState(), State::Open);
    pager.CommitOperation();
    EXPECT_EQ(pager.GetState(), State::Idle);
    EXPECT_EQ(ReadFileBytes(path)[HEADER_SIZE + 8], 1);

    // An inner rollback leaves it to the outermost, which rolls back everything.
    pager.Begin();
    pager.Begin();
    pager.Header().SetTreeData(HEADER_SIZE);
    pager.RollbackOperation();
    EXPECT_TRUE(pager.InOperation());
    pager.RollbackOperation();
    EXPECT_EQ(pager.GetState(), State::Idle);
    EXPECT_FALSE(pager.HeaderDiffers());
}

TEST_F(PagerTest, ACommitWhoseUndoFailsTooIsStrandedUntilTheNextOperationRecovers) {
    OpenWithBlocks(2);
    const auto committed = before;
    pager.Begin();
    BYTE b[16];
    std::memset(b, 0xEE, sizeof b);
    pager.WriteAt(HEADER_SIZE + 6, b, sizeof b);
    pager.Header().SetFreeList(HEADER_SIZE);
    Grow(700);
    // The data file's commit fails, and so does every attempt to put it back.
    CFile::SetFaultHook([&](CFile::Op op, const std::string& p) {
        if (op == CFile::Op::Flush && p == path)
            throw CFileException(CFileException::genericException, p);
    });
    EXPECT_THROW(pager.CommitOperation(), CFileException);
    EXPECT_EQ(pager.GetState(), State::Stranded);
    EXPECT_FALSE(pager.HeaderDiffers()); // the copy is as before the operation
    EXPECT_EQ(pager.Length(), committed.size());
    EXPECT_TRUE(std::filesystem::exists(journalPath));
    CFile::SetFaultHook(nullptr);

    pager.Begin(); // recovers first
    EXPECT_EQ(pager.GetState(), State::Open);
    EXPECT_EQ(ReadFileBytes(path), committed);
    pager.RollbackOperation();
    pager.Close();
    EXPECT_FALSE(std::filesystem::exists(journalPath));
}

TEST_F(PagerTest, AFileBuiltAfreshGathersItsWritesAndIsCommittedOnce) {
    pager.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive);
    pager.SetJournaled(false);
    pager.Header().SetNew();
    pager.WriteHeader();
    auto bytes = Pattern(kMiB / 2, 3);
    for (std::size_t done = 0; done < bytes.size(); done += BLOCK_SIZE)
        pager.WriteAt(HEADER_SIZE + done, bytes.data() + done, BLOCK_SIZE);
    EXPECT_EQ(pager.DiskLength(), HEADER_SIZE); // gathered, not yet written
    std::vector<BYTE> seen(BLOCK_SIZE);
    pager.ReadAt(HEADER_SIZE + BLOCK_SIZE, seen.data(), seen.size()); // reads see the run
    EXPECT_TRUE(std::equal(seen.begin(), seen.end(), bytes.begin() + BLOCK_SIZE));
    pager.Commit();
    EXPECT_EQ(pager.GetState(), State::Idle);
    EXPECT_EQ(pager.DiskLength(), HEADER_SIZE + bytes.size());
    auto after = ReadFileBytes(path);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), after.begin() + HEADER_SIZE));
    EXPECT_FALSE(std::filesystem::exists(journalPath)); // never journaled
}

TEST(TailSumTest, AnySplitOfTheBytesSumsAsTheWholeTail) {
    // From a partial block at the old end, over several blocks, to a partial last block.
    const std::uint64_t from = HEADER_SIZE + 3 * BLOCK_SIZE + 100;
    std::vector<BYTE> bytes(5 * BLOCK_SIZE + 77);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(i * 31 + 5);
    journal::CTailSum whole(from);
    whole.Add(bytes.data(), bytes.size());
    for (std::size_t step : {1u, 7u, 412u, 512u, 1000u}) {
        journal::CTailSum pieces(from);
        for (std::size_t done = 0; done < bytes.size(); done += step)
            pieces.Add(bytes.data() + done, std::min(step, bytes.size() - done));
        EXPECT_EQ(pieces.Value(), whole.Value()) << step;
        EXPECT_EQ(pieces.Position(), from + bytes.size());
    }
    // Not a sum of the bytes in one piece: the piece boundaries count.
    EXPECT_NE(whole.Value(), journal::Checksum(bytes.data(), bytes.size()));
}
