// The cost of atomic changes: each figure with the rollback journal and, for reference, with
// the file written as before it (straight into the file, one commit, no journal), measured
// in the same run on the same files.
//
//   nota_bench_atomic [DIR]     make the files in DIR (default /tmp/nota-bench-atomic)
//
// Built against a tree without the journal, the same source measures that tree's own path
// (the "direct" column then is the only one).

#include "app/NotariumDoc.h"
#include "store/TreeStream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Session {
    CNullUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    CTreeCtrl& tree = doc.Tree();
    Session(const std::string& path, bool journaled) {
        doc.OnOpenDocument(path);
        doc.ReloadTree();
        doc.Store().SetJournaled(journaled);
    }
    void Put(HTREEITEM h, const std::string& text) {
        CMemoryTextPane pane;
        pane.m_text = text;
        doc.SaveText(h, pane);
    }
};

HTREEITEM ChildNamed(const CTreeCtrl& tree, HTREEITEM parent, const std::string& title) {
    for (HTREEITEM h = tree.GetChildItem(parent); h; h = tree.GetNextSiblingItem(h))
        if (tree.GetItemText(h) == title)
            return h;
    return nullptr;
}

// A million items (1,000 folders of 999 textlets), written as one tree stream.
void MakeMillionItemFile(const std::string& path) {
    CNullUi ui;
    CNotariumDoc::PrepareDataFile(path, true, ui);
    CAppSettings settings;
    CNotariumDoc doc(ui, settings);
    doc.OnOpenDocument(path);
    CTreeCtrl& tree = doc.Tree();
    doc.ReloadTree();
    HTREEITEM root = tree.GetRootItem();
    char title[64];
    for (int f = 0; f < 1000; ++f) {
        std::snprintf(title, sizeof title, "Folder %04d", f);
        HTREEITEM folder = tree.InsertItem(title, 4, 4, root, TVI_LAST);
        for (int t = 0; t < 999; ++t) {
            std::snprintf(title, sizeof title, "Textlet %04d of folder %04d", t, f);
            tree.InsertItem(title, 8, 8, folder, TVI_LAST);
        }
    }
    doc.SaveTree();
}

// A folder of 10,000 textlets with short texts, beside a text that must survive.
void MakeFolderFile(const std::string& path) {
    CNullUi ui;
    CNotariumDoc::PrepareDataFile(path, true, ui);
    Session s(path, false);
    HTREEITEM root = s.tree.GetRootItem();
    s.Put(s.doc.InsertNewItem(root, "Keep", false), std::string(10000, 'k'));
    HTREEITEM folder = s.doc.InsertNewItem(root, "Big folder", true);
    CTreeCtrl& tree = s.tree;
    CBlockFile& store = s.doc.Store();
    char title[64];
    CStoreOperation op(store); // one commit for the whole build
    for (int i = 0; i < 10000; ++i) {
        DWORD chain = store.BeginNewChain();
        std::snprintf(title, sizeof title, "Note %05d", i);
        std::string text = std::string(title) + std::string(200, '.');
        DWORD length = static_cast<DWORD>(text.size() + 1);
        store.WriteData(&length, 4);
        store.WriteData(text.c_str(), text.size() + 1);
        store.EndTransfer();
        tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM, title, 8, 8, 0, 0, chain, folder,
                        TVI_LAST);
    }
    treestream::WriteTree(store, tree);
    op.Commit();
    s.doc.DeleteContents();
}

// Commits to the disk (flushes) during the measured calls.
int g_nFlushes = 0;

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Figure {
    std::vector<double> ms;
    std::vector<double> cpu;
    int flushes = 0;
    int calls = 0;
};

void CountFlushes() {
    CFile::SetFaultHook([](CFile::Op op, const std::string&) {
        if (op == CFile::Op::Flush)
            ++g_nFlushes;
    });
}

