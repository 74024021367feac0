#include "store/ReadWindows.h"
#include "store/DataFormat.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace nota;

namespace {

constexpr std::size_t kWindow = CReadWindows::kWindowSize;

class ReadWindowsTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string path = dir.File("w.bin");
    CFile file;
    CReadWindows windows;
    std::vector<BYTE> bytes;

    void Make(std::size_t size) {
        bytes.resize(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<BYTE>(i * 7 + i / 9973);
        WriteFileBytes(path, bytes);
        file.Open(path, CFile::modeReadWrite);
    }
    std::vector<BYTE> Read(std::uint64_t offset, std::size_t count, bool mayDecline = false) {
        std::vector<BYTE> out(count);
        if (!windows.Read(file, offset, out.data(), count, mayDecline))
            out.clear();
        return out;
    }
    std::vector<BYTE> Expected(std::uint64_t offset, std::size_t count) {
        return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + count)};
    }
};

} // namespace

TEST_F(ReadWindowsTest, ReadsAcrossWindowsAndLoadsEachOnceWhileItStays) {
    Make(HEADER_SIZE + 5 * kWindow);
    EXPECT_EQ(Read(HEADER_SIZE + kWindow - 100, 512), Expected(HEADER_SIZE + kWindow - 100, 512));
    EXPECT_EQ(windows.Loads(), 2u); // the read crossed from window 0 into window 1
    for (std::uint64_t at = HEADER_SIZE; at + 512 <= HEADER_SIZE + 2 * kWindow; at += 4096)
        ASSERT_EQ(Read(at, 512), Expected(at, 512));
    EXPECT_EQ(windows.Loads(), 2u);
    EXPECT_EQ(Read(HEADER_SIZE + 4 * kWindow + 17, 4), Expected(HEADER_SIZE + 4 * kWindow + 17, 4));
    EXPECT_EQ(windows.Loads(), 3u);
}

// Every other window: a walk out of order, which reads nothing ahead.
TEST_F(ReadWindowsTest, TheLeastRecentlyUsedWindowMakesRoom) {
    const std::size_t n = CReadWindows::kWindows;
    auto at = [](std::size_t w) { return HEADER_SIZE + 2 * w * kWindow; };
    Make(HEADER_SIZE + (2 * n + 4) * kWindow);
    for (std::size_t w = 0; w < n; ++w)
        ASSERT_EQ(Read(at(w), 8), Expected(at(w), 8));
    Read(at(0), 8); // window 0 is used again: the second one is now the oldest
    Read(at(n), 8);
    EXPECT_EQ(windows.Loads(), n + 1);
    Read(at(0), 8);
    EXPECT_EQ(windows.Loads(), n + 1); // still there
    EXPECT_EQ(Read(at(1), 8), Expected(at(1), 8));
    EXPECT_EQ(windows.Loads(), n + 2); // gone, read again
    EXPECT_EQ(windows.FileReads(), n + 2);
}

// A walk along the windows in order gets the next ones with the one it needs: fewer reads of
// the file, the same bytes, to the file's end, and writes still show in them.
TEST_F(ReadWindowsTest, AWalkInOrderReadsAheadToTheFilesEnd) {
    Make(HEADER_SIZE + 10 * kWindow + 1000);
    for (std::uint64_t at = HEADER_SIZE; at + 512 <= bytes.size(); at += 512)
        ASSERT_EQ(Read(at, 512), Expected(at, 512)) << at;
    EXPECT_EQ(Read(bytes.size() - 100, 100), Expected(bytes.size() - 100, 100));
    EXPECT_EQ(windows.Loads(), 11u);    // each window once
    EXPECT_EQ(windows.FileReads(), 5u); // 0, 1, then 2-5, 6-9, 10 with what is left

    windows.Invalidate();
    for (std::size_t w = 0; w < 3; ++w)
        Read(HEADER_SIZE + w * kWindow, 8); // the third reads 2-5
    const BYTE news[] = {9, 8, 7};
    file.Seek(HEADER_SIZE + 4 * kWindow + 10, CFile::begin);
    file.Write(news, sizeof news);
    windows.Update(HEADER_SIZE + 4 * kWindow + 10, news, sizeof news);
    std::copy(std::begin(news), std::end(news), bytes.begin() + HEADER_SIZE + 4 * kWindow + 10);
    EXPECT_EQ(Read(HEADER_SIZE + 4 * kWindow + 8, 8), Expected(HEADER_SIZE + 4 * kWindow + 8, 8));
    EXPECT_EQ(windows.FileReads(), 3u);

    windows.SetCapacity(2); // a single pass: nothing ahead
    for (std::size_t w = 0; w < 6; ++w)
        Read(HEADER_SIZE + w * kWindow, 8);
    EXPECT_EQ(windows.Loads(), 6u);
    EXPECT_EQ(windows.FileReads(), 6u);
}

