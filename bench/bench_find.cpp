// Figures for searching: an entire-file Find Next for an absent pattern over a file with a
// gigabyte of text, with and without match case, each against `LC_ALL=C grep -c -F` (and
// -i) over the same file in the same run; Mark All of a pattern in every one of a million
// items; Next and Previous Bookmark across a million items. Warm cache, medians of 5 runs.
//
//   nota_bench_find [DIR [MB [ITEMS]]]   text file of MB megabytes (default 1024) in DIR
//                                         (default /tmp/nota-bench-find); trees of ITEMS
//                                         items (default 1000000)

#include "BenchFiles.h"

#include "app/Bookmarks.h"
#include "app/NotariumDoc.h"
#include "app/SearchWalk.h"
#include "app/TreeWalk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kTextBytes = 10000;
constexpr int kRuns = 5;
const char* const kAbsent = "Zephyrs quixotic"; // no word of the texts has a 'z' or 'q'

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of this process and of its finished children (grep), which the other work on a
// shared machine does not inflate as it does wall time.
double CpuSeconds() {
    auto secs = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return secs(self.ru_utime) + secs(self.ru_stime) + secs(children.ru_utime) +
           secs(children.ru_stime);
}

double g_lastCpu = 0; // the CPU median of the last Median call

double Median(const std::function<void()>& run) {
    run(); // warm up
    std::vector<double> times, cpu;
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = Clock::now();
        double c0 = CpuSeconds();
        run();
        times.push_back(Seconds(t0));
        cpu.push_back(CpuSeconds() - c0);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    g_lastCpu = cpu[kRuns / 2];
    return times[kRuns / 2];
}

// Prose of common words, different per seed, kTextBytes - 1 bytes (without the NUL).
std::string MakeText(unsigned seed) {
    std::string text = benchfiles::Prose(seed, kTextBytes);
    text.pop_back();
    return text;
}

// MB megabytes of text in textlets of 10,000 bytes, 1,000 to a folder, chains laid out one
// after the other as a compacted file has them.
void MakeTextFile(const std::string& path, std::size_t megabytes) {
    std::size_t count = megabytes * 1000 * 1000 / kTextBytes;
    benchfiles::Tree tree;
    benchfiles::MakeTree(tree, count);
    std::vector<std::string> texts;
    for (unsigned s = 0; s < 64; ++s)
        texts.push_back(benchfiles::Prose(s, kTextBytes));
    benchfiles::WriteFile(
        path, tree, [&](std::size_t i) -> const std::string& { return texts[i % texts.size()]; },
        benchfiles::Layout::InOrder);
    std::printf("made %s: %zu textlets, %.2f GB\n", path.c_str(), count,
                std::filesystem::file_size(path) / 1e9);
}

double Grep(const std::string& options, const std::string& path) {
    std::string cmd =
        "LC_ALL=C grep -c " + options + " '" + kAbsent + "' '" + path + "' > /dev/null";
    return Median([&] {
        int status = std::system(cmd.c_str());
        if (status == -1 || WEXITSTATUS(status) > 1)
            std::fprintf(stderr, "grep failed\n");
    });
}

