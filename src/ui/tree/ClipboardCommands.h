#pragma once
// Cut, Copy and Paste of items in the tree pane while no title is being edited (the title
// editor has them meanwhile). Copy puts the selected item with everything below it on the
// system clipboard as "NotariumData", and plain text for other programs; Cut copies and then
// deletes, never when the copy failed; Paste inserts the clipboard's items into the selected
// item's folder (PasteItemData, ItemPaste.h, which drops use too). They register with
// CItemCommands::SetPaneCommand.

#include "platform/TreeCtrl.h"

class CItemCommands;
class CNotariumDoc;
class CTreePaneView;
class QClipboard;

class CClipboardCommands {
public:
    // clipboard: the system clipboard unless a test gives another.
    CClipboardCommands(CNotariumDoc& doc, CTreePaneView& tree, QClipboard* clipboard = nullptr);

    void Register(CItemCommands& items);

    // Puts the selected item, with its pending text, on the clipboard. True when it is
    // there; a failure is reported and leaves the clipboard as it was.
    bool Copy();
    // "You cannot Cut the root folder. Use Copy instead." for the root; otherwise Copy and,
    // when that worked, delete the item (without asking).
    void Cut();
    // Inserts the clipboard's items; the new item is selected.
    void Paste();

    // Enable rules: Cut an item other than the root, Copy any item, Paste while the clipboard
    // offers "NotariumData".
    bool CanCut() const;
    bool CanCopy() const;
    bool CanPaste() const;

private:
    CNotariumDoc& m_doc;
    CTreePaneView& m_tree;
    QClipboard* m_pClipboard;
};
