// Figures for files as years of editing leave them: TEXTS texts (default 10,000) of BLOCKS
// blocks each (default 50: 256 MB in all) whose blocks interleave, so that no two blocks of a
// chain are neighbours; then the same file compacted. On each, in the same run, warm cache,
// medians of 5:
//   - compaction and `nota repair` against `dd bs=1M conv=fsync` of the same file (limit 1.5;
//     also against dd into a new file, as they write theirs),
//   - `nota check` against `grep -c -i -F` over the file (limit 2),
//   - `nota find` of an absent word against the same grep (limit 1.5),
// and the peak memory of the repair process.
//
//   nota_bench_fragmented [DIR [TEXTS [BLOCKS]]]   files in DIR (default /tmp/nota-bench-frag)
//   nota_bench_fragmented make DIR [TEXTS [BLOCKS]] only make the two files (and keep them)

#include "BenchFiles.h"

#include "app/NotariumDoc.h"
#include "store/DataFormat.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;
const char* const kAbsent = "Zephyrs quixotic"; // no word of the texts has a 'z' or 'q'

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Shell(const std::string& command) {
    int status = std::system(command.c_str());
    if (status == -1 || WEXITSTATUS(status) > 1)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// The median of kRuns timed runs (after one untimed), each after its own untimed setup.
double Median(const std::function<void()>& run, const std::function<void()>& setup = {}) {
    std::vector<double> times;
    for (int i = 0; i <= kRuns; ++i) {
        if (setup)
            setup();
        auto start = Clock::now();
        run();
        if (i > 0)
            times.push_back(Seconds(start));
    }
    std::sort(times.begin(), times.end());
    return times[kRuns / 2];
}

long g_peakKb = 0; // the largest peak resident size of a `nota` run so far

// Runs `nota` with the arguments, its output thrown away; notes its peak memory.
void Nota(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(NOTA_CLI)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        execv(NOTA_CLI, argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
        std::fprintf(stderr, "nota %s failed (%d)\n", args[0].c_str(), status);
    g_peakKb = std::max(g_peakKb, ru.ru_maxrss);
}

bool Compact(const std::string& path) {
    CNullUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    return doc.OnOpenDocument(path) && doc.ReloadTree() && doc.OnCompact(false);
}

void Report(const char* what, double seconds, const char* against, double reference, double limit) {
    double ratio = seconds / reference;
    std::printf("  %-22s %7.3f s = %5.2f x %-16s (limit %.1f: %s)\n", what, seconds, ratio, against,
                limit, ratio <= limit ? "met" : "NOT MET");
}

void Measure(const std::string& file, const std::string& dir) {
    const std::string work = dir + "/work.Nota", out = dir + "/out.Nota";
    std::printf("%s: %.1f MB\n", file.c_str(), std::filesystem::file_size(file) / 1048576.0);
    Shell("cat '" + file + "' > /dev/null"); // warm
    auto settle = [] { Shell("sync"); };

    double dd =
        Median([&] { Shell("dd if='" + file + "' of='" + out + "' bs=1M conv=fsync status=none"); },
               settle);
    // dd into a file of a new name each time, the earlier ones kept, as compaction and
    // repair build theirs: the pages of the copy are new to the page cache then, not those
    // dd's own truncation just gave back (a difference of its own on some machines).
    int n = 0;
    double ddNew = Median(
        [&] {
            Shell("dd if='" + file + "' of='" + out + std::to_string(++n) +
                  "' bs=1M conv=fsync status=none");
        },
        settle);
    for (int i = 1; i <= n; ++i)
        std::filesystem::remove(out + std::to_string(i));
    double grep = Median([&] {
        Shell("LC_ALL=C grep -c -i -F '" + std::string(kAbsent) + "' '" + file + "' >/dev/null");
    });
    double compaction = Median(
        [&] {
            if (!Compact(work))
                std::fprintf(stderr, "compaction failed\n");
        },
        [&] {
            std::filesystem::copy_file(file, work,
                                       std::filesystem::copy_options::overwrite_existing);
            Shell("sync");
        });
    g_peakKb = 0;
    double repair = Median([&] { Nota({"repair", file, out, "--force"}); }, settle);
    long repairKb = g_peakKb;
    g_peakKb = 0;
    double check = Median([&] { Nota({"check", file}); });
    long checkKb = g_peakKb;
    double find = Median([&] { Nota({"find", file, kAbsent}); });

    std::printf("  %-22s %7.3f s\n", "dd bs=1M conv=fsync:", dd);
    std::printf("  %-22s %7.3f s (compaction %.2f x, repair %.2f x)\n", "dd to a new file:", ddNew,
                compaction / ddNew, repair / ddNew);
    std::printf("  %-22s %7.3f s\n", "grep -c -i -F:", grep);
    Report("compaction:", compaction, "dd", dd, 1.5);
    Report("nota repair:", repair, "dd", dd, 1.5);
    Report("nota check:", check, "grep", grep, 2.0);
    Report("nota find (absent):", find, "grep", grep, 1.5);
    std::printf("  peak memory: nota repair %ld MB, nota check %ld MB\n", repairKb / 1024,
                checkKb / 1024);
    std::filesystem::remove(work);
    std::filesystem::remove(out);
}

} // namespace

int main(int argc, char** argv) {
    const bool onlyMake = argc > 2 && std::string(argv[1]) == "make";
    if (onlyMake) {
        --argc;
        ++argv;
    }
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-frag";
    std::size_t count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10000;
    std::size_t blocks = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 50;
    std::filesystem::create_directories(dir);
    const std::string fragmented = dir + "/fragmented.Nota", compacted = dir + "/compacted.Nota";

    // Texts that fill their blocks exactly (the length field takes 4 bytes of the first).
    std::vector<std::string> texts;
    for (unsigned s = 0; s < 64; ++s)
        texts.push_back(benchfiles::Prose(s, blocks * nota::BLOCK_DATA - 4));
    auto start = Clock::now();
    {
        benchfiles::Tree tree;
        benchfiles::MakeTree(tree, count);
        benchfiles::WriteFile(
            fragmented, tree, [&](std::size_t i) -> const std::string& { return texts[i % 64]; },
            benchfiles::Layout::Interleaved);
    }
    std::filesystem::copy_file(fragmented, compacted,
                               std::filesystem::copy_options::overwrite_existing);
    if (!Compact(compacted))
        return 1;
    std::printf("made %zu texts of %zu interleaved blocks and the file compacted: %.1f s\n", count,
                blocks, Seconds(start));
    if (onlyMake)
        return 0;

    Measure(fragmented, dir);
    Measure(compacted, dir);
    std::filesystem::remove(fragmented);
    std::filesystem::remove(compacted);
    return 0;
}