int SearchFile(const std::string& path) {
    CNullUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    auto t0 = Clock::now();
    if (!doc.OnOpenDocument(path))
        return 1;
    CTreeCtrl& tree = doc.Tree();
    doc.ReloadTree();
    std::printf("open and load the tree of %u items: %.3f s\n", tree.GetCount(), Seconds(t0));
    CStoreTextReader reader(doc.Store());
    // The window's poll looks at the clock; so does this one.
    Clock::time_point lastPoll = Clock::now();
    CStopCheck stop([&] {
        lastPoll = Clock::now();
        return false;
    });
    std::uint64_t bytes = 0;
    double read = Median([&] {
        bytes = 0;
        for (HTREEITEM h = tree.GetRootItem(); h; h = treewalk::NextPreorder(tree, h))
            bytes += reader.ReadText(tree, h).size();
    });
    std::printf("read every text (%.2f GB): %.3f s, %.0f MB/s, CPU %.3f s\n", bytes / 1e9, read,
                bytes / 1e6 / read, g_lastCpu);
    for (bool matchCase : {true, false}) {
        CStoredPattern pattern;
        pattern.Init(kAbsent, matchCase);
        SearchContext ctx{tree, pattern, reader, stop};
        ItemHit hit;
        double walk = Median([&] { hit = FindAcrossItems(ctx, tree.GetRootItem(), false, false); });
        double walkCpu = g_lastCpu;
        if (hit.hItem)
            std::fprintf(stderr, "the absent pattern was found\n");
        double grep = Grep(matchCase ? "-F" : "-i -F", path);
        double grepCpu = g_lastCpu;
        std::printf("find '%s'%s across every item: %.3f s (%.0f MB/s), CPU %.3f s; "
                    "grep -c%s -F: %.3f s, CPU %.3f s; ratio %.2f (CPU %.2f)\n",
                    kAbsent, matchCase ? " (match case)" : "", walk, bytes / 1e6 / walk, walkCpu,
                    matchCase ? "" : " -i", grep, grepCpu, walk / grep, walkCpu / grepCpu);
    }
    // The search alone, in memory, over the same amount of text.
    std::string big;
    for (unsigned s = 0; s < 64; ++s)
        big += MakeText(s);
    for (bool matchCase : {true, false}) {
        CPatternSearch search;
        search.Init(kAbsent, matchCase);
        std::size_t rounds = std::max<std::size_t>(1, bytes / big.size());
        double t = Median([&] {
            for (std::size_t r = 0; r < rounds; ++r)
                if (search.FindForward(big.data(), big.size()) >= 0)
                    std::fprintf(stderr, "found\n");
        });
        std::printf("pattern search alone%s, in memory: %.0f MB/s\n",
                    matchCase ? " (match case)" : "", rounds * big.size() / 1e6 / t);
    }
    std::printf("stop checks polled every %u items or %zu MB\n", CStopCheck::kItemsPerPoll,
                CStopCheck::kBytesPerPoll >> 20);
    return 0;
}

void MillionItems(std::size_t items) {
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium items", 1, 1);
    std::size_t perFolder = 999;
    char title[64];
    for (std::size_t n = 1, f = 0; n < items; ++f) {
        std::snprintf(title, sizeof title, "Folder item %04zu", f);
        HTREEITEM folder = tree.InsertItem(title, 4, 4, root, TVI_LAST);
        ++n;
        for (std::size_t t = 0; t < perFolder && n < items; ++t, ++n) {
            std::snprintf(title, sizeof title, "Textlet item %04zu of %04zu", t, f);
            tree.InsertItem(title, 8, 8, folder, TVI_LAST);
        }
    }
    CBlockFile noFile; // no item has text: the reader never reads
    CStoreTextReader reader(noFile);
    CStopCheck stop([] { return false; });
    CStoredPattern pattern;
    pattern.Init("ITEM", false);
    SearchContext ctx{tree, pattern, reader, stop};
    MarkAllResult result;
    double mark = Median([&] {
        bookmarks::RemoveAll(tree);
        result = MarkAll(tree, ctx, false);
    });
    std::printf("Mark All of a pattern in each of %u items: %zu hits, %.3f s (with Remove All "
                "before each run)\n",
                tree.GetCount(), result.nHits, mark);
    double removeAll = Median([&] {
        for (HTREEITEM h = root; h; h = treewalk::NextPreorder(tree, h))
            bookmarks::Set(tree, h, true);
        bookmarks::RemoveAll(tree);
    });
    std::printf("set and remove all bookmarks of %u items: %.3f s\n", tree.GetCount(), removeAll);
    HTREEITEM last = treewalk::LastPreorder(tree);
    bookmarks::Set(tree, last, true);
    HTREEITEM found = nullptr;
    double next = Median([&] { found = bookmarks::FindNext(tree, root); });
    std::printf("Next Bookmark from the first to the last of %u items: %.3f s%s\n", tree.GetCount(),
                next, found == last ? "" : " (WRONG ITEM)");
    bookmarks::Set(tree, last, false);
    bookmarks::Set(tree, root, true);
    double prev = Median([&] { found = bookmarks::FindPrevious(tree, last); });
    std::printf("Previous Bookmark from the last to the first of %u items: %.3f s%s\n",
                tree.GetCount(), prev, found == root ? "" : " (WRONG ITEM)");
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-find";
    std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    std::size_t items = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000000;
    std::filesystem::create_directories(dir);
    std::string path = dir + "/text-" + std::to_string(megabytes) + ".Nota";
    if (!std::filesystem::exists(path))
        MakeTextFile(path, megabytes);
    if (SearchFile(path) != 0)
        return 1;
    MillionItems(items);
    return 0;
}
