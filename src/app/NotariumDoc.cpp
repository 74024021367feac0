#include "app/NotariumDoc.h"

#include "app/TreeWalk.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "store/TextChain.h"
#include "store/TreeStream.h"

#include <limits>

using namespace nota;

namespace {

void ShowCorrupt(IUiServices& ui, const std::string& path) {
    ui.MessageBox(Format(str::kCorruptFile, path), MB_OK | MB_ICONEXCLAMATION);
}

// The stream of a new database: the root folder "Notarium", no text, no children, selected.
std::vector<BYTE> NewDatabaseStream() {
    CTreeCtrl tree;
    tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, str::kRootTitle, IMAGE_ROOT,
                    IMAGE_ROOT, 0, 0, 0, TVI_ROOT, TVI_LAST);
    tree.SelectItem(tree.GetRootItem());
    return treestream::Serialize(tree);
}

} // namespace

CNotariumDoc::CNotariumDoc(IUiServices& ui, CAppSettings& settings)
    : m_ui(ui), m_settings(settings) {
    m_tree.AddObserver(this);
    m_store.SetOnCommitted([this] { CheckFileIdentity(); });
}

CNotariumDoc::~CNotariumDoc() {
    m_tree.RemoveObserver(this);
    try {
        DeleteContents();
    } catch (...) {
        m_store.Abort();
    }
}

namespace {

// Tells the user what the open's recovery did: a rollback, or a journal that did not belong
// to the file and was set aside.
void TellRecovery(const CBlockFile& file, const std::string& path, IUiServices& ui) {
    if (file.WasRolledBack())
        ui.ShowNotice(Format(str::kRolledBack, path));
    if (!file.StrayJournal().empty())
        ui.ShowNotice(Format(str::kJournalSetAside, path, file.StrayJournal()));
}

// Opens path into file in the given mode. A reader that finds a change a stopped writer left
// unfinished has it rolled back first when the file can be written, and otherwise stops:
// it never shows a half-written state. False after a message; throws CFileException.
bool OpenStore(CBlockFile& file, const std::string& path, CNotariumDoc::OpenMode mode,
               IUiServices& ui) {
    if (mode == CNotariumDoc::OpenMode::ReadWrite) {
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
        TellRecovery(file, path, ui);
        return true;
    }
    file.Open(path, CFile::modeRead | CFile::shareDenyWrite);
    if (!file.IsRollbackPending())
        return true;
    file.Abort();
    try {
        CBlockFile writer(path, CFile::modeReadWrite | CFile::shareExclusive);
        TellRecovery(writer, path, ui);
        writer.Close();
    } catch (const CFileException& e) {
        if (e.m_cause != CFileException::accessDenied)
            throw;
        ui.ReportError(Format(str::kNeedsRollback, path));
        return false;
    }
    file.Open(path, CFile::modeRead | CFile::shareDenyWrite);
    if (!file.IsRollbackPending())
        return true;
    file.Abort(); // another writer left one again meanwhile
    ui.ReportError(Format(str::kNeedsRollback, path));
    return false;
}

} // namespace

bool CNotariumDoc::PrepareDataFile(const std::string& path, bool bCreate, IUiServices& ui,
                                   OpenMode mode) {
    try {
        CBlockFile file;
        if (bCreate) {
            // Built beside the path and renamed over it: no partial file is ever left, and a
            // file that another process holds is not replaced.
            CFileReplacement replacement(path, "NOTA");
            replacement.Create(file);
            file.SetJournaled(false);
            CStoreOperation op(file);
            file.Header().SetNew();
            file.WriteHeader();
            file.SetTreeData(file.BeginNewChain());
            std::vector<BYTE> stream = NewDatabaseStream();
            file.WriteData(stream.data(), stream.size());
            file.EndTransfer();
            op.Commit();
            replacement.Commit();
            file.Close();
            return true;
        }
        if (!OpenStore(file, path, mode, ui))
            return false;
        bool ok = file.CheckSignature();
        file.Abort();
        if (!ok)
            ShowCorrupt(ui, path);
        return ok;
    } catch (const CFileException& e) {
        ui.ReportError(e);
        return false;
    }
}

