#pragma once
// The main window: the splitter with the tree pane (left) and the edit pane (right), the
// main and bookmarks toolbars, the status bar, the menus and both context menus, all built
// from the command table; the routing of commands with their enable rules; window
// placement and bar layout kept between runs; help.

#include "ui/frame/CommandRouter.h"
#include "ui/frame/HelpWindow.h"

#include <QMainWindow>
#include <QPointer>
#include <map>

class CNotariumApp;
class CTreePaneView;
class CEditPaneView;
class QSplitter;
class QToolBar;
class QMenu;
class QLabel;
struct CAppSettings;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CNotariumApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CCommandRouter& Router() { return m_router; }
    CTreePaneView* TreePane() const { return m_pTree; }
    CEditPaneView* EditPane() const { return m_pEdit; }
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
    // Runs every command's enable rule (at idle and when a menu opens).
    void UpdateCommandStates();

    // Bars: 0 = main toolbar, 1 = bookmarks toolbar, 2 = status bar.
    bool IsBarVisible(int bar) const;
    void ShowBar(int bar, bool show);

    // Item commands of the tree pane that come with the clipboard and drag and drop of items
    // (Cut, Copy, Paste while no label is being edited) register here.
    void SetItemCommand(UINT id, CommandHandler handler);

    void ExpandAll();
    void CollapseAll();
    void ShowHelp(const QString& topic);
    // The topic F1 shows now: the active dialog's, else the focused pane's.
    QString ContextHelpTopic() const;

    void LoadWindowPos();
    void SaveWindowPos();
    void LoadBarState();
    void SaveBarState();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CNotariumApp& m_app;
    CAppSettings& m_settings;
    CCommandRouter m_router;
    QSplitter* m_pSplitter = nullptr;
    CTreePaneView* m_pTree = nullptr;
    CEditPaneView* m_pEdit = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QToolBar* m_pBookmarkBar = nullptr;
    QMenu* m_pTreeMenu = nullptr;
    QMenu* m_pEditMenu = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QPointer<CHelpWindow> m_pHelp;
    std::map<UINT, QAction*> m_actions;
    std::map<UINT, CommandHandler> m_itemCommands;
    bool m_bShowMaximized = false;
    bool m_bEditInitialised = false;
    bool m_bSplitTracking = false;
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
    void TrackMenu(QMenu* menu, const QPoint& globalPos);
    QMenu* BuildMenu(const QString& title, std::initializer_list<UINT> ids, QWidget* parent);
    void OnFocusChanged(QWidget* now);
    void NextPane();
    void StartSplitTracking();
    bool SplitTrackingKey(QKeyEvent* key);
    bool IsTableAccelerator(const QKeyEvent* key) const;
    void OnWebPage();
    void CommitPendingEdits();
};
