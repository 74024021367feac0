// A journal left by a stopped writer is applied only to the file it was written for. At
// every point where a small and a large put can stop, another database put at the path (a
// backup copied back) is opened as it is, and the journal is kept aside; without the copy
// the file comes back old or new, and a rollback is told the user once.
#include "app/NotariumDoc.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "store/Journal.h"
#include "support/CrashSim.h"
#include "support/DocFixture.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace {

class JournalIdentityTest : public DocFixture {
protected:
    std::string other = dir.File("other.Nota");
    std::string jpath;

    void SetUp() override {
        CreateAndOpen();
        jpath = journal::PathFor(path);
        HTREEITEM t = Add(Root(), "t", false);
        SetText(t, std::string(700, 'a'));
        doc.DeleteContents();
        // Another database of the same shape: a backup of this one with other texts.
        std::filesystem::copy_file(path, other);
        CAppSettings s;
        CNotariumDoc second(ui, s);
        ASSERT_TRUE(second.OnOpenDocument(other));
        ASSERT_TRUE(second.ReloadTree());
        CMemoryTextPane pane;
        pane.m_text = std::string(900, 'z');
        second.SaveText(second.Tree().GetChildItem(second.Tree().GetRootItem()), pane);
        HTREEITEM u = second.InsertNewItem(second.Tree().GetRootItem(), "u", false);
        pane.m_text = std::string(5000, 'y');
        second.SaveText(u, pane);
        second.DeleteContents();
    }

    // The text of "t" as a fresh open of path shows it; the notices of that open in *notices.
    std::string OpenAndRead(std::vector<std::string>* notices) {
        ui.statusTexts.clear();
        ui.boxes.clear();
        CAppSettings s;
        CNotariumDoc fresh(ui, s);
        EXPECT_TRUE(CNotariumDoc::PrepareDataFile(path, false, ui));
        EXPECT_TRUE(fresh.OnOpenDocument(path));
        EXPECT_TRUE(fresh.ReloadTree());
        std::string text;
        HTREEITEM t = fresh.Tree().GetChildItem(fresh.Tree().GetRootItem());
        if (t)
            fresh.ReadText(t, text);
        fresh.DeleteContents();
        *notices = ui.statusTexts;
        return text;
    }

    // Stops a put of `text` into "t" at every step; at each stop that leaves a journal, opens
    // the file as the stop left it and with the other database copied over it.
    void EveryStop(const std::string& text, int* journalsLeft) {
        const std::vector<BYTE> before = ReadFileBytes(path);
        const std::vector<BYTE> theirs = ReadFileBytes(other);
        for (int n = 1;; ++n) {
            WriteFileBytes(path, before);
            std::filesystem::remove(jpath);
            bool crashed = false;
            {
                CCrashSim sim;
                ASSERT_TRUE(doc.OnOpenDocument(path));
                ASSERT_TRUE(doc.ReloadTree());
                sim.Arm(n);
                try {
                    SetText(Child(Root(), "t"), text);
                } catch (const CFileException&) {
                }
                crashed = sim.Crashed();
                doc.Store().Abort();
            }
            if (!crashed)
                break;
            if (!std::filesystem::exists(jpath))
                continue;
            const std::vector<BYTE> journalBytes = ReadFileBytes(jpath);
            journal::Record record;
            // A journal the stop cut short was never acted on: the data file is untouched.
            const bool whole = journal::Decode(journalBytes, record);
            *journalsLeft += whole;

            // As the stop left it: old or new, and a rollback is said once.
            std::vector<std::string> notices;
            std::string got = OpenAndRead(&notices);
            EXPECT_TRUE(got == std::string(700, 'a') || got == text) << n;
            const auto said =
                std::count(notices.begin(), notices.end(), Format(str::kRolledBack, path));
            EXPECT_EQ(said, whole && got != text ? 1 : 0) << n;
            EXPECT_FALSE(std::filesystem::exists(jpath)) << n;

            // Another database put at the path: opened as it is, the journal kept aside.
            WriteFileBytes(path, theirs);
            WriteFileBytes(jpath, journalBytes);
            OpenAndRead(&notices);
            EXPECT_EQ(ReadFileBytes(path), theirs) << n;
            const std::string aside = jpath + ".unmatched";
            EXPECT_EQ(std::filesystem::exists(aside), whole) << n;
            if (whole) {
                EXPECT_EQ(ReadFileBytes(aside), journalBytes) << n;
                EXPECT_NE(std::find(notices.begin(), notices.end(),
                                    Format(str::kJournalSetAside, path, aside)),
                          notices.end())
                    << n;
            }
            std::filesystem::remove(aside);
        }
    }
};

} // namespace

TEST_F(JournalIdentityTest, ASmallPutsJournalIsAppliedOnlyToItsOwnFile) {
    int journals = 0;
    EveryStop(std::string(5000, 'b'), &journals);
    EXPECT_GT(journals, 0);
}

TEST_F(JournalIdentityTest, ALargePutsProvisionalAndWholeJournalsAreAppliedOnlyToTheirFile) {
    int journals = 0;
    EveryStop(std::string(3 << 20, 'c'), &journals); // spills ahead of the commit
    EXPECT_GT(journals, 2);
}

// A name that holds something other than a regular file is never followed or waited on:
// the open fails naming it, and nothing is created or changed.
TEST_F(JournalIdentityTest, TheJournalsNameIsOpenedSafely) {
    const std::vector<BYTE> before = ReadFileBytes(path);
    const std::string target = dir.File("elsewhere");
    std::filesystem::create_symlink(target, jpath); // dangling
    std::string notRegular =
        CFileException(CFileException::notRegularFile, jpath).GetErrorMessage();
    {
        CAppSettings s;
        CNotariumDoc d(ui, s);
        ui.boxes.clear();
        EXPECT_FALSE(CNotariumDoc::PrepareDataFile(path, false, ui));
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().text, notRegular);
    }
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(std::filesystem::is_symlink(jpath));
    std::filesystem::remove(jpath);

    ASSERT_EQ(::mkfifo(jpath.c_str(), 0600), 0); // would block a plain open for ever
    ui.boxes.clear();
    EXPECT_FALSE(CNotariumDoc::PrepareDataFile(path, false, ui));
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes.back().text, notRegular);
    std::filesystem::remove(jpath);
    EXPECT_EQ(ReadFileBytes(path), before);

    // A link planted while the file is open: the next change does not write through it.
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(doc.ReloadTree());
    std::filesystem::create_symlink(target, jpath);
    EXPECT_THROW(SetText(Child(Root(), "t"), "changed"), CFileException);
    EXPECT_FALSE(std::filesystem::exists(target));
    doc.DeleteContents();
    std::filesystem::remove(jpath);
    EXPECT_EQ(ReadFileBytes(path), before);
}
