#include "app/NotariumDoc.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "repair/RepairEngine.h"
#include "support/DocFixture.h"
#include "support/FakeTextPane.h"
#include "support/FileBuilder.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace nota;

namespace {

class CompactionTest : public DocFixture {
protected:
    void Open(const CFileBuilder& file) {
        file.WriteTo(path);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        ASSERT_TRUE(doc.ReloadTree());
    }
    std::vector<BYTE> Bytes() const { return ReadFileBytes(path); }
    HTREEITEM Find(const std::string& title) const {
        for (HTREEITEM h = tree.GetRootItem(); h;) {
            if (tree.GetItemText(h) == title)
                return h;
            HTREEITEM next = tree.GetChildItem(h);
            while (!next && h) {
                next = tree.GetNextSiblingItem(h);
                h = next ? next : tree.GetParentItem(h);
            }
            h = next;
        }
        return nullptr;
    }
    std::string Text(const std::string& title) {
        std::string text;
        doc.ReadText(Find(title), text);
        return text;
    }
    bool NoWorkFiles() const {
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            if (e.path().filename().string().rfind("NOTA", 0) == 0)
                return false;
        return true;
    }
};

// Root "Notarium" with textlets "Charlie", "alpha", "Bravo" (file order) and a folder "Empty"
// without text; a free list of two blocks and one unreachable block between the chains.
CFileBuilder ThreeTextlets(std::size_t bigText = 10) {
    CFileBuilder b;
    DWORD tree = b.AddBlock(0, 0);
    b.SetTreeData(tree);
    DWORD c = b.AddText(std::string(bigText, 'c'));
    DWORD free1 = b.AddBlock(0, 0);
    b.SetFreeList(b.AddBlock(free1, 0));
    DWORD a = b.AddText("alpha's text");
    b.AddBlock(0, 3, {'o', 'l', 'd'}); // unreachable
    DWORD br = b.AddText("bravo\r\ntext");
    auto stream = CTreeStreamBuilder()
                      .Item(IMAGE_ROOT | IMAGE_OPEN, "Notarium")
                      .Leaf(IMAGE_TEXTLET, "Charlie", c)
                      .Leaf(IMAGE_TEXTLET | IMAGE_BOOKMARK, "alpha", a, STATE_SELECTED)
                      .Leaf(IMAGE_TEXTLET, "Bravo", br)
                      .Leaf(IMAGE_FOLDER, "Empty")
                      .End(STATE_EXPANDED)
                      .Finish();
    b.PutChain({tree}, stream);
    return b;
}

} // namespace

TEST_F(CompactionTest, FreshFileStaysTheSame) {
    ASSERT_TRUE(CNotariumDoc::PrepareDataFile(path, true, ui));
    std::vector<BYTE> fresh = Bytes();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(doc.ReloadTree());
    EXPECT_TRUE(doc.OnCompact(false));
    EXPECT_EQ(Bytes().size(), 544u);
    EXPECT_EQ(Bytes(), fresh);
    EXPECT_TRUE(doc.IsOpen());
}

TEST_F(CompactionTest, ChainsFollowTheTreeInDisplayOrderWithoutFreeSpace) {
    Open(ThreeTextlets(600));
    std::uint64_t before = Bytes().size();
    ASSERT_TRUE(doc.OnCompact(false));
    std::vector<BYTE> out = Bytes();
    EXPECT_EQ(GetLE32(out.data() + HDR_TREE_DATA), 32u);
    EXPECT_EQ(GetLE32(out.data() + HDR_FREE_LIST), 0u);
    // Tree, alpha (1 block), Bravo (1), Charlie (2): sorted order, consecutive blocks.
    EXPECT_EQ(tree.GetItemData(Find("alpha")), 544u);
    EXPECT_EQ(tree.GetItemData(Find("Bravo")), 1056u);
    EXPECT_EQ(tree.GetItemData(Find("Charlie")), 1568u);
    EXPECT_EQ(GetLE32(out.data() + 1568), 2080u);
    EXPECT_EQ(tree.GetItemData(Find("Empty")), 0u);
    EXPECT_EQ(out.size(), 32u + 5 * 512);
    EXPECT_EQ(before - out.size(), 3u * 512);
    // The document holds the new file; texts, bookmarks and the selection are kept.
    EXPECT_EQ(Text("alpha"), "alpha's text");
    EXPECT_EQ(Text("Charlie"), std::string(600, 'c'));
    ASSERT_TRUE(doc.ReloadTree());
    EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), "alpha");
    EXPECT_TRUE(NoWorkFiles());
    EXPECT_EQ(ui.statusTexts.front(), str::kCompacting);
    EXPECT_EQ(ui.LastStatus(), str::kIdlePrompt);
    EXPECT_EQ(ui.progressEnded, ui.progressBegun);
}

