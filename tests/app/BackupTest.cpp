#include "app/Backup.h"
#include "app/ItemPath.h"
#include "platform/FileSystem.h"
#include "support/DocFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Every file under a folder with its bytes, so that a test sees anything written anywhere.
std::map<std::string, std::vector<BYTE>> Snapshot(const std::string& root,
                                                  const std::string& except = "") {
    std::map<std::string, std::vector<BYTE>> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && (except.empty() || e.path().string().rfind(except, 0) != 0))
            files[e.path().string()] = ReadFileBytes(e.path().string());
    return files;
}

std::time_t Utc(int year, int month, int day, int hour = 3) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    return ::timegm(&tm);
}

class BackupTest : public DocFixture {
protected:
    std::string folder = dir.File("backups") + "/";
    backup::Options options;

    void SetUp() override {
        CreateAndOpen();
        HTREEITEM notes = Add(Root(), "Notes", true);
        SetText(Add(notes, "alpha", false), "the first text\r\n");
        SetText(Add(notes, "beta", false), std::string(3000, 'b'));
        Add(Root(), "empty", false);
        options.folder = folder;
        options.now = Utc(2026, 12, 8, 6);
    }
    void TearDown() override { CFile::SetFaultHook(nullptr); }

    // Spoils the first block of an item's text behind the document's back (a length field
    // over the block's size), as a failing disk sector would.
    void DamageOnDisk(const std::string& file, DWORD chain) {
        int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const BYTE bad[2] = {0xFF, 0xFF};
        ASSERT_EQ(::pwrite(fd, bad, 2, chain + 4), 2);
        ::close(fd);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        if (fs::exists(folder))
            for (const auto& e : fs::directory_iterator(folder))
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST(BackupNames, FolderPerFileAndTimeNamesRoundTrip) {
    CTempDir dir;
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(backup::RootFolder(), dir.Path() + "/Notarium/backups/");
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(backup::RootFolder(), dir.Path() + "/.local/share/Notarium/backups/");

    // Two files of one name in different folders get folders of their own, stable per path.
    std::string a = backup::FolderFor("/home/u/a/notes.Nota", "/r");
    std::string b = backup::FolderFor("/home/u/b/notes.Nota", "/r/");
    EXPECT_EQ(a.rfind("/r/notes.Nota-", 0), 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, backup::FolderFor("/home/u/a/../a/notes.Nota", "/r"));

    std::time_t t = Utc(2026, 3, 1, 23);
    EXPECT_EQ(backup::NameFor(t), "20260301T230000Z.Nota");
    EXPECT_EQ(backup::NameFor(t, 3), "20260301T230000Z-3.Nota");
    std::time_t back = 0;
    EXPECT_TRUE(backup::ParseName("20260301T230000Z-3.Nota", back));
    EXPECT_EQ(back, t);
    for (const char* other :
         {"NOTABAK1234ABCD.tmp", "20260301T230000Z.Nota.tmp", "20261301T000000Z.Nota",
          "20260301T230000Z-.Nota", "20260301T230000.Nota", "x.Nota"})
        EXPECT_FALSE(backup::ParseName(other, back)) << other;
}

TEST_F(BackupTest, BackupIsTheFileByteForByteAndNothingElseIsWritten) {
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    options.folder.clear(); // the user's data folder
    auto before = Snapshot(dir.Path());
    backup::Result r = backup::BackUpDocument(doc, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made) << r.message;
    EXPECT_EQ(r.path, backup::FolderFor(path) + "20261208T060000Z.Nota");
    EXPECT_EQ(ReadFileBytes(r.path), ReadFileBytes(path));
    // Only the backup is new, and its folder is private.
    std::string home = dir.File("data") + "/Notarium/backups/";
    EXPECT_EQ(Snapshot(dir.Path(), home), before);
    EXPECT_EQ(Snapshot(home).size(), 1u);
    EXPECT_EQ(fs::status(backup::FolderFor(path)).permissions() & fs::perms::all,
              fs::perms::owner_all);

    std::vector<backup::Entry> list = backup::List(backup::FolderFor(path), true);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].time, options.now);
    EXPECT_EQ(list[0].size, ReadFileBytes(path).size());
    EXPECT_TRUE(list[0].bSound);
    EXPECT_EQ(list[0].nItems, tree.GetCount());

