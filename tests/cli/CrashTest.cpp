// Stops every write command before each of its file changes (write, set-length, flush,
// rename, remove), as a kill and as a power cut, and checks what is left: the file opens,
// the check finds no errors, no free block is still in use, and the items and texts are
// exactly those before the command or those after it, never a mix. A full disk at any write
// leaves the file as it was and says "Disk full".

#include "app/NotariumDoc.h"
#include "cli/Commands.h"
#include "cli/Session.h"
#include "store/Payload.h"
#include "support/CrashSim.h"
#include "support/DataDump.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

using namespace nota;

namespace {

int Nota(const std::vector<std::string>& words, const std::string& input = "",
         std::string* err = nullptr) {
    std::istringstream in(input);
    std::ostringstream out, errs;
    cli::Streams io{in, out, errs};
    int status = cli::Main(words, io);
    if (err)
        *err = errs.str();
    return status;
}

std::string Text(std::size_t n, char seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char>('a' + (seed + i * 7) % 26);
    return s;
}

// A database with texts of every size, a 150-item folder, free blocks and a tree stream of
// several blocks.
void MakeDatabase(const std::string& path) {
    ASSERT_EQ(Nota({"new", path}), 0);
    std::ostringstream err;
    CCliSession s(err);
    ASSERT_TRUE(s.Open(path));
    CNotariumDoc& doc = s.m_doc;
    CTreeCtrl& tree = s.m_tree;
    HTREEITEM root = tree.GetRootItem();
    auto put = [&](HTREEITEM h, const std::string& text) {
        CMemoryTextPane pane;
        pane.m_text = text;
        doc.SaveText(h, pane);
    };
    put(doc.InsertNewItem(root, "Keep", false), Text(1500, 1));
    put(doc.InsertNewItem(root, "Small", false), Text(100, 2));
    put(doc.InsertNewItem(root, "Big", false), Text(3000, 3));
    doc.InsertNewItem(root, "Empty", false);
    doc.InsertNewItem(root, "Dest", true);
    HTREEITEM box = doc.InsertNewItem(root, "Box", true);
    for (int f = 0; f < 10; ++f) {
        HTREEITEM sub = doc.InsertNewItem(box, "Sub " + std::to_string(f), true);
        for (int t = 0; t < 14; ++t) {
            HTREEITEM h = doc.InsertNewItem(sub, "Item " + std::to_string(t), false);
            if (t % 3 != 0)
                put(h, Text(40 + 90 * ((f + t) % 9), static_cast<char>(f + t)));
        }
    }
    HTREEITEM gone = doc.InsertNewItem(root, "Gone", false);
    put(gone, Text(2000, 9));
    ASSERT_TRUE(doc.DeleteItem(gone)); // four free blocks
    ASSERT_TRUE(s.Close());
}

struct Scenario {
    std::string name;
    // Runs the command on db; `aux` is a second file (the repair target).
    std::function<void(const std::string& db, const std::string& aux)> run;
    bool bAuxIsTarget = false;
};

// The item at path in an open session.
HTREEITEM Find(CCliSession& s, const std::string& title) {
    for (HTREEITEM h = s.m_tree.GetChildItem(s.m_tree.GetRootItem()); h;
         h = s.m_tree.GetNextSiblingItem(h))
        if (s.m_tree.GetItemText(h) == title)
            return h;
    return nullptr;
}

std::vector<Scenario> Scenarios() {
    auto cmd = [](std::vector<std::string> words, std::string input = "") {
        return [words, input](const std::string& db, const std::string& aux) {
            std::vector<std::string> w;
            for (const auto& x : words)
                w.push_back(x == "DB" ? db : x == "AUX" ? aux : x);
            Nota(w, input);
        };
    };
    return {
        {"put new", cmd({"put", "DB", "Notarium/Empty"}, Text(2000, 4))},
        {"put growing", cmd({"put", "DB", "Notarium/Small"}, Text(5000, 5))},
        {"put shrinking", cmd({"put", "DB", "Notarium/Big"}, Text(10, 6))},
        {"put emptied", cmd({"put", "DB", "Notarium/Big"}, "")},
        {"add", cmd({"add", "DB", "Notarium/Box/Sub 3/Added"})},
        {"rename",
         [](const std::string& db, const std::string&) {
             std::ostringstream err;
             CCliSession s(err);
             if (!s.Open(db))
                 return;
             s.m_tree.SetItemText(Find(s, "Big"), "Renamed");
             s.m_doc.SaveTree();
             s.m_doc.DeleteContents();
         }},
        {"rm folder", cmd({"rm", "DB", "Notarium/Box"})},
        {"mv folder", cmd({"mv", "DB", "Notarium/Box", "Notarium/Dest"})},
        {"cp folder", cmd({"cp", "DB", "Notarium/Box", "Notarium/Dest"})},
        {"insert payload",
         [](const std::string& db, const std::string&) {
             std::ostringstream err;
             CCliSession s(err);
             if (!s.Open(db))
                 return;
             try {
                 std::vector<BYTE> data = s.m_doc.CopyItems(Find(s, "Box"));
                 s.m_doc.InsertItems(s.m_tree.GetRootItem(), data.data(), data.size());
             } catch (const CFileException&) {
             }
             s.m_doc.DeleteContents();
         }},
        // Growth of several MiB reaches the file before the commit, under its own journal.
        {"put large", cmd({"put", "DB", "Notarium/Empty"}, Text(3'000'000, 7))},
        {"insert large payload",
         [](const std::string& db, const std::string&) {
             std::ostringstream err;
             CCliSession s(err);
             if (!s.Open(db))
                 return;
             payload::CPayloadWriter w;
             w.BeginItem(KIND_FOLDER, "Large");
             w.WriteNoText();
             for (std::size_t n : {std::size_t(900), std::size_t(2'500'000)}) {
                 w.BeginItem(KIND_TEXTLET, "Text " + std::to_string(n));
                 const std::string text = Text(n, 8) + '\0';
                 w.WriteText(static_cast<DWORD>(text.size()),
                             reinterpret_cast<const BYTE*>(text.data()));
                 w.EndList(); // no children
             }
             w.EndList();
             w.EndList();
             try {
                 s.m_doc.InsertItems(s.m_tree.GetRootItem(), w.Data().data(), w.Data().size());
             } catch (const CFileException&) {
             }
             s.m_doc.DeleteContents();
         }},
        {"compact", cmd({"compact", "DB"})},
        {"repair", cmd({"repair", "DB", "AUX", "--force"}), true},
    };
}

class CrashTest : public ::testing::Test {
protected:
    CTempDir dir{CTempDir::MemoryBase()}; // the simulation stands in for the disk
    std::string pristine = dir.File("pristine.Nota");
    std::string db = dir.File("data.Nota");
    std::string aux = dir.File("target.Nota");
    std::string auxPristine = dir.File("target-pristine.Nota");