template <typename Fn> void Measure(Figure& f, Fn fn) {
    g_nFlushes = 0;
    auto t = Clock::now();
    double c = CpuMs();
    fn();
    f.ms.push_back(Since(t));
    f.cpu.push_back(CpuMs() - c);
    f.flushes += g_nFlushes;
    ++f.calls;
}

void TextCommit(const std::string& path, bool journaled, Figure& f) {
    Session s(path, journaled);
    HTREEITEM keep = ChildNamed(s.tree, s.tree.GetRootItem(), "Keep");
    for (int i = 0; i < 10; ++i) {
        std::string text(10 * 1024, static_cast<char>('a' + i % 26));
        Measure(f, [&] { s.Put(keep, text); });
    }
}

// The session's first add (f) and a second one in the same session (again: the journal file
// exists by then, as in a window that stays open).
void AddItem(const std::string& path, bool journaled, Figure& f, Figure& again) {
    Session s(path, journaled);
    // Sorts first among the root's children: the whole stream after it moves.
    Measure(f, [&] { s.doc.InsertNewItem(s.tree.GetRootItem(), "Added", false); });
    Measure(again, [&] { s.doc.InsertNewItem(s.tree.GetRootItem(), "Added again", false); });
}

void DeleteFolder(const std::string& path, bool journaled, Figure& f) {
    Session s(path, journaled);
    HTREEITEM folder = ChildNamed(s.tree, s.tree.GetRootItem(), "Big folder");
    Measure(f, [&] { s.doc.DeleteItem(folder); });
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-atomic";
    fs::create_directories(dir);
    const std::string million = dir + "/million.Nota", folder = dir + "/folder.Nota",
                      work = dir + "/work.Nota";
    if (!fs::exists(million))
        MakeMillionItemFile(million);
    if (!fs::exists(folder))
        MakeFolderFile(folder);
    CountFlushes();
    std::printf("%-32s %22s %22s %7s\n", "median ms: wall/CPU (commits)", "direct", "journaled",
                "ratio");
    auto row = [](const char* what, const Figure& d, const Figure& j) {
        char a[48], b[48];
        std::snprintf(a, sizeof a, "%.1f/%.1f (%.0f)", Median(d.ms), Median(d.cpu),
                      double(d.flushes) / d.calls);
        std::snprintf(b, sizeof b, "%.1f/%.1f (%.0f)", Median(j.ms), Median(j.cpu),
                      double(j.flushes) / j.calls);
        std::printf("%-32s %22s %22s %6.2fx\n", what, a, b, Median(j.ms) / Median(d.ms));
    };
    // Rounds alternate the two ways, so that the machine's other work weighs on both alike.
    const std::string work2 = dir + "/work2.Nota";
    // A copy at rest, as a user's file is: the measured commit must not flush the copy's own
    // writes (a commit of the file system's journal takes every dirty block with it).
    auto copy = [](const std::string& from, const std::string& to) {
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
        CFile settled(to, CFile::modeReadWrite);
        settled.Flush();
        settled.Close();
        ::sync();
    };
    Figure td, tj, ad, aj, ad2, aj2, dd, dj;
    copy(folder, work);
    copy(folder, work2);
    for (int round = 0; round < 3; ++round) {
        TextCommit(work, false, td);
        TextCommit(work2, true, tj);
    }
    row("commit of a 10 KB text", td, tj);
    for (int round = 0; round < 5; ++round) {
        copy(million, work);
        AddItem(work, false, ad, ad2);
        copy(million, work);
        AddItem(work, true, aj, aj2);
    }
    row("Add Item, 1,000,000 items", ad, aj);
    row("  a second one, same session", ad2, aj2);
    for (int round = 0; round < 5; ++round) {
        copy(folder, work);
        DeleteFolder(work, false, dd);
        copy(folder, work);
        DeleteFolder(work, true, dj);
    }
    row("delete of a 10,000-item folder", dd, dj);
    CFile::SetFaultHook(nullptr);
    fs::remove(work2);
    fs::remove(work);
    return 0;
}
