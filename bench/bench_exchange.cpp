// Figures for export and import: a database with a gigabyte of text exported as a folder
// tree, against `cp -r` of the exported files in the same run, and those files imported
// into a new database. Warm cache: the files `cp` copies were just written.
//
//   nota_bench_exchange [DIR [MB]]   make a database of MB megabytes of text (default 1024)
//                                     in DIR (default /tmp/nota-bench-exchange) and measure;
//                                     DIR is emptied at the end

#include "BenchFiles.h"

#include "app/Export.h"
#include "app/Import.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr std::size_t kTextBytes = 10000;

// The root, a folder per 1,000 textlets of 10,000 bytes each, the texts in the tree's order
// (as a compaction or an import leaves them).
void MakeFile(const std::string& path, std::size_t megabytes) {
    benchfiles::Tree tree;
    benchfiles::MakeTree(tree, megabytes * 1024 * 1024 / kTextBytes);
    std::string text(kTextBytes, 'x');
    for (std::size_t i = 0; i < text.size(); i += 64)
        text.replace(i, 2, "\r\n");
    text.back() = 0;
    benchfiles::WriteFile(
        path, tree, [&](std::size_t) -> const std::string& { return text; },
        benchfiles::Layout::InOrder);
}

double TimeShell(const std::string& command) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return Seconds(start);
}

struct Opened {
    CNullUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    bool Open(const std::string& path) { return doc.OnOpenDocument(path) && doc.ReloadTree(); }
};

void Print(const char* what, double seconds, double reference) {
    std::printf("  %-34s %7.2f s   %5.2f x cp -r\n", what, seconds, seconds / reference);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-exchange";
    std::size_t mb = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string db = dir + "/bench.Nota", out = dir + "/export", copy = dir + "/copy",
                back = dir + "/back.Nota";

    std::printf("making a database with %zu MB of text...\n", mb);
    std::fflush(stdout);
    MakeFile(db, mb);
    std::printf("  %s: %.0f MB\n", db.c_str(), std::filesystem::file_size(db) / 1048576.0);

    double exportTime = 0, importTime = 0;
    exchange::Report ex, im;
    {
        Opened a;
        if (!a.Open(db))
            return 1;
        auto start = Clock::now();
        ex = exchange::ExportToDirectory(a.doc, nullptr, out);
        exportTime = Seconds(start);
    }
    double cp1 = TimeShell("cp -r '" + out + "' '" + copy + "'");
    std::filesystem::remove_all(copy);
    {
        CNullUi ui;
        CNotariumDoc::PrepareDataFile(back, true, ui);
        Opened b;
        if (!b.Open(back))
            return 1;
        auto start = Clock::now();
        im = exchange::Import(b.doc, nullptr, {out});
        importTime = Seconds(start);
    }
    double cp2 = TimeShell("cp -r '" + out + "' '" + copy + "'");
    double cp = std::min(cp1, cp2);

    std::printf("exchange of %zu MB (%llu folders, %llu textlets):\n", mb,
                static_cast<unsigned long long>(ex.nFolders),
                static_cast<unsigned long long>(ex.nTextlets));
    std::printf("  %-34s %7.2f s, %.2f s (best used below)\n", "cp -r of the exported files", cp1,
                cp2);
    Print("export as a folder tree", exportTime, cp);
    Print("import of those files (committed)", importTime, cp);
    if (!ex.Ok() || !im.Ok() || im.nTextlets != ex.nTextlets)
        std::printf("  PROBLEM: export %s, import %s, %llu of %llu textlets back\n",
                    ex.strError.c_str(), im.strError.c_str(),
                    static_cast<unsigned long long>(im.nTextlets),
                    static_cast<unsigned long long>(ex.nTextlets));
    std::filesystem::remove_all(dir);
    return 0;
}