TEST_F(CompactionTest, ProgressMovesEveryEighthItem) {
    CFileBuilder b;
    CTreeStreamBuilder s;
    s.Item(IMAGE_ROOT, "Notarium");
    for (int i = 0; i < 19; ++i)
        s.Leaf(IMAGE_TEXTLET, "T" + std::to_string(10 + i));
    s.End();
    b.SetTreeData(b.AddChain(s.Finish()));
    Open(b);
    ui.progressPositions.clear();
    ASSERT_TRUE(doc.OnCompact(false));
    EXPECT_EQ(ui.progressRanges.back(), std::make_pair(0, 20));
    EXPECT_EQ(ui.progressPositions, (std::vector<int>{0, 8, 16}));
}

TEST_F(CompactionTest, QuestionAndPendingEditsCanStopIt) {
    Open(ThreeTextlets());
    std::vector<BYTE> before = Bytes();
    CFakeTextPane pane;
    doc.SetTextPane(&pane);
    doc.ShowItemText(Find("alpha"));
    pane.m_bChanged = true;

    ui.answers = {IDCANCEL};
    EXPECT_FALSE(doc.OnCompact(true));
    EXPECT_EQ(ui.LastBox(), str::kCompactQuestion);
    EXPECT_EQ(ui.boxes.back().type & MB_TYPEMASK, MB_OKCANCEL);
    EXPECT_EQ(pane.stores, 0);

    pane.bFail = true;
    EXPECT_FALSE(doc.OnCompact(true));
    EXPECT_EQ(pane.stores, 1);
    EXPECT_EQ(Bytes(), before);

    pane.bFail = false;
    pane.m_bChanged = true;
    EXPECT_TRUE(doc.OnCompact(true));
    EXPECT_EQ(pane.stores, 2);
    EXPECT_LT(Bytes().size(), before.size());
    doc.SetTextPane(nullptr);
}

TEST_F(CompactionTest, FailuresLeaveTheDataFileAndTheTreeAsTheyWere) {
    Open(ThreeTextlets());
    std::vector<BYTE> before = Bytes();
    LPARAM alpha = tree.GetItemData(Find("alpha"));

    // No temporary file: message 1002 and nothing else.
    CFile::SetFaultHook([](CFile::Op op, const std::string&) {
        if (op == CFile::Op::Open)
            throw CFileException(CFileException::accessDenied, "dir");
    });
    EXPECT_FALSE(doc.OnCompact(false));
    EXPECT_EQ(ui.LastBox(), str::kTempFileError);

    // A full disk in the middle of the copy: reported, tree back on the old file.
    int writes = 0;
    CFile::SetFaultHook([&](CFile::Op op, const std::string& file) {
        if (op == CFile::Op::Write && file.find("NOTA") != std::string::npos && ++writes == 3)
            throw CFileException(CFileException::diskFull, file);
    });
    EXPECT_FALSE(doc.OnCompact(false));
    EXPECT_NE(ui.LastBox().find("Disk full while accessing"), std::string::npos);

    // The rename fails: reported the same way.
    CFile::SetFaultHook([](CFile::Op op, const std::string&) {
        if (op == CFile::Op::Rename)
            throw CFileException(CFileException::hardIO, "x");
    });
    std::size_t boxes = ui.boxes.size();
    EXPECT_FALSE(doc.OnCompact(false));
    EXPECT_EQ(ui.boxes.size(), boxes + 1);
    CFile::SetFaultHook(nullptr);

    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(tree.GetItemData(Find("alpha")), alpha);
    EXPECT_EQ(Text("Bravo"), "bravo\r\ntext");
    EXPECT_TRUE(NoWorkFiles());
    EXPECT_TRUE(doc.OnCompact(false));
}

TEST_F(CompactionTest, DamagedTextChainStopsItWithoutHarm) {
    CFileBuilder file = ThreeTextlets(600);
    DWORD charlie = 544; // the first text chain, two blocks
    file.SetNext(charlie, 999936);
    Open(file);
    std::vector<BYTE> before = Bytes();
    EXPECT_FALSE(doc.OnCompact(false));
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(Bytes(), before);
    EXPECT_TRUE(NoWorkFiles());
    EXPECT_EQ(Text("alpha"), "alpha's text");
}

TEST_F(CompactionTest, ResultKeepsPermissionsAndPassesARepairCheck) {
    Open(ThreeTextlets(3000));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(doc.OnCompact(false));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    doc.DeleteContents();

    struct : IRepairLog {
        std::vector<std::string> lines;
        void AppendLine(const std::string& line) override { lines.push_back(line); }
    } log;
    struct : IRepairProgress {
        void SetRange(int, int) override {}
        void SetPos(int) override {}
    } progress;
    CRepairEngine engine(ui, log, progress);
    engine.Run(path, dir.File("checked.Nota"));
    EXPECT_EQ(log.lines.back(), CRepairEngine::kNoErrors);
}
