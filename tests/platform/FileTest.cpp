#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(FileExceptionTest, EveryCauseHasItsStandardMessageWithThePath) {
    const char* expected[] = {
        "No error occurred.",
        "An unknown error occurred while accessing /x/a.Nota.",
        "/x/a.Nota was not found.",
        "/x/a.Nota contains an invalid path.",
        "/x/a.Nota could not be opened because there are too many open files.",
        "Access to /x/a.Nota was denied.",
        "An invalid file handle was associated with /x/a.Nota.",
        "/x/a.Nota could not be removed because it is the current directory.",
        "/x/a.Nota could not be created because the directory is full.",
        "Seek failed on /x/a.Nota",
        "A hardware I/O error was reported while accessing /x/a.Nota.",
        "A sharing violation occurred while accessing /x/a.Nota.",
        "A locking violation occurred while accessing /x/a.Nota.",
        "Disk full while accessing /x/a.Nota.",
        "An attempt was made to access /x/a.Nota past its end.",
    };
    for (int cause = 0; cause <= CFileException::endOfFile; ++cause) {
        CFileException e(static_cast<CFileException::Cause>(cause), "/x/a.Nota");
        EXPECT_EQ(e.GetErrorMessage(), expected[cause]) << cause;
    }
    // A percent sign in a path is shown as it is.
    EXPECT_EQ(CFileException(CFileException::fileNotFound, "/a%1b%s").GetErrorMessage(),
              "/a%1b%s was not found.");
}

TEST(FileTest, MissingFileAndDirectoryGiveTheirCauses) {
    CTempDir dir;
    CFile f;
    CFileException e(CFileException::none, "");
    EXPECT_FALSE(f.Open(dir.File("none"), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(f.Open(dir.Path(), CFile::modeReadWrite, &e));
    EXPECT_EQ(e.m_cause, CFileException::accessDenied);
}

TEST(FileTest, ExclusiveOpenRefusesASecondOneAndCreateDoesNotTruncateAHeldFile) {
    CTempDir dir;
    std::string path = dir.File("held.Nota");
    WriteFileBytes(path, std::vector<BYTE>(600, 7));
    CFile holder(path, CFile::modeReadWrite | CFile::shareExclusive);

    CFile other;
    CFileException e(CFileException::none, "");
    EXPECT_FALSE(other.Open(path, CFile::modeReadWrite | CFile::shareExclusive, &e));
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    EXPECT_FALSE(
        other.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive, &e));
    EXPECT_EQ(e.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(ReadFileBytes(path).size(), 600u); // still whole

    holder.Close();
    EXPECT_TRUE(other.Open(path, CFile::modeReadWrite | CFile::shareExclusive, &e));
}

TEST(FileTest, PositionalReadWriteAndLength) {
    CTempDir dir;
    CFile f(dir.File("f"), CFile::modeCreate | CFile::modeReadWrite);
    f.Write("abcdef", 6);
    EXPECT_EQ(f.GetLength(), 6u);
    f.Seek(-2, CFile::end);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 2u); // short read at the end
    EXPECT_STREQ(buf, "ef");
    f.SetLength(1024);
    EXPECT_EQ(f.GetLength(), 1024u);
    EXPECT_THROW(f.Seek(-1, CFile::begin), CFileException);
}

TEST(FileTest, FaultHookStopsWritesBeforeTheyHappen) {
    CTempDir dir;
    CFile f(dir.File("f"), CFile::modeCreate | CFile::modeReadWrite);
    CFile::SetFaultHook([](CFile::Op op, const std::string& path) {
        if (op == CFile::Op::Write)
            throw CFileException(CFileException::diskFull, path);
    });
    EXPECT_THROW(f.Write("x", 1), CFileException);
    CFile::SetFaultHook(nullptr);
    EXPECT_EQ(f.GetLength(), 0u);
}

TEST(FileSystemTest, SafeCopyReplacesTheTargetWholeAndKeepsItOnFailure) {
    CTempDir dir;
    std::string from = dir.File("from"), to = dir.File("to");
    WriteFileBytes(from, {1, 2, 3});
    WriteFileBytes(to, {9});
    CFile::SetFaultHook([](CFile::Op op, const std::string&) {
        if (op == CFile::Op::Rename)
            throw CFileException(CFileException::hardIO, "");
    });
    EXPECT_FALSE(fs_util::SafeCopyFile(from, to));
    CFile::SetFaultHook(nullptr);
    EXPECT_EQ(ReadFileBytes(to), std::vector<BYTE>{9});
    EXPECT_TRUE(fs_util::SafeCopyFile(from, to));
    EXPECT_EQ(ReadFileBytes(to), (std::vector<BYTE>{1, 2, 3}));

    std::string tmp;
    ASSERT_TRUE(fs_util::GetTempFileName(dir.Path() + "/", "NOTA", tmp));
    EXPECT_EQ(tmp.rfind(dir.Path() + "/NOTA", 0), 0u);
    EXPECT_TRUE(fs_util::FileExists(tmp));
}
