// The files that hand items to another instance: the record's strict form, the checks that
// make a file someone else placed, changed or linked fall back instead of being read, and the
// clean-up that removes only the files of processes that are gone.

#include "platform/ItemsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using itemsfile::ReadResult;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spill(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A pid that ran a moment ago and is gone now.
long DeadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

std::string NameFor(long pid, const char* rest = "-1-0123456789abcdef") {
    return "notarium-items-" + std::to_string(pid) + rest;
}

class ItemsFileTest : public ::testing::Test {
protected:
    CTempDir dir;
    const std::string payload = std::string("\x08\x00\x02\x00x\x00", 6) + "text bytes";

    // Writes the payload the way a sending instance does; its record.
    itemsfile::CRecord Send() {
        std::string name;
        EXPECT_TRUE(itemsfile::WriteFile(dir.Path(), payload.data(), payload.size(), name));
        return {itemsfile::BootId(), payload.size(), name};
    }
    ReadResult Receive(const itemsfile::CRecord& record, itemsfile::CBuffer& out) {
        return itemsfile::ReadFile(dir.Path(), record, out);
    }
};

} // namespace

TEST_F(ItemsFileTest, ARecordSurvivesItsTextAndTheFileHoldsExactlyThePayload) {
    const itemsfile::CRecord sent = Send();
    itemsfile::CRecord got;
    ASSERT_TRUE(itemsfile::DecodeRecord(itemsfile::EncodeRecord(sent), got));
    EXPECT_EQ(got.bootId, sent.bootId);
    EXPECT_EQ(got.size, payload.size());
    EXPECT_EQ(got.name, sent.name);

    long pid = 0;
    ASSERT_TRUE(itemsfile::ParseFileName(got.name, pid));
    EXPECT_EQ(pid, static_cast<long>(::getpid()));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File(got.name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Slurp(dir.File(got.name)), payload);

    itemsfile::CBuffer buffer;
    ASSERT_EQ(Receive(got, buffer), ReadResult::Ok);
    ASSERT_EQ(buffer.size, payload.size());
    EXPECT_EQ(std::memcmp(buffer.bytes.get(), payload.data(), payload.size()), 0);

    // Every write is a file of its own, and removing it is final.
    const itemsfile::CRecord second = Send();
    EXPECT_NE(second.name, sent.name);
    EXPECT_TRUE(itemsfile::RemoveFile(dir.Path(), sent.name));
    EXPECT_FALSE(std::filesystem::exists(dir.File(sent.name)));
    EXPECT_TRUE(itemsfile::RemoveFile(dir.Path(), sent.name)); // already gone is gone
}

TEST_F(ItemsFileTest, OnlyRecordsOfTheExactFormAreAccepted) {
    const std::string boot = itemsfile::BootId();
    const std::string name = NameFor(42);
    const std::string good = "NotariumItemsFile 1 " + boot + " 17 " + name;
    itemsfile::CRecord record;
    ASSERT_TRUE(itemsfile::DecodeRecord(good, record));
    EXPECT_EQ(record.size, 17u);

    const std::string bad[] = {
        "",
        "NotariumItemsFile 2 " + boot + " 17 " + name,                   // a later version
        "OtherProgramFile 1 " + boot + " 17 " + name,                    // someone else's
        "NotariumItemsFile 1 " + boot + " 17 /etc/" + name,              // a path
        "NotariumItemsFile 1 " + boot + " 17 ../" + name,                // out of the directory
        "NotariumItemsFile 1 " + boot + " 17 " + name + "/x",            // below it
        "NotariumItemsFile 1 " + boot + " 17 " + name + " ",             // trailing space
        "NotariumItemsFile 1 " + boot + "  17 " + name,                  // two spaces
        "NotariumItemsFile 1 " + boot + " -17 " + name,                  // a sign
        "NotariumItemsFile 1 " + boot + " 017 " + name,                  // a leading zero
        "NotariumItemsFile 1 " + boot + " 18446744073709551616 " + name, // past 64 bits
        "NotariumItemsFile 1 b00t/id 17 " + name, // a boot id of odd characters
        "NotariumItemsFile 1 " + boot + " 17 " + name + std::string(300, 'f'),
        std::string("NotariumItemsFile 1 ") + boot + " 17 " + name + std::string(1, '\0'),
    };
    for (const std::string& text : bad)
        EXPECT_FALSE(itemsfile::DecodeRecord(text, record)) << text;

    long pid = 0;
    const char* badNames[] = {
        "notarium-items-",
        "notarium-items-0-1-0123456789abcdef",           // no process 0
        "notarium-items-12-1-0123456789ABCDEF",          // upper-case digits
        "notarium-items-12-1-0123456789abcde",           // one digit short
        "notarium-items-12-1-0123456789abcdef0",         // one too many
        "notarium-items-99999999999-1-0123456789abcdef", // past any pid
        "notarium-items-12-1-0123456789abcdef.tmp",
        "notarium-items-+12-1-0123456789abcdef",
    };
    for (const char* n : badNames)
        EXPECT_FALSE(itemsfile::ParseFileName(n, pid)) << n;
}

