// `nota`'s front door: help, version, the command table and the final check that what a
// command printed reached standard output.
#include "cli/BackupCommands.h"
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/ExchangeCommands.h"
#include "cli/FindCommand.h"
#include "cli/MaintenanceCommands.h"
#include "platform/Version.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <ostream>

namespace cli {

namespace {

using Fn = int (*)(const Call&, Streams&);

Fn Function(std::string_view name) {
    static const std::map<std::string_view, Fn> functions = {
        {"new", New},         {"tree", Tree},       {"cat", Cat},         {"add", Add},
        {"put", Put},         {"rm", Rm},           {"mv", Mv},           {"cp", Cp},
        {"ls", Ls},           {"find", Find},       {"compact", Compact}, {"check", Check},
        {"repair", Repair},   {"export", Export},   {"import", Import},   {"backup", Backup},
        {"backups", Backups}, {"restore", Restore},
    };
    auto it = functions.find(name);
    return it == functions.end() ? nullptr : it->second;
}

int UnknownCommand(const std::string& name, Streams& io) {
    io.err << "unknown command '" << name << "' (see 'nota help')\n";
    return 2;
}

int Help(const Args& words, Streams& io) {
    if (words.size() > 2) {
        io.err << "usage: nota help [COMMAND]\n";
        return 2;
    }
    if (words.size() == 1) {
        PrintOverview(io.out);
        return 0;
    }
    const CommandInfo* info = FindCommandInfo(words[1]);
    if (!info)
        return UnknownCommand(words[1], io);
    PrintCommandHelp(*info, io.out);
    return 0;
}

int Run(const Args& words, Streams& io) {
    if (words.empty()) {
        io.err << "no command given (see 'nota help')\n";
        return 2;
    }
    const std::string& name = words[0];
    if (name == "help" || name == "--help" || name == "-h")
        return Help(words, io);
    if (name == "--version") {
        io.out << "nota " << version::Text() << '\n';
        return 0;
    }
    const CommandInfo* info = FindCommandInfo(name);
    if (!info)
        return UnknownCommand(name, io);
    Call call;
    switch (ParseCall(*info, Args(words.begin() + 1, words.end()), call, io.err)) {
    case ParseResult::Help:
        PrintCommandHelp(*info, io.out);
        return 0;
    case ParseResult::UsageError:
        return 2;
    case ParseResult::Run:
        break;
    }
    return Function(name)(call, io);
}

} // namespace

int Main(const Args& words, Streams& io) {
    errno = 0;
    int status = Run(words, io);
    if (!io.out.flush()) {
        int code = errno;
        io.err << "cannot write to standard output"
               << (code ? std::string(": ") + std::strerror(code) : std::string()) << '\n';
        if (status == 0)
            status = !words.empty() && words[0] == "find" ? 2 : 1;
    }
    return status;
}

} // namespace cli
