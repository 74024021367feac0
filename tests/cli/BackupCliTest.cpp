// `nota backup`, `nota backups` and `nota restore` as a user runs them.
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

class BackupCliTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string db = dir.File("cli.Nota");
    std::string folder = dir.File("bk");
    void SetUp() override {
        ASSERT_EQ(Nota({"new", db}).status, 0);
        ASSERT_EQ(Nota({"add", db, "Notarium/Memo"}).status, 0);
        ASSERT_EQ(Nota({"put", db, "Notarium/Memo"}, "line 1\n").status, 0);
    }
};

TEST_F(BackupCliTest, BackupListAndRestore) {
    Outcome made = Nota({"backup", db, folder});
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_EQ(made.out.rfind(folder + "/", 0), 0u) << made.out;
    std::string backupPath = made.out.substr(0, made.out.size() - 1);
    EXPECT_EQ(ReadFileBytes(backupPath), ReadFileBytes(db));

    // One line: time, size, items, path.
    Outcome list = Nota({"backups", db, folder});
    ASSERT_EQ(list.status, 0) << list.err;
    std::istringstream line(list.out);
    std::string date, time, utc, size, items, path;
    line >> date >> time >> utc >> size >> items >> path;
    EXPECT_EQ(utc, "UTC");
    EXPECT_EQ(size, std::to_string(ReadFileBytes(db).size()));
    EXPECT_EQ(items, "2");
    EXPECT_EQ(path, backupPath);

    // Restore: a new file only.
    ASSERT_EQ(Nota({"put", db, "Notarium/Memo"}, "changed\n").status, 0);
    std::string target = dir.File("back.Nota");
    Outcome restored = Nota({"restore", backupPath, target});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(Nota({"cat", target, "Notarium/Memo"}).out, "line 1\n");
    Outcome refused = Nota({"restore", backupPath, db});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, db + " already exists.\n");
    EXPECT_EQ(Nota({"cat", db, "Notarium/Memo"}).out, "changed\n");
}

TEST_F(BackupCliTest, DefaultFolderAndFailures) {
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    Outcome made = Nota({"backup", db});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out.rfind(dir.File("data") + "/Notarium/backups/cli.Nota-", 0), 0u);
    EXPECT_NE(Nota({"backups", db}).out.find(made.out.substr(0, made.out.size() - 1)),
              std::string::npos);

    Outcome missing = Nota({"backup", dir.File("none.Nota"), folder});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("none.Nota"), std::string::npos);
    EXPECT_EQ(Nota({"backups", dir.File("none.Nota"), folder}).out, "");
    EXPECT_EQ(Nota({"restore", dir.File("none.Nota"), dir.File("t.Nota")}).status, 1);
    EXPECT_EQ(Nota({"restore", db}).status, 2);
}

} // namespace
