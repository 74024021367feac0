// The frame's command handlers and the routing of the Edit commands to the panes.
#include "ui/backup/BackupCommands.h"
#include "ui/common/CommandIds.h"
#include "ui/frame/CommandTable.h"
#include "ui/frame/ExchangeCommands.h"
#include "ui/frame/HelpWindow.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/PrintCommands.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/BookmarkCommands.h"
#include "ui/tree/FindCommands.h"
#include "ui/tree/ItemCommands.h"
#include "ui/tree/LabelEditor.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QSplitter>
#include <QSplitterHandle>
#include <QWhatsThis>

void CMainFrame::RegisterCommands() {
    CCommandRouter& r = m_router;
    auto fileOpen = [this] { return m_ctx.doc.IsOpen(); };
    auto frame = [&r](UINT id, std::function<void()> run, std::function<bool()> on = {}) {
        r.Set(CommandLevel::Frame, id, std::move(run), std::move(on));
    };
    frame(ID_APP_EXIT, [this] { close(); });
    frame(
        ID_FILE_SAVE, [this] { CommitPendingEdits(); }, fileOpen);
    m_pItems->Register(r);
    m_pPrint = std::make_unique<CPrintCommands>(m_ctx.doc, m_ctx.settings, m_ctx.ui, *m_pTree,
                                                *m_pEdit, this);
    m_pPrint->Register(r);
    m_pExchange = std::make_unique<CExchangeCommands>(m_ctx.doc, m_ctx.ui, *m_pTree);
    m_pExchange->Register(r);
    m_pBackups = std::make_unique<CBackupCommands>(m_ctx.doc, m_ctx.settings, m_ctx.ui, *m_pTree,
                                                   m_ctx.backupTimes);
    m_pBackups->m_openFile = m_ctx.openFile;
    m_pBackups->Auto().m_isBusy = [this] { return IsBusy(); };
    m_pBackups->Register(r);
    m_pFind->Register(r);
    m_pBookmarks->Register(r);
    frame(
        ID_EXPAND_ALL, [this] { ExpandAll(); }, fileOpen);
    frame(
        ID_COLLAPSE_ALL, [this] { CollapseAll(); }, fileOpen);
    frame(ID_WINDOW_SPLIT, [this] { StartSplitTracking(); });
    frame(ID_NEXT_PANE, [this] { NextPane(); });
    frame(ID_PREV_PANE, [this] { NextPane(); });
    frame(ID_HELP_FINDER, [this] { ShowHelp(QStringLiteral("index.html")); });
    frame(ID_HELP, [this] { ShowHelp(ContextHelpTopic()); });
    frame(ID_CONTEXT_HELP, [] { QWhatsThis::enterWhatsThisMode(); });
    frame(ID_WEB_PAGE, [this] { OnWebPage(); });
}

void CMainFrame::RegisterEditCommands() {
    CCommandRouter& r = m_router;
    // The edit pane's own clipboard and undo.
    r.Set(
        CommandLevel::EditPane, ID_EDIT_UNDO, [this] { m_pEdit->undo(); },
        [this] { return m_pEdit->CanUndo(); });
    r.Set(
        CommandLevel::EditPane, ID_EDIT_CUT, [this] { m_pEdit->cut(); },
        [this] { return m_pEdit->CanCut(); });
    r.Set(
        CommandLevel::EditPane, ID_EDIT_COPY, [this] { m_pEdit->copy(); },
        [this] { return m_pEdit->CanCopy(); });
    r.Set(
        CommandLevel::EditPane, ID_EDIT_PASTE, [this] { m_pEdit->paste(); },
        [this] { return m_pEdit->CanPaste(); });
    r.Set(
        CommandLevel::EditPane, ID_EDIT_SELECT_ALL, [this] { m_pEdit->selectAll(); },
        [this] { return !m_pEdit->document()->isEmpty(); });

    // The tree pane: the title editor while a rename runs, else the item commands that are
    // registered with SetItemCommand.
    m_pTree->RegisterTitleCommands(r, [this](UINT id) { return m_pItems->PaneCommand(id); });
}

