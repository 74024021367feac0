// Figures for file maintenance: compaction and repair of a file with a gigabyte of text, each
// against the time `cp` takes to copy the same file in the same run (warm cache), and the
// peak memory of a repair.
//
//   nota_bench_maintenance [DIR [MB]]   make a file of MB megabytes of text (default 1024)
//                                        in DIR (default /tmp/nota-bench-maint) and measure
//   nota_bench_maintenance repair SRC DST   one repair, in a fresh process (for peak memory)
//   nota_bench_maintenance make FILE MB     only make the file
//   nota_bench_maintenance compact FILE     one compaction

#include "BenchFiles.h"

#include "app/NotariumDoc.h"
#include "repair/RepairEngine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Shows the messages a run gives on standard error.
class CQuietUi : public CNullUi {
public:
    int MessageBox(const std::string& text, UINT type) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return CNullUi::MessageBox(text, type);
    }
};

// Keeps the last line and the time spent in each step.
class CQuietLog : public IRepairLog {
public:
    std::string last;
    std::vector<std::pair<std::string, double>> steps;
    Clock::time_point since = Clock::now();
    void AppendLine(const std::string& line) override { last = line; }
    void OnStatus(const std::string& text) override {
        if (!steps.empty())
            steps.back().second = Seconds(since);
        since = Clock::now();
        steps.emplace_back(text, 0.0);
    }
};

class CQuietProgress : public IRepairProgress {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
};

constexpr std::size_t kTextBytes = 10000;

// The root, a folder per 1,000 textlets of 10,000 bytes, the texts written in the reverse of
// the tree's order and with a free block after every tenth, so compaction has to move them.
void MakeFile(const std::string& path, std::size_t megabytes) {
    benchfiles::Tree tree;
    benchfiles::MakeTree(tree, megabytes * 1024 * 1024 / kTextBytes);
    std::string text(kTextBytes, 'x');
    for (std::size_t i = 0; i < text.size(); i += 64)
        text.replace(i, 2, "\r\n");
    text.back() = 0;
    benchfiles::WriteFile(
        path, tree, [&](std::size_t) -> const std::string& { return text; },
        benchfiles::Layout::Reversed);
}

// Processor time (user + system) of this process or of its finished children.
double CpuSeconds(int who) {
    rusage ru{};
    getrusage(who, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0, cpu = 0;
};

Timing TimeShell(const std::string& command) {
    double cpu = CpuSeconds(RUSAGE_CHILDREN);
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return {Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu};
}

Timing TimeCompaction(const std::string& path) {
    CQuietUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path) || !doc.ReloadTree())
        return {-1, -1};
    double cpu = CpuSeconds(RUSAGE_SELF);
    auto start = Clock::now();
    bool ok = doc.OnCompact(false);
    Timing t{Seconds(start), CpuSeconds(RUSAGE_SELF) - cpu};
    return ok ? t : Timing{-1, -1};
}

int RepairOnce(const std::string& source, const std::string& target) {
    CQuietUi ui;
    CQuietLog log;
    CQuietProgress progress;
    CRepairEngine engine(ui, log, progress);
    engine.Run(source, target);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("  %s\n  peak memory of the repair process: %ld MB\n", log.last.c_str(),
                ru.ru_maxrss / 1024);
    for (const auto& [step, seconds] : log.steps)
        if (seconds >= 0.05)
            std::printf("    %6.2f s  %s\n", seconds, step.c_str());
    return engine.GetErrorCount() == 0 ? 0 : 1;
}

// A repair in a child process of its own, so that its peak memory is its own.
Timing TimeRepairProcess(const char* self, const std::string& source, const std::string& target) {
    std::fflush(stdout);
    double cpu = CpuSeconds(RUSAGE_CHILDREN);
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execl(self, self, "repair", source.c_str(), target.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return {Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu};
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "repair")
        return RepairOnce(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "make") {
        MakeFile(argv[2], std::strtoul(argv[3], nullptr, 10));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "compact") {
        std::printf("compaction: %.2f s\n", TimeCompaction(argv[2]).wall);
        return 0;
    }
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-maint";
    std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    std::filesystem::create_directories(dir);
    std::string file = dir + "/big.Nota", copy = dir + "/copy.Nota",
                repaired = dir + "/repaired.Nota";

    auto start = Clock::now();
    MakeFile(file, megabytes);
    std::uintmax_t size = std::filesystem::file_size(file);
    std::printf("file: %.1f MB (%zu MB of text), made in %.1f s\n", size / 1048576.0, megabytes,
                Seconds(start));

    // Each measurement starts with nothing left to write back.
    auto settle = [] { TimeShell("sync"); };
    TimeShell("cp " + file + " " + copy); // warms the cache
    settle();
    Timing cp = TimeShell("cp " + file + " " + copy);
    settle();
    Timing cpSync = TimeShell("cp " + file + " " + copy + " && sync " + copy);
    settle();
    auto report = [&](const char* what, Timing t) {
        std::printf("%-18s %6.2f s wall = %5.2f x cp, %5.2f x cp + sync;  %6.2f s processor\n",
                    what, t.wall, t.wall / cp.wall, t.wall / cpSync.wall, t.cpu);
    };
    std::printf("%-18s %6.2f s wall;  %6.2f s processor\n", "cp:", cp.wall, cp.cpu);
    std::printf("%-18s %6.2f s wall;  %6.2f s processor\n", "cp + sync:", cpSync.wall, cpSync.cpu);
    report("repair:", TimeRepairProcess(argv[0], file, repaired));
    settle();
    report("compaction:", TimeCompaction(file));
    std::printf("compacted file:    %.1f MB\n", std::filesystem::file_size(file) / 1048576.0);
    settle();
    report("repair, compacted:", TimeRepairProcess(argv[0], file, repaired));

    std::filesystem::remove(copy);
    std::filesystem::remove(repaired);
    std::filesystem::remove(file);
    return 0;
}