TEST_F(ReadWindowsTest, DeclinesLoadsOnceAStretchHasHadItsShareButNeverMidRead) {
    const std::size_t n = CReadWindows::kAllowance;
    auto at = [](std::size_t w) { return HEADER_SIZE + 2 * w * kWindow; }; // out of order
    Make(HEADER_SIZE + (2 * n + 4) * kWindow);
    for (std::size_t w = 0; w < n; ++w)
        ASSERT_FALSE(Read(at(w), 8, true).empty());
    EXPECT_TRUE(Read(at(n), 8, true).empty());
    // A loaded window still serves; a read that started in one finishes in the next.
    EXPECT_FALSE(Read(at(3), 8, true).empty());
    const std::uint64_t across = at(n - 1) + kWindow - 4;
    EXPECT_EQ(Read(across, 8, true), Expected(across, 8));
    // A new stretch may load again.
    for (unsigned i = 0; i < CReadWindows::kEpoch; ++i)
        Read(HEADER_SIZE, 1, true);
    EXPECT_FALSE(Read(at(n + 1), 8, true).empty());
}

TEST_F(ReadWindowsTest, WritesShowAndAFileCutShortIsAnError) {
    Make(HEADER_SIZE + 3 * kWindow);
    Read(HEADER_SIZE + 100, 8);
    const BYTE news[] = {1, 2, 3, 4, 5, 6};
    file.Seek(HEADER_SIZE + kWindow - 3, CFile::begin);
    file.Write(news, sizeof news);
    windows.Update(HEADER_SIZE + kWindow - 3, news, sizeof news); // the loaded part
    std::copy(std::begin(news), std::end(news), bytes.begin() + HEADER_SIZE + kWindow - 3);
    EXPECT_EQ(Read(HEADER_SIZE + kWindow - 8, 16), Expected(HEADER_SIZE + kWindow - 8, 16));
    // Loaded while the file was shorter: read again where it has grown.
    ASSERT_EQ(::truncate(path.c_str(), HEADER_SIZE + 2 * kWindow + 100), 0);
    windows.Invalidate();
    EXPECT_EQ(Read(HEADER_SIZE + 2 * kWindow, 50), Expected(HEADER_SIZE + 2 * kWindow, 50));
    bytes.resize(HEADER_SIZE + 2 * kWindow + 100);
    bytes.resize(HEADER_SIZE + 3 * kWindow, 0x5A);
    WriteFileBytes(path + ".tmp", bytes);
    ASSERT_EQ(::rename((path + ".tmp").c_str(), path.c_str()), 0);
    file.Close();
    file.Open(path, CFile::modeReadWrite);
    EXPECT_EQ(Read(HEADER_SIZE + 2 * kWindow + 90, 20),
              Expected(HEADER_SIZE + 2 * kWindow + 90, 20));
    // Cut below what the holder knows: an end-of-file error, not zeros.
    windows.Invalidate();
    ASSERT_EQ(::truncate(path.c_str(), HEADER_SIZE + 1000), 0);
    try {
        Read(HEADER_SIZE + 2000, 8);
        FAIL() << "no error";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::endOfFile);
    }
    EXPECT_EQ(Read(HEADER_SIZE + 900, 8), Expected(HEADER_SIZE + 900, 8));
}
