#include "ui/common/IdleStep.h"

#include <QApplication>

CIdleStep::CIdleStep(std::function<void()> work, std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_work(std::move(work)), m_busy(std::move(busy)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // Refused by a guard: look again shortly, since the end of a guard (a dialog
        // closing, a wait cursor going) need not be followed by any event.
        if (!Run() && !m_bStopped && !m_timer.isActive())
            m_timer.start(kRetryMs);
    });
    qApp->installEventFilter(this);
}

CIdleStep::~CIdleStep() {
    qApp->removeEventFilter(this);
}

void CIdleStep::Stop() {
    m_bStopped = true;
    m_timer.stop();
}

bool CIdleStep::eventFilter(QObject* watched, QEvent* event) {
    // Something happened: run the step once the queue is empty.
    if (watched != &m_timer && !m_bStopped && (!m_timer.isActive() || m_timer.interval() != 0))
        m_timer.start(0);
    return QObject::eventFilter(watched, event);
}

bool CIdleStep::Run() {
    if (m_bRunning || m_bStopped)
        return false;
    // The step belongs to the main loop, not to the loops of dialogs, menus, long operations
    // and commands that are still running.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
        QApplication::overrideCursor() || (m_busy && m_busy()))
        return false;
    m_bRunning = true;
    struct Reset {
        bool& b;
        ~Reset() { b = false; }
    } reset{m_bRunning};
    m_work();
    return true;
}

CEventWatch::CEventWatch(std::function<bool(QObject*, QEvent*)> filter, QObject* parent)
    : QObject(parent), m_filter(std::move(filter)) {
    qApp->installEventFilter(this);
}

CEventWatch::~CEventWatch() {
    qApp->removeEventFilter(this);
}

bool CEventWatch::eventFilter(QObject* watched, QEvent* event) {
    return m_filter(watched, event) || QObject::eventFilter(watched, event);
}
