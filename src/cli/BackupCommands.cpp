// nota backup, backups and restore: the window's backups from the command line.
#include "cli/BackupCommands.h"

#include "app/Backup.h"
#include "cli/ConsoleUi.h"

#include <ctime>
#include <ostream>

namespace cli {

namespace {

std::string FolderOf(const Call& call) {
    return call.args.size() > 1 ? call.args[1] : backup::FolderFor(call.args[0]);
}

std::string UtcText(std::time_t t) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

} // namespace

int Backup(const Call& call, Streams& io) {
    CConsoleUi ui(io.err);
    backup::Options options;
    options.folder = FolderOf(call);
    if (options.folder.back() != '/')
        options.folder += '/';
    backup::Result r = backup::BackUpFile(call.args[0], ui, options);
    if (r.outcome != backup::Outcome::Made) {
        if (ui.ErrorCount() == 0 || r.outcome != backup::Outcome::Failed)
            io.err << r.message << '\n';
        return 1;
    }
    io.out << r.path << '\n';
    return 0;
}

int Backups(const Call& call, Streams& io) {
    for (const backup::Entry& e : backup::List(FolderOf(call), true)) {
        io.out << UtcText(e.time) << '\t' << e.size << '\t';
        if (e.bSound)
            io.out << e.nItems;
        else
            io.out << "damaged";
        io.out << '\t' << e.path << '\n';
    }
    return 0;
}

int Restore(const Call& call, Streams& io) {
    std::string error;
    if (!backup::RestoreFile(call.args[0], call.args[1], error)) {
        io.err << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace cli
