// Files that cannot be written can still be read: a database without write permission, in a
// folder that cannot be written, is listed, read, searched, checked and exported; a change
// fails with the access message and leaves it as it was. Run as a user without the right to
// write (root writes anyway): a child process that gives up root first.
#include "app/NotariumDoc.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "store/Journal.h"
#include "support/CrashSim.h"
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

// Runs nota as a user who may not write the test's files: `nobody` when this is root.
Outcome NotaWithoutWrite(const std::vector<std::string>& words) {
    if (::geteuid() != 0)
        return Nota(words);
    int pipes[2][2];
    if (::pipe(pipes[0]) != 0 || ::pipe(pipes[1]) != 0)
        return {-1, "", "pipe"};
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(99);
        Outcome o = Nota(words);
        (void)!::write(pipes[0][1], o.out.data(), o.out.size());
        (void)!::write(pipes[1][1], o.err.data(), o.err.size());
        ::_exit(o.status);
    }
    ::close(pipes[0][1]);
    ::close(pipes[1][1]);
    auto drain = [](int fd) {
        std::string s;
        char buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
            s.append(buf, static_cast<std::size_t>(n));
        ::close(fd);
        return s;
    };
    Outcome o{0, drain(pipes[0][0]), drain(pipes[1][0])};
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

class ReadOnlyTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string folder = dir.File("ro");
    std::string db = folder + "/notes.Nota";
    std::string out = dir.File("out");

    void SetUp() override {
        std::filesystem::create_directory(folder);
        ASSERT_EQ(Nota({"new", db}).status, 0);
        ASSERT_EQ(Nota({"add", db, "Notarium/Recipes", "--folder"}).status, 0);
        ASSERT_EQ(Nota({"add", db, "Notarium/Recipes/Pie"}).status, 0);
        ASSERT_EQ(Nota({"put", db, "Notarium/Recipes/Pie"}, "apples\n").status, 0);
        std::filesystem::create_directory(out);
        ::chmod(dir.Path().c_str(), 0755);
        ::chmod(out.c_str(), 0777); // the export goes here
    }
    void TearDown() override {
        ::chmod(folder.c_str(), 0755);
        ::chmod(db.c_str(), 0644);
    }
    // Every reading command works; a change is refused with the access message.
    void ReadsButNoChange(const std::string& refusal) {
        const std::vector<BYTE> before = ReadFileBytes(db);
        Outcome tree = NotaWithoutWrite({"tree", db});
        EXPECT_EQ(tree.status, 0) << tree.err;
        EXPECT_NE(tree.out.find("Pie"), std::string::npos);
        Outcome cat = NotaWithoutWrite({"cat", db, "Notarium/Recipes/Pie"});
        EXPECT_EQ(cat.status, 0) << cat.err;
        EXPECT_NE(cat.out.find("apples"), std::string::npos);
        Outcome find = NotaWithoutWrite({"find", db, "APPLES"});
        EXPECT_EQ(find.status, 0) << find.err;
        EXPECT_EQ(find.out, "Notarium/Recipes/Pie\n");
        Outcome check = NotaWithoutWrite({"check", db});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        Outcome ex = NotaWithoutWrite({"export", db, out + "/all"});
        EXPECT_EQ(ex.status, 0) << ex.err;
        EXPECT_TRUE(std::filesystem::exists(out + "/all/Recipes/Pie.txt"));
        std::filesystem::remove_all(out + "/all");

        Outcome put = NotaWithoutWrite({"put", db, "Notarium/Recipes/Pie"});
        EXPECT_EQ(put.status, 1);
        EXPECT_NE(put.err.find(refusal), std::string::npos) << put.err;
        Outcome mark = NotaWithoutWrite({"find", db, "apples", "--mark"});
        EXPECT_EQ(mark.status, 2);
        EXPECT_EQ(ReadFileBytes(db), before);
        EXPECT_FALSE(std::filesystem::exists(journal::PathFor(db)));
    }
};

} // namespace

TEST_F(ReadOnlyTest, AFileWithoutWritePermissionIsReadButNotChanged) {
    ::chmod(db.c_str(), 0444);
    ReadsButNoChange(CFileException(CFileException::accessDenied, db).GetErrorMessage());
}

TEST_F(ReadOnlyTest, AFileInAFolderThatCannotBeWrittenIsReadButNotChanged) {
    ::chmod(db.c_str(), 0666);
    ::chmod(folder.c_str(), 0555); // no journal can be made beside it
    ReadsButNoChange(CFileException(CFileException::accessDenied, db).GetErrorMessage());
}

// A change a stopped writer left unfinished: a reader that cannot roll it back stops rather
// than show a half-written state; one that can write rolls it back and says so.
TEST_F(ReadOnlyTest, AnUnfinishedChangeStopsAReaderThatCannotRollItBack) {
    const std::vector<BYTE> before = ReadFileBytes(db);
    // The first stop that leaves the journal on the disk and the data file changed.
    for (int n = 1; n < 40; ++n) {
        CCrashSim sim;
        sim.Arm(n);
        Nota({"put", db, "Notarium/Recipes/Pie"}, std::string(3000, 'p'));
        ASSERT_TRUE(sim.Crashed());
        sim.Disarm();
        if (std::filesystem::exists(journal::PathFor(db)) && ReadFileBytes(db) != before)
            break;
        WriteFileBytes(db, before);
        std::filesystem::remove(journal::PathFor(db));
    }
    ASSERT_TRUE(std::filesystem::exists(journal::PathFor(db)));
    ASSERT_NE(ReadFileBytes(db), before);
    ::chmod(db.c_str(), 0444);
    Outcome tree = NotaWithoutWrite({"tree", db});
    EXPECT_EQ(tree.status, 1);
    EXPECT_EQ(tree.out, "");
    EXPECT_NE(tree.err.find(Format(str::kNeedsRollback, db)), std::string::npos) << tree.err;
    Outcome check = NotaWithoutWrite({"check", db});
    EXPECT_NE(check.status, 0);

    ::chmod(db.c_str(), 0644);
    Outcome again = Nota({"cat", db, "Notarium/Recipes/Pie"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("apples"), std::string::npos);
    EXPECT_NE(again.err.find(Format(str::kRolledBack, db)), std::string::npos) << again.err;
    EXPECT_EQ(ReadFileBytes(db), before);
}
