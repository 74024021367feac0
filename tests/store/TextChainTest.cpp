#include "store/TextChain.h"
#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace nota;

namespace {

class TextChainTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string path = dir.File("t.Nota");
    CBlockFile file;

    void Open(const CFileBuilder& b) {
        b.WriteTo(path);
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
        ASSERT_TRUE(file.CheckSignature());
    }
    static std::string Text(std::size_t n, char c) { return std::string(n, c) + '\0'; }
};

} // namespace

TEST_F(TextChainTest, AppendedTextsFillFreeBlocksFirstThenFollowEachOtherAtTheEnd) {
    CFileBuilder b;
    DWORD free1 = b.AddBlock(0, 0);
    DWORD free2 = b.AddBlock(0, 0);
    b.SetNext(free1, free2);
    b.SetFreeList(free1);
    b.bytes.resize(b.bytes.size() + 100); // a partial block at the end: not content
    Open(b);
    const std::uint64_t grid = HEADER_SIZE + 2 * BLOCK_SIZE;

    CStoreOperation op(file);
    textchain::CTextAppender appender(file);
    const std::string a = Text(300, 'a'), big = Text(600, 'b'), c = Text(10, 'c');
    EXPECT_EQ(appender.Append(a.data(), static_cast<DWORD>(a.size())), free1);
    // One free block left, the next text takes it and grows the file for its second block.
    EXPECT_EQ(appender.Append(big.data(), static_cast<DWORD>(big.size())), free2);
    EXPECT_EQ(file.GetFreeList(), 0u);
    const DWORD third = appender.Append(c.data(), static_cast<DWORD>(c.size()));
    EXPECT_EQ(third, grid + BLOCK_SIZE); // on the grid, after the block the second text took
    EXPECT_EQ(appender.Append("", 0), 0u);
    appender.Flush();
    op.Commit();

    std::vector<BYTE> got;
    EXPECT_EQ(textchain::Read(file, free1, got), a.size());
    EXPECT_EQ(std::string(got.begin(), got.end()), a);
    textchain::Read(file, free2, got);
    EXPECT_EQ(std::string(got.begin(), got.end()), big);
    EXPECT_EQ(textchain::ReadLength(file, third), c.size());
    EXPECT_EQ(file.Length(), grid + 2 * BLOCK_SIZE);
}

TEST_F(TextChainTest, ARewriteKeepsTheChainAndALengthTheFileCannotHoldIsDamage) {
    CFileBuilder b;
    DWORD text = b.AddText("first version");
    DWORD liar = b.AddBlock(0, 4, {0xFF, 0xFF, 0, 0}); // 65535 bytes in a file of two blocks
    Open(b);
    const std::string longer = Text(800, 'x');
    {
        CStoreOperation op(file);
        EXPECT_EQ(textchain::Write(file, text, longer.data(), static_cast<DWORD>(longer.size())),
                  text);
        op.Commit();
    }
    std::vector<BYTE> got;
    textchain::Read(file, text, got);
    EXPECT_EQ(std::string(got.begin(), got.end()), longer);

    EXPECT_THROW(textchain::ReadLength(file, liar), CFileException);
    EXPECT_THROW(textchain::Read(file, liar, got), CFileException);
    EXPECT_EQ(file.GetMode(), CBlockFile::modeIdle); // the failed read ended its transfer
}
