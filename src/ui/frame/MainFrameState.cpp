// What the frame keeps between runs (window placement, bar layout), closing, dropped files.
#include "app/NotariumDoc.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "ui/common/DroppedFiles.h"
#include "ui/frame/CommandTable.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/ToolIcons.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace {

constexpr const char* kToolbars = "Toolbars";

bool OnSomeScreen(const QRect& r) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(r))
            return true;
    return false;
}

} // namespace

void CMainFrame::LoadWindowPos() {
    ISettingsStore& store = m_ctx.store;
    const auto bytes = store.GetBinary(kSettingsSection, "WindowPos");
    RECT rc;
    if (!bytes || !rc.FromBytes(*bytes)) {
        resize(800, 560);
        return;
    }
    const QRect r(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    if (r.width() <= 0 || r.height() <= 0 || r.width() > 100000 || r.height() > 100000) {
        resize(800, 560);
        return;
    }
    if (OnSomeScreen(r))
        setGeometry(r);
    else
        resize(r.size()); // the screen it was on is gone: keep the size only
    m_bShowMaximized = store.GetInt(kSettingsSection, "WindowMax").value_or(0) != 0;
}

void CMainFrame::SaveWindowPos() {
    const QRect r = (isMaximized() || isMinimized()) ? normalGeometry() : geometry();
    if (!r.isValid())
        return;
    RECT rc;
    rc.left = r.left();
    rc.top = r.top();
    rc.right = r.left() + r.width();
    rc.bottom = r.top() + r.height();
    ISettingsStore& store = m_ctx.store;
    store.WriteBinary(kSettingsSection, "WindowPos", rc.ToBytes());
    store.WriteInt(kSettingsSection, "WindowMax", isMaximized() ? 1 : 0);
}

void CMainFrame::LoadBarState() {
    ISettingsStore& store = m_ctx.store;
    if (const auto state = store.GetBinary(kToolbars, "State")) {
        const QByteArray bytes(reinterpret_cast<const char*>(state->data()),
                               static_cast<qsizetype>(state->size()));
        restoreState(bytes);
    }
    if (const auto status = store.GetInt(kToolbars, "StatusBar"))
        statusBar()->setVisible(*status != 0);
}

void CMainFrame::SaveBarState() {
    const QByteArray state = saveState();
    ISettingsStore& store = m_ctx.store;
    store.WriteBinary(kToolbars, "State", std::vector<BYTE>(state.begin(), state.end()));
    store.WriteInt(kToolbars, "StatusBar", statusBar()->isVisibleTo(this) ? 1 : 0);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    SaveBarState();
    SaveWindowPos();
    // Pending edits and the tree reach the file before the window goes. Text that cannot be
    // stored goes to a recovery file whose name the user is told; only when even that fails
    // does the window stay, so that nothing typed is lost.
    if (m_ctx.doc.IsOpen() && !m_ctx.doc.SaveModified() && !m_ctx.doc.KeepUnstoredText()) {
        event->ignore();
        return;
    }
    m_ctx.settings.m_nDividerPos = m_pSplitter->sizes().value(0, m_ctx.settings.m_nDividerPos);
    event->accept();
    if (m_pHelp)
        m_pHelp->close();
    if (m_ctx.onClosed)
        m_ctx.onClosed();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    OpenDroppedFile(file);
}

void CMainFrame::OpenDroppedFile(const QString& file) {
    const std::string path = QFile::encodeName(file).toStdString();
    activateWindow();
    // Opened once the drop has finished, so that its messages do not run inside it.
    QTimer::singleShot(0, this, [this, path] {
        if (m_ctx.openFile)
            m_ctx.openFile(path);
    });
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::PaletteChange)
        return;
    for (const CommandInfo& c : CommandTable())
        if (c.icon)
            if (QAction* action = Action(c.id))
                action->setIcon(ToolIcon(c.icon, palette()));
}
