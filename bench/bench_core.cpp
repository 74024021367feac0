// Figures for the data core: opening (loading the tree of) a file of a million items, saving
// that tree, and reading every text of a file with a gigabyte of text.
//
//   nota_bench [DIR]            make the files in DIR (default /tmp/nota-bench) and measure
//   nota_bench load FILE        one measured load, in a fresh process (for peak memory)

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "store/TreeStream.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU time of this process, which other work on the machine does not inflate.
double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

long PeakRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024;
}

// Shows the messages a run gives on standard error.
class CQuietUi : public CNullUi {
public:
    int MessageBox(const std::string& text, UINT type) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return CNullUi::MessageBox(text, type);
    }
};

// A million items: the root, 1,000 folders of 999 textlets each.
void MakeMillionItemFile(const std::string& path) {
    CQuietUi ui;
    CNotariumDoc::PrepareDataFile(path, true, ui);
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium", 1, 1);
    char title[64];
    for (int f = 0; f < 1000; ++f) {
        std::snprintf(title, sizeof title, "Folder %04d", f);
        HTREEITEM folder = tree.InsertItem(title, 4, 4, root, TVI_SORT);
        for (int t = 0; t < 999; ++t) {
            std::snprintf(title, sizeof title, "Textlet %04d of folder %04d", t, f);
            tree.InsertItem(title, 8, 8, folder, TVI_SORT);
        }
    }
    CBlockFile file(path, CFile::modeReadWrite);
    file.CheckSignature();
    treestream::WriteTree(file, tree);
    file.Close();
    std::printf("made %s: %u items, %.1f MB\n", path.c_str(), tree.GetCount(),
                std::filesystem::file_size(path) / 1e6);
}

// About a gigabyte of text in 100,000 textlets of 10,000 bytes, laid out as written.
void MakeGigabyteFile(const std::string& path) {
    CQuietUi ui;
    CNotariumDoc::PrepareDataFile(path, true, ui);
    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Notarium", 1, 1);
    CBlockFile file(path, CFile::modeReadWrite);
    file.CheckSignature();
    file.SetJournaled(false); // made once for measuring: no crash to survive
    CStoreOperation op(file);
    std::string text(9999, 'x');
    for (std::size_t i = 0; i < text.size(); i += 61)
        text[i] = '\n';
    char title[64];
    for (int i = 0; i < 100000; ++i) {
        DWORD chain = file.BeginNewChain();
        DWORD length = static_cast<DWORD>(text.size() + 1);
        file.WriteData(&length, 4);
        file.WriteData(text.c_str(), text.size() + 1);
        file.EndTransfer();
        std::snprintf(title, sizeof title, "Text %06d", i);
        tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM, title, 8, 8, 0, 0, chain, root,
                        TVI_SORT);
    }
    treestream::WriteTree(file, tree);
    op.Commit();
    file.Close();
    std::printf("made %s: %.2f GB\n", path.c_str(), std::filesystem::file_size(path) / 1e9);
}

int MeasureLoad(const std::string& path) {
    CQuietUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    long before = PeakRssMb();
    auto t0 = Clock::now();
    double c0 = CpuSeconds();
    if (!doc.OnOpenDocument(path))
        return 1;
    CTreeCtrl& tree = doc.Tree();
    doc.ReloadTree();
    double load = Seconds(t0), loadCpu = CpuSeconds() - c0;
    long peak = PeakRssMb();
    auto t1 = Clock::now();
    double c1 = CpuSeconds();
    doc.SaveTree();
    double save = Seconds(t1), saveCpu = CpuSeconds() - c1;
    std::printf("open + load tree of %u items: %.3f s wall, %.3f s CPU, peak memory %ld MB "
                "(%ld MB before)\n",
                tree.GetCount(), load, loadCpu, peak, before);
    std::printf("SaveTree of %u items: %.3f s wall, %.3f s CPU (with the commit to disk)\n",
                tree.GetCount(), save, saveCpu);
    return 0;
}

double ReadAllTexts(CNotariumDoc& doc, CTreeCtrl& tree, std::uint64_t& bytes) {
    auto t0 = Clock::now();
    std::string text;
    bytes = 0;
    for (HTREEITEM h = tree.GetRootItem(); h; h = treewalk::NextPreorder(tree, h))
        bytes += doc.ReadText(h, text);
    return Seconds(t0);
}

int MeasureReadAll(const std::string& path) {
    CQuietUi ui;
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path))
        return 1;
    CTreeCtrl& tree = doc.Tree();
    doc.ReloadTree();
    std::uint64_t bytes = 0;
    ReadAllTexts(doc, tree, bytes); // warm the cache
    double c0 = CpuSeconds();
    double secs = ReadAllTexts(doc, tree, bytes);
    std::printf("read every text: %.2f GB in %.3f s wall, %.3f s CPU (%.0f MB/s), warm cache\n",
                bytes / 1e9, secs, CpuSeconds() - c0, bytes / 1e6 / secs);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "load")
        return MeasureLoad(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "readall")
        return MeasureReadAll(argv[2]);
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench";
    std::filesystem::create_directories(dir);
    std::string million = dir + "/million.Nota", giga = dir + "/giga.Nota";
    if (!std::filesystem::exists(million))
        MakeMillionItemFile(million);
    if (!std::filesystem::exists(giga))
        MakeGigabyteFile(giga);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    for (int run = 0; run < 3; ++run)
        if (std::system((self + " load " + million).c_str()) != 0)
            return 1;
    return std::system((self + " readall " + giga).c_str()) == 0 ? 0 : 1;
}
