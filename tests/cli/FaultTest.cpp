// The ways a data file used to lose committed texts, each met once: a stop in the middle of
// a tree rewrite, a full disk, frees before the tree that drops them, a failed save over a
// text, a target or data file that another process holds or that loses its name, a partial
// block at the end, a tree chain that links back into itself, and the small ones.

#include "app/NotariumDoc.h"
#include "cli/Commands.h"
#include "cli/ConsoleUi.h"
#include "cli/Session.h"
#include "platform/File.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "store/TreeStream.h"
#include "support/DataDump.h"
#include "support/FileBuilder.h"
#include "support/RecordingUi.h"
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace nota;

namespace {

// Stops the process's file work at the n-th change (write, length, flush, rename, remove) as
// a kill does: that change and every later one (opening included) fail, so the disk stays
// as it was at that moment.
class CKill {
public:
    explicit CKill(int stopAt) {
        CFile::SetFaultHook([this, stopAt](CFile::Op op, const std::string& path) {
            bool counts = op == CFile::Op::Write || op == CFile::Op::SetLength ||
                          op == CFile::Op::Flush || op == CFile::Op::Rename ||
                          op == CFile::Op::Remove;
            if (m_bDead || (counts && ++m_nSteps == stopAt)) {
                m_bDead = true;
                throw CFileException(CFileException::hardIO, path);
            }
        });
    }
    ~CKill() { CFile::SetFaultHook(nullptr); }
    int Steps() const { return m_nSteps; }

private:
    int m_nSteps = 0;
    bool m_bDead = false;
};

// A full disk from the n-th write on.
class CFullDisk {
public:
    explicit CFullDisk(int fromWrite) {
        CFile::SetFaultHook([this, fromWrite](CFile::Op op, const std::string& path) {
            if (op == CFile::Op::Write && ++m_nWrites >= fromWrite)
                throw CFileException(CFileException::diskFull, path);
        });
    }
    ~CFullDisk() { CFile::SetFaultHook(nullptr); }
    int Writes() const { return m_nWrites; }

private:
    int m_nWrites = 0;
};

std::string Text(std::size_t n, char c) {
    std::string s(n, c);
    for (std::size_t i = 0; i < n; i += 37)
        s[i] = static_cast<char>('A' + i % 26);
    return s;
}

std::uint64_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

int CountFiles(const std::string& dir, const std::string& prefix) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            ++n;
    return n;
}

class FaultTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string db = dir.File("f.Nota");
    std::string copy = dir.File("pristine.Nota");

    void SetUp() override { ASSERT_EQ(Nota({"new", db}).status, 0); }
    void Save() {
        std::filesystem::copy_file(db, copy, std::filesystem::copy_options::overwrite_existing);
    }
    void Restore() {
        std::filesystem::copy_file(copy, db, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(db + "-journal");
    }
    // Enough items for a tree stream of `blocks` blocks, and a text over three blocks.
    void Populate(int blocks) {
        for (int i = 0; Serialized() < static_cast<std::size_t>(blocks - 1) * 506 + 100; ++i)
            ASSERT_EQ(Nota({"add", db, "Notarium/Item number " + std::to_string(1000 + i)}).status,
                      0);
        ASSERT_EQ(Nota({"put", db, "Notarium/Item number 1000"}, Text(1400, 'm')).status, 0);
    }
    std::size_t Serialized() {
        std::ostringstream err;
        CCliSession s(err);
        EXPECT_TRUE(s.Open(db));
        return treestream::Serialize(s.m_tree).size();
    }
};

} // namespace

// 1: a kill in the middle of a tree rewrite used to leave the tree stream torn.
TEST_F(FaultTest, AKillDuringATreeRewriteLeavesTheTreeReadable) {
    Populate(4);
    Save();
    const std::string before = DumpDataFile(db);
    for (int stop = 1; stop <= 12; ++stop) {
        SCOPED_TRACE(stop);
        Restore();
        {
            CKill kill(stop);
            Nota({"add", db, "Notarium/A"}); // sorts first: every later byte moves
        }
        EXPECT_EQ(Nota({"tree", db}).status, 0);
        Outcome cat = Nota({"cat", db, "Notarium/Item number 1000"});
        EXPECT_EQ(cat.status, 0) << cat.err;
        EXPECT_EQ(cat.out, Text(1400, 'm'));
        std::string now = DumpDataFile(db);
        EXPECT_TRUE(now == before || now.find("1 8 A = \n") != std::string::npos) << now;
    }
}

