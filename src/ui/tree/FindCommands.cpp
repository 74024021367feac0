#include "ui/tree/FindCommands.h"

#include "app/FindTexts.h"
#include "app/NotariumDoc.h"
#include "app/SearchWalk.h"
#include "app/Settings.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "ui/common/CommandIds.h"
#include "ui/common/EscapePoll.h"
#include "ui/common/QtText.h"
#include "ui/text/EditBuffer.h"
#include "ui/text/EditPaneView.h"
#include "ui/text/FindDlg.h"
#include "ui/text/ReplaceDlg.h"
#include "ui/tree/BookmarkCommands.h"
#include "ui/tree/TreePaneView.h"

#include <QPalette>

#include <optional>

namespace {

std::u16string ToU16(const std::string& utf8) {
    return BytesToQString(utf8).toStdU16String();
}

} // namespace

CFindCommands::CFindCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                             CTreePaneView& tree, CEditPaneView& edit, CBookmarkCommands& bookmarks)
    : m_doc(doc), m_settings(settings), m_ui(ui), m_tree(tree), m_edit(edit),
      m_bookmarks(bookmarks) {
    // A match found from the tree is highlighted in the edit pane while the tree keeps the
    // focus: the selection looks the same with and without the focus.
    QPalette pal = m_edit.palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    m_edit.setPalette(pal);
}

