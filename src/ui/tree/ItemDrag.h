#pragma once
// Drag and drop of items, both sides, on the document alone: CTreeModel asks it for the data
// of a drag and hands it the drops, and the tree pane only shows where a drop would land. As
// the source, a drag offers the
// dragged item's "NotariumData", made only when a drop asks for it; as the target, the pane
// takes items from its own drags and from other instances. Without Ctrl a drag inside the
// window moves (the root is always copied); with Ctrl, and from anywhere else, it copies.
// A move is done here, by the document's MoveItem, and the drop then reports no effect, so the
// source never deletes; only a foreign target that reports a move makes the source delete,
// after the payload it reads has been made.

#include "platform/TreeCtrl.h"

#include <QPointer>
#include <Qt>

class CItemMimeData;
class CNotariumDoc;
class QMimeData;

class CItemDrag {
public:
    explicit CItemDrag(CNotariumDoc& doc);

    // ---- source
    // Starts the drag of h: the data to hand to QDrag (which owns it); null when there is
    // nothing to drag. The pending text is stored now, so that a failure shows before the
    // drag and not while a drop (maybe another program's) reads the data.
    CItemMimeData* Begin(HTREEITEM h);
    // The drag has ended with result. A move reported by another program deletes the item
    // once its payload is in hand; the data keeps the items as they are now for a reader that
    // asks late (on X11 a drop is read after the source's drag has returned).
    void End(Qt::DropAction result);
    // The item being dragged from this window, or null.
    HTREEITEM DraggedItem() const { return m_hDragItem; }

    // ---- target
    // True for data that carries items.
    static bool CarriesItems(const QMimeData* mime);
    // The effect a drop would have now: Copy with Ctrl, else Move for a drag from this window
    // (Copy for the root), else Copy. IgnoreAction for data without items.
    Qt::DropAction Effect(const QMimeData* mime, Qt::KeyboardModifiers keys) const;
    // Drops mime on target with effect. True when items were inserted (a copy); a move inside
    // this window is done here and gives false, as does a drop that changes nothing.
    bool Drop(const QMimeData* mime, HTREEITEM target, Qt::DropAction effect);

private:
    CNotariumDoc& m_doc;
    HTREEITEM m_hDragItem = nullptr;
    QPointer<CItemMimeData> m_pData;
};
