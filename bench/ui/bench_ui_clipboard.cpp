// Copy and paste of a folder of 10,000 textlets holding 100 MB of text through the clipboard:
// within one window (Copy, then Paste into the same file) and between two instances (this
// process copies; a second process, started from this program, pastes into its own file
// through the X server's clipboard, fetching as Paste does: through the items file our
// instances offer each other, and for comparison through the X selection alone). Prints each
// time beside `cp` of a 100 MB file, and `cp` followed by `sync`, measured in the same run;
// also how many progress bars each step showed.
//
//   bench_ui_clipboard [--items N] [--kb K] [--dir DIR]
//
// The two-instance part needs a real or virtual X server (run under xvfb-run; the make target
// does); on the offscreen platform the clipboard is in-process only and that part is skipped.

#include "app/NotariumDoc.h"
#include "app/Settings.h"
#include "store/ChainWriter.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/ClipboardCommands.h"
#include "ui/tree/ItemMimeData.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMimeData>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

class CCountingUi : public IUiServices {
public:
    int bars = 0;
    int messages = 0;
    int MessageBox(const std::string& text, UINT type) override {
        ++messages;
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
    void SetStatusText(const std::string&) override {}
    void BeginProgress(int, int) override { ++bars; }
    void SetProgressPos(int) override {}
    void EndProgress() override {}
};

// A root with one folder "Big" of `items` textlets of `bytes` bytes of text each.
void BuildFile(const std::string& path, int items, std::size_t bytes) {
    CCountingUi ui;
    CAppSettings settings;
    if (!CNotariumDoc::PrepareDataFile(path, true, ui))
        throw std::runtime_error("cannot create " + path);
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path) || !doc.ReloadTree())
        throw std::runtime_error("cannot open " + path);
    CTreeCtrl& tree = doc.Tree();
    HTREEITEM big = tree.InsertItem("Big", 4, 4, tree.GetRootItem(), TVI_LAST);
    std::vector<HTREEITEM> handles;
    char title[32];
    for (int i = 0; i < items; ++i) {
        std::snprintf(title, sizeof title, "Item %06d", i);
        handles.push_back(tree.InsertItem(title, 8, 8, big, TVI_LAST));
    }
    doc.SaveTree();
    CChainWriter writer(doc.Store());
    std::string text;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        text = "Text " + std::to_string(i) + "\r\n";
        while (text.size() < bytes - 1)
            text += "the quick brown fox jumps over the lazy dog, ";
        text.resize(bytes - 1);
        const DWORD length = static_cast<DWORD>(text.size() + 1);
        const DWORD chain = writer.Begin(4 + length);
        writer.Write(&length, 4);
        writer.Write(text.c_str(), length);
        writer.End();
        tree.SetItemData(handles[i], chain);
    }
    writer.Flush();
    doc.SaveTree();
    doc.DeleteContents();
}

double TimeShell(const std::string& command) {
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
    return MsSince(t0);
}

// A document with the panes, as the window has them.
struct CWindowParts {
    CCountingUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    std::unique_ptr<CEditPaneView> edit;
    std::unique_ptr<CTreePaneView> pane;
    std::unique_ptr<CClipboardCommands> clip;

    explicit CWindowParts(const std::string& path) {
        if (!doc.OnOpenDocument(path))
            throw std::runtime_error("cannot open " + path);
        edit = std::make_unique<CEditPaneView>(settings, ui);
        pane = std::make_unique<CTreePaneView>(doc, settings, ui);
        pane->SetEditPane(edit.get());
        clip = std::make_unique<CClipboardCommands>(doc, *pane);
        pane->OnInitialUpdate();
        pane->SyncSelection();
    }
    ~CWindowParts() {
        clip.reset();
        pane.reset();
        doc.DeleteContents();
    }
    HTREEITEM Child(HTREEITEM parent, const char* title) {
        CTreeCtrl& tree = doc.Tree();
        for (HTREEITEM h = tree.GetChildItem(parent); h; h = tree.GetNextSiblingItem(h))
            if (tree.GetItemText(h) == title)
                return h;
        return nullptr;
    }
    void Select(HTREEITEM h) {
        doc.Tree().SelectItem(h);
        pane->SyncSelection();
    }
};

const char* SourceName(CFetchedItems::Source source) {
    switch (source) {
    case CFetchedItems::Source::File:
        return "file";
    case CFetchedItems::Source::Selection:
        return "selection";
    case CFetchedItems::Source::ThisProcess:
        return "in-process";
    default:
        return "none";
    }
}

