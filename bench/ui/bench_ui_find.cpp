// Timings of find and bookmarks in the Notarium window on a file of a million items: an
// entire-file Find Next of an absent text (the whole walk, with the Escape poll), Mark All of a
// title every textlet has, Next Bookmark from the first item to the last, and how long a walk
// goes on after Escape is pressed. Prints figures; asserts nothing.
//
//   bench_ui_find [--folders N] [--per-folder M] [--text-bytes B]   (B: 1024 unless given)
//
// Runs on any Qt platform (QT_QPA_PLATFORM=offscreen, or a real or virtual X server).

#include "app/Bookmarks.h"
#include "app/NotariumDoc.h"
#include "app/Settings.h"
#include "platform/PreorderWalk.h"
#include "store/ChainWriter.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/NotariumApp.h"
#include "ui/tree/BookmarkCommands.h"
#include "ui/tree/FindCommands.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

class CQuietUi : public IUiServices {
public:
    int messages = 0;
    int MessageBox(const std::string&, UINT type) override {
        ++messages;
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
    void SetStatusText(const std::string&) override {}
    void BeginProgress(int, int) override {}
    void SetProgressPos(int) override {}
    void EndProgress() override {}
};

// A root with `folders` folders of `perFolder` textlets; every textlet has a text of about
// textBytes bytes.
void BuildFile(const std::string& path, int folders, int perFolder, std::size_t textBytes) {
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
    std::vector<HTREEITEM> items;
    char title[32];
    for (int f = 0; f < folders; ++f) {
        std::snprintf(title, sizeof title, "Folder %02d", f);
        HTREEITEM folder = tree.InsertItem(title, 4, 4, root, TVI_LAST);
        for (int i = 0; i < perFolder; ++i) {
            std::snprintf(title, sizeof title, "Item %06d", i);
            items.push_back(tree.InsertItem(title, 8, 8, folder, TVI_LAST));
        }
    }
    doc.SaveTree();
    CChainWriter writer(doc.Store());
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text = "Text " + std::to_string(i) + "\r\n";
        while (text.size() < textBytes)
            text += "the quick brown fox jumps over the lazy dog, ";
        const DWORD length = static_cast<DWORD>(text.size() + 1);
        const DWORD chain = writer.Begin(4 + length);
        writer.Write(&length, 4);
        writer.Write(text.c_str(), length);
        writer.End();
        tree.SetItemData(items[i], chain);
    }
    writer.Flush();
    doc.SaveTree();
    doc.DeleteContents();
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    int folders = 10, perFolder = 100000;
    std::size_t textBytes = 1024;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--folders") && i + 1 < argc)
            folders = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--per-folder") && i + 1 < argc)
            perFolder = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--text-bytes") && i + 1 < argc)
            textBytes = static_cast<std::size_t>(std::atol(argv[++i]));
    }
    const std::string dir =
        std::filesystem::temp_directory_path() / ("notarium-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/big.Nota";
    auto t0 = Clock::now();
    BuildFile(path, folders, perFolder, textBytes);
    std::printf("%d items with %zu bytes of text each; build file: %.1f ms (%.1f MB)\n",
                folders * perFolder, textBytes, MsSince(t0),
                double(std::filesystem::file_size(path)) / 1e6);

    CQuietUi ui;
    CMemorySettingsStore store;
    CAppOptions options;
    options.ui = &ui;
    options.store = &store;
    options.lockPath = dir + "/instance.lock";
    CNotariumApp app(options);
    app.InitInstance({QString::fromStdString(path)}, Qt::NoModifier);
    CMainFrame* frame = app.MainFrame();
    if (!frame) {
        std::printf("the file did not open\n");
        return 1;
    }
    QApplication::processEvents();
    CTreeCtrl& tree = frame->TreePane()->Tree();
    CFindCommands& find = frame->FindCommands();
    app.Settings().m_bMarkAllOpen = false;

    for (bool matchCase : {false, true}) {
        t0 = Clock::now();
        find.FindItem("absent pattern", matchCase, false, false);
        std::printf("entire-file Find Next, absent (%s):   %9.1f ms\n",
                    matchCase ? "match case" : "any case  ", MsSince(t0));
    }
    t0 = Clock::now();
    find.MarkAll("Item", true, true);
    const double markMs = MsSince(t0);
    std::printf("Mark All of every textlet (titles):      %9.1f ms (%zu bookmarks)\n", markMs,
                bookmarks::Collect(tree).size());
    bookmarks::RemoveAll(tree);
    HTREEITEM first = tree.GetChildItem(tree.GetRootItem());
    HTREEITEM last = treewalk::LastPreorder(tree);
    bookmarks::Set(tree, last, true);
    tree.SelectItem(first);
    QApplication::processEvents();
    t0 = Clock::now();
    frame->BookmarkCommands().Next();
    std::printf("Next Bookmark, first to last item:       %9.1f ms (%s)\n", MsSince(t0),
                tree.GetSelectedItem() == last ? "found" : "NOT FOUND");

    tree.SelectItem(first);
    QApplication::processEvents();
    for (int delay : {50, 150, 300}) {
        Clock::time_point pressed;
        bool posted = false;
        QTimer::singleShot(delay, frame, [&] {
            pressed = Clock::now();
            posted = true;
            QCoreApplication::postEvent(
                frame->TreePane(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
        t0 = Clock::now();
        find.FindItem("absent pattern", false, false, false);
        if (posted)
            std::printf("Escape after %3d ms: the walk stopped %6.1f ms after it\n", delay,
                        MsSince(pressed));
        else
            std::printf("Escape after %3d ms: the walk had ended (%.1f ms)\n", delay, MsSince(t0));
        QApplication::processEvents();
    }
    std::printf("messages shown: %d\n", ui.messages);
    frame->close();
    app.ExitInstance();
    std::filesystem::remove_all(dir);
    return 0;
}
