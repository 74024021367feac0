#include "ui/frame/MainFrame.h"

#include "app/NotariumDoc.h"
#include "app/Records.h"
#include "app/Settings.h"
#include "ui/backup/BackupCommands.h"
#include "ui/common/CommandIds.h"
#include "ui/common/IdleStep.h"
#include "ui/frame/CommandTable.h"
#include "ui/frame/ExchangeCommands.h"
#include "ui/frame/HelpWindow.h"
#include "ui/frame/LockIndicators.h"
#include "ui/frame/PrintCommands.h"
#include "ui/frame/RecentFileList.h"
#include "ui/frame/ToolIcons.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/BookmarkCommands.h"
#include "ui/tree/ClipboardCommands.h"
#include "ui/tree/FindCommands.h"
#include "ui/tree/ItemCommands.h"
#include "ui/tree/LabelEditor.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>

namespace {

constexpr const char* kWebAddress = "https://www.kestrelworks.example/";

QString PromptPart(const char* prompt, int part) {
    if (!prompt)
        return {};
    const QStringList parts = QString::fromUtf8(prompt).split(QLatin1Char('\n'));
    return part < parts.size() ? parts[part] : QString();
}

QList<QKeySequence> KeysOf(const CommandInfo& c) {
    QList<QKeySequence> keys;
    if (!c.keys)
        return keys;
    for (const QString& k : QString::fromUtf8(c.keys).split(QStringLiteral(", ")))
        keys.append(QKeySequence::fromString(k, QKeySequence::PortableText));
    return keys;
}

} // namespace

CMainFrame::CMainFrame(CFrameContext context, QWidget* parent)
    : QMainWindow(parent), m_ctx(std::move(context)) {
    InitNotariumResources();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(AppIcon());
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    CreateClient();
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    CreateContextMenus();
    RegisterCommands();
    RegisterEditCommands();
    LoadBarState();
    LoadWindowPos();
    setAcceptDrops(true);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
    m_pKeyWatch = std::make_unique<CEventWatch>(
        [this](QObject*, QEvent* event) { return WatchApplicationKeys(event); });
}

CMainFrame::~CMainFrame() {
    if (m_pHelp)
        delete m_pHelp.data();
}

void CMainFrame::CreateClient() {
    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pSplitter->setObjectName(QStringLiteral("splitter"));
    m_pSplitter->setChildrenCollapsible(false);
    m_pTree = new CTreePaneView(m_ctx.doc, m_ctx.settings, m_ctx.ui, m_pSplitter);
    m_pTree->setObjectName(QStringLiteral("treePane"));
    m_pEdit = new CEditPaneView(m_ctx.settings, m_ctx.ui, m_pSplitter);
    m_pEdit->setObjectName(QStringLiteral("editPane"));
    // What a screen reader says of the panes.
    m_pTree->setAccessibleName(QStringLiteral("Folders and textlets"));
    m_pTree->setAccessibleDescription(
        QStringLiteral("The tree of the data file's items; the text pane shows the selected one"));
    m_pEdit->setAccessibleName(QStringLiteral("Text"));
    m_pEdit->setAccessibleDescription(QStringLiteral("The text of the selected item"));
    m_pTree->SetEditPane(m_pEdit);
    m_pItems =
        std::make_unique<CItemCommands>(m_ctx.doc, m_ctx.settings, m_ctx.ui, *m_pTree, *m_pEdit);
    m_pItems->m_onHelp = [this](const QString& topic) { ShowHelp(topic); };
    m_pClipboard = std::make_unique<CClipboardCommands>(m_ctx.doc, *m_pTree);
    m_pClipboard->Register(*m_pItems);
    m_pBookmarks = std::make_unique<CBookmarkCommands>(m_ctx.doc, m_ctx.ui, *m_pTree);
    m_pFind = std::make_unique<CFindCommands>(m_ctx.doc, m_ctx.settings, m_ctx.ui, *m_pTree,
                                              *m_pEdit, *m_pBookmarks);
    m_pFind->m_onHelp = [this](const QString& topic) { ShowHelp(topic); };
    m_pSplitter->addWidget(m_pTree);
    m_pSplitter->addWidget(m_pEdit);
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setSizes({m_ctx.settings.m_nDividerPos, 1000});
    m_pTree->setWhatsThis(QStringLiteral(
        "The tree of folders and textlets. Select an item to show its text on the right."));
    m_pEdit->setWhatsThis(QStringLiteral(
        "The text of the selected textlet. Changes are written to the file when you select "
        "another item."));
    m_pEdit->installEventFilter(this);
    m_pTree->installEventFilter(this);
    connect(m_pTree, &CTreePaneView::contextMenuRequested, this,
            [this](const QPoint& pos) { TrackMenu(m_pTreeMenu, pos); });
    connect(m_pEdit, &CEditPaneView::contextMenuRequested, this,
            [this](const QPoint& pos) { TrackMenu(m_pEditMenu, pos); });
    connect(m_pTree, &CTreePaneView::fileDropped, this, &CMainFrame::OpenDroppedFile);
    connect(m_pEdit, &CEditPaneView::fileDropped, this, &CMainFrame::OpenDroppedFile);
    setCentralWidget(m_pSplitter);
}

