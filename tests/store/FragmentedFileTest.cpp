// Reading files whose chains lie all over them, with the file's view in memory and without
// it; a file cut short under an open store; files built afresh growing in large writes.

#include "platform/FileMap.h"
#include "store/BlockFile.h"
#include "store/ReadWindows.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace nota;

namespace {

std::string TextNumber(std::size_t i) {
    std::string text;
    while (text.size() < 700 + i * 37 % 2500)
        text += "text " + std::to_string(i) + " line " + std::to_string(text.size()) + "\r\n";
    return text;
}

// Runs each test with every block read from the file's view in memory (true), and with the
// windows alone, without a view (false).
class FragmentedFileTest : public ::testing::TestWithParam<bool> {
protected:
    CTempDir dir;
    std::string path = dir.File("f.Nota");
    CBlockFile file;
    std::vector<std::string> texts;
    std::vector<DWORD> firsts;
    bool wasEnabled = CFileMap::SetEnabled(GetParam());
    unsigned allowance = CReadWindows::SetAllowance(GetParam() ? 0 : CReadWindows::kAllowance);

    void TearDown() override {
        file.Abort();
        CFileMap::SetEnabled(wasEnabled);
        CReadWindows::SetAllowance(allowance);
    }
    void OpenInterleaved(std::size_t count) {
        CFileBuilder b;
        for (std::size_t i = 0; i < count; ++i)
            texts.push_back(TextNumber(i));
        firsts = b.AddInterleavedTexts(texts);
        b.WriteTo(path);
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
        ASSERT_TRUE(file.CheckSignature());
    }
    std::string ReadText(DWORD first) {
        CTransferScope transfer(file);
        file.BeginRead(first);
        BYTE field[4];
        file.ReadData(field, 4);
        std::string text(GetLE32(field), '\0');
        file.ReadData(text.data(), text.size());
        file.EndTransfer();
        text.pop_back(); // the NUL
        return text;
    }
    void WriteText(DWORD first, const std::string& text) {
        BYTE field[4];
        PutLE32(field, static_cast<DWORD>(text.size() + 1));
        file.BeginWrite(first);
        file.WriteData(field, 4);
        file.WriteData(text.c_str(), text.size() + 1);
        file.EndTransfer();
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(ViewOrNot, FragmentedFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "View" : "Windows"; });

TEST_P(FragmentedFileTest, InterleavedChainsReadWholeAndSeeTheOperationsOwnBlocks) {
    OpenInterleaved(60);
    for (std::size_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(ReadText(firsts[i]), texts[i]) << i;

    // Inside an operation reads see its blocks; after a rollback the file's again.
    {
        CStoreOperation op(file);
        WriteText(firsts[7], "short now");
        WriteText(firsts[8], TextNumber(200) + TextNumber(201)); // grows past the end
        EXPECT_EQ(ReadText(firsts[7]), "short now");
        EXPECT_EQ(ReadText(firsts[8]), TextNumber(200) + TextNumber(201));
        EXPECT_EQ(ReadText(firsts[9]), texts[9]);
    }
    EXPECT_EQ(ReadText(firsts[7]), texts[7]);
    EXPECT_EQ(ReadText(firsts[8]), texts[8]);

    // Committed, the file is longer than when it was first read: the new blocks read too.
    const std::uint64_t before = file.Length();
    {
        CStoreOperation op(file);
        WriteText(firsts[8], TextNumber(300) + TextNumber(301) + TextNumber(302));
        WriteText(firsts[9], "nine");
        op.Commit();
    }
    EXPECT_GT(file.Length(), before);
    EXPECT_EQ(ReadText(firsts[8]), TextNumber(300) + TextNumber(301) + TextNumber(302));
    EXPECT_EQ(ReadText(firsts[9]), "nine");
    EXPECT_EQ(ReadText(firsts[10]), texts[10]);
    BYTE block[BLOCK_SIZE];
    file.ReadAt(file.Length() - BLOCK_SIZE, block, BLOCK_SIZE);
    const std::vector<BYTE> bytes = ReadFileBytes(path);
    EXPECT_EQ(std::vector<BYTE>(block, block + BLOCK_SIZE),
              std::vector<BYTE>(bytes.end() - BLOCK_SIZE, bytes.end()));
}

TEST_P(FragmentedFileTest, AFileCutShortUnderTheStoreEndsTheReadPastItsEnd) {
    OpenInterleaved(40);
    ASSERT_EQ(ReadText(firsts[0]), texts[0]); // blocks 0 and 40: the view, or the first window
    // Another program cuts the file despite the lock; the store still counts the old length.
    // Text 0 keeps both its blocks, text 39 loses those after its third.
    ASSERT_EQ(::truncate(path.c_str(), HEADER_SIZE + 45 * BLOCK_SIZE), 0);
    EXPECT_EQ(ReadText(firsts[0]), texts[0]);
    try {
        // Its later blocks lie in a window not read before (or, with the view, in pages that
        // are gone): the read meets the cut.
        ReadText(firsts[39]);
        FAIL() << "no error";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::endOfFile);
        EXPECT_EQ(e.GetErrorMessage(), "An attempt was made to access " + path + " past its end.");
    }
    BYTE block[BLOCK_SIZE];
    ASSERT_GT(file.GetBlockCount(), 130u); // the last block lies in a window not read before
    EXPECT_THROW(file.ReadAt(file.Length() - BLOCK_SIZE, block, BLOCK_SIZE), CFileException);
    // The store goes on: what is left still reads.
    file.ReadAt(HEADER_SIZE, block, BLOCK_SIZE);
    EXPECT_EQ(GetLE32(block), firsts[0] + 40 * BLOCK_SIZE);
    EXPECT_EQ(ReadText(firsts[0]), texts[0]);
}

// A file built afresh (unjournaled) gathers its writes: no set-length call per block, a few
// large writes, and the same bytes as a journaled file given the same calls.
TEST_P(FragmentedFileTest, AFileBuiltAfreshGrowsInLargeWritesWithTheSameBytes) {
    int lengths = 0, writes = 0, writesWhileGrowing = -1;
    auto build = [&](const std::string& at, bool journaled) {
        CBlockFile f(at, CFile::modeCreate | CFile::modeReadWrite);
        f.SetJournaled(journaled);
        CStoreOperation op(f);
        f.Header().SetNew();
        f.WriteHeader();
        std::vector<DWORD> chains;
        for (std::size_t i = 0; i < 1000; ++i) {
            std::string text = TextNumber(i);
            chains.push_back(f.BeginNewChain());
            f.WriteData(text.data(), text.size());
            f.EndTransfer();
        }
        writesWhileGrowing = writes;
        // Rewrites in place, shorter and longer, read back before the commit.
        for (std::size_t i = 0; i < chains.size(); i += 7) {
            std::string text = i % 2 ? "short" : TextNumber(i) + TextNumber(i + 1);
            f.BeginWrite(chains[i]);
            f.WriteData(text.data(), text.size());
            f.EndTransfer();
            std::string back(text.size(), '\0');
            f.BeginRead(chains[i]);
            f.ReadData(back.data(), back.size());
            f.EndTransfer();
            EXPECT_EQ(back, text);
        }
        f.SetTreeData(chains[0]);
        op.Commit();
        f.Close();
    };
    build(dir.File("journaled.Nota"), true);
    CFile::SetIoObserver([&](const CFile::IoEvent& e) {
        if (e.path != dir.File("afresh.Nota"))
            return;
        lengths += e.op == CFile::Op::SetLength ? 1 : 0;
        writes += e.op == CFile::Op::Write ? 1 : 0;
    });
    build(dir.File("afresh.Nota"), false);
    CFile::SetIoObserver({});
    auto afresh = ReadFileBytes(dir.File("afresh.Nota"));
    EXPECT_EQ(afresh, ReadFileBytes(dir.File("journaled.Nota")));
    EXPECT_GT(afresh.size(), std::size_t{4000} * BLOCK_SIZE);
    EXPECT_EQ(lengths, 1); // the creating open's truncation only
    // The header, then about one write per MiB while growing (not one per block).
    EXPECT_LE(writesWhileGrowing, 5);
}
