#pragma once
// The main window: the splitter with the tree pane (left) and the edit pane (right), the
// main and bookmarks toolbars, the status bar, the menus and both context menus, all built
// from the command table; the routing of commands with their enable rules; window
// placement and bar layout kept between runs; help. It works with what CFrameContext gives
// it; the commands on items are CItemCommands, the title editor's are CLabelEditor's, and
// both register with the frame's router.

#include "ui/common/CommandRouter.h"
#include "ui/frame/FrameContext.h"
#include "ui/frame/HelpWindow.h"

#include <QMainWindow>
#include <QPointer>

#include <map>
#include <memory>

class CTreePaneView;
class CEditPaneView;
class CItemCommands;
class CClipboardCommands;
class CPrintCommands;
class CExchangeCommands;
class CFindCommands;
class CBookmarkCommands;
class CBackupCommands;
class CEventWatch;
class QSplitter;
class QToolBar;
class QMenu;
class QLabel;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CFrameContext context, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CCommandRouter& Router() { return m_router; }
    CTreePaneView* TreePane() const { return m_pTree; }
    CEditPaneView* EditPane() const { return m_pEdit; }
    CItemCommands& ItemCommands() { return *m_pItems; }
    CClipboardCommands& ClipboardCommands() { return *m_pClipboard; }
    CPrintCommands& PrintCommands() { return *m_pPrint; }
    CExchangeCommands& ExchangeCommands() { return *m_pExchange; }
    CFindCommands& FindCommands() { return *m_pFind; }
    CBookmarkCommands& BookmarkCommands() { return *m_pBookmarks; }
    CBackupCommands& BackupCommands() { return *m_pBackups; }
    QSplitter* Splitter() const { return m_pSplitter; }
    QToolBar* MainToolBar() const { return m_pToolBar; }
    QToolBar* BookmarkBar() const { return m_pBookmarkBar; }
    QAction* Action(UINT id) const;
    QMenu* TreeContextMenu() const { return m_pTreeMenu; }
    QMenu* EditContextMenu() const { return m_pEditMenu; }
    CHelpWindow* HelpWindow() const { return m_pHelp; }

    // After every successful open: the tree is reloaded, the editor set up the first time.
    void OnInitialUpdate();
    // Shows the window as it was left: maximized when it was.
    void ShowInitially();
    // The one step that applies changed settings at once (after Options OK): the edit pane's
    // font, word wrap, tab stops and read-only rule, the tree pane's renaming in place, and the
    // enable rules that follow from them. Printing reads the settings at each job.
    void ApplySettings();
    // Runs every command's enable rule (at idle and when a menu opens).
    void UpdateCommandStates();
    // The idle step's work: enable rules, the tree pane's deferred work, the lock indicators.
    void OnIdle();
    // True while a command runs: the idle step waits.
    bool IsBusy() const { return m_router.IsRunning(); }

    enum class Bar { MainToolbar = 0, BookmarkToolbar = 1, StatusBar = 2 };
    bool IsBarVisible(Bar bar) const;
    void ShowBar(Bar bar, bool show);

    // Item commands of the tree pane that come with the clipboard and drag and drop of items
    // (Cut, Copy, Paste while no label is being edited) register here.
    void SetItemCommand(UINT id, CommandHandler handler);

    void ExpandAll();
    void CollapseAll();
    // Shows a help topic. From a modal dialog the help window belongs to the dialog, so that
    // it can be read, scrolled and closed while the dialog stays open.
    void ShowHelp(const QString& topic);
    // The topic F1 shows now: the active dialog's, else the focused pane's.
    QString ContextHelpTopic() const;
    // The lock-key indicators of the status bar; empty where the platform cannot tell.
    QLabel* Indicator(int index) const;

    void LoadWindowPos();
    void SaveWindowPos();
    void LoadBarState();
    void SaveBarState();

    static constexpr const char* kNoBrowser =
        "No web browser could be started to show the Kestrelworks home page.";

protected:
    void closeEvent(QCloseEvent* event) override;
    // A new palette (a dark theme chosen while the program runs) redraws the tool pictures.
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CFrameContext m_ctx;
    CCommandRouter m_router;
    QSplitter* m_pSplitter = nullptr;
    CTreePaneView* m_pTree = nullptr;
    CEditPaneView* m_pEdit = nullptr;
    std::unique_ptr<CItemCommands> m_pItems;
    std::unique_ptr<CClipboardCommands> m_pClipboard;
    std::unique_ptr<CPrintCommands> m_pPrint;
    std::unique_ptr<CExchangeCommands> m_pExchange;
    std::unique_ptr<CBookmarkCommands> m_pBookmarks;
    std::unique_ptr<CFindCommands> m_pFind;
    std::unique_ptr<CBackupCommands> m_pBackups; // joins a backup's thread when it goes
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pBookmarkBar = nullptr;
    QMenu* m_pTreeMenu = nullptr;
    QMenu* m_pEditMenu = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QLabel* m_pIndicators[3] = {nullptr, nullptr, nullptr};
    QPointer<CHelpWindow> m_pHelp;
    std::unique_ptr<CEventWatch> m_pKeyWatch;
    std::map<UINT, QAction*> m_actions;
    bool m_bShowMaximized = false;
    bool m_bEditInitialised = false;
    bool m_bSplitTracking = false;
    bool m_bLocksChanged = true;
    int m_nSplitStart = 0;

    void CreateClient();
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void CreateContextMenus();
    void RegisterCommands();
    void RegisterEditCommands();
    void UpdateRecentFileMenu();
    void UpdateTitle();
    void UpdateIndicators();
    void TrackMenu(QMenu* menu, const QPoint& globalPos);
    QMenu* BuildMenu(const QString& title, std::initializer_list<UINT> ids, QWidget* parent);
    void OnFocusChanged(QWidget* now);
    void NextPane();
    void StartSplitTracking();
    bool SplitTrackingKey(QKeyEvent* key);
    bool IsTableAccelerator(const QKeyEvent* key) const;
    bool WatchApplicationKeys(QEvent* event);
    void OnWebPage();
    // Opens a file dropped anywhere on the window, once the drop has finished.
    void OpenDroppedFile(const QString& file);
    void CommitPendingEdits();
};