// 2 and 4: a full disk during cp or during a save over a text leaves everything as it was.
// (The command itself may have committed and only the tree's appearance failed after it:
// then the file holds the command's whole result.)
TEST_F(FaultTest, AFullDiskDuringCpOrPutChangesNothing) {
    Populate(3);
    ASSERT_EQ(Nota({"add", db, "Notarium/Folder", "--folder"}).status, 0);
    Save();
    const std::vector<BYTE> before = ReadFileBytes(db);
    const std::string dumpBefore = DumpDataFile(db);
    const std::string diskFull = CFileException(CFileException::diskFull, db).GetErrorMessage();
    for (auto words : std::vector<std::vector<std::string>>{
             {"cp", db, "Notarium", "Notarium/Folder"}, {"put", db, "Notarium/Item number 1000"}}) {
        Restore();
        ASSERT_EQ(Nota(words, Text(3000, 'g')).status, 0);
        const std::string dumpAfter = DumpDataFile(db);
        for (int from = 1; from <= 8; ++from) {
            SCOPED_TRACE(words[0] + " from write " + std::to_string(from));
            Restore();
            Outcome o;
            {
                CFullDisk full(from);
                o = Nota(words, Text(3000, 'g'));
            }
            if (o.status == 0)
                continue; // the full disk came after the command's last write
            EXPECT_NE(o.err.find(diskFull), std::string::npos) << o.err;
            // A disk that refuses even the bytes that put the old ones back leaves the
            // journal, and the next open finishes the rollback.
            const std::string now = DumpDataFile(db);
            if (now == dumpBefore) {
                EXPECT_EQ(ReadFileBytes(db), before);
            } else {
                EXPECT_EQ(now, dumpAfter);
            }
            EXPECT_EQ(CheckDataFile(db), 0);
        }
    }
}

// 3: emptying a text used to put its chain on the free list before the tree let go of it.
TEST_F(FaultTest, AFreedChainIsNeverOnTheFreeListWhileAnItemStillUsesIt) {
    Populate(2);
    ASSERT_EQ(Nota({"put", db, "Notarium/Item number 1001"}, Text(1200, 'k')).status, 0);
    Save();
    for (int stop = 1; stop <= 10; ++stop) {
        SCOPED_TRACE(stop);
        Restore();
        {
            CKill kill(stop);
            Nota({"put", db, "Notarium/Item number 1000"}, "");
        }
        EXPECT_TRUE(FreeListIsDisjoint(db));
        // The next ordinary save must not take a block that a text still uses.
        Outcome before = Nota({"cat", db, "Notarium/Item number 1000"});
        ASSERT_EQ(Nota({"put", db, "Notarium/Item number 1002"}, Text(2000, 'z')).status, 0);
        EXPECT_EQ(Nota({"cat", db, "Notarium/Item number 1000"}).out, before.out);
        EXPECT_EQ(Nota({"cat", db, "Notarium/Item number 1001"}).out, Text(1200, 'k'));
    }
}

// 4: a growing save over a text that is killed keeps the old text or the new, never neither.
TEST_F(FaultTest, AKilledSaveOverATextKeepsTheOldOrTheNewText) {
    Populate(2);
    Save();
    int steps = 0;
    {
        CKill count(-1);
        Nota({"put", db, "Notarium/Item number 1000"}, Text(20000, 'n'));
        steps = count.Steps();
    }
    ASSERT_GT(steps, 2);
    for (int stop = 1; stop <= steps; ++stop) {
        SCOPED_TRACE(stop);
        Restore();
        {
            CKill kill(stop);
            Nota({"put", db, "Notarium/Item number 1000"}, Text(20000, 'n'));
        }
        Outcome cat = Nota({"cat", db, "Notarium/Item number 1000"});
        ASSERT_EQ(cat.status, 0) << cat.err;
        EXPECT_TRUE(cat.out == Text(1400, 'm') || cat.out == Text(20000, 'n'));
    }
}

// 5: repair onto a target that another process holds used to replace it under the holder.
TEST_F(FaultTest, RepairNeverReplacesATargetThatIsHeldOpen) {
    std::string target = dir.File("target.Nota");
    ASSERT_EQ(Nota({"new", target}).status, 0);
    const std::vector<BYTE> before = ReadFileBytes(target);
    const auto inode = InodeOf(target);
    {
        CFile holder(target, CFile::modeReadWrite | CFile::shareExclusive);
        EXPECT_NE(Nota({"repair", db, target}).status, 0);
    }
    EXPECT_EQ(InodeOf(target), inode);
    EXPECT_EQ(ReadFileBytes(target), before);
    EXPECT_EQ(CountFiles(dir.Path(), "FIX"), 0);
    EXPECT_EQ(Nota({"repair", db, target}).status, 0); // free again: replaced
    EXPECT_NE(InodeOf(target), inode);
}