    // Two in one second: both kept, the second with a suffix.
    backup::Result second = backup::BackUpDocument(doc, options);
    ASSERT_EQ(second.outcome, backup::Outcome::Made) << second.message;
    EXPECT_EQ(fs_util::FileNameOf(second.path), "20261208T060000Z-2.Nota");
}

TEST_F(BackupTest, NoBackupWhileAnOperationIsOpenThenTheCommittedState) {
    std::vector<BYTE> committed = ReadFileBytes(path);
    doc.Store().BeginOperation();
    HTREEITEM gamma = Add(Root(), "gamma", false);
    SetText(gamma, "written inside the operation");
    backup::Result busy = backup::BackUpDocument(doc, options);
    EXPECT_EQ(busy.outcome, backup::Outcome::Skipped);
    EXPECT_TRUE(Names().empty());
    doc.Store().CommitOperation();
    EXPECT_NE(ReadFileBytes(path), committed);

    backup::Result r = backup::BackUpDocument(doc, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made) << r.message;
    EXPECT_EQ(ReadFileBytes(r.path), ReadFileBytes(path));
}

TEST_F(BackupTest, CheckOnAnotherThreadWhileTheDocumentChanges) {
    std::vector<BYTE> atCopy = ReadFileBytes(path);
    backup::CBackupJob job(options);
    ASSERT_EQ(job.Copy(doc).outcome, backup::Outcome::Made);
    backup::Result r;
    std::thread finish([&] { r = job.Finish(); });
    HTREEITEM alpha = Child(Child(Root(), "Notes"), "alpha");
    for (int i = 0; i < 20; ++i)
        SetText(alpha, std::string(700 * i, 'a'));
    Add(Root(), "later", true);
    finish.join();
    ASSERT_EQ(r.outcome, backup::Outcome::Made) << r.message;
    EXPECT_EQ(ReadFileBytes(r.path), atCopy);
    EXPECT_NE(ReadFileBytes(path), atCopy);

    // A job given up after its copy leaves nothing.
    {
        backup::CBackupJob dropped(options);
        ASSERT_EQ(dropped.Copy(doc).outcome, backup::Outcome::Made);
    }
    EXPECT_EQ(Names(), std::vector<std::string>{fs_util::FileNameOf(r.path)});
}

TEST_F(BackupTest, CopyOnAnotherThreadCountsOnlyWhenNothingWroteMeanwhile) {
    // A change between the start and the end of the copy: the copy may mix two states and
    // must not become a backup.
    {
        backup::CBackupJob job(options);
        ASSERT_EQ(job.Start(doc).outcome, backup::Outcome::Made);
        EXPECT_TRUE(job.IsCurrent(doc));
        std::thread copy([&] { EXPECT_EQ(job.CopyData().outcome, backup::Outcome::Made); });
        SetText(Child(Child(Root(), "Notes"), "alpha"), "changed during the copy");
        copy.join();
        EXPECT_FALSE(job.IsCurrent(doc));
    }
    EXPECT_TRUE(Names().empty());
    // An operation still open at the end counts as a change too.
    {
        backup::CBackupJob job(options);
        ASSERT_EQ(job.Start(doc).outcome, backup::Outcome::Made);
        ASSERT_EQ(job.CopyData().outcome, backup::Outcome::Made);
        doc.Store().BeginOperation();
        EXPECT_FALSE(job.IsCurrent(doc));
        doc.Store().CommitOperation();
    }
    // The same file closed and opened again is not the state copied either.
    {
        backup::CBackupJob job(options);
        ASSERT_EQ(job.Start(doc).outcome, backup::Outcome::Made);
        Reopen();
        ASSERT_EQ(job.CopyData().outcome, backup::Outcome::Made);
        EXPECT_FALSE(job.IsCurrent(doc));
    }
    // Stopped in the middle: nothing stays.
    {
        std::atomic<bool> stop{true};
        backup::CBackupJob job(options);
        ASSERT_EQ(job.Start(doc).outcome, backup::Outcome::Made);
        // (A file system that clones copies at once, before any stop is looked at.)
        const backup::Outcome stopped = job.CopyData(&stop).outcome;
        EXPECT_TRUE(stopped == backup::Outcome::Skipped || stopped == backup::Outcome::Made);
    }
    EXPECT_TRUE(Names().empty());
    // Undisturbed: the copy is the file, and it goes on to become a checked backup.
    backup::CBackupJob job(options);
    ASSERT_EQ(job.Start(doc).outcome, backup::Outcome::Made);
    std::thread copy([&] { EXPECT_EQ(job.CopyData().outcome, backup::Outcome::Made); });
    copy.join();
    EXPECT_TRUE(job.IsCurrent(doc));
    backup::Result r = job.Finish();
    ASSERT_EQ(r.outcome, backup::Outcome::Made) << r.message;
    EXPECT_EQ(ReadFileBytes(r.path), ReadFileBytes(path));
}