void CMainFrame::CreateActions() {
    for (const CommandInfo& c : CommandTable()) {
        const int copies = c.id == ID_FILE_MRU_FILE1 ? kRecentFileCount : 1;
        for (int i = 0; i < copies; ++i) {
            const UINT id = c.id + static_cast<UINT>(i);
            auto* action = new QAction(QString::fromUtf8(c.menuText ? c.menuText : ""), this);
            action->setObjectName(QStringLiteral("cmd%1").arg(id));
            action->setData(id);
            action->setShortcuts(KeysOf(c));
            action->setStatusTip(PromptPart(c.prompt, 0));
            action->setWhatsThis(PromptPart(c.prompt, 0));
            const QString tip = PromptPart(c.prompt, 1);
            action->setToolTip(tip.isEmpty() ? PromptPart(c.prompt, 0) : tip);
            if (c.icon)
                action->setIcon(ToolIcon(c.icon, palette()));
            action->setIconVisibleInMenu(false);
            connect(action, &QAction::triggered, this, [this, id] { m_router.Execute(id); });
            addAction(action); // accelerators work wherever the focus is in the window
            m_actions[id] = action;
        }
    }
}

QAction* CMainFrame::Action(UINT id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QMenu* CMainFrame::BuildMenu(const QString& title, std::initializer_list<UINT> ids,
                             QWidget* parent) {
    auto* menu = new QMenu(title, parent);
    for (UINT id : ids) {
        if (id == 0)
            menu->addSeparator();
        else
            menu->addAction(Action(id));
    }
    menu->installEventFilter(this);
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    return menu;
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    m_pFileMenu = BuildMenu(QStringLiteral("&File"),
                            {ID_FILE_NEW, ID_FILE_OPEN, ID_OPEN_NEW_WINDOW, ID_FILE_COMPACT, 0,
                             ID_FILE_IMPORT, ID_FILE_EXPORT, ID_FILE_BACKUPS, 0, ID_FILE_PAGE_SETUP,
                             ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, 0, ID_FILE_MRU_FILE1,
                             ID_FILE_MRU_FILE1 + 1, ID_FILE_MRU_FILE1 + 2, ID_FILE_MRU_FILE1 + 3, 0,
                             ID_APP_EXIT},
                            bar);
    connect(m_pFileMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentFileMenu);
    bar->addMenu(m_pFileMenu);
    bar->addMenu(
        BuildMenu(QStringLiteral("&Edit"),
                  {ID_EDIT_UNDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_SELECT_ALL,
                   ID_QUICK_COPY, 0, ID_DATE_TIME, 0, ID_ADD_ITEM, ID_DELETE_ITEM, ID_RENAME, 0,
                   ID_FIND, ID_FIND_NEXT, ID_FIND_PREVIOUS, ID_REPLACE},
                  bar));
    bar->addMenu(BuildMenu(QStringLiteral("&View"),
                           {ID_WINDOW_SPLIT, 0, ID_EXPAND_ALL, ID_COLLAPSE_ALL, 0, ID_OPTIONS},
                           bar));
    bar->addMenu(BuildMenu(QStringLiteral("&Bookmarks"),
                           {ID_TOGGLE_BOOKMARK, ID_NEXT_BOOKMARK, ID_PREV_BOOKMARK, 0, ID_BOOKMARKS,
                            ID_REMOVE_ALL_BOOKMARKS},
                           bar));
    QMenu* help = BuildMenu(QStringLiteral("&Help"), {ID_HELP_FINDER}, bar);
    help->addMenu(BuildMenu(QStringLiteral("Kestrelworks on the &Web"), {ID_WEB_PAGE}, help));
    help->addSeparator();
    help->addAction(Action(ID_APP_ABOUT));
    bar->addMenu(help);
    UpdateRecentFileMenu();
}

void CMainFrame::CreateContextMenus() {
    m_pTreeMenu = BuildMenu(QStringLiteral("TreeView"),
                            {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_QUICK_COPY, 0,
                             ID_ADD_ITEM, ID_DELETE_ITEM, ID_RENAME, 0, ID_FIND, 0},
                            this);
    m_pTreeMenu->setObjectName(QStringLiteral("treeContextMenu"));
    m_pTreeMenu->addMenu(BuildMenu(QStringLiteral("&Bookmarks"),
                                   {ID_TOGGLE_BOOKMARK, ID_NEXT_BOOKMARK, ID_PREV_BOOKMARK, 0,
                                    ID_BOOKMARKS, ID_REMOVE_ALL_BOOKMARKS},
                                   m_pTreeMenu));
    m_pEditMenu =
        BuildMenu(QStringLiteral("EditView"),
                  {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_SELECT_ALL,
                   ID_QUICK_COPY, ID_DATE_TIME, ID_FIND, ID_REPLACE, ID_FILE_PRINT},
                  this);
    m_pEditMenu->setObjectName(QStringLiteral("editContextMenu"));
}

void CMainFrame::CreateToolBars() {
    auto make = [this](const QString& title, const QString& name, std::span<const UINT> ids) {
        auto* bar = new QToolBar(title, this);
        bar->setObjectName(name);
        bar->setIconSize(QSize(16, 15));
        bar->setAllowedAreas(Qt::AllToolBarAreas);
        bar->setFloatable(true);
        bar->setMovable(true);
        for (UINT id : ids) {
            if (id == 0)
                bar->addSeparator();
            else
                bar->addAction(Action(id));
        }
        addToolBar(Qt::TopToolBarArea, bar);
        return bar;
    };
    m_pToolBar =
        make(QStringLiteral("Toolbar"), QStringLiteral("mainToolbar"), MainToolbarLayout());
    m_pBookmarkBar = make(QStringLiteral("Bookmarks"), QStringLiteral("bookmarkToolbar"),
                          BookmarkToolbarLayout());
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    // The keyboard lock indicators, only where the platform tells the lock states: boxes
    // that can never fill would look broken.
    if (!QueryLockStates())
        return;
    const char* names[] = {"CAP", "NUM", "SCRL"};
    const char* spoken[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QStringLiteral("indicator%1").arg(QLatin1String(names[i])));
        pane->setAccessibleName(QLatin1String(spoken[i]) + QLatin1String(" off"));
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QLatin1String(names[i])) + 8);
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(pane);
        m_pIndicators[i] = pane;
    }
    UpdateIndicators();
}

