#include "ui/tree/BookmarkCommands.h"

#include "app/Bookmarks.h"
#include "app/FindTexts.h"
#include "app/NotariumDoc.h"
#include "platform/Strings.h"
#include "ui/common/CommandIds.h"
#include "ui/tree/BookmarksDlg.h"
#include "ui/tree/TreePaneView.h"

CBookmarkCommands::CBookmarkCommands(CNotariumDoc& doc, IUiServices& ui, CTreePaneView& tree)
    : m_doc(doc), m_ui(ui), m_tree(tree) {}

void CBookmarkCommands::Register(CCommandRouter& router) {
    auto fileOpen = [this] { return m_doc.IsOpen(); };
    auto selection = [this] { return m_doc.IsOpen() && m_doc.Tree().GetSelectedItem(); };
    router.Set(
        CommandLevel::Frame, ID_TOGGLE_BOOKMARK, [this] { Toggle(); }, selection);
    router.Set(
        CommandLevel::Frame, ID_NEXT_BOOKMARK, [this] { Next(); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_PREV_BOOKMARK, [this] { Previous(); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_BOOKMARKS, [this] { ShowBookmarks(); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_REMOVE_ALL_BOOKMARKS, [this] { RemoveAll(); }, fileOpen);
}

void CBookmarkCommands::Toggle() {
    CTreeCtrl& tree = m_doc.Tree();
    if (HTREEITEM h = tree.GetSelectedItem())
        bookmarks::Toggle(tree, h);
}

void CBookmarkCommands::SelectAndShow(HTREEITEM h) {
    m_doc.Tree().SelectItem(h);
    m_tree.ScrollToItem(h);
}

void CBookmarkCommands::Step(bool backward) {
    const CTreeCtrl& tree = m_doc.Tree();
    HTREEITEM found = nullptr;
    {
        CWaitCursor wait(m_ui);
        HTREEITEM h = tree.GetSelectedItem();
        found = backward ? bookmarks::FindPrevious(tree, h) : bookmarks::FindNext(tree, h);
    }
    if (!found) {
        m_ui.Beep();
        CStatusMessage keep(m_ui, str::kNoMoreBookmarks, true);
        return;
    }
    SelectAndShow(found);
}

void CBookmarkCommands::Next() {
    Step(false);
}

void CBookmarkCommands::Previous() {
    Step(true);
}

void CBookmarkCommands::RemoveAll() {
    CWaitCursor wait(m_ui);
    bookmarks::RemoveAll(m_doc.Tree());
}

void CBookmarkCommands::ShowBookmarks() {
    std::vector<bookmarks::BookmarkEntry> entries;
    {
        CWaitCursor wait(m_ui);
        entries = bookmarks::Collect(m_doc.Tree());
    }
    if (entries.empty()) {
        m_ui.MessageBox(str::kNoBookmarksFound, MB_OK | MB_ICONINFORMATION);
        return;
    }
    CBookmarksDlg dlg(entries, m_tree.window());
    if (m_onDialog)
        m_onDialog(dlg);
    dlg.exec();
    {
        CWaitCursor wait(m_ui);
        bookmarks::ApplyRemovals(m_doc.Tree(), entries);
    }
    if (dlg.Chosen())
        SelectAndShow(dlg.Chosen());
}