TEST_F(BackupTest, DamagedBackupIsRefusedAndRemoved) {
    DamageOnDisk(path, Chain(Child(Child(Root(), "Notes"), "beta")));
    backup::Result r = backup::BackUpDocument(doc, options);
    EXPECT_EQ(r.outcome, backup::Outcome::Damaged);
    EXPECT_NE(r.message.find("failed its check"), std::string::npos) << r.message;
    EXPECT_TRUE(Names().empty()); // neither the backup nor its work file
}

TEST_F(BackupTest, DiskGuardKeepsTwiceTheFileFree) {
    const std::uint64_t size = ReadFileBytes(path).size();
    std::uint64_t available = 3 * size - 1;
    options.freeSpace = [&](const std::string&, std::uint64_t& free) {
        free = available;
        return true;
    };
    backup::Result r = backup::BackUpDocument(doc, options);
    EXPECT_EQ(r.outcome, backup::Outcome::Skipped);
    EXPECT_NE(r.message.find("twice the file's size"), std::string::npos) << r.message;
    EXPECT_TRUE(Names().empty());
    available = size / 2; // less than the file itself
    EXPECT_EQ(backup::BackUpDocument(doc, options).outcome, backup::Outcome::Skipped);
    available = 3 * size;
    EXPECT_EQ(backup::BackUpDocument(doc, options).outcome, backup::Outcome::Made);
}

