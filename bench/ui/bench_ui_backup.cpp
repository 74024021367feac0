// The window's responsiveness while it backs up a large file: a timer every 10 ms records the
// longest wait of the event loop while the window's automatic backup runs (copy on a worker
// thread, then the check), with the window left alone, then with an item added every 300 ms
// (each addition makes the copy start again; the additions' own time is not counted), and
// for comparison the window's own waits without any backup. Prints figures; asserts nothing.
//
//   bench_ui_backup [DIR [MB]]   a file of MB megabytes of text (default 1024) in DIR (default
//                                /tmp/nota-bench-ui-backup); kept there for the next run
//
// Runs on any Qt platform (QT_QPA_PLATFORM=offscreen, or a real or virtual X server).

#include "BenchFiles.h"

#include "app/Backup.h"
#include "app/NotariumDoc.h"
#include "ui/backup/BackupCommands.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/NotariumApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

class CQuietUi : public CNullUi {
public:
    int MessageBox(const std::string& text, UINT type) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return CNullUi::MessageBox(text, type);
    }
};

struct Figures {
    double seconds = 0;
    qint64 maxGapMs = 0;   // while the backup ran, the edits' own time taken out
    qint64 maxEditMs = 0;  // the longest addition of an item itself
    qint64 maxOutside = 0; // before the backup started (start-up, first paint)
    int over50 = 0;
    int edits = 0;
};

// bEdit: an item added every 300 ms while the backup runs; interval 0: no backup at all (the
// window's own waits for 3 s).
Figures Run(const std::string& file, const std::string& data, bool bEdit, int interval = 24) {
    fs::remove_all(data);
    CQuietUi ui;
    CMemorySettingsStore store; // the user's settings stay untouched
    store.WriteInt(kSettingsSection, "BackupInterval", interval);
    CAppOptions options;
    options.ui = &ui;
    options.store = &store;
    options.lockPath = data + ".lock";
    options.bShowWindow = true;
    options.backupTimes.afterOpen = std::chrono::milliseconds(0);
    CNotariumApp app(options);
    Figures f;
    QElapsedTimer clock;
    clock.start();
    app.InitInstance({QString::fromStdString(file)}, Qt::NoModifier);
    CAutoBackup& backups = app.MainFrame()->BackupCommands().Auto();
    bool bStarted = false;
    qint64 editMs = 0; // spent adding items since the last tick
    QElapsedTimer gap;
    gap.start();
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 ms = gap.restart() - editMs;
        editMs = 0;
        if (!bStarted) {
            f.maxOutside = std::max(f.maxOutside, ms);
            bStarted = backups.IsRunning() || interval == 0;
            return;
        }
        f.maxGapMs = std::max(f.maxGapMs, ms);
        if (ms > 50)
            ++f.over50;
    });
    tick.start();
    QTimer edit;
    edit.setInterval(300);
    QObject::connect(&edit, &QTimer::timeout, [&] {
        CNotariumDoc& doc = app.Doc();
        QElapsedTimer t;
        t.start();
        if (doc.InsertNewItem(doc.Tree().GetRootItem(), "added " + std::to_string(f.edits), false))
            ++f.edits;
        editMs += t.elapsed();
        f.maxEditMs = std::max(f.maxEditMs, t.elapsed());
        if (f.edits >= 6)
            edit.stop(); // then the copy gets through
    });
    if (bEdit)
        edit.start();
    const std::string folder = backup::FolderFor(file);
    if (interval == 0) {
        while (clock.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    } else {
        while (backup::List(folder, false).empty() || backups.IsRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    f.seconds = static_cast<double>(clock.elapsed()) / 1000;
    // Items added during the test go again, so that the next run copies the same file.
    CNotariumDoc& doc = app.Doc();
    for (HTREEITEM h = doc.Tree().GetChildItem(doc.Tree().GetRootItem()); h;) {
        HTREEITEM next = doc.Tree().GetNextSiblingItem(h);
        if (doc.Tree().GetItemText(h).rfind("added ", 0) == 0)
            doc.DeleteItem(h);
        h = next;
    }
    app.ExitInstance();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    const std::string dir = argc > 1 ? argv[1] : "/tmp/nota-bench-ui-backup";
    const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1024;
    fs::create_directories(dir);
    const std::string file = dir + "/big.Nota", data = dir + "/data";
    if (!fs::exists(file))
        benchfiles::MakeProseFile(file, megabytes);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    std::printf("file: %.1f MB\n", static_cast<double>(fs::file_size(file)) / 1048576.0);
    for (bool bEdit : {false, true}) {
        Figures quiet = Run(file, data, bEdit, 0);
        std::printf("no backup (3 s)%s longest event-loop wait %4lld ms, %d over 50 ms",
                    bEdit ? ", items added:" : ":             ",
                    static_cast<long long>(quiet.maxGapMs), quiet.over50);
        if (bEdit)
            std::printf("; the longest addition itself %lld ms (not counted)",
                        static_cast<long long>(quiet.maxEditMs));
        std::printf("\n");
    }
    for (bool bEdit : {false, true}) {
        Figures f = Run(file, data, bEdit);
        std::printf("%-28s backup made after %6.2f s; while it ran the longest event-loop wait "
                    "%4lld ms, %d over 50 ms (start-up before it: %lld ms)",
                    bEdit ? "items added meanwhile:" : "window left alone:", f.seconds,
                    static_cast<long long>(f.maxGapMs), f.over50,
                    static_cast<long long>(f.maxOutside));
        if (bEdit)
            std::printf("; %d items added, the longest addition itself %lld ms (not counted)",
                        f.edits, static_cast<long long>(f.maxEditMs));
        std::printf("\n");
    }
    fs::remove_all(data);
    return 0;
}