    void SetUp() override {
        MakeDatabase(pristine);
        ASSERT_EQ(Nota({"new", auxPristine}), 0);
        ASSERT_EQ(Nota({"add", auxPristine, "Notarium/Old target"}), 0);
    }
    void Restore() {
        namespace fs = std::filesystem;
        fs::copy_file(pristine, db, fs::copy_options::overwrite_existing);
        fs::copy_file(auxPristine, aux, fs::copy_options::overwrite_existing);
        fs::remove(db + "-journal");
        fs::remove(aux + "-journal");
    }
};

} // namespace

TEST_F(CrashTest, EveryStopOfEveryWriteCommandLeavesTheOldOrTheNewFile) {
    int runs = 0;
    for (const Scenario& sc : Scenarios()) {
        SCOPED_TRACE(sc.name);
        Restore();
        const std::string watched = sc.bAuxIsTarget ? aux : db;
        const std::string before = DumpDataFile(watched);
        const std::string sourceBefore = DumpDataFile(db);
        int steps = 0;
        {
            CCrashSim sim;
            sim.Arm(0);
            sc.run(db, aux);
            steps = sim.Steps();
        }
        const std::string after = DumpDataFile(watched);
        ASSERT_NE(after.rfind("unreadable", 0), 0u) << after;
        ASSERT_GT(steps, 0);
        ASSERT_EQ(CheckDataFile(watched), 0);
        if (sc.name != "compact" && sc.name != "repair") {
            ASSERT_NE(before, after);
        }

        // One more stop than steps: the command completes, then the power fails.
        for (int stop = 1; stop <= steps + 1; ++stop) {
            for (int mode = 0; mode < 5; ++mode) { // kill, cut (all lost, two tears, reordered)
                SCOPED_TRACE("stop " + std::to_string(stop) + " mode " + std::to_string(mode));
                Restore();
                {
                    CCrashSim sim;
                    sim.Arm(stop);
                    sc.run(db, aux);
                    if (mode == 1)
                        sim.PowerCut(CCrashSim::Cut::DropAll, 0);
                    else if (mode == 4)
                        sim.PowerCut(CCrashSim::Cut::Reorder, 0);
                    else if (mode >= 2)
                        sim.PowerCut(CCrashSim::Cut::Tear, static_cast<unsigned>(stop * 7 + mode));
                }
                ++runs;
                const std::string now = DumpDataFile(watched);
                if (stop > steps) { // it completed: what it committed survives the power cut
                    ASSERT_EQ(now, after);
                } else {
                    ASSERT_TRUE(now == before || now == after) << now;
                }
                ASSERT_EQ(CheckDataFile(watched), 0);
                ASSERT_TRUE(FreeListIsDisjoint(watched));
                if (sc.bAuxIsTarget) {
                    ASSERT_EQ(DumpDataFile(db), sourceBefore);
                }
            }
        }
    }
    RecordProperty("crash runs", runs);
    std::printf("crash runs: %d\n", runs);
}

