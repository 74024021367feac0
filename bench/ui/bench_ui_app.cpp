// Timings of the Notarium window on a large file: start-up to a painted window, selecting
// items, expanding a folder of many children, scrolling, Expand All and Collapse All, and
// closing. Prints figures; asserts nothing.
//
//   bench_ui_app [--folders N] [--per-folder M] [--expanded] [--keep FILE] [--start-only]
//
// Runs on any Qt platform (QT_QPA_PLATFORM=offscreen, or a real or virtual X server).

#include "app/NotariumDoc.h"
#include "store/ChainWriter.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/NotariumApp.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/TreeModel.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// A UI that answers every question with OK/Yes and shows nothing.
class CQuietUi : public IUiServices {
public:
    int MessageBox(const std::string& text, UINT type) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
    void SetStatusText(const std::string&) override {}
    void BeginProgress(int, int) override {}
    void SetProgressPos(int) override {}
    void EndProgress() override {}
};

struct Shape {
    int folders = 10;
    int perFolder = 100000;
    bool expanded = false;
};

// Builds the file: a root with `folders` folders of `perFolder` textlets each; every 100th
// textlet has a text of a few lines.
void BuildFile(const std::string& path, const Shape& shape) {
    CQuietUi ui;
    CAppSettings settings;
    if (!CNotariumDoc::PrepareDataFile(path, true, ui))
        throw std::runtime_error("cannot create " + path);
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path))
        throw std::runtime_error("cannot open " + path);
    CTreeCtrl& tree = doc.Tree();
    HTREEITEM root = tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE,
                                     "Notarium", 1, 1, TVIS_EXPANDED | TVIS_SELECTED,
                                     TVIS_EXPANDED | TVIS_SELECTED, 0, TVI_ROOT, TVI_LAST);
    std::vector<HTREEITEM> withText;
    char title[32];
    for (int f = 0; f < shape.folders; ++f) {
        std::snprintf(title, sizeof title, "Folder %02d", f);
        const UINT state = shape.expanded ? TVIS_EXPANDED : 0;
        HTREEITEM folder = tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE,
                                           title, shape.expanded ? 5 : 4, shape.expanded ? 5 : 4,
                                           state, TVIS_EXPANDED, 0, root, TVI_LAST);
        for (int i = 0; i < shape.perFolder; ++i) {
            std::snprintf(title, sizeof title, "Item %06d", i);
            HTREEITEM h = tree.InsertItem(title, 8, 8, folder, TVI_LAST);
            if (i % 100 == 0)
                withText.push_back(h);
        }
    }
    doc.SaveTree(); // the tree stream first, so that the texts follow it
    CChainWriter writer(doc.Store());
    std::string text;
    for (std::size_t i = 0; i < withText.size(); ++i) {
        text = "Text of item " + std::to_string(i) +
               "\r\nA second line of text.\r\nAnd a third one, somewhat longer than the others.";
        const DWORD length = static_cast<DWORD>(text.size() + 1);
        const DWORD chain = writer.Begin(4 + length);
        writer.Write(&length, 4);
        writer.Write(text.c_str(), length);
        writer.End();
        tree.SetItemData(withText[i], chain);
    }
    writer.Flush();
    doc.SaveTree(); // same length: rewritten in place
    doc.DeleteContents();
}

