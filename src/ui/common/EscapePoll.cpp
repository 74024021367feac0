#include "ui/common/EscapePoll.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

CEscapePoll::CEscapePoll() {
    m_clock.start();
}

bool CEscapePoll::Poll() {
    if (m_bPressed)
        return true;
    if (m_clock.elapsed() < kIntervalMs)
        return false;
    return PollNow();
}

bool CEscapePoll::PollNow() {
    m_clock.restart();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return m_bPressed;
    app->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    app->removeEventFilter(this);
    return m_bPressed;
}

bool CEscapePoll::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(event->type()))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        m_bPressed = true;
    return true;
}