TEST_F(CrashTest, AFullDiskAtAnyWriteLeavesTheFileAsItWasAndSaysDiskFull) {
    const std::string diskFull = CFileException(CFileException::diskFull, "").GetErrorMessage();
    int runs = 0;
    for (const Scenario& sc : Scenarios()) {
        SCOPED_TRACE(sc.name);
        Restore();
        const std::string watched = sc.bAuxIsTarget ? aux : db;
        const std::vector<BYTE> bytesBefore = ReadFileBytes(watched);
        const std::string before = DumpDataFile(watched);
        int writes = 0;
        CFile::SetFaultHook([&](CFile::Op op, const std::string&) {
            if (op == CFile::Op::Write)
                ++writes;
        });
        sc.run(db, aux);
        CFile::SetFaultHook(nullptr);
        const std::string after = DumpDataFile(watched);
        for (int stop = 1; stop <= writes; ++stop) {
            SCOPED_TRACE("write " + std::to_string(stop));
            Restore();
            int n = 0;
            CFile::SetFaultHook([&](CFile::Op op, const std::string& path) {
                if (op == CFile::Op::Write && ++n == stop)
                    throw CFileException(CFileException::diskFull, path);
            });
            sc.run(db, aux);
            CFile::SetFaultHook(nullptr);
            ++runs;
            const std::string now = DumpDataFile(watched);
            if (now == before) {
                ASSERT_EQ(ReadFileBytes(watched), bytesBefore);
            } else {
                ASSERT_EQ(now, after);
            }
            ASSERT_EQ(CheckDataFile(watched), 0);
        }
    }
    std::printf("full-disk runs: %d\n", runs);
    (void)diskFull;
}

TEST_F(CrashTest, FullDiskMessageOfPutAndCp) {
    const std::string diskFull = CFileException(CFileException::diskFull, db).GetErrorMessage();
    for (auto words : std::vector<std::vector<std::string>>{
             {"put", db, "Notarium/Small"}, {"cp", db, "Notarium/Box", "Notarium/Dest"}}) {
        Restore();
        const std::vector<BYTE> before = ReadFileBytes(db);
        CFile::SetFaultHook([&](CFile::Op op, const std::string& path) {
            if (op == CFile::Op::Write)
                throw CFileException(CFileException::diskFull, path);
        });
        std::string err;
        EXPECT_EQ(Nota(words, Text(5000, 1), &err), 1);
        CFile::SetFaultHook(nullptr);
        EXPECT_NE(err.find(diskFull), std::string::npos) << err;
        EXPECT_EQ(ReadFileBytes(db), before);
    }
}
