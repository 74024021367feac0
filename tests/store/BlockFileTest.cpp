#include "store/BlockFile.h"
#include "store/Journal.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace nota;

namespace {

class BlockFileTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string path = dir.File("b.Nota");
    CBlockFile file;

    // Opens a file with just a header (and optional blocks from the builder).
    void OpenBuilt(const CFileBuilder& b) {
        b.WriteTo(path);
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
        ASSERT_TRUE(file.CheckSignature());
    }
    std::vector<BYTE> Bytes() { return ReadFileBytes(path); }
    WORD LengthOf(DWORD block) { return GetLE16(Bytes().data() + block + 4); }
    DWORD NextOf(DWORD block) { return GetLE32(Bytes().data() + block); }
    DWORD WriteChain(std::size_t n, BYTE fill = 'x') {
        std::vector<BYTE> data(n, fill);
        DWORD first = file.BeginNewChain();
        file.WriteData(data.data(), data.size());
        file.EndTransfer();
        return first;
    }
    std::vector<BYTE> ReadChain(DWORD first, std::size_t n) {
        std::vector<BYTE> data(n);
        file.BeginRead(first);
        file.ReadData(data.data(), n);
        file.EndTransfer();
        return data;
    }
};

} // namespace

TEST_F(BlockFileTest, FullBlockStaysOneBlockAndOneMoreByteTakesASecond) {
    OpenBuilt(CFileBuilder());
    DWORD a = WriteChain(506);
    EXPECT_EQ(a, 32u);
    EXPECT_EQ(LengthOf(a), 506);
    EXPECT_EQ(NextOf(a), 0u);
    EXPECT_EQ(file.Length(), 544u);
    DWORD b = WriteChain(507, 'y');
    EXPECT_EQ(NextOf(b), b + 512);
    EXPECT_EQ(LengthOf(b + 512), 1);
    EXPECT_EQ(ReadChain(b, 507), std::vector<BYTE>(507, 'y'));
}

TEST_F(BlockFileTest, RewritingInPlaceReusesTheChainAndFreesOrGrowsItsTail) {
    CFileBuilder b;
    DWORD first = b.AddChain(std::vector<BYTE>(1200, 'a')); // three blocks
    OpenBuilt(b);
    file.BeginWrite(first);
    std::vector<BYTE> data(600, 'b');
    file.WriteData(data.data(), data.size());
    file.EndTransfer();
    EXPECT_EQ(NextOf(first), first + 512);
    EXPECT_EQ(NextOf(first + 512), 0u);
    EXPECT_EQ(file.GetFreeList(), first + 1024);           // the third block heads the free list
    EXPECT_EQ(GetLE32(Bytes().data() + 20), first + 1024); // and the header says so

    // Growing a one-block chain takes the free list's head first, then the file's end.
    DWORD one = WriteChain(10);
    EXPECT_EQ(one, first + 1024);
    std::uint64_t len = file.Length();
    file.BeginWrite(one);
    std::vector<BYTE> big(1000, 'c');
    file.WriteData(big.data(), big.size());
    file.EndTransfer();
    EXPECT_EQ(NextOf(one), len);
    EXPECT_EQ(file.Length(), len + 512);
    EXPECT_EQ(ReadChain(one, 1000), big);
}

TEST_F(BlockFileTest, AllocationPrefersTheFreeList) {
    CFileBuilder b;
    DWORD free = b.AddBlock(0, 0);
    b.SetFreeList(free);
    OpenBuilt(b);
    std::uint64_t len = file.Length();
    EXPECT_EQ(file.AllocBlock(), free);
    EXPECT_EQ(file.Length(), len);
    EXPECT_EQ(file.GetFreeList(), 0u);
    EXPECT_TRUE(file.IsHeaderDirty());
    EXPECT_EQ(file.AllocBlock(), len);
    EXPECT_EQ(file.Length(), len + 512);
}