bool CMainFrame::IsTableAccelerator(const QKeyEvent* key) const {
    const QKeySequence pressed(key->keyCombination());
    for (const auto& [id, action] : m_actions)
        for (const QKeySequence& seq : action->shortcuts())
            if (seq == pressed)
                return true;
    return false;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (m_bSplitTracking && event->type() == QEvent::KeyPress)
        return SplitTrackingKey(static_cast<QKeyEvent*>(event));
    if ((watched == m_pEdit || watched == m_pTree) &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        // The window's accelerators come before the panes' own keys (Ctrl+A adds an item,
        // Ctrl+C in the tree is the item command); an accelerator whose command is disabled
        // does nothing.
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTableAccelerator(key)) {
            event->ignore();
            return true;
        }
        // Shift+F10 opens the pane's context menu, as the Menu key does.
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            auto* pane = static_cast<QWidget*>(watched);
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                   pane->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(pane, &menu);
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && qobject_cast<QMenu*>(watched)) {
        auto* key = static_cast<QKeyEvent*>(event);
        QAction* active = static_cast<QMenu*>(watched)->activeAction();
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && active) {
            // F1 on a highlighted menu item: the command's help.
            const UINT id = active->data().toUInt();
            static_cast<QMenu*>(watched)->close();
            ShowHelp(QStringLiteral("commands.html#cmd%1").arg(id));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {

// The dialog that F1 asks help for: the modal one that runs, else the active window when it
// names a topic (the modeless Find and Replace). Null: the frame's own context.
QWidget* HelpAsker() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    QWidget* active = QApplication::activeWindow();
    return active && active->property("helpTopic").isValid() ? active : nullptr;
}

} // namespace

QString CMainFrame::ContextHelpTopic() const {
    if (QWidget* asker = HelpAsker()) {
        const QVariant topic = asker->property("helpTopic");
        if (topic.isValid())
            return topic.toString();
    }
    if (m_router.ActivePane() == CommandLevel::EditPane)
        return QStringLiteral("editing.html");
    return QStringLiteral("tree.html");
}

// F1 in a modal dialog (the frame's own F1 accelerator cannot reach it there) and the keys
// that may change a lock state.
bool CMainFrame::WatchApplicationKeys(QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
        event->type() != QEvent::ShortcutOverride) {
        if (event->type() == QEvent::ApplicationStateChange)
            m_bLocksChanged = true;
        return false;
    }
    if (event->type() == QEvent::KeyRelease) {
        m_bLocksChanged = true;
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return false;
    QWidget* asker = HelpAsker();
    if (!asker || !asker->property("helpTopic").isValid())
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // the key comes to us as a key press, not as some shortcut
        return false;
    }
    ShowHelp(asker->property("helpTopic").toString());
    return true;
}

void CMainFrame::ShowHelp(const QString& topic) {
    // Dialogs name their topic ("AddItem"); pages are files of the help.
    QString page = topic;
    if (!page.contains(QLatin1String(".html"))) {
        page = page == QLatin1String("AddItem") ? QStringLiteral("tree.html")
                                                : page.toLower() + QStringLiteral(".html");
    }
    if (!QFile::exists(QStringLiteral(":/help/") + page.section(QLatin1Char('#'), 0, 0)))
        page = QStringLiteral("index.html");
    // A modal dialog blocks every window but its own: the help window it asks for is its own.
    QWidget* owner = QApplication::activeModalWidget();
    if (m_pHelp && m_pHelp->parentWidget() != owner) {
        m_pHelp->close();
        m_pHelp->deleteLater();
        m_pHelp = nullptr;
    }
    if (!m_pHelp)
        m_pHelp = new CHelpWindow(owner);
    if (!m_pHelp->isVisible()) {
        QWidget* asker = HelpAsker();
        m_pHelp->PlaceBeside(asker ? asker : window());
    }
    m_pHelp->ShowTopic(page);
}

// Split: the divider follows the arrow keys until Enter keeps or Escape restores it.
void CMainFrame::StartSplitTracking() {
    m_nSplitStart = m_pSplitter->sizes().value(0);
    m_bSplitTracking = true;
    QSplitterHandle* handle = m_pSplitter->handle(1);
    QCursor::setPos(handle->mapToGlobal(handle->rect().center()));
    QApplication::setOverrideCursor(Qt::SplitHCursor);
    qApp->installEventFilter(this);
}

bool CMainFrame::SplitTrackingKey(QKeyEvent* key) {
    const int total = m_pSplitter->sizes().value(0) + m_pSplitter->sizes().value(1);
    int pos = m_pSplitter->sizes().value(0);
    const int step = (key->modifiers() & Qt::ControlModifier) ? 1 : 8;
    switch (key->key()) {
    case Qt::Key_Left:
        pos -= step;
        break;
    case Qt::Key_Right:
        pos += step;
        break;
    case Qt::Key_Escape:
        pos = m_nSplitStart;
        [[fallthrough]];
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_bSplitTracking = false;
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
        break;
    default:
        return true;
    }
    pos = std::clamp(pos, 0, total);
    m_pSplitter->setSizes({pos, total - pos});
    if (m_bSplitTracking) {
        QSplitterHandle* handle = m_pSplitter->handle(1);
        QCursor::setPos(handle->mapToGlobal(handle->rect().center()));
    }
    return true;
}
