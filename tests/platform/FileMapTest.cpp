#include "platform/FileMap.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

class FileMapTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string path = dir.File("m.bin");
    int fd = -1;

    void Make(std::size_t size) {
        std::vector<BYTE> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<BYTE>(i * 13 + i / 4096);
        WriteFileBytes(path, bytes);
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
    }
    void TearDown() override {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

TEST_F(FileMapTest, CopiesTheFilesBytesAndSeesLaterWritesThroughTheHandle) {
    Make(300000);
    CFileMap map;
    ASSERT_TRUE(map.Map(fd, 300000));
    EXPECT_EQ(map.Length(), 300000u);
    std::vector<BYTE> out(1000);
    ASSERT_TRUE(map.Copy(299000, out.data(), out.size()));
    const std::vector<BYTE> file = ReadFileBytes(path);
    EXPECT_EQ(out, std::vector<BYTE>(file.begin() + 299000, file.end()));
    const char news[] = "written through the handle";
    ASSERT_EQ(::pwrite(fd, news, sizeof news, 70000), static_cast<ssize_t>(sizeof news));
    char back[sizeof news] = {};
    ASSERT_TRUE(map.Copy(70000, back, sizeof back));
    EXPECT_STREQ(back, news);
    // Nothing past the view's end is copied.
    EXPECT_FALSE(map.Copy(299999, out.data(), 2));
    EXPECT_TRUE(map.Copy(299999, out.data(), 1));
}

TEST_F(FileMapTest, AFileCutUnderTheViewFailsTheCopyInsteadOfRaisingASignal) {
    Make(1 << 20);
    CFileMap map;
    ASSERT_TRUE(map.Map(fd, 1 << 20));
    BYTE block[512];
    ASSERT_TRUE(map.Copy(900000, block, sizeof block)); // resident now
    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);       // as another program would
    EXPECT_FALSE(map.Copy(900000, block, sizeof block));
    EXPECT_FALSE(map.Copy(8192, block, sizeof block));
    EXPECT_TRUE(map.Copy(512, block, sizeof block)); // what is left still reads
    EXPECT_EQ(block[0], static_cast<BYTE>(512 * 13));
    // The handler stays: a second cut file fails again, the process lives on.
    EXPECT_FALSE(map.Copy(500000, block, sizeof block));
}

TEST_F(FileMapTest, ABusErrorOutsideTheCopiesStillEndsTheProcess) {
    Make(64 * 1024);
    CFileMap map;
    ASSERT_TRUE(map.Map(fd, 64 * 1024)); // installs the handler
    EXPECT_DEATH(
        {
            void* p = ::mmap(nullptr, 64 * 1024, PROT_READ, MAP_SHARED, fd, 0);
            if (p == MAP_FAILED || ::ftruncate(fd, 0) != 0)
                _exit(0); // not the death expected: the test fails
            volatile BYTE b = static_cast<const BYTE*>(p)[40000];
            (void)b;
            _exit(0);
        },
        "");
}

TEST_F(FileMapTest, PagesAreGivenBackOnceTheBudgetIsTouched) {
    const std::size_t budget = std::size_t{2} << 20;
    const std::size_t units = budget >> CFileMap::kUnitShift;
    const std::size_t size = (units + 8) << CFileMap::kUnitShift;
    Make(size);
    CFileMap map;
    map.SetResidentBudget(budget);
    ASSERT_TRUE(map.Map(fd, size));
    BYTE b[2];
    // Touching a unit twice counts once; a copy across a unit boundary counts both.
    ASSERT_TRUE(map.Copy(10, b, 1));
    ASSERT_TRUE(map.Copy(20, b, 1));
    ASSERT_TRUE(map.Copy((std::size_t{2} << CFileMap::kUnitShift) - 1, b, 2));
    EXPECT_EQ(map.TouchedUnits(), 3u);
    for (std::size_t u = 0; u < units; ++u)
        ASSERT_TRUE(map.Copy(u << CFileMap::kUnitShift, b, 1));
    EXPECT_EQ(map.TouchedUnits(), units);
    ASSERT_TRUE(map.Copy(units << CFileMap::kUnitShift, b, 1)); // one more: all given back
    EXPECT_EQ(map.TouchedUnits(), 1u);
    // Bytes read after giving back are still the file's.
    ASSERT_TRUE(map.Copy(4096 * 3, b, 1));
    EXPECT_EQ(b[0], static_cast<BYTE>(4096 * 3 * 13 + 3));
}

TEST_F(FileMapTest, RefusesWhatCannotBeMappedAndWhenSwitchedOff) {
    Make(4096);
    CFileMap map;
    EXPECT_FALSE(map.Map(-1, 4096));
    EXPECT_FALSE(map.Map(fd, 0));
    int writeOnly = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writeOnly, 0);
    EXPECT_FALSE(map.Map(writeOnly, 4096));
    ::close(writeOnly);
    EXPECT_FALSE(map.IsMapped());
    bool was = CFileMap::SetEnabled(false);
    EXPECT_FALSE(map.Map(fd, 4096));
    CFileMap::SetEnabled(was);
    EXPECT_TRUE(map.Map(fd, 4096));
    BYTE b;
    EXPECT_FALSE(map.Copy(4096, &b, 1));
}