QLabel* CMainFrame::Indicator(int index) const {
    return index >= 0 && index < 3 ? m_pIndicators[index] : nullptr;
}

void CMainFrame::UpdateIndicators() {
    m_bLocksChanged = false;
    if (!m_pIndicators[0])
        return;
    const std::optional<LockStates> states = QueryLockStates();
    if (!states)
        return;
    const bool on[] = {states->bCaps, states->bNum, states->bScroll};
    const char* names[] = {"CAP", "NUM", "SCRL"};
    const char* spoken[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (int i = 0; i < 3; ++i) {
        const QString text = on[i] ? QLatin1String(names[i]) : QString();
        if (m_pIndicators[i]->text() != text) {
            m_pIndicators[i]->setText(text);
            m_pIndicators[i]->setAccessibleName(QLatin1String(spoken[i]) +
                                                QLatin1String(on[i] ? " on" : " off"));
        }
    }
}

void CMainFrame::OnIdle() {
    UpdateCommandStates();
    if (m_ctx.doc.IsOpen())
        m_pTree->SyncSelection();
    if (m_bLocksChanged)
        UpdateIndicators();
}

void CMainFrame::TrackMenu(QMenu* menu, const QPoint& globalPos) {
    UpdateCommandStates();
    menu->exec(globalPos);
}

void CMainFrame::UpdateCommandStates() {
    for (const auto& [id, action] : m_actions) {
        const bool bEnabled = m_router.IsEnabled(id);
        if (action->isEnabled() != bEnabled)
            action->setEnabled(bEnabled);
    }
}

void CMainFrame::UpdateRecentFileMenu() {
    CRecentFileList& list = m_ctx.recentFiles;
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* action = Action(ID_FILE_MRU_FILE1 + static_cast<UINT>(i));
        if (i < list.GetSize()) {
            QString path = QFile::decodeName(list[i].c_str());
            path.replace(QLatin1Char('&'), QStringLiteral("&&"));
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
            action->setVisible(true);
        } else {
            action->setText(QStringLiteral("Recent File"));
            action->setVisible(i == 0); // an empty list shows one disabled entry
        }
    }
}

