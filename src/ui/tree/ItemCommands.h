#pragma once
// The commands on items of the tree: Add Item, Delete Item, Rename and Quick Copy, which work
// whichever pane has the focus. They act on the document and its tree (which stores the edit
// pane's pending text itself) and use the panes only to show: the tree pane for the selection
// and the label editor, the edit pane for the text. Later item commands (the item clipboard,
// bookmarks, find across items) plug in beside these: SetPaneCommand for Cut, Copy and Paste while
// no title is being edited.

#include "platform/TreeCtrl.h"
#include "ui/common/CommandRouter.h"

#include <QString>

#include <functional>
#include <map>

class CAddItemDlg;
class CEditPaneView;
class CNotariumDoc;
class CTreePaneView;
class IUiServices;
class QWidget;
struct CAppSettings;

class CItemCommands {
public:
    CItemCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui, CTreePaneView& tree,
                  CEditPaneView& edit);

    // Registers Add Item, Delete Item, Rename and Quick Copy at the frame's level.
    void Register(CCommandRouter& router);

    // Runs the Add Item dialog over dialogParent and inserts what it holds.
    void AddItem(QWidget* dialogParent);
    // Inserts what an accepted Add Item dialog holds; the new item or null.
    HTREEITEM InsertFromDialog(const CAddItemDlg& dlg);
    void DeleteSelectedItem();
    bool CanDeleteItem() const;
    void Rename();
    bool HasSelection() const;
    // The selected item has stored text (Quick Copy).
    bool HasText() const;
    // Completes any deferred load, then copies the selected item's whole text as the edit
    // pane holds it.
    void QuickCopy();

    // Help asked for from a dialog of these commands (its topic).
    std::function<void(const QString& topic)> m_onHelp;

    // Cut, Copy and Paste of items while no title is being edited (null: none registered).
    void SetPaneCommand(UINT id, CommandHandler handler);
    const CommandHandler* PaneCommand(UINT id) const;

private:
    CNotariumDoc& m_doc;
    CAppSettings& m_settings;
    IUiServices& m_ui;
    CTreePaneView& m_tree;
    CEditPaneView& m_edit;
    std::map<UINT, CommandHandler> m_paneCommands;
};
