#include "RepairFixture.h"

#include "cli/MaintenanceCommands.h"

using namespace nota;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

struct Output {
    int status;
    std::string out, err;
};

template <typename F> Output Capture(F&& run) {
    CaptureStdout();
    CaptureStderr();
    int status = run();
    std::string out = GetCapturedStdout();
    return {status, out, GetCapturedStderr()};
}

} // namespace

using MaintenanceCommandsTest = RepairTest;

TEST_F(MaintenanceCommandsTest, UsageErrors) {
    for (auto& [run, usage] :
         std::vector<std::pair<int (*)(const std::vector<std::string>&), std::string>>{
             {RunCompact, "usage: nota compact FILE\n"},
             {RunCheck, "usage: nota check FILE\n"},
             {RunRepair, "usage: nota repair SOURCE TARGET\n"}}) {
        Output o = Capture([&] { return run({}); });
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.err, usage);
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(MaintenanceCommandsTest, CheckAndRepairReportTheOutcomeInTheExitStatus) {
    SoundFile().WriteTo(Source());
    Output sound = Capture([&] { return RunCheck({Source()}); });
    EXPECT_EQ(sound.status, 0);
    EXPECT_EQ(sound.out.substr(0, 14 + Source().size()), "Source file: " + Source() + "\n");
    EXPECT_NE(sound.out.find("\nPROCESS COMPLETE: No errors detected\n"), std::string::npos);

    CFileBuilder damaged = SoundFile();
    damaged.AddBlock(0, 4, {'l', 'o', 's', 't'});
    damaged.WriteTo(Source());
    auto before = ReadFileBytes(Source());
    Output check = Capture([&] { return RunCheck({Source()}); });
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("ERROR: Unused block detected : FIX: Adding Unused:0001 to target "
                             "file\n"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(Source()), before); // check only looks

    Output repair = Capture([&] { return RunRepair({Source(), Target()}); });
    EXPECT_EQ(repair.status, 1);
    EXPECT_EQ(repair.out.substr(repair.out.rfind("PROCESS")),
              "PROCESS COMPLETE: 1 error(s) detected and repaired : Data may have been lost\n");
    EXPECT_EQ(Capture([&] { return RunCheck({Target()}); }).status, 0);

    WriteFileBytes(Source(), {'n', 'o', 'p', 'e'});
    Output fatal = Capture([&] { return RunRepair({Source(), Target(), "--force"}); });
    std::string text = "FATAL ERROR: File does not contain a valid file signature. " + Source() +
                       " is not a valid Notarium data file.\n";
    EXPECT_EQ(fatal.status, 2);
    EXPECT_NE(fatal.out.find(text), std::string::npos);
    EXPECT_EQ(fatal.err, text);
}

TEST_F(MaintenanceCommandsTest, CompactRewritesTheFile) {
    CFileBuilder file = SoundFile();
    file.SetFreeList(file.AddBlock(0, 0));
    file.WriteTo(Source());
    Output o = Capture([&] { return RunCompact({Source()}); });
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    auto bytes = ReadFileBytes(Source());
    EXPECT_EQ(bytes.size(), 32u + 4 * 512);
    EXPECT_EQ(GetLE32(bytes.data() + HDR_FREE_LIST), 0u);
    EXPECT_EQ(TextOf(*FindItem(ReadItems(bytes), "Alpha")), "first");

    Output missing = Capture([&] { return RunCompact({dir.File("none.Nota")}); });
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.Nota"), std::string::npos);
}