CNotariumDoc::OpenMode CNotariumDoc::ModeToOpen(const std::string& path) {
    return fs_util::FileExists(path) && !fs_util::CanChangeFile(path) ? OpenMode::ReadOnly
                                                                      : OpenMode::ReadWrite;
}

bool CNotariumDoc::OnOpenDocument(const std::string& path, OpenMode mode) {
    CBlockFile file;
    try {
        if (!OpenStore(file, path, mode, m_ui))
            return false;
        if (!file.CheckSignature()) {
            file.Abort();
            ShowCorrupt(m_ui, path);
            return false;
        }
    } catch (const CFileException& e) {
        file.Abort();
        if (e.m_cause == CFileException::none || e.m_cause == CFileException::genericException)
            m_ui.ReportError(str::kFailedToOpenDocument);
        else
            m_ui.ReportError(e);
        return false;
    }
    DeleteContents();
    m_store.TakeOver(file);
    m_bReadOnly = mode == OpenMode::ReadOnly;
    m_hShown = nullptr; // the pane's text is of the old file
    m_strPathName = path;
    m_settings.m_strLastFile = path;
    m_bOrphanReported = false;
    return true;
}

namespace {

// The n-th name beside path for a file that must not go over what is at path:
// "db (recovered).Nota", "db (recovered 2).Nota", ...
std::string RecoveredName(const std::string& path, int n) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExt ? path.substr(0, dot) : path;
    const std::string ext = hasExt ? path.substr(dot) : std::string(".Nota");
    return stem + (n == 1 ? " (recovered)" : " (recovered " + std::to_string(n) + ")") + ext;
}

} // namespace

void CNotariumDoc::CheckFileIdentity() noexcept {
    if (!m_store.IsOpen() || m_store.IsStillAtPath())
        return;
    // Nobody can find the file we write into any more: put it back at its path while nothing
    // is there, else under a new name beside it (never over a file the user put there), and
    // go on with that file.
    try {
        CFileReplacement replacement(m_strPathName, "NOTA");
        {
            CFile copy;
            replacement.Create(copy);
            std::vector<BYTE> buf(1 << 20);
            const std::uint64_t length = m_store.DiskLength();
            for (std::uint64_t at = 0; at < length;) {
                auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), length - at));
                m_store.ReadAt(at, buf.data(), n);
                copy.Write(buf.data(), static_cast<UINT>(n));
                at += n;
            }
            copy.Flush();
            copy.Close();
        }
        std::string target = replacement.TargetPath();
        for (int n = 1; !replacement.CommitAsNew(target); ++n) {
            if (n > 999)
                CFileException::ThrowOsError(EEXIST, target);
            target = RecoveredName(replacement.TargetPath(), n);
        }
        CBlockFile file;
        file.Open(target, CFile::modeReadWrite | CFile::shareExclusive);
        if (!file.CheckSignature())
            throw CFileException(CFileException::invalidFile, target);
        m_store.Abort();
        m_store.TakeOver(file);
        m_bOrphanReported = false;
        const std::string lost = m_strPathName;
        m_strPathName = target;
        m_settings.m_strLastFile = target;
        m_ui.ShowNotice(target == replacement.TargetPath()
                            ? Format(str::kWrittenBack, lost, target)
                            : Format(str::kWrittenBeside, lost, target));
    } catch (const std::exception& e) {
        if (m_bOrphanReported)
            return;
        m_bOrphanReported = true;
        auto* file = dynamic_cast<const CFileException*>(&e);
        m_ui.MessageBox(Format(str::kNotWrittenBack, m_strPathName,
                               file ? file->GetErrorMessage() : std::string(e.what())),
                        MB_OK | MB_ICONEXCLAMATION);
    }
}

