#include "ui/backup/BackupChecker.h"

#include "ui/backup/AutoBackup.h"

#include <QFile>

#include <algorithm>

CBackupChecker::CBackupChecker(QObject* parent) : QObject(parent) {
    m_thread = std::thread([this] { Run(); });
}

CBackupChecker::~CBackupChecker() {
    {
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CBackupChecker::Queue(const std::vector<std::string>& paths) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        for (const std::string& path : paths)
            if (!m_known.count(path) && path != m_strCurrent)
                m_queue.push_back(path);
    }
    m_wake.notify_one();
}

void CBackupChecker::CheckFirst(const std::string& path) {
    {
        std::lock_guard lock(m_mutex);
        if (m_known.count(path) || path == m_strCurrent)
            return;
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), path), m_queue.end());
        m_queue.push_front(path);
    }
    m_wake.notify_one();
}

void CBackupChecker::Cancel() {
    std::lock_guard lock(m_mutex);
    m_queue.clear();
}

const backup::Verdict* CBackupChecker::Known(const std::string& path) const {
    // Only this thread writes m_known: no lock needed to read it here.
    auto it = m_known.find(path);
    return it == m_known.end() ? nullptr : &it->second;
}

void CBackupChecker::Run() {
    LowerThreadPriority();
    for (;;) {
        std::string path;
        {
            // The next check waits until the window has taken the last one's result, so that
            // a backup is never checked twice (a second check would find it open in the
            // dialog).
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock,
                        [this] { return m_bQuit || (!m_queue.empty() && m_strCurrent.empty()); });
            if (m_bQuit)
                return;
            path = m_strCurrent = std::move(m_queue.front());
            m_queue.pop_front();
        }
        backup::Verdict v = backup::Check(path);
        // Queued: this object waits for the thread before it goes.
        QMetaObject::invokeMethod(
            this, [this, path, v] { OnChecked(path, v); }, Qt::QueuedConnection);
    }
}

void CBackupChecker::OnChecked(const std::string& path, const backup::Verdict& verdict) {
    {
        std::lock_guard lock(m_mutex);
        m_known.emplace(path, verdict);
        m_strCurrent.clear();
    }
    m_wake.notify_one();
    emit checked(QFile::decodeName(path.c_str()));
}