TEST_F(BackupTest, StopInTheMiddleLeavesNoBackupThatCounts) {
    // A failure while copying and one at the rename: nothing counts, nothing stays.
    for (CFile::Op stop : {CFile::Op::Copy, CFile::Op::Rename}) {
        CFile::SetFaultHook([stop](CFile::Op op, const std::string&) {
            if (op == stop)
                throw CFileException(CFileException::hardIO, "stop");
        });
        EXPECT_EQ(backup::BackUpDocument(doc, options).outcome, backup::Outcome::Failed);
        CFile::SetFaultHook(nullptr);
        EXPECT_TRUE(Names().empty());
    }
    // A killed run leaves its work file (here: half a file). It is not a backup, and the next
    // backup reuses it.
    backup::Result r = backup::BackUpDocument(doc, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made);
    std::vector<BYTE> bytes = ReadFileBytes(r.path);
    ASSERT_TRUE(fs_util::DeleteFile(r.path));
    std::string work = fs_util::WorkFilePath(folder + "backup", "NOTABAK");
    WriteFileBytes(work, std::vector<BYTE>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    EXPECT_TRUE(backup::List(folder, true).empty());
    options.now += 60;
    r = backup::BackUpDocument(doc, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made);
    EXPECT_EQ(Names(), std::vector<std::string>{"20261208T060100Z.Nota"});
}

TEST_F(BackupTest, RotationOverAYearOfDailyBackupsKeepsThePromisedSet) {
    for (std::time_t t = Utc(2025, 1, 1); t <= Utc(2025, 12, 31); t += 86400) {
        options.now = t;
        ASSERT_EQ(backup::BackUpDocument(doc, options).outcome, backup::Outcome::Made);
    }
    std::set<std::string> expected;
    for (int day = 25; day <= 31; ++day) // the last 7 days
        expected.insert(backup::NameFor(Utc(2025, 12, day)));
    // Weeks (Monday to Sunday) of 29 Dec, 22 Dec, 15 Dec and 8 Dec: their newest.
    for (int day : {21, 14})
        expected.insert(backup::NameFor(Utc(2025, 12, day)));
    // The last day of each of the last 6 months.
    for (auto [month, day] : {std::pair{11, 30}, {10, 31}, {9, 30}, {8, 31}, {7, 31}})
        expected.insert(backup::NameFor(Utc(2025, month, day)));
    std::vector<std::string> names = Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
}

TEST(BackupRotation, TheNewestSoundBackupAlwaysStays) {
    std::vector<std::time_t> times = {Utc(2026, 1, 1), Utc(2026, 1, 2), Utc(2026, 1, 3)};
    backup::Retention none{0, 0, 0};
    EXPECT_EQ(backup::SelectKept(times, none, {true, true, false}),
              (std::vector<bool>{false, true, false}));
    EXPECT_EQ(backup::SelectKept(times, none), (std::vector<bool>{false, false, false}));
    // Several in a day: the day's newest counts for it.
    std::vector<std::time_t> sameDay = {Utc(2026, 1, 1, 9), Utc(2026, 1, 1, 18),
                                        Utc(2026, 1, 1, 1)};
    EXPECT_EQ(backup::SelectKept(sameDay, {1, 0, 0}), (std::vector<bool>{false, true, false}));
}

TEST_F(BackupTest, RestoreWholeFileNeverReplacesAnything) {
    backup::Result r = backup::BackUpDocument(doc, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made);
    std::string error;
    std::string target = dir.File("restored.Nota");
    ASSERT_TRUE(backup::RestoreFile(r.path, target, error)) << error;
    EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(r.path));

    // An existing target (the open file itself, or anything else) stays as it was.
    std::vector<BYTE> original = ReadFileBytes(path);
    EXPECT_FALSE(backup::RestoreFile(r.path, path, error));
    EXPECT_EQ(error, path + " already exists.");
    EXPECT_EQ(ReadFileBytes(path), original);

    // A backup damaged since it was made is not restored.
    DamageOnDisk(r.path, Chain(Child(Child(Root(), "Notes"), "beta")));
    std::string second = dir.File("second.Nota");
    EXPECT_FALSE(backup::RestoreFile(r.path, second, error));
    EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
    EXPECT_FALSE(fs_util::FileExists(second));
    // Only the file (with its journal while open), the backup and the first restore.
    std::set<std::string> names;
    for (const auto& [file, bytes] : Snapshot(dir.Path()))
        names.insert(file);
    EXPECT_EQ(names, (std::set<std::string>{path, path + "-journal", r.path, target}));
}

TEST_F(BackupTest, RestoreOneItemIntoTheOpenFile) {
    backup::Result r = backup::BackUpDocument(doc, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made);
    std::vector<BYTE> backupBytes = ReadFileBytes(r.path);
    ASSERT_TRUE(doc.DeleteItem(Child(Root(), "Notes"))); // the mistake the backup undoes
    HTREEITEM target = Add(Root(), "Target", true);

    CRecordingUi backupUi;
    CAppSettings backupSettings;
    CNotariumDoc old(backupUi, backupSettings);
    ASSERT_TRUE(old.OnOpenDocument(r.path));
    ASSERT_TRUE(old.ReloadTree());
    HTREEITEM notes = itempath::Find(old.Tree(), "Notarium/Notes");
    ASSERT_NE(notes, nullptr);
    HTREEITEM copy = backup::RestoreItem(old, notes, doc, target);
    ASSERT_NE(copy, nullptr);
    old.DeleteContents();

    Reopen();
    HTREEITEM restored = itempath::Find(tree, "Notarium/Target/Notes");
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(Titles(restored), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(GetText(Child(restored, "beta")), std::string(3000, 'b'));
    EXPECT_EQ(ReadFileBytes(r.path), backupBytes); // the backup is only read
}

TEST_F(BackupTest, ClosedFileTakesItsLock) {
    backup::Result held = backup::BackUpFile(path, ui, options);
    EXPECT_EQ(held.outcome, backup::Outcome::Failed); // the open document holds the lock
    doc.DeleteContents();
    CRecordingUi quiet;
    backup::Result r = backup::BackUpFile(path, quiet, options);
    ASSERT_EQ(r.outcome, backup::Outcome::Made) << r.message;
    EXPECT_EQ(ReadFileBytes(r.path), ReadFileBytes(path));
}

} // namespace