TEST_F(BlockFileTest, AFreeReachesTheFileOnlyWithTheNextCommit) {
    CFileBuilder b;
    DWORD c1 = b.AddChain(std::vector<BYTE>(700, 1));
    DWORD c2 = b.AddChain(std::vector<BYTE>(10, 2));
    OpenBuilt(b);
    const std::vector<BYTE> before = Bytes();
    file.FreeChain(c1);
    EXPECT_EQ(file.GetFreeList(), c1);
    EXPECT_TRUE(file.IsHeaderDirty());
    EXPECT_EQ(Bytes(), before); // neither the header nor the chain's last link yet

    // The next write transfer commits the free with its own change.
    file.BeginWrite(c2);
    file.WriteData("xyz", 3);
    file.EndTransfer();
    EXPECT_EQ(GetLE32(Bytes().data() + 20), c1);
    EXPECT_EQ(NextOf(c1 + 512), 0u); // the chain's own order, then the old (empty) list
    EXPECT_FALSE(file.IsHeaderDirty());
}

TEST_F(BlockFileTest, AnOperationWritesNothingBeforeItsCommit) {
    OpenBuilt(CFileBuilder());
    const std::vector<BYTE> before = Bytes();
    {
        CStoreOperation op(file);
        file.SetTreeData(WriteChain(20));
        DWORD other = WriteChain(600);
        file.FreeChain(other);
        EXPECT_EQ(Bytes(), before);
        op.Commit();
    }
    EXPECT_EQ(GetLE32(Bytes().data() + 16), 32u);
    EXPECT_EQ(GetLE32(Bytes().data() + 20), 32u + 512); // the freed chain heads the list
    {
        CStoreOperation op(file); // ends without a commit: rolled back
        file.SetTreeData(WriteChain(2000));
    }
    EXPECT_EQ(GetLE32(Bytes().data() + 16), 32u);
    EXPECT_EQ(file.GetTreeData(), 32u);
    EXPECT_EQ(file.Length(), Bytes().size());
}

// A large operation keeps its blocks in several allocations of different sizes; each block
// must stay its own, across a rollback, a commit and the small operation after it.
TEST_F(BlockFileTest, ALargeOperationKeepsEveryBlockApartAcrossRollbackAndCommit) {
    OpenBuilt(CFileBuilder());
    const std::size_t kBytes = 20000 * 506; // 20,000 blocks: more than two allocations
    std::vector<BYTE> data(kBytes);
    for (std::size_t i = 0; i < kBytes; ++i)
        data[i] = static_cast<BYTE>(i * 7 + i / 506);
    const std::vector<BYTE> before = Bytes();
    {
        CStoreOperation op(file); // rolled back
        file.SetTreeData(WriteChain(kBytes, 'r'));
    }
    EXPECT_EQ(Bytes(), before);
    DWORD first = 0;
    {
        CStoreOperation op(file);
        first = file.BeginNewChain();
        file.WriteData(data.data(), data.size());
        file.EndTransfer();
        file.SetTreeData(first);
        EXPECT_EQ(ReadChain(first, kBytes), data); // from the operation's own blocks
        op.Commit();
    }
    EXPECT_EQ(ReadChain(first, kBytes), data); // from the file
    const DWORD small = WriteChain(600, 's');
    EXPECT_EQ(ReadChain(small, 600), std::vector<BYTE>(600, 's'));
    EXPECT_EQ(ReadChain(first, kBytes), data);
}

TEST_F(BlockFileTest, SignatureNeedsThirtyTwoBytesAndLowerCaseNota) {
    WriteFileBytes(path, {'n', 'o', 't', 'a'});
    file.Open(path, CFile::modeReadWrite);
    EXPECT_FALSE(file.CheckSignature());
    file.Close();
    std::vector<BYTE> upper(32, 0);
    std::copy_n("NOTA", 4, upper.begin());
    WriteFileBytes(path, upper);
    file.Open(path, CFile::modeReadWrite);
    EXPECT_FALSE(file.CheckSignature());
    file.Close();
    WriteFileBytes(path, std::vector<BYTE>(31, 'n'));
    file.Open(path, CFile::modeReadWrite);
    EXPECT_FALSE(file.CheckSignature());
}