void CNotariumDoc::DeleteContents() {
    if (!m_store.IsOpen())
        return;
    try {
        m_store.Close();
    } catch (const CFileException& e) {
        m_store.Abort();
        m_ui.ReportError(e);
    }
}

bool CNotariumDoc::SaveModified() {
    if (!m_store.IsOpen())
        return false;
    if (m_bReadOnly)
        return true;
    if (!StorePendingText())
        return false;
    return SaveTree();
}

bool CNotariumDoc::ReloadTree() {
    m_tree.DeleteAllItems();
    return LoadTree();
}

bool CNotariumDoc::LoadTree() {
    CTreeCtrl& tree = m_tree;
    CWaitCursor wait(m_ui);
    if (!m_store.IsOpen() || m_store.GetTreeData() == 0)
        return true;
    bool ok = true;
    treestream::LoadResult result;
    {
        CTreeUpdateLock lock(tree);
        try {
            CTransferScope transfer(m_store);
            treestream::ReadTree(m_store, tree, m_settings.m_bRememberTreeState, result);
        } catch (const CFileException& e) {
            m_ui.ReportError(e);
            ok = false;
        }
    }
    HTREEITEM select = result.hSelect ? result.hSelect : tree.GetRootItem();
    if (select)
        tree.SelectItem(select);
    return ok;
}

bool CNotariumDoc::SaveTree() {
    CTreeCtrl& tree = m_tree;
    CWaitCursor wait(m_ui);
    if (!m_store.IsOpen())
        return false;
    StorePendingText();
    try {
        CStoreOperation op(m_store);
        CTransferScope transfer(m_store);
        treestream::WriteTree(m_store, tree);
        op.Commit();
        return true;
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
        return false;
    }
}

void CNotariumDoc::LoadText(HTREEITEM hItem, ITextPane& pane) {
    CWaitCursor wait(m_ui);
    const LPARAM lParam = m_tree.GetItemData(hItem);
    if (lParam == 0) {
        pane.SetWindowText(std::string());
        return;
    }
    std::vector<BYTE> bytes;
    textchain::Read(m_store, static_cast<DWORD>(lParam), bytes);
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0)
        ++end;
    pane.SetWindowText(std::string(reinterpret_cast<const char*>(bytes.data()), end));
}

void CNotariumDoc::SaveText(HTREEITEM hItem, ITextPane& pane) {
    CTreeCtrl& tree = m_tree;
    CWaitCursor wait(m_ui);
    auto offset = static_cast<DWORD>(tree.GetItemData(hItem));
    DWORD newOffset = offset;
    std::size_t n = pane.GetWindowTextLength();
    // The text and the tree that refers to it reach the file together, or neither does.
    CStoreOperation op(m_store);
    CTransferScope transfer(m_store);
    if (n == 0) {
        m_store.FreeChain(offset);
        newOffset = 0;
    } else {
        std::string text = pane.GetWindowText();
        if (text.size() >= std::numeric_limits<DWORD>::max())
            throw CFileException(CFileException::diskFull, m_store.GetFilePath());
        newOffset =
            textchain::Write(m_store, offset, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    if (newOffset == offset) {
        op.Commit();
        return;
    }
    tree.SetItemData(hItem, newOffset);
    try {
        treestream::WriteTree(m_store, tree);
        op.Commit();
    } catch (...) {
        tree.SetItemData(hItem, offset); // the file still has the old text
        throw;
    }
}

DWORD CNotariumDoc::ReadText(HTREEITEM hItem, std::string& text) {
    StorePendingText();
    const LPARAM lParam = m_tree.GetItemData(hItem);
    if (lParam == 0)
        return 0;
    std::vector<BYTE> bytes;
    DWORD length = textchain::Read(m_store, static_cast<DWORD>(lParam), bytes);
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0)
        ++end;
    text.assign(reinterpret_cast<const char*>(bytes.data()), end);
    return length;
}

void CNotariumDoc::OnItemExpanded(HTREEITEM hItem, UINT /*action*/) {
    treewalk::UpdateOpenImage(m_tree, hItem);
}
