#include "store/ChainWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

// The appender must lay out chains exactly as the store's own writer does on a file without
// free blocks, whatever the chain's length and however small its buffer.
TEST(ChainWriterTest, SameBytesAsTheStoresWriter) {
    CTempDir dir;
    std::vector<std::size_t> sizes{1, 505, 506, 507, 1012, 16 * 506 + 1, 40000, 2};
    std::vector<BYTE> data(40000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i * 7 + 3);

    auto make = [&](const std::string& path, bool appender, std::size_t bufferBlocks) {
        CBlockFile file(path, CFile::modeCreate | CFile::modeReadWrite);
        file.SetJournaled(false);
        CStoreOperation op(file);
        file.Header().SetNew();
        file.WriteHeader();
        CChainWriter writer(file, bufferBlocks);
        std::vector<DWORD> firsts;
        for (std::size_t n : sizes) {
            if (appender) {
                firsts.push_back(writer.Begin(n));
                writer.Write(data.data(), n / 2); // in two pieces, flushed between
                writer.Flush();
                writer.Write(data.data() + n / 2, n - n / 2);
                writer.End();
            } else {
                firsts.push_back(file.BeginNewChain());
                file.WriteData(data.data(), n);
                file.EndTransfer();
            }
        }
        writer.Flush();
        op.Commit();
        file.Close();
        return firsts;
    };
    auto expected = make(dir.File("store"), false, 1);
    for (std::size_t buffer : {1, 3, 16, 2048}) {
        EXPECT_EQ(make(dir.File("appender"), true, buffer), expected);
        EXPECT_EQ(ReadFileBytes(dir.File("appender")), ReadFileBytes(dir.File("store")))
            << "buffer of " << buffer << " blocks";
    }
}