// 4 (locks): nota new --force never replaces a file that another process holds.
TEST_F(FaultTest, NewForceNeverReplacesAFileThatIsHeldOpen) {
    ASSERT_EQ(Nota({"add", db, "Notarium/Keep"}).status, 0);
    const std::vector<BYTE> before = ReadFileBytes(db);
    {
        CFile holder(db, CFile::modeReadWrite | CFile::shareExclusive);
        Outcome o = Nota({"new", db, "--force"});
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(
            o.err.find(CFileException(CFileException::sharingViolation, db).GetErrorMessage()),
            std::string::npos)
            << o.err;
    }
    EXPECT_EQ(ReadFileBytes(db), before);
}

// 7: a data file deleted while it is open used to take every later change with it.
TEST_F(FaultTest, ADataFileDeletedWhileOpenIsWrittenBackAtItsPath) {
    CRecordingUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    CTreeCtrl& tree = doc.Tree();
    ASSERT_TRUE(doc.OnOpenDocument(db));
    ASSERT_TRUE(doc.ReloadTree());
    ASSERT_EQ(::unlink(db.c_str()), 0);
    HTREEITEM h = doc.InsertNewItem(tree.GetRootItem(), "After the rm", false);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(std::filesystem::exists(db));
    // Told, but as a notice: the change was stored, so `nota` does not fail for it.
    EXPECT_TRUE(ui.boxes.empty());
    ASSERT_FALSE(ui.statusTexts.empty());
    EXPECT_EQ(
        std::count(ui.statusTexts.begin(), ui.statusTexts.end(), Format(str::kWrittenBack, db, db)),
        1);
    // Later changes go to the file at the path, and so the user finds them there.
    CMemoryTextPane pane;
    pane.m_text = "still here";
    doc.SaveText(h, pane);
    doc.DeleteContents();
    EXPECT_EQ(Nota({"cat", db, "Notarium/After the rm"}).out, "still here");
    EXPECT_TRUE(ui.boxes.empty());
}

// A file the user put at the path while ours was held open is never written over: ours goes
// beside it under a new name, and the notice names both.
TEST_F(FaultTest, AFileReplacedWhileOpenIsWrittenBackBesideTheNewOne) {
    const std::string other = dir.File("other.Nota");
    ASSERT_EQ(Nota({"new", other}).status, 0);
    ASSERT_EQ(Nota({"add", other, "Notarium/Theirs"}).status, 0);
    const std::string taken = dir.File("f (recovered).Nota");
    ASSERT_EQ(Nota({"new", taken}).status, 0); // the first new name is taken as well
    const std::vector<BYTE> theirs = ReadFileBytes(other);
    const std::vector<BYTE> takenBytes = ReadFileBytes(taken);

    std::stringstream err;
    CConsoleUi ui(err);
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    ASSERT_TRUE(doc.OnOpenDocument(db));
    ASSERT_TRUE(doc.ReloadTree());
    ASSERT_EQ(std::rename(other.c_str(), db.c_str()), 0); // mv other.Nota f.Nota
    ASSERT_NE(doc.InsertNewItem(doc.Tree().GetRootItem(), "Mine", false), nullptr);
    doc.DeleteContents();

    const std::string beside = dir.File("f (recovered 2).Nota");
    EXPECT_EQ(ReadFileBytes(db), theirs);
    EXPECT_EQ(ReadFileBytes(taken), takenBytes);
    EXPECT_EQ(Nota({"cat", beside, "Notarium/Mine"}).status, 0);
    EXPECT_EQ(Nota({"cat", db, "Notarium/Mine"}).status, 1);
    EXPECT_NE(err.str().find(Format(str::kWrittenBeside, db, beside)), std::string::npos)
        << err.str();
    EXPECT_EQ(ui.ErrorCount(), 0); // stored: nota exits 0
    EXPECT_EQ(doc.GetPathName(), beside);
}

// 8: a partial block at the end of the file used to become a block offset off the grid.
TEST_F(FaultTest, GrowthOverAPartialBlockStaysOnTheBlockGrid) {
    ASSERT_EQ(Nota({"add", db, "Notarium/x"}).status, 0);
    ASSERT_EQ(Nota({"put", db, "Notarium/x"}, "short").status, 0);
    ASSERT_EQ(ReadFileBytes(db).size(), 1056u);
    {
        std::vector<BYTE> bytes = ReadFileBytes(db);
        bytes.resize(1156, 0);
        std::filesystem::remove(db);
        CFileBuilder b;
        b.bytes = bytes;
        b.WriteTo(db);
    }
    ASSERT_EQ(Nota({"put", db, "Notarium/x"}, std::string(600, 'p')).status, 0);
    Outcome cat = Nota({"cat", db, "Notarium/x"});
    EXPECT_EQ(cat.status, 0) << cat.err;
    EXPECT_EQ(cat.out, std::string(600, 'p'));
    EXPECT_EQ((ReadFileBytes(db).size() - 32) % 512, 0u);
    EXPECT_EQ(CheckDataFile(db), 0);
}

