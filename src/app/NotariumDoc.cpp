#include "app/NotariumDoc.h"

#include "app/TreeWalk.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Strings.h"
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

DWORD ReadTextStream(CBlockFile& store, DWORD offset, std::vector<BYTE>& bytes) {
    CTransferScope transfer(store);
    store.BeginRead(offset);
    BYTE len[4];
    store.ReadData(len, 4);
    DWORD length = GetLE32(len);
    if (length > store.MaxChainBytes())
        throw CFileException(CFileException::endOfFile, store.GetFilePath());
    bytes.resize(length);
    store.ReadData(bytes.data(), length);
    store.EndTransfer();
    return length;
}

CNotariumDoc::CNotariumDoc(IUiServices& ui, CAppSettings& settings)
    : m_ui(ui), m_settings(settings) {
    m_tree.AddObserver(this);
    m_store.m_onCommitted = [this] { CheckFileIdentity(); };
}

CNotariumDoc::~CNotariumDoc() {
    m_tree.RemoveObserver(this);
    try {
        DeleteContents();
    } catch (...) {
        m_store.Abort();
    }
}

bool CNotariumDoc::PrepareDataFile(const std::string& path, bool bCreate, IUiServices& ui) {
    try {
        CBlockFile file;
        if (bCreate) {
            // Built beside the path and renamed over it: no partial file is ever left, and a
            // file that another process holds is not replaced.
            CFileReplacement replacement(path, "NOTA");
            replacement.Create(file);
            file.SetJournaled(false);
            CStoreOperation op(file);
            file.m_header.SetNew();
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
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
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

bool CNotariumDoc::OnOpenDocument(const std::string& path) {
    CBlockFile file;
    try {
        file.Open(path, CFile::modeReadWrite | CFile::shareExclusive);
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
    const bool bRolledBack = file.WasRolledBack();
    DeleteContents();
    m_store.TakeOver(file);
    m_hShown = nullptr; // the pane's text is of the old file
    m_strPathName = path;
    m_settings.m_strLastFile = path;
    m_bOrphanReported = false;
    if (bRolledBack)
        m_ui.ShowNotice(Format(str::kRolledBack, path));
    return true;
}

void CNotariumDoc::CheckFileIdentity() noexcept {
    if (!m_store.IsOpen() || m_store.IsStillAtPath())
        return;
    // Nobody can find the file we write into any more: put it back at its path, crash-safely,
    // and go on with that file.
    try {
        CFileReplacement replacement(m_strPathName, "NOTA");
        {
            CFile copy;
            replacement.Create(copy);
            std::vector<BYTE> buf(1 << 20);
            const std::uint64_t length = static_cast<CFile&>(m_store).GetLength();
            for (std::uint64_t at = 0; at < length;) {
                auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), length - at));
                m_store.ReadAt(at, buf.data(), n);
                copy.Write(buf.data(), static_cast<UINT>(n));
                at += n;
            }
            copy.Flush();
            replacement.Commit();
            copy.Close();
        }
        CBlockFile file;
        file.Open(m_strPathName, CFile::modeReadWrite | CFile::shareExclusive);
        if (!file.CheckSignature())
            throw CFileException(CFileException::invalidFile, m_strPathName);
        m_store.Abort();
        m_store.TakeOver(file);
        m_bOrphanReported = false;
        m_ui.MessageBox(Format(str::kWrittenBack, m_strPathName, m_strPathName),
                        MB_OK | MB_ICONEXCLAMATION);
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
    ReadTextStream(m_store, static_cast<DWORD>(lParam), bytes);
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
        newOffset = offset == 0 ? m_store.BeginNewChain() : (m_store.BeginWrite(offset), offset);
        BYTE len[4];
        PutLE32(len, static_cast<DWORD>(text.size() + 1));
        m_store.WriteData(len, 4);
        m_store.WriteData(text.c_str(), text.size() + 1);
        m_store.EndTransfer();
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
    DWORD length = ReadTextStream(m_store, static_cast<DWORD>(lParam), bytes);
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0)
        ++end;
    text.assign(reinterpret_cast<const char*>(bytes.data()), end);
    return length;
}

void CNotariumDoc::OnItemExpanded(HTREEITEM hItem, UINT /*action*/) {
    treewalk::UpdateOpenImage(m_tree, hItem);
}
