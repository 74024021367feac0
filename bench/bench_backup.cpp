// Figures for backups: a backup of a file with a gigabyte of text (the copy, committed, then
// the check) against `cp` of the same file in the same run (warm cache), and the copy alone.
//
//   nota_bench_backup [DIR [MB]]   make a file of MB megabytes of text (default 1024) in DIR
//                                  (default /tmp/nota-bench-backup) and measure; a DIR on a
//                                  file system with clones (btrfs, XFS) measures the clone

#include "BenchFiles.h"

#include "app/Backup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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

void MakeFile(const std::string& path, std::size_t megabytes) {
    constexpr std::size_t kTextBytes = 10000;
    benchfiles::Tree tree;
    benchfiles::MakeTree(tree, megabytes * 1024 * 1024 / kTextBytes);
    std::string text = benchfiles::Prose(1, kTextBytes);
    benchfiles::WriteFile(
        path, tree, [&](std::size_t) -> const std::string& { return text; },
        benchfiles::Layout::InOrder);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-backup";
    std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    std::filesystem::create_directories(dir);
    std::string file = dir + "/big.Nota", copy = dir + "/copy.Nota", folder = dir + "/backups/";

    MakeFile(file, megabytes);
    std::printf("file: %.1f MB\n", std::filesystem::file_size(file) / 1048576.0);
    auto settle = [] { TimeShell("sync"); };
    TimeShell("cp " + file + " " + copy); // warms the cache
    settle();
    double cp = TimeShell("cp " + file + " " + copy);
    settle();
    double cpSync = TimeShell("cp " + file + " " + copy + " && sync " + copy);
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
    auto start = Clock::now();
    backup::Result r = backup::BackUpDocument(doc, options);
    double total = Seconds(start);
    if (r.outcome != backup::Outcome::Made) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    start = Clock::now();
    backup::Verdict v = backup::Check(r.path);
    double check = Seconds(start);
    double copyOnly = total - check;
    std::printf("cp:                %6.2f s\n", cp);
    std::printf("cp + sync:         %6.2f s\n", cpSync);
    std::printf("backup (%s):    %6.2f s = %5.2f x cp, %5.2f x cp + sync\n", r.method.c_str(),
                total, total / cp, total / cpSync);
    std::printf("  its copy:        %6.2f s = %5.2f x cp, %5.2f x cp + sync\n", copyOnly,
                copyOnly / cp, copyOnly / cpSync);
    std::printf("  its check:       %6.2f s (%zu items, %s)\n", check, v.nItems,
                v.bSound ? "sound" : "damaged");
    doc.DeleteContents();
    std::filesystem::remove(r.path);
    std::filesystem::remove(copy);
    std::filesystem::remove(file);
    return 0;
}