// 9: a tree chain whose last block links back into itself passes the check, so it must
// also be writable.
TEST_F(FaultTest, ATreeChainThatLinksBackIntoItselfCanBeWritten) {
    std::vector<BYTE> stream;
    {
        CTreeStreamBuilder t;
        t.Item(IMAGE_ROOT, "Notarium");
        for (int i = 0; i < 40; ++i)
            t.Leaf(IMAGE_TEXTLET, "Textlet with a long title " + std::to_string(100 + i));
        stream = t.End().Finish();
    }
    CFileBuilder b;
    DWORD first = b.AddChain(stream);
    ASSERT_GT(b.BlockCount(), 1u);
    b.SetTreeData(first);
    DWORD last = first + (b.BlockCount() - 1) * 512;
    b.SetNext(last, first); // back into its own chain
    std::filesystem::remove(db);
    b.WriteTo(db);
    ASSERT_EQ(Nota({"check", db}).status, 0);
    Outcome add = Nota({"add", db, "Notarium/New"});
    EXPECT_EQ(add.status, 0) << add.err;
    EXPECT_NE(DumpDataFile(db).find("1 8 New = "), std::string::npos);
    EXPECT_EQ(CheckDataFile(db), 0);
}

// 9: nota new on a full disk leaves no partial file behind.
TEST_F(FaultTest, NewOnAFullDiskLeavesNoFile) {
    std::string fresh = dir.File("fresh.Nota");
    {
        CFullDisk full(1);
        EXPECT_EQ(Nota({"new", fresh}).status, 1);
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(CountFiles(dir.Path(), "NOTA"), 0);
    EXPECT_EQ(Nota({"new", fresh}).status, 0);
}

// 9: a path that ends in a backslash names its parent as written.
TEST_F(FaultTest, APathEndingInABackslashKeepsItsParent) {
    Outcome ok = Nota({"add", db, "Notarium/trail\\"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(DumpDataFile(db).find("1 8 trail\\ = "), std::string::npos);
    Outcome missing = Nota({"add", db, "Missing/trail\\"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "No item at 'Missing'.\n");
}

// 9: killed compactions and repairs used to leave a work file behind each time.
TEST_F(FaultTest, KilledCompactionsAndRepairsLeaveAtMostOneWorkFile) {
    Populate(2);
    std::string target = dir.File("repaired.Nota");
    for (int stop = 1; stop <= 12; ++stop) {
        CKill kill(stop);
        Nota({"compact", db});
        Nota({"repair", db, target});
    }
    EXPECT_LE(CountFiles(dir.Path(), "NOTA"), 1);
    EXPECT_LE(CountFiles(dir.Path(), "FIX"), 1);
    ASSERT_EQ(Nota({"compact", db}).status, 0);
    ASSERT_EQ(Nota({"repair", db, target}).status, 0);
    EXPECT_EQ(CountFiles(dir.Path(), "NOTA"), 0);
    EXPECT_EQ(CountFiles(dir.Path(), "FIX"), 0);
}

// 6: a writer that opened the file just before compaction put the new file in its place, and
// got the lock only after compaction let go, used to write into the unlinked old file.
TEST_F(FaultTest, AWriterThatLocksAReplacedFileOpensTheNewOne) {
    std::string newer = dir.File("newer.Nota");
    ASSERT_EQ(Nota({"new", newer}).status, 0);
    ASSERT_EQ(Nota({"add", newer, "Notarium/From the compaction"}).status, 0);
    bool replaced = false;
    // The moment between the writer's open and its lock is when the rename lands.
    CFile::SetIoObserver([&](const CFile::IoEvent& e) {
        if (e.op == CFile::Op::Open && e.path == db && !replaced) {
            replaced = true;
            std::filesystem::rename(newer, db);
        }
    });
    Outcome o = Nota({"add", db, "Notarium/From the writer"});
    CFile::SetIoObserver(nullptr);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(o.status, 0) << o.err;
    std::string now = DumpDataFile(db);
    EXPECT_NE(now.find("From the compaction"), std::string::npos) << now;
    EXPECT_NE(now.find("From the writer"), std::string::npos) << now;
}
