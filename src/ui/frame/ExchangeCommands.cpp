#include "ui/frame/ExchangeCommands.h"

#include "app/Export.h"
#include "app/Import.h"
#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/UiServices.h"
#include "ui/common/CommandIds.h"
#include "ui/common/QtText.h"
#include "ui/frame/ExchangeDialogs.h"
#include "ui/tree/TreePaneView.h"

#include <algorithm>
#include <exception>

namespace {

std::string Counted(std::uint64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string Written(const exchange::Report& r) {
    return Counted(r.nFolders, "folder") + " and " + Counted(r.nTextlets, "textlet");
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name.empty() ? "Notarium" : name;
}

// The items directly in folder (null: the top level), in the tree's order.
std::vector<HTREEITEM> ChildrenOf(const CTreeCtrl& tree, HTREEITEM folder) {
    std::vector<HTREEITEM> items;
    for (HTREEITEM h = folder ? tree.GetChildItem(folder) : tree.GetRootItem(); h;
         h = tree.GetNextSiblingItem(h))
        items.push_back(h);
    return items;
}

} // namespace

void CWindowProgress::Begin(std::uint64_t total) {
    m_total = total;
    m_pos = -1;
    if (!m_bBegun)
        m_ui.BeginProgress(0, kRange);
    m_bBegun = true;
}

bool CWindowProgress::Step(std::uint64_t done) {
    if (m_bStopped)
        return false;
    const auto pos = static_cast<int>(
        m_total == 0 ? 0 : std::min<std::uint64_t>(done, m_total) * kRange / m_total);
    if (m_bBegun && pos != m_pos) {
        m_pos = pos;
        m_ui.SetProgressPos(pos);
    }
    // Polling lets the window paint, which costs more than a step: not more often than this.
    const auto now = std::chrono::steady_clock::now();
    if (m_bPolled && now - m_lastPoll < kPollInterval)
        return true;
    m_bPolled = true;
    m_lastPoll = now;
    m_bStopped = m_ui.PollEscape();
    return !m_bStopped;
}

void CWindowProgress::End() {
    if (m_bBegun)
        m_ui.EndProgress();
    m_bBegun = false;
}

CExchangeCommands::CExchangeCommands(CNotariumDoc& doc, IUiServices& ui, CTreePaneView& tree,
                                     IExchangeDialogs* dialogs)
    : m_doc(doc), m_ui(ui), m_tree(tree), m_pDialogs(dialogs) {
    SetDialogs(dialogs);
}

CExchangeCommands::~CExchangeCommands() = default;

void CExchangeCommands::SetDialogs(IExchangeDialogs* dialogs) {
    if (!dialogs && !m_pQtDialogs)
        m_pQtDialogs = std::make_unique<CQtExchangeDialogs>();
    m_pDialogs = dialogs ? dialogs : m_pQtDialogs.get();
}

void CExchangeCommands::Register(CCommandRouter& router) {
    auto fileOpen = [this] { return m_doc.IsOpen(); };
    router.Set(
        CommandLevel::Frame, ID_FILE_IMPORT, [this] { Import(); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_FILE_EXPORT, [this] { Export(); }, fileOpen);
}

bool CExchangeCommands::CommitPendingText() {
    if (!m_doc.IsOpen() || !m_doc.StorePendingText())
        return false;
    m_tree.SyncSelection();
    return true;
}

std::string CExchangeCommands::StartDir() const {
    return DirectoryOf(m_doc.GetPathName());
}

void CExchangeCommands::Export() {
    if (!CommitPendingText())
        return;
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM selected = tree.GetSelectedItem();
    HTREEITEM folder = selected ? treewalk::GetFolderOf(tree, selected) : nullptr;
    ExportDefaults defaults;
    defaults.startDir = StartDir();
    defaults.databaseName = BaseNameOf(m_doc.GetPathName());
    if (folder) {
        defaults.folderTitle = BytesToQString(tree.GetItemText(folder));
        defaults.folderName = exchange::FileNameFor(tree.GetItemText(folder), "");
    }
    ExportChoice choice;
    if (!m_pDialogs->RunExport(m_tree.window(), defaults, choice))
        return;
    HTREEITEM item = choice.bWholeDatabase ? nullptr : folder;

    exchange::Report report;
    {
        CWindowProgress progress(m_ui);
        report = choice.bMarkdown
                     ? exchange::ExportToMarkdown(m_doc, item, choice.destination, &progress)
                     : exchange::ExportToDirectory(m_doc, item, choice.destination, &progress);
    }
    ShowReport(report, "Exported " + Written(report) + " to '" + choice.destination + "'.",
               kExportStopped);
}

void CExchangeCommands::Import() {
    if (!CommitPendingText())
        return;
    CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM selected = tree.GetSelectedItem();
    // As the import resolves it: a textlet's folder, else the root folder.
    HTREEITEM target = selected ? treewalk::GetFolderOf(tree, selected) : tree.GetRootItem();
    const QString title =
        target ? BytesToQString(tree.GetItemText(target)) : QStringLiteral("(the top level)");
    std::vector<std::string> sources;
    if (!m_pDialogs->RunImport(m_tree.window(), title, StartDir(), sources))
        return;

    const std::vector<HTREEITEM> before = ChildrenOf(tree, target);
    exchange::Report report;
    {
        CWindowProgress progress(m_ui);
        exchange::ImportOptions options;
        options.bDirectoryAsFolder = true; // Add Folder adds the folder, not just its contents
        report = exchange::Import(m_doc, selected, sources, options, &progress);
    }
    if (report.Ok())
        SelectFirstNew(target, before);
    ShowReport(report, "Imported " + Written(report) + " into '" + title.toStdString() + "'.",
               kImportStopped);
}

void CExchangeCommands::SelectFirstNew(HTREEITEM hTarget, const std::vector<HTREEITEM>& before) {
    CTreeCtrl& tree = m_doc.Tree();
    for (HTREEITEM h : ChildrenOf(tree, hTarget)) {
        if (std::find(before.begin(), before.end(), h) != before.end())
            continue;
        if (hTarget)
            tree.Expand(hTarget, TVE_EXPAND);
        tree.SelectItem(h);
        m_tree.SyncSelection();
        return;
    }
}

void CExchangeCommands::ShowReport(const exchange::Report& report, const std::string& headline,
                                   const char* stopped) {
    if (report.bStopped) {
        m_ui.MessageBox(stopped, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!report.strError.empty()) {
        m_ui.MessageBox(report.strError, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (report.skipped.empty()) {
        m_ui.MessageBox(headline, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::string skipped = "Skipped " + std::to_string(report.skipped.size()) + ":";
    std::vector<std::string> lines;
    for (const exchange::Skipped& s : report.skipped)
        lines.push_back(s.path + ": " + s.reason);
    if (lines.size() > kMaxLinesInBox) {
        m_pDialogs->ShowSummary(m_tree.window(), headline + "\n" + skipped, lines);
        return;
    }
    std::string text = headline + "\n\n" + skipped;
    for (const std::string& line : lines)
        text += "\n" + line;
    m_ui.MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}
