#pragma once
// The window's backups of its open file (see app/Backup.h for what a backup is). One job at a
// time: its start takes the file's state between operations on this thread; the copy of the
// bytes and the check run on a worker thread, so that the window never waits for either. A
// copy that an operation overlapped is thrown away and started again, so a backup is always
// one state of the file. The status bar tells "Backing up..." and then the outcome.
//
// Automatic backups: when a file has been opened and then every CheckInterval while it stays
// open, a backup is made when the newest of that file's backups is older than the interval of
// the settings (never when it is 0). Files opened only to read are not backed up on their own:
// nothing this window does can change them (Back Up Now still works). A failure or a backup
// refused for lack of disk space is told the user once per file for the session, at a moment
// when no command, dialog, menu or long piece of work is under way; a backup is not started
// while a command, a menu or a long piece of work (the wait cursor) is under way, nor while a
// change is being written: it is tried again shortly after.

#include "app/Backup.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>

class CNotariumDoc;
class IUiServices;
struct CAppSettings;

// Gives the calling thread (a backup's copy or check) less of the processor than the window's
// thread, so that the window answers at once while it works. Never fails.
void LowerThreadPriority() noexcept;

// When automatic backups look whether one is due.
struct BackupTimes {
    std::chrono::milliseconds afterOpen{3000};   // the first look after a file opened
    std::chrono::milliseconds check{30 * 60000}; // then this often
    std::chrono::milliseconds retry{2000};       // after a refusal because of a change
};

class CAutoBackup : public QObject {
    Q_OBJECT
public:
    using Times = BackupTimes;
    CAutoBackup(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui, Times times = {},
                QObject* parent = nullptr);
    // Stops a copy in progress and waits for a check that runs; nothing half made stays.
    ~CAutoBackup() override;

    // A command or a modal piece of work runs: automatic backups and their messages wait.
    std::function<bool()> m_isBusy;
    // The backups' folder for every file (empty: each file's own under the user's data folder).
    std::string m_strFolder;

    // The window has opened a file (or the same one again).
    void FileOpened();
    // Starts an automatic backup when one is due.
    void CheckDue();
    // Back Up Now: false (the user told why) when a backup is running already or the start
    // failed at once; the result comes with `finished`.
    bool BackUpNow();
    bool IsRunning() const { return m_job != nullptr || m_thread.joinable(); }
    // True when the open file should have an automatic backup now.
    bool IsDue() const;

    static constexpr const char* kBackingUp = "Backing up...";
    static constexpr const char* kBackupMade = "Backup made.";
    static constexpr const char* kAlreadyRunning = "A backup is being made already.";
    static constexpr const char* kKeptChanging =
        "Backup skipped: the file changed every time it was being copied. Try again later.";
    // The times a copy overlapped by changes is started again before the backup waits for
    // the next look.
    static constexpr int kMaxRestarts = 5;

signals:
    // A job ended (bManual: Back Up Now).
    void finished(const backup::Result& result, bool bManual);

private:
    CNotariumDoc& m_doc;
    CAppSettings& m_settings;
    IUiServices& m_ui;
    Times m_times;
    QTimer m_checkTimer, m_retryTimer;
    std::unique_ptr<backup::CBackupJob> m_job;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_bManual = false;
    int m_nRestarts = 0;
    std::string m_strJobFile;
    std::set<std::string> m_told; // files whose failure the user was told this session
    std::string m_strUntold;      // an automatic failure waiting for a quiet moment

    backup::Options Options() const;
    bool Begin(bool bManual);
    void Run(std::function<backup::Result()> work, void (CAutoBackup::*then)(backup::Result));
    void OnCopied(backup::Result r);
    void OnDropped(backup::Result r);
    void OnFinished(backup::Result r);
    void End(const backup::Result& r);
    void TellOnce();
    void RetrySoon();
};