// The second instance: pastes what the clipboard holds into the root of its own file,
// fetching as Paste does (through the items file where the other side offers one). Then, for
// comparison, fetches the "NotariumData" bytes once more through the X selection alone.
int PasteChild(const std::string& path) {
    CWindowParts w(path);
    w.Select(w.doc.Tree().GetRootItem());
    const auto t0 = Clock::now();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasFormat(ItemFormatName())) {
        std::printf("no items on the clipboard\n");
        return 1;
    }
    const CFetchedItems items = FetchItemData(mime);
    const double fetch = MsSince(t0);
    const auto t1 = Clock::now();
    HTREEITEM h = w.doc.InsertItems(w.doc.Tree().GetRootItem(), items.Data(), items.Size());
    const double insert = MsSince(t1);
    const auto t2 = Clock::now();
    const QByteArray viaSelection = mime->data(ItemFormatName());
    const double selection = MsSince(t2);
    const bool same = static_cast<std::size_t>(viaSelection.size()) == items.Size() &&
                      std::memcmp(viaSelection.constData(), items.Data(), items.Size()) == 0;
    std::printf("%.1f %.1f %d %lld %d %.1f %d %s\n", fetch, insert, w.ui.bars,
                static_cast<long long>(items.Size()), h ? 1 : 0, selection, same ? 1 : 0,
                SourceName(items.From()));
    return h && same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    int items = 10000;
    std::size_t kb = 10;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--paste-child" && i + 1 < argc)
            return PasteChild(argv[i + 1]);
        if (a == "--items" && i + 1 < argc)
            items = std::atoi(argv[++i]);
        else if (a == "--kb" && i + 1 < argc)
            kb = static_cast<std::size_t>(std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
    }
    namespace fs = std::filesystem;
    const fs::path work =
        dir.empty() ? fs::temp_directory_path() / "nota-bench-clipboard" : fs::path(dir);
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string a = (work / "a.Nota").string(), b = (work / "b.Nota").string();
    const std::size_t bytes = kb * 1000; // 10,000 x 10 kB = 100 MB
    const double mb = static_cast<double>(bytes) * items / 1e6;

    std::printf("building %d textlets, %.0f MB of text...\n", items, mb);
    BuildFile(a, items, bytes);
    {
        CCountingUi ui;
        if (!CNotariumDoc::PrepareDataFile(b, true, ui))
            return 1;
    }
    // The reference: cp of a file of the same size, with and without sync.
    const std::string ref = (work / "ref.bin").string();
    TimeShell("head -c " + std::to_string(static_cast<long long>(mb * 1e6)) + " /dev/urandom > '" +
              ref + "' && sync");
    const double cp = TimeShell("cp '" + ref + "' '" + ref + ".1'");
    const double cpSync = TimeShell("cp '" + ref + "' '" + ref + ".2' && sync");
    std::printf("reference: cp %.0f MB: %.0f ms; cp + sync: %.0f ms\n", mb, cp, cpSync);

    double copy = 0, paste = 0;
    int bars = 0;
    {
        CWindowParts w(a);
        HTREEITEM big = w.Child(w.doc.Tree().GetRootItem(), "Big");
        w.Select(big);
        w.clip->CanPaste(); // as the window's idle step does long before any Copy
        const auto t0 = Clock::now();
        if (!w.clip->Copy())
            return 1;
        copy = MsSince(t0);
        const int copyBars = w.ui.bars;
        w.Select(w.doc.Tree().GetRootItem());
        const auto t1 = Clock::now();
        w.clip->Paste();
        paste = MsSince(t1);
        bars = w.ui.bars - copyBars;
        std::printf("one window: Copy %.0f ms (%d progress bar), Paste %.0f ms (%d progress bar); "
                    "together %.0f ms = %.2f x cp, %.2f x cp + sync\n",
                    copy, copyBars, paste, bars, copy + paste, (copy + paste) / cp,
                    (copy + paste) / cpSync);
    }

    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("two instances: skipped (needs an X server; platform %s)\n",
                    qPrintable(QGuiApplication::platformName()));
        return 0;
    }
    {
        CWindowParts w(a);
        w.Select(w.Child(w.doc.Tree().GetRootItem(), "Big"));
        const auto t0 = Clock::now();
        if (!w.clip->Copy())
            return 1;
        copy = MsSince(t0);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--paste-child"), QString::fromStdString(b)});
        const auto t1 = Clock::now();
        // This process serves the clipboard while the other one reads it, idle in its event
        // loop as a window is (a loop of processEvents would spin and take a core from it).
        QEventLoop loop;
        QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&child, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        if (child.waitForStarted())
            loop.exec();
        const double wall = MsSince(t1);
        double fetch = 0, insert = 0, selection = 0;
        int childBars = 0, ok = 0, same = 0;
        long long size = 0;
        char route[16] = {};
        const QByteArray out = child.readAllStandardOutput();
        if (std::sscanf(out.constData(), "%lf %lf %d %lld %d %lf %d %15s", &fetch, &insert,
                        &childBars, &size, &ok, &selection, &same, route) != 8 ||
            !ok || !same) {
            std::printf("two instances: the paste failed: %s\n", out.constData());
            return 1;
        }
        std::printf("two instances: Copy in A %.0f ms; B fetches %lld bytes in %.0f ms (through "
                    "the %s), inserts in %.0f ms (%d progress bar); B's whole run (with the "
                    "comparison) %.0f ms\n",
                    copy, size, fetch, route, insert, childBars, wall);
        std::printf("two instances: the same bytes through the X selection alone: %.0f ms\n",
                    selection);
        const double total = copy + fetch + insert;
        std::printf("two instances: copy + fetch + insert %.0f ms = %.2f x cp, %.2f x cp + sync\n",
                    total, total / cp, total / cpSync);
    }
    fs::remove_all(work);
    return 0;
}
