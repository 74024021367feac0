// The edit pane's pending text: the document stores it before anything reads or changes the
// tree, so that what the user typed is in the file before any command looks at the file.

#include "app/NotariumDoc.h"
#include "app/RecoveryFile.h"
#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "platform/Format.h"
#include "platform/Strings.h"

#include <new>

void CNotariumDoc::SetTextPane(ITextPane* pane) {
    m_pTextPane = pane;
    m_hShown = nullptr;
}

void CNotariumDoc::ShowItemText(HTREEITEM hItem) {
    m_hShown = nullptr;
    m_bTextUnstored = false;
    LoadText(hItem, *m_pTextPane);
    m_hShown = hItem;
}

bool CNotariumDoc::StorePendingText() {
    if (!m_pTextPane || !m_hShown || !m_pTextPane->IsTextChanged() || !m_store.IsOpen())
        return true;
    bool ok = false;
    try {
        SaveText(m_hShown, *m_pTextPane);
        ok = true;
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
    } catch (const std::bad_alloc&) {
        m_ui.ReportError(kOutOfMemory);
    }
    m_bTextUnstored = !ok;
    // Unchanged even after a failure: the failure is reported once, not again by every
    // operation and selection change that follows; the text stays in the pane, and the
    // next edit marks it changed and tries again.
    m_pTextPane->SetTextChanged(false);
    return ok;
}

CBlockFile& CNotariumDoc::Store() {
    StorePendingText();
    return m_store;
}

void CNotariumDoc::OnSelChanging(HTREEITEM hOld, HTREEITEM /*hNew*/) {
    if (hOld && hOld == m_hShown)
        StorePendingText();
    m_hShown = nullptr;
}

void CNotariumDoc::OnItemDeleting(HTREEITEM hItem) {
    if (m_hShown && treewalk::IsSameOrAncestor(m_tree, m_hShown, hItem))
        m_hShown = nullptr;
}

bool CNotariumDoc::KeepUnstoredText() {
    if (!m_bTextUnstored || !m_pTextPane || !m_hShown)
        return true;
    const std::string title = m_tree.GetItemText(m_hShown);
    try {
        const std::string kept =
            recovery::KeepText(m_strPathName, title, m_pTextPane->GetWindowText());
        m_bTextUnstored = false;
        m_ui.ShowNotice(Format(str::kTextKeptAside, enc::DecodeStored(title), m_strPathName, kept));
        return true;
    } catch (const CFileException& e) {
        m_ui.MessageBox(Format(str::kTextNotKept, enc::DecodeStored(title), m_strPathName,
                               recovery::Folder(), e.GetErrorMessage()),
                        MB_OK | MB_ICONEXCLAMATION);
    } catch (const std::bad_alloc&) {
        m_ui.ReportError(kOutOfMemory);
    }
    return false;
}
