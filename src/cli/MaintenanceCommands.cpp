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

namespace cli {

namespace {

// The repair log: its lines go to standard output as they come; an error line also goes to
// standard error (a fatal error reaches it as the engine's message instead).
class CConsoleLog : public IRepairLog {
public:
    explicit CConsoleLog(Streams& io) : m_io(io) {}
    void AppendLine(const std::string& line) override {
        m_io.out << line << std::endl;
        if (line.compare(0, 7, "ERROR: ") == 0)
            m_io.err << line << '\n';
    }

private:
    Streams& m_io;
};

class CNoProgress : public IRepairProgress {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
};

// One repair run (or a check: the same run without writing the copy); the exit status by its
// outcome.
int RepairTo(const std::string& source, const std::string& target, Streams& io,
             bool bCheckOnly = false) {
    CConsoleUi ui(io.err);
    CConsoleLog log(io);
    CNoProgress progress;
    CRepairEngine engine(ui, log, progress);
    engine.SetCheckOnly(bCheckOnly);
    try {
        engine.Run(source, target);
    } catch (const CRepairAbort&) {
        return 2; // logged and shown already
    } catch (const std::exception& e) {
        io.err << FormatUnexpectedError(e, engine.GetStatusText()) << std::endl;
        return 2;
    }
    return engine.GetErrorCount() == 0 ? 0 : 1;
}

} // namespace

int Compact(const Call& call, Streams& io) {
    CConsoleUi ui(io.err);
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(call.args[0]))
        return 1;
    if (!doc.ReloadTree())
        return 1;
    bool ok = doc.OnCompact(false);
    doc.DeleteContents();
    return ok ? 0 : 1;
}

int Check(const Call& call, Streams& io) {
    // A check is a repair whose copy is never written. The log names a scratch file as its
    // target, as it always has; an older version's check may have left that file behind.
    std::string dir;
    if (!fs_util::GetTempPath(dir)) {
        io.err << "Error creating temporary file." << std::endl;
        return 2;
    }
    std::string flat = fs_util::ResolveLinks(call.args[0]);
    for (char& c : flat)
        if (c == '/')
            c = '_';
    const std::string scratch = fs_util::WorkFilePath(dir + flat, "NOTACHK");
    int status = RepairTo(call.args[0], scratch, io, true);
    fs_util::DeleteFile(scratch);
    return status;
}

int Repair(const Call& call, Streams& io) {
    const std::string& target = call.args[1];
    if (!call.Has("--force") && fs_util::FileExists(target)) {
        io.err << target << " already exists (use --force to replace it).\n";
        return 2;
    }
    return RepairTo(call.args[0], target, io);
}

} // namespace cli

namespace {

int RunOnStandardStreams(int (*run)(const cli::Call&, cli::Streams&), cli::Call call) {
    cli::Streams io{std::cin, std::cout, std::cerr};
    return run(call, io);
}

int Usage(const char* line) {
    std::cerr << "usage: " << line << std::endl;
    return 2;
}

} // namespace

int RunCompact(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage("nota compact FILE");
    return RunOnStandardStreams(cli::Compact, {args, {}});
}

int RunCheck(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage("nota check FILE");
    return RunOnStandardStreams(cli::Check, {args, {}});
}

int RunRepair(const std::vector<std::string>& args) {
    cli::Call call;
    for (const std::string& a : args)
        (a == "--force" ? call.options.insert(a), void() : call.args.push_back(a));
    if (call.args.size() != 2)
        return Usage("nota repair SOURCE TARGET");
    return RunOnStandardStreams(cli::Repair, call);
}