void CMainFrame::UpdateTitle() {
    const QString name = QFileInfo(QFile::decodeName(m_ctx.doc.GetPathName().c_str())).fileName();
    setWindowTitle(name.isEmpty() ? QStringLiteral("Notarium")
                                  : name + QStringLiteral(" - Notarium"));
}

void CMainFrame::OnInitialUpdate() {
    m_pEdit->SetFileReadOnly(m_ctx.doc.IsReadOnly());
    m_pTree->OnInitialUpdate();
    if (!m_bEditInitialised) {
        m_pEdit->ApplySettings();
        m_bEditInitialised = true;
    }
    UpdateTitle();
    UpdateCommandStates();
    m_pBackups->Auto().FileOpened();
}

void CMainFrame::ApplySettings() {
    m_pEdit->ApplySettings(); // font, word wrap, tab stops, read-only rule for folders
    m_pTree->ApplySettings(); // renaming in place
    UpdateCommandStates();    // Date and Time follows the read-only state
}

void CMainFrame::ShowInitially() {
    if (m_bShowMaximized)
        showMaximized();
    else
        show();
    m_pTree->setFocus();
}

bool CMainFrame::IsBarVisible(Bar bar) const {
    switch (bar) {
    case Bar::MainToolbar:
        return m_pToolBar->isVisibleTo(this);
    case Bar::BookmarkToolbar:
        return m_pBookmarkBar->isVisibleTo(this);
    case Bar::StatusBar:
        return statusBar()->isVisibleTo(this);
    }
    return false;
}

void CMainFrame::ShowBar(Bar bar, bool show) {
    switch (bar) {
    case Bar::MainToolbar:
        m_pToolBar->setVisible(show);
        break;
    case Bar::BookmarkToolbar:
        m_pBookmarkBar->setVisible(show);
        break;
    case Bar::StatusBar:
        statusBar()->setVisible(show);
        break;
    }
}

void CMainFrame::SetItemCommand(UINT id, CommandHandler handler) {
    m_pItems->SetPaneCommand(id, std::move(handler));
}

void CMainFrame::ExpandAll() {
    m_pTree->ExpandAll();
}

void CMainFrame::CollapseAll() {
    m_pTree->CollapseAll();
}

void CMainFrame::CommitPendingEdits() {
    if (m_ctx.doc.IsOpen())
        m_ctx.doc.SaveModified();
}

void CMainFrame::OnWebPage() {
    const QUrl url(QString::fromUtf8(kWebAddress));
    bool bOpened = false;
    {
        CWaitCursor wait(m_ctx.ui);
        bOpened = m_ctx.openUrl ? m_ctx.openUrl(url) : QDesktopServices::openUrl(url);
    }
    if (!bOpened)
        m_ctx.ui.MessageBox(kNoBrowser, MB_OK | MB_ICONEXCLAMATION);
}

void CMainFrame::OnFocusChanged(QWidget* now) {
    for (QWidget* w = now; w; w = w->parentWidget()) {
        if (w == m_pEdit) {
            m_router.SetActivePane(CommandLevel::EditPane);
            return;
        }
        if (w == m_pTree) {
            m_router.SetActivePane(CommandLevel::TreePane);
            return;
        }
    }
}

void CMainFrame::NextPane() {
    if (m_pEdit->hasFocus())
        m_pTree->setFocus(Qt::TabFocusReason);
    else
        m_pEdit->setFocus(Qt::TabFocusReason);
}
