// compact, check and repair for `nota`: the same document and repair engine as the window,
// with the terminal as their user interface (cli/ConsoleUi.h).
#include "cli/MaintenanceCommands.h"

#include "app/NotariumDoc.h"
#include "cli/ConsoleUi.h"
#include "platform/FileSystem.h"
#include "repair/RepairEngine.h"

#include <cerrno>
#include <cstdio>
#include <iostream>

namespace {

// The repair log: its lines go to standard output as they come.
class CConsoleLog : public IRepairLog {
public:
    void AppendLine(const std::string& line) override { std::cout << line << std::endl; }
};

class CNoProgress : public IRepairProgress {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
};

int Usage(const char* line) {
    std::cerr << "usage: " << line << std::endl;
    return 2;
}

// One repair run (or a check: the same run without writing the copy); the exit status by its
// outcome.
int RepairTo(const std::string& source, const std::string& target, bool bCheckOnly = false) {
    CConsoleUi ui(std::cerr);
    CConsoleLog log;
    CNoProgress progress;
    CRepairEngine engine(ui, log, progress);
    engine.SetCheckOnly(bCheckOnly);
    try {
        engine.Run(source, target);
    } catch (const CRepairAbort&) {
        return 2; // logged and shown already
    } catch (const std::exception& e) {
        std::cerr << FormatUnexpectedError(e, engine.GetStatusText()) << std::endl;
        return 2;
    }
    return engine.GetErrorCount() == 0 ? 0 : 1;
}

} // namespace

int RunCompact(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage("nota compact FILE");
    CConsoleUi ui(std::cerr);
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(args[0]))
        return 1;
    if (!doc.ReloadTree())
        return 1;
    bool ok = doc.OnCompact(false);
    doc.DeleteContents();
    return ok ? 0 : 1;
}

int RunCheck(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage("nota check FILE");
    // A check is a repair whose copy is never written. The log names a scratch file as its
    // target, as it always has; an older version's check may have left that file behind.
    std::string dir;
    if (!fs_util::GetTempPath(dir)) {
        std::cerr << "Error creating temporary file." << std::endl;
        return 2;
    }
    std::string flat = fs_util::ResolveLinks(args[0]);
    for (char& c : flat)
        if (c == '/')
            c = '_';
    const std::string scratch = fs_util::WorkFilePath(dir + flat, "NOTACHK");
    int status = RepairTo(args[0], scratch, true);
    fs_util::DeleteFile(scratch);
    return status;
}

int RunRepair(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Usage("nota repair SOURCE TARGET");
    return RepairTo(args[0], args[1]);
}
