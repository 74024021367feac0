#include "ui/backup/AutoBackup.h"

#include "app/NotariumDoc.h"
#include "app/Settings.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

#include <QApplication>

#include <sys/resource.h>
#include <unistd.h>

void LowerThreadPriority() noexcept {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10); // this thread only
}

CAutoBackup::CAutoBackup(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui, Times times,
                         QObject* parent)
    : QObject(parent), m_doc(doc), m_settings(settings), m_ui(ui), m_times(times) {
    m_checkTimer.setInterval(m_times.check);
    m_retryTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, &CAutoBackup::CheckDue);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        TellOnce();
        CheckDue();
    });
}

CAutoBackup::~CAutoBackup() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_job.reset(); // a copy not finished goes with its work file
}

backup::Options CAutoBackup::Options() const {
    backup::Options o;
    o.folder = m_strFolder;
    o.keep = {m_settings.m_nBackupKeepDaily, m_settings.m_nBackupKeepWeekly,
              m_settings.m_nBackupKeepMonthly};
    return o;
}

void CAutoBackup::FileOpened() {
    m_nRestarts = 0;
    m_checkTimer.start();
    m_retryTimer.start(m_times.afterOpen);
}

bool CAutoBackup::IsDue() const {
    if (m_settings.m_nBackupInterval <= 0 || !m_doc.IsOpen() || m_doc.IsReadOnly())
        return false;
    const std::string folder =
        m_strFolder.empty() ? backup::FolderFor(m_doc.GetPathName()) : m_strFolder;
    const std::vector<backup::Entry> list = backup::List(folder, false);
    if (list.empty())
        return true;
    const std::time_t age = std::time(nullptr) - list.back().time;
    return age >= static_cast<std::time_t>(m_settings.m_nBackupInterval) * 3600;
}

void CAutoBackup::CheckDue() {
    if (!IsDue())
        return;
    // Not from inside a menu or a long piece of work that lets events through.
    if (IsRunning() || (m_isBusy && m_isBusy()) || QApplication::activePopupWidget() ||
        QApplication::overrideCursor()) {
        RetrySoon();
        return;
    }
    Begin(false);
}

bool CAutoBackup::BackUpNow() {
    if (IsRunning()) {
        m_ui.MessageBox(kAlreadyRunning, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    m_nRestarts = 0;
    return Begin(true);
}

bool CAutoBackup::Begin(bool bManual) {
    if (IsRunning())
        return false;
    auto job = std::make_unique<backup::CBackupJob>(Options());
    backup::Result r = job->Start(m_doc);
    if (r.outcome != backup::Outcome::Made) {
        if (!bManual && r.outcome == backup::Outcome::Skipped && r.message == backup::kBusy) {
            RetrySoon();
            return false;
        }
        m_bManual = bManual;
        End(r);
        return false;
    }
    m_job = std::move(job);
    m_bManual = bManual;
    m_strJobFile = m_doc.GetPathName();
    m_stop = false;
    m_ui.SetStatusText(kBackingUp);
    Run([this] { return m_job->CopyData(&m_stop); }, &CAutoBackup::OnCopied);
    return true;
}

void CAutoBackup::Run(std::function<backup::Result()> work,
                      void (CAutoBackup::*then)(backup::Result)) {
    m_thread = std::thread([this, work = std::move(work), then] {
        LowerThreadPriority();
        backup::Result r = work();
        // Queued to this object: dropped when it is gone (its destructor joins first).
        QMetaObject::invokeMethod(
            this, [this, r = std::move(r), then]() mutable { (this->*then)(std::move(r)); },
            Qt::QueuedConnection);
    });
}

void CAutoBackup::OnCopied(backup::Result r) {
    m_thread.join();
    if (r.outcome != backup::Outcome::Made) {
        m_job.reset();
        End(r);
        return;
    }
    if (!m_job->IsCurrent(m_doc)) {
        // An operation wrote to the file while it was copied: the copy may mix two states. It
        // goes on the worker thread: removing gigabytes takes the file system a while.
        backup::CBackupJob* dropped = m_job.release();
        Run(
            [dropped] {
                delete dropped;
                return backup::Result{};
            },
            &CAutoBackup::OnDropped);
        return;
    }
    Run([this] { return m_job->Finish(); }, &CAutoBackup::OnFinished);
}

void CAutoBackup::OnDropped(backup::Result) {
    m_thread.join();
    if (++m_nRestarts <= kMaxRestarts && m_doc.GetPathName() == m_strJobFile) {
        Begin(m_bManual);
        return;
    }
    if (m_bManual) {
        backup::Result r;
        r.outcome = backup::Outcome::Skipped;
        r.message = kKeptChanging;
        End(r);
        return;
    }
    m_nRestarts = 0;
    m_ui.SetStatusText(str::kIdlePrompt); // the next look tries again
    m_strJobFile.clear();
}

void CAutoBackup::OnFinished(backup::Result r) {
    m_thread.join();
    m_job.reset();
    End(r);
}

void CAutoBackup::End(const backup::Result& r) {
    m_nRestarts = 0;
    const bool bMade = r.outcome == backup::Outcome::Made;
    m_ui.SetStatusText(bMade ? kBackupMade : "Backup not made.");
    if (!bMade) {
        const std::string file = m_strJobFile.empty() ? m_doc.GetPathName() : m_strJobFile;
        if (m_bManual) {
            m_ui.MessageBox(r.message, MB_OK | MB_ICONEXCLAMATION);
        } else if (m_told.insert(file).second) {
            m_strUntold = r.message;
            TellOnce();
        }
    }
    m_strJobFile.clear();
    emit finished(r, m_bManual);
}

void CAutoBackup::TellOnce() {
    if (m_strUntold.empty())
        return;
    // Not over a command's own dialog or in the middle of its work: a little later.
    if ((m_isBusy && m_isBusy()) || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget() || QApplication::overrideCursor()) {
        m_retryTimer.start(m_times.retry);
        return;
    }
    const std::string text = std::move(m_strUntold);
    m_strUntold.clear();
    m_ui.MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

void CAutoBackup::RetrySoon() {
    if (!m_retryTimer.isActive())
        m_retryTimer.start(m_times.retry);
}
