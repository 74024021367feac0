#pragma once
// Checks backups one after the other on a thread of its own, the next one first, and keeps
// what it found for as long as it lives (a backup never changes once it has its name). It
// outlives the Backups dialog, so that closing the dialog never waits for a check of a large
// backup: the check that runs goes on, the others are dropped. Its destructor waits for that
// check.

#include "app/Backup.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CBackupChecker : public QObject {
    Q_OBJECT
public:
    explicit CBackupChecker(QObject* parent = nullptr);
    ~CBackupChecker() override;

    // The backups to check, in this order, instead of those waiting; the ones known are left
    // out.
    void Queue(const std::vector<std::string>& paths);
    // Puts path before the others (unless it is known or being checked).
    void CheckFirst(const std::string& path);
    // Drops the checks waiting; the one that runs goes on.
    void Cancel();
    // What the check of path found; null while it is not known. On the window's thread.
    const backup::Verdict* Known(const std::string& path) const;

signals:
    // path has been checked (Known has it now).
    void checked(const QString& path);

private:
    std::mutex m_mutex; // for the four below; m_known is written on the window's thread only
    std::map<std::string, backup::Verdict> m_known;
    std::condition_variable m_wake;
    std::deque<std::string> m_queue;
    std::string m_strCurrent;
    bool m_bQuit = false;
    std::thread m_thread;

    void Run();
    void OnChecked(const std::string& path, const backup::Verdict& verdict);
};
