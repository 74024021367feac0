// Figures for backups: a backup of a file with a gigabyte of text against `cp` of the same
// file in the same run (warm cache): its copy committed to the disk against `cp` and `sync`,
// then the whole backup (copy, commit, check, rename).
//
//   nota_bench_backup [DIR [MB]]   make a file of MB megabytes of text (default 1024) in DIR
//                                  (default /tmp/nota-bench-backup) and measure; a DIR on a
//                                  file system with clones (btrfs, XFS) measures the clone

#include "BenchFiles.h"

#include "app/Backup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double TimeShell(const std::string& command) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return Seconds(start);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-backup";
    std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    std::filesystem::create_directories(dir);
    std::string file = dir + "/big.Nota", copy = dir + "/copy.Nota", folder = dir + "/backups/";

    benchfiles::MakeProseFile(file, megabytes);
    std::printf("file: %.1f MB\n", std::filesystem::file_size(file) / 1048576.0);
    auto settle = [] { TimeShell("sync"); };
    TimeShell("cp " + file + " " + copy); // warms the cache
    settle();
    double cp = TimeShell("cp " + file + " " + copy + " && sync " + copy);
    std::filesystem::remove(copy);
    settle();
    double cpFull = TimeShell("cp --reflink=never " + file + " " + copy + " && sync " + copy);
    std::filesystem::remove(copy);
    settle();

    // The backup's copy alone: the same calls, committed.
    auto start = Clock::now();
    int from = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    int to = ::open(copy.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    std::string method = backup::CopyContents(from, to, std::filesystem::file_size(file), copy);
    ::fdatasync(to);
    ::close(from);
    ::close(to);
    double ours = Seconds(start);
    std::filesystem::remove(copy);
    settle();

    CNullUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(file) || !doc.ReloadTree()) {
        std::fprintf(stderr, "cannot open %s\n", file.c_str());
        return 1;
    }
    backup::Options options;
    options.folder = folder;
    options.bRotate = false;
    start = Clock::now();
    backup::Result r = backup::BackUpDocument(doc, options);
    double total = Seconds(start);
    if (r.outcome != backup::Outcome::Made) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    std::printf("cp + sync:                %6.2f s\n", cp);
    std::printf("cp --reflink=never + sync: %5.2f s\n", cpFull);
    std::printf("backup's copy (%s), committed: %5.2f s = %5.2f x cp + sync, %5.2f x a full cp\n",
                method.c_str(), ours, ours / cp, ours / cpFull);
    std::printf("whole backup, checked:    %6.2f s = %5.2f x cp + sync, %5.2f x a full cp\n", total,
                total / cp, total / cpFull);
    doc.DeleteContents();
    std::filesystem::remove(r.path);
    std::filesystem::remove(copy);
    std::filesystem::remove(file);
    return 0;
}