// The process's peak resident memory so far (VmHWM), in MB.
double PeakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    const auto tStart = Clock::now();
    QApplication qapp(argc, argv);
    const double qtStartMs = MsSince(tStart);
    Shape shape;
    std::string keep;
    bool startOnly = false; // stop after start-up (for a profile of it alone)
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--folders") && i + 1 < argc)
            shape.folders = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--per-folder") && i + 1 < argc)
            shape.perFolder = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--expanded"))
            shape.expanded = true;
        else if (!std::strcmp(argv[i], "--keep") && i + 1 < argc)
            keep = argv[++i];
        else if (!std::strcmp(argv[i], "--start-only"))
            startOnly = true;
    }
    const std::string dir =
        std::filesystem::temp_directory_path() / ("notarium-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = keep.empty() ? dir + "/big.Nota" : keep;
    const long items = 1L + shape.folders + long(shape.folders) * shape.perFolder;
    std::printf("platform %s, %ld items (%d folders of %d textlets)%s\n",
                qPrintable(QGuiApplication::platformName()), items, shape.folders, shape.perFolder,
                shape.expanded ? ", all folders expanded" : "");

    auto t0 = Clock::now();
    if (keep.empty() || !std::filesystem::exists(keep))
        BuildFile(path, shape);
    std::printf("build file:                      %9.1f ms (%.1f MB)\n", MsSince(t0),
                std::filesystem::file_size(path) / 1048576.0);

    CQuietUi ui;
    CMemorySettingsStore store;
    CAppOptions options;
    options.ui = &ui;
    options.store = &store;
    options.lockPath = dir + "/instance.lock";
    t0 = Clock::now();
    CNotariumApp app(options);
    app.InitInstance({QString::fromStdString(path)}, Qt::NoModifier);
    CMainFrame* frame = app.MainFrame();
    if (!frame) {
        std::printf("the file did not open\n");
        return 1;
    }
    Settle();
    frame->repaint();
    std::printf("start-up to painted window:      %9.1f ms (%.1f ms with the start of Qt)\n",
                MsSince(t0), MsSince(t0) + qtStartMs);
    std::printf("peak memory after start-up:      %9.1f MB%s\n", PeakMegabytes(),
                keep.empty() ? " (the file was built in this process: use --keep)" : "");
    if (startOnly)
        return 0;

    CTreePaneView* pane = frame->TreePane();
    CTreeCtrl& tree = pane->Tree();
    HTREEITEM root = tree.GetRootItem();
    HTREEITEM first = tree.GetChildItem(root);

    // Selecting: textlets with and without text, anywhere in the file.
    std::mt19937 rng(7);
    std::vector<double> times;
    for (int n = 0; n < 200; ++n) {
        HTREEITEM folder = tree.GetChildAt(root, rng() % tree.GetChildCount(root));
        HTREEITEM item =
            tree.GetChildAt(folder, (rng() % (tree.GetChildCount(folder) / 100)) * 100 + (n % 2));
        t0 = Clock::now();
        pane->setCurrentIndex(pane->Model().IndexOf(item));
        Settle();
        pane->repaint();
        frame->EditPane()->repaint();
        times.push_back(MsSince(t0));
    }
    std::sort(times.begin(), times.end());
    std::printf("select an item (200 times):      %9.2f ms median, %.2f ms 90th, %.2f ms max\n",
                times[times.size() / 2], times[times.size() * 9 / 10], times.back());

    // Expanding the first folder (its children come into view).
    tree.SelectItem(first);
    Settle();
    pane->Tree().Expand(first, TVE_COLLAPSE);
    Settle();
    t0 = Clock::now();
    pane->expand(pane->Model().IndexOf(first));
    Settle();
    pane->repaint();
    std::printf("expand a folder of %6d:        %9.1f ms\n", shape.perFolder, MsSince(t0));

    // Scrolling through it a page at a time, and to its end.
    QScrollBar* bar = pane->verticalScrollBar();
    times.clear();
    for (int n = 0; n < 100; ++n) {
        t0 = Clock::now();
        bar->setValue(bar->value() + bar->pageStep());
        pane->viewport()->repaint();
        times.push_back(MsSince(t0));
    }
    std::sort(times.begin(), times.end());
    std::printf("scroll a page (100 times):       %9.2f ms median, %.2f ms max\n",
                times[times.size() / 2], times.back());
    t0 = Clock::now();
    bar->setValue(bar->maximum());
    pane->viewport()->repaint();
    std::printf("scroll to the end:               %9.2f ms\n", MsSince(t0));
    t0 = Clock::now();
    pane->collapse(pane->Model().IndexOf(first));
    Settle();
    pane->repaint();
    std::printf("collapse it again:               %9.1f ms\n", MsSince(t0));

    t0 = Clock::now();
    frame->ExpandAll();
    Settle();
    pane->repaint();
    std::printf("Expand All:                      %9.1f ms\n", MsSince(t0));
    t0 = Clock::now();
    frame->CollapseAll();
    Settle();
    pane->repaint();
    std::printf("Collapse All:                    %9.1f ms\n", MsSince(t0));

    t0 = Clock::now();
    frame->close();
    app.ExitInstance();
    std::printf("close (tree written back):       %9.1f ms\n", MsSince(t0));
    if (keep.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
