// Stops compaction at every step that writes, renames or removes a file, and checks at that
// very moment and afterwards that the data file is either the old file or the compacted one.

#include "app/NotariumDoc.h"
#include "platform/File.h"
#include "support/CrashLoop.h"
#include "support/FileBuilder.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>

using namespace nota;

namespace {

CFileBuilder Fragmented() {
    CFileBuilder b;
    DWORD tree = b.AddBlock(0, 0);
    b.SetTreeData(tree);
    DWORD free1 = b.AddBlock(0, 0);
    DWORD big = b.AddText(std::string(3000, 'b'));
    b.SetFreeList(free1);
    DWORD small = b.AddText("small");
    auto stream = CTreeStreamBuilder()
                      .Item(IMAGE_ROOT, "Notarium")
                      .Leaf(IMAGE_TEXTLET, "Small", small)
                      .Leaf(IMAGE_TEXTLET, "Big", big)
                      .End()
                      .Finish();
    b.PutChain({tree}, stream);
    return b;
}

struct Session {
    CRecordingUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    CTreeCtrl& tree = doc.Tree();
};

} // namespace

TEST(CompactionCrashTest, DataFileIsAlwaysWholeOldOrNew) {
    CTempDir dir;
    std::string path = dir.File("data.Nota");
    const std::vector<BYTE> original = Fragmented().bytes;

    WriteFileBytes(path, original);
    int steps = 0;
    std::vector<BYTE> compacted;
    {
        Session run;
        ASSERT_TRUE(run.doc.OnOpenDocument(path));
        ASSERT_TRUE(run.doc.ReloadTree());
        bool ok = false;
        steps = CountFileSteps([&] { ok = run.doc.OnCompact(false); });
        ASSERT_TRUE(ok);
        compacted = ReadFileBytes(path);
    }
    ASSERT_NE(compacted, original);
    ASSERT_GT(steps, 5);

    auto whole = [&] {
        std::vector<BYTE> now = ReadFileBytes(path);
        return now == original || now == compacted;
    };
    std::optional<Session> run;
    auto reset = [&] {
        WriteFileBytes(path, original);
        run.reset();
        run.emplace();
        ASSERT_TRUE(run->doc.OnOpenDocument(path));
        ASSERT_TRUE(run->doc.ReloadTree());
    };
    StopAtEveryStep(
        steps, CFileException::hardIO, reset, [&] { run->doc.OnCompact(false); }, whole,
        [&](int stop, bool wholeAtStop) {
            EXPECT_TRUE(wholeAtStop) << "at step " << stop;
            EXPECT_TRUE(whole()) << "after step " << stop;
            // Whatever happened, the document still reads the texts it shows.
            if (run->doc.IsOpen() && run->tree.GetCount() > 0) {
                HTREEITEM big = run->tree.GetChildItem(run->tree.GetRootItem()); // sorted first
                ASSERT_EQ(run->tree.GetItemText(big), "Big");
                std::string text;
                run->doc.ReadText(big, text);
                EXPECT_EQ(text, std::string(3000, 'b')) << "at step " << stop;
            }
        });
}
