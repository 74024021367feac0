#include "ui/common/QtUiServices.h"

#include "platform/Strings.h"
#include "ui/common/MessageBox.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace {

bool IsUserInput(QEvent::Type t) {
    switch (t) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

CQtUiServices::CQtUiServices(QObject* parent) : QObject(parent) {}

CQtUiServices::~CQtUiServices() {
    while (m_nWaitDepth > 0)
        EndWaitCursor();
}

void CQtUiServices::Attach(QWidget* mainWindow, QStatusBar* statusBar) {
    m_pMainWindow = mainWindow;
    m_pStatusBar = statusBar;
    m_pMessagePane = new QLabel(QString::fromUtf8(str::kIdlePrompt), statusBar);
    m_pMessagePane->setObjectName(QStringLiteral("messagePane"));
    m_pMessagePane->setMinimumWidth(1);
    statusBar->addWidget(m_pMessagePane, 1);
    m_pProgress = new QProgressBar(statusBar);
    m_pProgress->setObjectName(QStringLiteral("progressBar"));
    m_pProgress->setMaximumWidth(200);
    m_pProgress->setTextVisible(false);
    m_pProgress->hide();
    statusBar->addWidget(m_pProgress, 0);
}

void CQtUiServices::ShowNotice(const std::string& text) {
    MessageBox(text, MB_OK | MB_ICONINFORMATION);
}

int CQtUiServices::MessageBox(const std::string& text, UINT type) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = m_pMainWindow;
    return ShowMessageBox(parent, QString::fromUtf8(str::kAppTitle), QString::fromStdString(text),
                          type);
}

void CQtUiServices::Beep() {
    QApplication::beep();
}

void CQtUiServices::BeginWaitCursor() {
    if (m_nWaitDepth++ == 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CQtUiServices::EndWaitCursor() {
    if (m_nWaitDepth <= 0)
        return;
    if (--m_nWaitDepth == 0)
        QApplication::restoreOverrideCursor();
}

void CQtUiServices::SetStatusText(const std::string& text) {
    if (!m_pMessagePane)
        return;
    m_pMessagePane->setText(QString::fromStdString(text));
    m_pMessagePane->repaint(); // long operations do not return to the event loop
}

void CQtUiServices::BeginProgress(int lower, int upper) {
    if (!m_pProgress)
        return;
    m_pProgress->setRange(lower, upper);
    m_pProgress->setValue(lower);
    m_pProgress->show();
    m_pProgress->repaint();
}

void CQtUiServices::SetProgressPos(int pos) {
    if (!m_pProgress)
        return;
    m_pProgress->setValue(pos);
    m_pProgress->repaint();
}

void CQtUiServices::EndProgress() {
    if (m_pProgress)
        m_pProgress->hide();
}

bool CQtUiServices::PollEscape() {
    // Paint and let timers run, but keep the user's input away from the window while the
    // operation holds it; only Escape is noted.
    m_bEscapeSeen = false;
    qApp->installEventFilter(this);
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    qApp->removeEventFilter(this);
    return m_bEscapeSeen;
}

bool CQtUiServices::eventFilter(QObject* watched, QEvent* event) {
    if (!IsUserInput(event->type()))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        m_bEscapeSeen = true;
    return true;
}