TEST_F(BlockFileTest, DamagedChainsEndTheTransferInsteadOfReadingOutside) {
    CFileBuilder b;
    DWORD loop = b.AddBlock(0, 506);
    b.SetNext(loop, loop); // a chain that loops
    DWORD outside = b.AddBlock(0x7FFFFFE0, 506);
    DWORD unaligned = b.AddBlock(40, 506);
    DWORD badLength = b.AddBlock(0, 600);
    DWORD shortChain = b.AddBlock(0, 10);
    OpenBuilt(b);
    std::vector<BYTE> sink(1 << 20);
    for (DWORD start :
         {loop, outside, unaligned, badLength, shortChain, DWORD(7), DWORD(1 << 30)}) {
        file.BeginRead(start);
        EXPECT_THROW(file.ReadData(sink.data(), sink.size()), CFileException) << start;
        file.AbandonTransfer();
    }
    // Freeing a chain that links back into itself ends it at the link instead.
    file.FreeChain(loop);
    EXPECT_EQ(file.GetFreeList(), loop);
}

TEST_F(BlockFileTest, GrowthOverwritesAPartialBlockAtTheEnd) {
    CFileBuilder b;
    b.AddBlock(0, 0);
    b.bytes.resize(b.bytes.size() + 100, 0xEE); // not content: not a block
    OpenBuilt(b);
    EXPECT_EQ(file.GetBlockCount(), 1u);
    DWORD first = WriteChain(700);
    EXPECT_EQ(first, 32u + 512); // where the partial block began, on the grid
    EXPECT_EQ(NextOf(first), first + 512);
    EXPECT_EQ(Bytes().size(), 32u + 3 * 512);
    EXPECT_EQ(ReadChain(first, 700), std::vector<BYTE>(700, 'x'));
}

TEST_F(BlockFileTest, ARewriteCutsALinkBackIntoItsOwnChain) {
    CFileBuilder b;
    DWORD a = b.AddBlock(0, 506);
    DWORD c = b.AddBlock(0, 10);
    b.SetNext(a, c);
    b.SetNext(c, a); // the last block links back to the first
    DWORD spare = b.AddBlock(0, 0);
    OpenBuilt(b);
    // Shorter: the chain ends at its second block; the loop is not freed as a chain.
    file.BeginWrite(a);
    std::vector<BYTE> two(600, 's');
    file.WriteData(two.data(), two.size());
    file.EndTransfer();
    EXPECT_EQ(NextOf(c), 0u);
    EXPECT_EQ(file.GetFreeList(), 0u);
    EXPECT_EQ(ReadChain(a, 600), two);
    // Longer: a new block instead of running into the chain's own start again.
    b.SetNext(c, a);
    file.Close();
    OpenBuilt(b);
    std::vector<BYTE> three(1200, 't');
    file.BeginWrite(a);
    file.WriteData(three.data(), three.size());
    file.EndTransfer();
    EXPECT_EQ(NextOf(c), spare + 512);
    EXPECT_EQ(ReadChain(a, 1200), three);
}

// Growth of more than a few MiB is written ahead of the commit under a provisional journal.
// A rollback in the process cuts it off at once; a file abandoned in the middle (a kill) is
// cut back by the next open; either way the file is byte for byte as before.
TEST_F(BlockFileTest, GrowthWrittenAheadOfTheCommitIsCutOffAgainWhenTheOperationFails) {
    OpenBuilt(CFileBuilder());
    const std::vector<BYTE> before = Bytes();
    const std::string journalPath = journal::PathFor(path);
    {
        CStoreOperation op(file); // ends without a commit
        file.SetTreeData(WriteChain(3 << 20, 'r'));
        EXPECT_GT(Bytes().size(), before.size() + (1 << 20)); // on the disk already
        EXPECT_TRUE(std::filesystem::exists(journalPath));
    }
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(file.Length(), before.size());
    const DWORD small = WriteChain(700, 's'); // the file goes on from its old end
    EXPECT_EQ(small, 32u);
    EXPECT_EQ(ReadChain(small, 700), std::vector<BYTE>(700, 's'));
    const std::vector<BYTE> committed = Bytes();

    file.BeginOperation();
    WriteChain(3 << 20, 'k');
    file.Abort(); // as a kill leaves it: growth on the disk, the provisional journal beside it
    EXPECT_GT(Bytes().size(), committed.size());
    CBlockFile reopened(path, CFile::modeReadWrite | CFile::shareExclusive);
    EXPECT_TRUE(reopened.WasRolledBack());
    reopened.Close();
    EXPECT_EQ(Bytes(), committed);
    EXPECT_FALSE(std::filesystem::exists(journalPath));
}

