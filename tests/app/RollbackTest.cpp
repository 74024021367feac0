// A file error in the middle of a document operation undoes the operation in the process:
// the file holds exactly its bytes from before, the tree matches it, the error is shown, and
// the next operation works.

#include "platform/Format.h"
#include "platform/Strings.h"
#include "store/Journal.h"
#include "support/CrashSim.h"
#include "support/DocFixture.h"

#include <filesystem>

namespace {

class RollbackTest : public DocFixture {
protected:
    HTREEITEM keep = nullptr, big = nullptr, folder = nullptr;

    void SetUp() override {
        CreateAndOpen();
        keep = Add(Root(), "Keep", false);
        SetText(keep, std::string(1500, 'k'));
        big = Add(Root(), "Big", false);
        SetText(big, std::string(3000, 'b'));
        folder = Add(Root(), "Folder", true);
        for (int i = 0; i < 20; ++i)
            SetText(Add(folder, "Inner " + std::to_string(i), false), std::string(300 + i, 'i'));
    }
    // Runs `op` once with the n-th write failing for every n until it succeeds; after each
    // failure checks that the file did not change. Returns the number of failures.
    template <typename Op> int FailEachWrite(Op op) {
        for (int stop = 1;; ++stop) {
            const std::vector<BYTE> before = ReadFileBytes(path);
            const std::size_t boxes = ui.boxes.size();
            int n = 0;
            CFile::SetFaultHook([&](CFile::Op what, const std::string& file) {
                if (what == CFile::Op::Write && ++n == stop)
                    throw CFileException(CFileException::diskFull, file);
            });
            bool ok = op();
            CFile::SetFaultHook(nullptr);
            if (ok)
                return stop - 1; // (a failure after the commit, such as the journal's reset,
                                 // does not undo it)
            EXPECT_EQ(ReadFileBytes(path), before) << stop;
            if (ui.boxes.size() > boxes) {
                EXPECT_EQ(ui.boxes.back().text,
                          CFileException(CFileException::diskFull, path).GetErrorMessage());
            }
            if (stop > 50)
                return stop;
        }
    }
};

} // namespace

TEST_F(RollbackTest, AFailedSaveKeepsTheOldTextAndItsReference) {
    const DWORD chain = Chain(big);
    int failures = FailEachWrite([&] {
        try {
            SetText(big, std::string(9000, 'B'));
            return true;
        } catch (const CFileException&) {
            EXPECT_EQ(Chain(big), chain);
            EXPECT_EQ(GetText(big), std::string(3000, 'b'));
            return false;
        }
    });
    EXPECT_GE(failures, 2); // the journal and the data file
    EXPECT_EQ(GetText(big), std::string(9000, 'B'));
    Reopen();
    EXPECT_EQ(GetText(Child(Root(), "Big")), std::string(9000, 'B'));
    EXPECT_EQ(GetText(Child(Root(), "Keep")), std::string(1500, 'k'));
}

TEST_F(RollbackTest, AFailedEmptyingKeepsTheChainOffTheFreeList) {
    const DWORD freeList = doc.Store().GetFreeList();
    FailEachWrite([&] {
        try {
            SetText(big, "");
            return true;
        } catch (const CFileException&) {
            EXPECT_EQ(doc.Store().GetFreeList(), freeList);
            EXPECT_EQ(GetText(big), std::string(3000, 'b'));
            return false;
        }
    });
    EXPECT_EQ(Chain(big), 0u);
}

TEST_F(RollbackTest, AFailedDeleteKeepsTheItemInTheTreeAndTheFile) {
    int failures = FailEachWrite([&] {
        bool ok = doc.DeleteItem(folder);
        if (!ok) {
            EXPECT_EQ(Child(Root(), "Folder"), folder);
            EXPECT_EQ(Titles(folder).size(), 20u);
        }
        return ok;
    });
    EXPECT_GE(failures, 2);
    EXPECT_EQ(Child(Root(), "Folder"), nullptr);
    Reopen();
    EXPECT_EQ(Child(Root(), "Folder"), nullptr);
    EXPECT_EQ(GetText(Child(Root(), "Keep")), std::string(1500, 'k'));
}

TEST_F(RollbackTest, AFailedInsertLeavesNoNewItemsBehind) {
    std::vector<BYTE> payload = doc.CopyItems(folder);
    FailEachWrite([&] {
        try {
            return doc.InsertItems(Root(), payload.data(), payload.size()) != nullptr;
        } catch (const CFileException& e) {
            ui.ReportError(e);
            EXPECT_EQ(Titles(Root()), (std::vector<std::string>{"Big", "Folder", "Keep"}));
            return false;
        }
    });
    Reopen();
    EXPECT_EQ(Titles(Root()), (std::vector<std::string>{"Big", "Folder", "Folder", "Keep"}));
}

TEST_F(RollbackTest, AFailedMoveOrAddLeavesTheTreeAsTheFileHasIt) {
    HTREEITEM sub = Add(Root(), "Sub", true);
    FailEachWrite([&] {
        HTREEITEM moved = doc.MoveItem(folder, sub);
        if (!moved) {
            folder = Child(Root(), "Folder");
            EXPECT_NE(folder, nullptr);
            EXPECT_EQ(Titles(folder).size(), 20u);
        }
        return moved != nullptr;
    });
    EXPECT_NE(Child(Child(Root(), "Sub"), "Folder"), nullptr);
    FailEachWrite([&] {
        HTREEITEM h = Add(Root(), "New", false);
        if (!h) {
            EXPECT_EQ(Child(Root(), "New"), nullptr);
        }
        return h != nullptr;
    });
    Reopen();
    EXPECT_NE(Child(Root(), "New"), nullptr);
    EXPECT_NE(Child(Child(Root(), "Sub"), "Folder"), nullptr);
}

TEST_F(RollbackTest, OpeningAfterAStopInTheMiddleRollsBackAndTellsTheUser) {
    const std::vector<BYTE> before = ReadFileBytes(path);
    {
        CCrashSim sim;
        sim.Arm(3); // the journal is on the disk, the data file half written
        try {
            SetText(big, std::string(9000, 'B'));
        } catch (const CFileException&) {
        }
        ASSERT_TRUE(sim.Crashed());
        doc.Store().Abort();
    }
    ASSERT_TRUE(std::filesystem::exists(journal::PathFor(path)));
    ui.statusTexts.clear();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(ReadFileBytes(path), before);
    ASSERT_FALSE(ui.statusTexts.empty());
    EXPECT_EQ(ui.statusTexts.back(), Format(str::kRolledBack, path));
    EXPECT_FALSE(std::filesystem::exists(journal::PathFor(path)));
}