TEST_F(ItemsFileTest, AFileThatIsMissingOrOfAnotherSizeIsNotRead) {
    itemsfile::CBuffer buffer;
    itemsfile::CRecord record = Send();
    ::unlink(dir.File(record.name).c_str());
    EXPECT_EQ(Receive(record, buffer), ReadResult::CannotOpen);

    record = Send();
    Spill(dir.File(record.name), payload.substr(0, payload.size() - 1)); // shorter
    EXPECT_EQ(Receive(record, buffer), ReadResult::WrongSize);
    Spill(dir.File(record.name), payload + "x"); // longer
    EXPECT_EQ(Receive(record, buffer), ReadResult::WrongSize);
    Spill(dir.File(record.name), ""); // empty, and a record that says so
    record.size = 0;
    EXPECT_EQ(Receive(record, buffer), ReadResult::WrongSize);

    record = Send();
    record.bootId = "00000000-0000-0000-0000-000000000000"; // written on another machine
    EXPECT_EQ(Receive(record, buffer), ReadResult::OtherMachine);
    EXPECT_EQ(buffer.bytes, nullptr);
}

TEST_F(ItemsFileTest, LinksFifosDirectoriesAndOtherUsersFilesAreNotRead) {
    itemsfile::CBuffer buffer;
    // A link of our name to a file of the right size: never followed.
    const std::string target = dir.File("elsewhere");
    Spill(target, payload);
    const std::string linkName = NameFor(::getpid(), "-7-00000000000000aa");
    ASSERT_EQ(::symlink(target.c_str(), dir.File(linkName).c_str()), 0);
    EXPECT_EQ(Receive({itemsfile::BootId(), payload.size(), linkName}, buffer),
              ReadResult::CannotOpen);

    // A FIFO would block a plain open until someone writes.
    const std::string fifoName = NameFor(::getpid(), "-8-00000000000000bb");
    ASSERT_EQ(::mkfifo(dir.File(fifoName).c_str(), 0600), 0);
    EXPECT_EQ(Receive({itemsfile::BootId(), payload.size(), fifoName}, buffer),
              ReadResult::NotRegular);

    const std::string dirName = NameFor(::getpid(), "-9-00000000000000cc");
    ASSERT_EQ(::mkdir(dir.File(dirName).c_str(), 0700), 0);
    EXPECT_EQ(Receive({itemsfile::BootId(), payload.size(), dirName}, buffer),
              ReadResult::NotRegular);

    // A name that is not ours, even of a file that is there.
    EXPECT_EQ(Receive({itemsfile::BootId(), payload.size(), "elsewhere"}, buffer),
              ReadResult::CannotOpen);

    if (::geteuid() == 0) { // only the superuser can give a file away
        const itemsfile::CRecord record = Send();
        ASSERT_EQ(::chown(dir.File(record.name).c_str(), 65534, 65534), 0);
        EXPECT_EQ(Receive(record, buffer), ReadResult::NotOwner);
    }
    EXPECT_EQ(buffer.bytes, nullptr);
}

TEST_F(ItemsFileTest, StaleFilesOfDeadProcessesAreRemovedAndNothingElse) {
    const long dead = DeadPid();
    const std::string deadFile = NameFor(dead);
    const std::string liveFile = NameFor(static_cast<long>(::getppid()));
    const std::string ownFile = NameFor(static_cast<long>(::getpid()));
    const std::string notOurs = "notarium-items-" + std::to_string(dead) + ".txt";
    for (const std::string& name : {deadFile, liveFile, ownFile, notOurs})
        Spill(dir.File(name), "x");

    EXPECT_EQ(itemsfile::RemoveStaleFiles(dir.Path(), false), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File(deadFile)));
    EXPECT_TRUE(std::filesystem::exists(dir.File(liveFile)));
    EXPECT_TRUE(std::filesystem::exists(dir.File(ownFile)));
    EXPECT_TRUE(std::filesystem::exists(dir.File(notOurs)));

    // At start-up files of this pid cannot be this process's: a dead one's whose pid came back.
    EXPECT_EQ(itemsfile::RemoveStaleFiles(dir.Path(), true), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File(ownFile)));
    EXPECT_TRUE(std::filesystem::exists(dir.File(liveFile)));
    EXPECT_EQ(itemsfile::RemoveStaleFiles(dir.File("missing"), true), 0);
}
