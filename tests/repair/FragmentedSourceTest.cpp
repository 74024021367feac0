// The repair engine on sources whose chains interleave, as a check that writes nothing, and
// on a source that another program cuts short in the middle of the run.

#include "RepairFixture.h"

#include "store/ReadWindows.h"

#include <filesystem>
#include <unistd.h>

using namespace nota;

namespace {

// Root "Notarium" with `count` textlets "T<i>" whose texts interleave; a few damaged blocks
// and an unclaimed text block, so that every kind of line is logged.
CFileBuilder InterleavedFile(std::size_t count, std::vector<std::string>& texts) {
    CFileBuilder b;
    DWORD treeBlock = b.AddBlock(0, 0); // the stream is patched in below, at offset 32
    for (std::size_t i = 0; i < count; ++i) {
        std::string text;
        while (text.size() < 300 + i * 211 % 1900)
            text += "line " + std::to_string(i) + "/" + std::to_string(text.size()) + "\r\n";
        texts.push_back(text);
    }
    std::vector<DWORD> firsts = b.AddInterleavedTexts(texts);
    CTreeStreamBuilder s;
    s.Item(IMAGE_ROOT, "Notarium");
    for (std::size_t i = 0; i < count; ++i)
        s.Leaf(IMAGE_TEXTLET, "T" + std::to_string(1000 + i), firsts[i]);
    s.End();
    std::vector<BYTE> stream = s.Finish();
    std::vector<DWORD> treeBlocks{treeBlock};
    while (treeBlocks.size() * BLOCK_DATA < stream.size())
        treeBlocks.push_back(b.AddBlock(0, 0));
    b.PutChain(treeBlocks, stream);
    b.SetTreeData(treeBlock);
    b.SetLength(b.NextOf(firsts[3]), 600); // text 3 breaks at its second block
    b.AddBlock(0, 12, {0, 0, 0, 0, 'l', 'o', 's', 't', '!', 0}); // an unclaimed text
    return b;
}

// Cuts the source when the engine starts copying texts.
class CCuttingLog : public CRecordingLog {
public:
    std::string path;
    std::uint64_t keep = 0;
    void OnStatus(const std::string& text) override {
        CRecordingLog::OnStatus(text);
        if (text == "Writing data to temporary file") {
            EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(keep)), 0);
        }
    }
};

} // namespace

TEST_F(RepairTest, InterleavedTextsAreCopiedWholeIntoConsecutiveBlocks) {
    std::vector<std::string> texts;
    Repair(InterleavedFile(80, texts));
    ASSERT_FALSE(aborted);
    EXPECT_EQ(errors, 3);
    EXPECT_TRUE(Logged("ERROR: Corrupt item data detected : Block contains invalid length field "
                       ": FIX: Truncating data and bookmarking item"));
    EXPECT_TRUE(Logged("ERROR: Unused and invalid block detected : Block contains invalid length "
                       "field : FIX: Discarding block"));
    EXPECT_TRUE(Logged("ERROR: Unused block detected : FIX: Adding Unused:0001 to target file"));
    auto items = TargetItems();
    std::vector<BYTE> out = ReadFileBytes(Target());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const StoredItem* item = FindItem(items, "T" + std::to_string(1000 + i));
        ASSERT_NE(item, nullptr) << i;
        if (i == 3) {
            EXPECT_EQ(TextOf(*item), texts[3].substr(0, BLOCK_DATA - 4 - 1));
            continue;
        }
        EXPECT_EQ(TextOf(*item), texts[i]) << i;
        for (DWORD b = item->textData; GetLE32(out.data() + b) != 0; b += BLOCK_SIZE)
            ASSERT_EQ(GetLE32(out.data() + b), b + BLOCK_SIZE) << i; // consecutive blocks
    }
}

// A check reads and logs exactly as a repair does but never writes the copy.
TEST_F(RepairTest, ACheckLogsWhatARepairLogsAndWritesNothing) {
    std::vector<std::string> texts;
    InterleavedFile(50, texts).WriteTo(Source());
    const auto before = ReadFileBytes(Source());
    Run(Source(), Target());
    const auto repairLog = log.lines;
    const int repairErrors = errors;
    std::filesystem::remove(Target());

    log.lines.clear();
    CRepairEngine engine(ui, log, progress);
    engine.SetCheckOnly(true);
    engine.Run(Source(), Target());
    EXPECT_EQ(log.lines, repairLog);
    EXPECT_EQ(engine.GetErrorCount(), repairErrors);
    EXPECT_FALSE(std::filesystem::exists(Target()));
    EXPECT_EQ(ReadFileBytes(Source()), before);
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().filename().string(), "source.Nota"); // no work file either
}

TEST_F(RepairTest, ASourceCutShortDuringTheRunEndsItWithAnErrorAndLeavesTheTarget) {
    std::vector<std::string> texts;
    CFileBuilder file = InterleavedFile(60, texts);
    file.WriteTo(Source());
    WriteFileBytes(Target(), {'o', 'l', 'd'});
    // Every block from the source's view in memory (the path a walk all over a large file
    // takes), so that the cut meets pages read before.
    unsigned allowance = CReadWindows::SetAllowance(0);
    CCuttingLog cutting;
    cutting.path = Source();
    cutting.keep = file.bytes.size() / 2;
    CRepairEngine engine(ui, cutting, progress);
    try {
        engine.Run(Source(), Target());
        FAIL() << "the run went on";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::endOfFile);
        std::string shown = FormatUnexpectedError(e, engine.GetStatusText());
        EXPECT_EQ(shown.substr(0, shown.find(" :  Last status")),
                  "An unexpected error was encountered : An attempt was made to access " +
                      Source() + " past its end.");
    }
    CReadWindows::SetAllowance(allowance);
    EXPECT_EQ(ReadFileBytes(Target()), (std::vector<BYTE>{'o', 'l', 'd'}));
}