// The commit of a large operation leaves a journal whose new state matches the file, so
// that a lost invalidation keeps the change: with the growth written in order (its checksum
// kept up while writing), with a block of it written again, and after a partial block at the
// old end (both read back at the commit).
TEST_F(BlockFileTest, ALargeCommitWhoseJournalStaysIsKeptByTheNextOpen) {
    for (int layout : {0, 1, 2}) {
        const bool bRewrite = layout == 1;
        SCOPED_TRACE(layout == 0 ? "in order" : bRewrite ? "rewritten" : "partial block");
        CFileBuilder b;
        if (layout == 2)
            b.bytes.resize(b.bytes.size() + 100, 0xEE); // not content: overwritten
        OpenBuilt(b);
        const std::string journalPath = journal::PathFor(path);
        std::vector<BYTE> data(3 << 20);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<BYTE>(i * 13 + i / 700);
        DWORD first = 0;
        {
            CStoreOperation op(file);
            first = file.BeginNewChain();
            file.WriteData(data.data(), data.size());
            file.EndTransfer();
            if (bRewrite) { // the chain's first bytes again, long after they were written
                std::fill(data.begin(), data.begin() + 100, 'R');
                file.BeginWrite(first);
                file.WriteData(data.data(), data.size());
                file.EndTransfer();
            }
            file.SetTreeData(first);
            // The journal's invalidation is lost, as a power cut right after the commit may.
            bool bReplaced = false;
            CFile::SetFaultHook([&](CFile::Op op, const std::string& p) {
                if (op == CFile::Op::Rename && p == journalPath)
                    bReplaced = true;
                else if (op == CFile::Op::Write && p == journalPath && bReplaced)
                    throw CFileException(CFileException::genericException, p);
            });
            op.Commit();
            CFile::SetFaultHook(nullptr);
        }
        const std::vector<BYTE> after = Bytes();
        const std::vector<BYTE> journalBytes = ReadFileBytes(journalPath);
        file.Close(); // removes the journal: put it back as the power cut would have left it
        WriteFileBytes(journalPath, journalBytes);
        CBlockFile reopened(path, CFile::modeReadWrite | CFile::shareExclusive);
        EXPECT_FALSE(reopened.WasRolledBack());
        reopened.Close();
        EXPECT_EQ(Bytes(), after);
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
        ASSERT_TRUE(file.CheckSignature());
        EXPECT_EQ(file.GetTreeData(), first);
        EXPECT_EQ(ReadChain(first, data.size()), data);
        file.Close();
    }
}

// The first bytes of a chain, read without a window: from the disk, from the operation's
// own blocks, and not at all when the first block holds too few or is not a block.
TEST_F(BlockFileTest, PeekingAtAChainStartSeesWhatAReadWouldSee) {
    CFileBuilder b;
    const DWORD whole = b.AddChain({'a', 'b', 'c', 'd', 'e'});
    const DWORD shortFirst = b.AddBlock(0, 2);
    b.SetNext(shortFirst, b.AddBlock(0, 506));
    OpenBuilt(b);
    BYTE got[4] = {};
    ASSERT_TRUE(file.PeekChainStart(whole, got, 4));
    EXPECT_EQ(std::string(got, got + 4), "abcd");
    EXPECT_FALSE(file.PeekChainStart(shortFirst, got, 4)); // the caller reads the chain
    EXPECT_THROW(file.PeekChainStart(whole + 7, got, 4), CFileException);
    {
        CStoreOperation op(file);
        file.BeginWrite(whole);
        file.WriteData("wxyz!", 5);
        file.EndTransfer();
        ASSERT_TRUE(file.PeekChainStart(whole, got, 4));
        EXPECT_EQ(std::string(got, got + 4), "wxyz"); // not yet on the disk
        const DWORD grown = WriteChain(600, 'g');
        ASSERT_TRUE(file.PeekChainStart(grown, got, 4));
        EXPECT_EQ(std::string(got, got + 4), "gggg");
    }
}
