#pragma once
// Find, Find Next (F3), Find Previous (Shift+F3) and Replace (Ctrl+R), whichever pane has the
// focus. In the current-textlet scope they search the edit pane's text with one wrap. In the
// entire-file scope Find Next and Find Previous first search the edit pane from its selection,
// then walk the items in pre-order (the text of each before its title, children of collapsed
// folders too), select the hit in the tree and highlight the match in the edit pane; Mark All
// bookmarks every item that matches. The walks show "Searching for '...'...  Press Escape to
// Stop" and end silently at Escape, which is looked for every few milliseconds while they run.
// Replace works only in the edit pane's text. The settings and histories are CAppSettings'.

#include "platform/TreeCtrl.h"
#include "ui/common/CommandRouter.h"

#include <QString>

#include <functional>
#include <string>

class CBookmarkCommands;
class CEditPaneView;
class CFindDlg;
class CNotariumDoc;
class CReplaceDlg;
class CTreePaneView;
class IUiServices;
struct CAppSettings;

class CFindCommands {
public:
    CFindCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui, CTreePaneView& tree,
                  CEditPaneView& edit, CBookmarkCommands& bookmarks);

    // Registers Find, Find Next, Find Previous and Replace at the frame's level.
    void Register(CCommandRouter& router);

    // The Find dialog; accepted, it stores scope, Match Case and Titles Only, then runs Find
    // Next or Mark All with the text it put first in the history.
    void Find();
    // With an empty history the Find dialog instead.
    void FindNext(bool backward);
    void Replace();
    // Replace needs a text the user may change.
    bool CanReplace() const;

    // The searches across items (text: UTF-8 as typed). A file error is reported and ends
    // the search.
    void FindItem(const std::string& text, bool matchCase, bool titlesOnly, bool backward);
    void MarkAll(const std::string& text, bool matchCase, bool titlesOnly);
    // The current-textlet search with its one wrap; "Cannot find ..." when it fails.
    void FindInText(const std::string& text, bool matchCase, bool backward);

    // Help asked for from a dialog of these commands (its topic).
    std::function<void(const QString& topic)> m_onHelp;
    // Called with each dialog before it runs (tests drive the dialogs from here).
    std::function<void(CFindDlg&)> m_onFindDialog;
    std::function<void(CReplaceDlg&)> m_onReplaceDialog;

private:
    CNotariumDoc& m_doc;
    CAppSettings& m_settings;
    IUiServices& m_ui;
    CTreePaneView& m_tree;
    CEditPaneView& m_edit;
    CBookmarkCommands& m_bookmarks;

    void ShowNotFound(const std::string& text);
    void ShowHit(HTREEITEM h, std::ptrdiff_t pos, std::size_t length);
};
