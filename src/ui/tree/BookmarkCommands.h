#pragma once
// The Bookmarks commands, whichever pane has the focus: Toggle Bookmark (Ctrl+F4), Next
// Bookmark (F4), Previous Bookmark (Shift+F4), Bookmarks... (F5) and Remove All Bookmarks
// (Ctrl+F5). A bookmark is a bit of the item's pictures in the document's tree; it reaches
// the file with the next save of the tree (at the latest when the window closes).

#include "platform/TreeCtrl.h"
#include "ui/common/CommandRouter.h"

#include <functional>

class CNotariumDoc;
class CTreePaneView;
class CBookmarksDlg;
class IUiServices;

class CBookmarkCommands {
public:
    CBookmarkCommands(CNotariumDoc& doc, IUiServices& ui, CTreePaneView& tree);

    // Registers the five commands at the frame's level.
    void Register(CCommandRouter& router);

    void Toggle();
    // Select the next (previous) bookmark in pre-order with wrap-around; without one: a beep
    // and "No more bookmarks found." kept in the status bar; the selection stays.
    void Next();
    void Previous();
    void RemoveAll();
    // The Bookmarks list ("No bookmarks found." without any); removals apply once it has
    // closed, then Go To's item is selected.
    void ShowBookmarks();

    // Selects an item of the tree and scrolls it into view (its folders open).
    void SelectAndShow(HTREEITEM h);

    // Called with the dialog before it runs (tests drive it from here).
    std::function<void(CBookmarksDlg&)> m_onDialog;

private:
    CNotariumDoc& m_doc;
    IUiServices& m_ui;
    CTreePaneView& m_tree;

    void Step(bool backward);
};