void CFindCommands::Register(CCommandRouter& router) {
    auto fileOpen = [this] { return m_doc.IsOpen(); };
    router.Set(
        CommandLevel::Frame, ID_FIND, [this] { Find(); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_FIND_NEXT, [this] { FindNext(false); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_FIND_PREVIOUS, [this] { FindNext(true); }, fileOpen);
    router.Set(
        CommandLevel::Frame, ID_REPLACE, [this] { Replace(); }, [this] { return CanReplace(); });
}

bool CFindCommands::CanReplace() const {
    return m_doc.IsOpen() && !m_edit.isReadOnly();
}

void CFindCommands::Find() {
    CFindDlg dlg(m_settings.m_findHistory, m_ui, m_settings.m_nFindScope,
                 m_settings.m_nFindMatchCase != 0, m_settings.m_nFindTitlesOnly != 0,
                 m_tree.window());
    QObject::connect(&dlg, &CFindDlg::helpRequested, &dlg, [this](const QString& topic) {
        if (m_onHelp)
            m_onHelp(topic);
    });
    if (m_onFindDialog)
        m_onFindDialog(dlg);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_settings.m_nFindScope = dlg.Scope() == 1 ? 1 : 0;
    m_settings.m_nFindMatchCase = dlg.MatchCase() ? 1 : 0;
    m_settings.m_nFindTitlesOnly = dlg.TitlesOnly() ? 1 : 0;
    if (dlg.MarkAllChosen())
        MarkAll(m_settings.m_findHistory[0], dlg.MatchCase(), dlg.TitlesOnly());
    else
        FindNext(false);
}

void CFindCommands::FindNext(bool backward) {
    if (m_settings.m_findHistory.GetSize() == 0) {
        Find();
        return;
    }
    const std::string& text = m_settings.m_findHistory[0];
    const bool matchCase = m_settings.m_nFindMatchCase != 0;
    if (m_settings.m_nFindScope == 1) {
        FindItem(text, matchCase, m_settings.m_nFindTitlesOnly != 0, backward);
        return;
    }
    m_edit.setFocus();
    FindInText(text, matchCase, backward);
}

void CFindCommands::FindInText(const std::string& text, bool matchCase, bool backward) {
    CEditBuffer buffer(m_edit);
    const std::u16string pattern = ToU16(text);
    bool found = false;
    {
        CWaitCursor wait(m_ui);
        found = backward ? textfind::FindPrevInText(buffer, pattern, matchCase)
                         : textfind::FindNextInText(buffer, pattern, matchCase);
    }
    if (!found)
        ShowNotFound(text);
}

void CFindCommands::ShowNotFound(const std::string& text) {
    m_ui.MessageBox(Format(str::kCannotFind, text), MB_OK | MB_ICONINFORMATION);
}

void CFindCommands::FindItem(const std::string& text, bool matchCase, bool titlesOnly,
                             bool backward) {
    ItemHit hit;
    {
        CStatusMessage status(m_ui, Format(str::kSearching, text));
        m_tree.SyncSelection();
        if (!titlesOnly) {
            // The selected item's text as the pane shows it, from the pane's selection on.
            CEditBuffer buffer(m_edit);
            if (textfind::FindText(buffer, ToU16(text), !backward, matchCase))
                return;
        }
        CStoredPattern pattern;
        pattern.Init(text, matchCase);
        CStoreTextReader reader(m_doc.Store());
        CEscapePoll escape;
        CStopCheck stop([&escape] { return escape.Poll(); });
        SearchContext ctx{m_doc.Tree(), pattern, reader, stop};
        try {
            hit = FindAcrossItems(ctx, m_doc.Tree().GetSelectedItem(), backward, titlesOnly);
        } catch (const CFileException& e) {
            m_ui.ReportError(e);
            return;
        }
        if (hit.bEscaped)
            return;
    }
    if (!hit.hItem) {
        ShowNotFound(text);
        return;
    }
    ShowHit(hit.hItem, hit.nPos, hit.nLength);
}

void CFindCommands::ShowHit(HTREEITEM h, std::ptrdiff_t pos, std::size_t length) {
    m_bookmarks.SelectAndShow(h);
    m_tree.SyncSelection();
    if (pos < 0)
        return; // a title: the text stays as it was loaded
    std::string stored;
    try {
        m_doc.ReadText(h, stored);
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
        return;
    }
    const std::size_t start = static_cast<std::size_t>(pos);
    CEditBuffer buffer(m_edit);
    buffer.SetSel(StoredOffsetToPane(stored, start), StoredOffsetToPane(stored, start + length));
}

void CFindCommands::MarkAll(const std::string& text, bool matchCase, bool titlesOnly) {
    MarkAllResult result;
    {
        CStatusMessage status(m_ui, Format(str::kSearching, text));
        m_tree.SyncSelection();
        CStoredPattern pattern;
        pattern.Init(text, matchCase);
        CStoreTextReader reader(m_doc.Store());
        CEscapePoll escape;
        CStopCheck stop([&escape] { return escape.Poll(); });
        SearchContext ctx{m_doc.Tree(), pattern, reader, stop};
        try {
            // One reset of the tree pane at the end instead of a notice per bookmark.
            CTreeUpdateLock lock(m_doc.Tree());
            result = ::MarkAll(m_doc.Tree(), ctx, titlesOnly);
        } catch (const CFileException& e) {
            m_ui.ReportError(e);
            return;
        }
        if (result.bEscaped)
            return;
    }
    if (result.nHits == 0) {
        ShowNotFound(text);
        return;
    }
    if (m_settings.m_bMarkAllOpen) {
        CStatusMessage status(m_ui, str::kShowingBookmarks);
        m_bookmarks.ShowBookmarks();
    }
}

void CFindCommands::Replace() {
    if (!CanReplace())
        return;
    m_edit.setFocus();
    CEditBuffer buffer(m_edit);
    CReplaceDlg dlg(m_settings.m_findHistory, m_settings.m_replaceHistory, m_ui, buffer,
                    m_settings.m_nFindMatchCase != 0, m_tree.window());
    QObject::connect(&dlg, &CReplaceDlg::helpRequested, &dlg, [this](const QString& topic) {
        if (m_onHelp)
            m_onHelp(topic);
    });
    if (m_onReplaceDialog)
        m_onReplaceDialog(dlg);
    if (dlg.exec() == QDialog::Accepted)
        m_settings.m_nFindMatchCase = dlg.MatchCase() ? 1 : 0;
    m_edit.setFocus();
}
