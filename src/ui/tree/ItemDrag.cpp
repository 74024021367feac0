#include "ui/tree/ItemDrag.h"

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/Strings.h"
#include "ui/tree/ItemMimeData.h"
#include "ui/tree/ItemPaste.h"

#include <new>

CItemDrag::CItemDrag(CNotariumDoc& doc) : m_doc(doc) {}

CItemMimeData* CItemDrag::Begin(HTREEITEM h) {
    if (!h || !m_doc.IsOpen())
        return nullptr;
    m_doc.StorePendingText();
    if (m_pData)
        m_pData->Detach(false); // an earlier drag's data no longer follows the tree
    m_hDragItem = h;
    m_pData = new CItemMimeData([this, h]() -> std::vector<BYTE> {
        std::vector<BYTE> items;
        ReportingFailures(m_doc.Ui(), [&] { items = m_doc.CopyItems(h); });
        return items;
    });
    return m_pData;
}

void CItemDrag::End(Qt::DropAction result) {
    HTREEITEM h = m_hDragItem;
    m_hDragItem = nullptr;
    if (!m_pData)
        return;
    CItemMimeData* data = m_pData;
    m_pData = nullptr;
    // A drop that took the items may still be reading them: they are made now, before
    // anything of this window changes, and the data no longer looks at the tree.
    data->Detach(result == Qt::CopyAction || result == Qt::MoveAction);
    if (result == Qt::MoveAction && h && !data->Payload().empty())
        m_doc.DeleteItem(h);
}

bool CItemDrag::CarriesItems(const QMimeData* mime) {
    return mime && mime->hasFormat(ItemFormatName());
}

Qt::DropAction CItemDrag::Effect(const QMimeData* mime, Qt::KeyboardModifiers keys) const {
    if (!CarriesItems(mime))
        return Qt::IgnoreAction;
    if (keys & Qt::ControlModifier)
        return Qt::CopyAction;
    if (m_hDragItem && m_hDragItem != m_doc.Tree().GetRootItem() &&
        m_doc.Tree().GetParentItem(m_hDragItem))
        return Qt::MoveAction;
    return Qt::CopyAction;
}

bool CItemDrag::Drop(const QMimeData* mime, HTREEITEM target, Qt::DropAction effect) {
    if (effect != Qt::CopyAction && effect != Qt::MoveAction)
        return false;
    if (!target || !CarriesItems(mime))
        return false;
    CTreeCtrl& tree = m_doc.Tree();
    if (effect == Qt::MoveAction && m_hDragItem) {
        HTREEITEM folder = treewalk::GetFolderOf(tree, target);
        // Onto its own folder, or anywhere in the folder it already lies in: nothing changes.
        if (treewalk::GetFolderOf(tree, m_hDragItem) == folder ||
            tree.GetParentItem(m_hDragItem) == folder)
            return false;
        if (treewalk::IsSameOrAncestor(tree, target, m_hDragItem)) {
            m_doc.Ui().MessageBox(str::kCannotMoveIntoItself, MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        // The handle does not survive the move: the drag's data must not render from it.
        if (m_pData)
            m_pData->Detach(false);
        HTREEITEM moved = m_doc.MoveItem(m_hDragItem, folder);
        m_hDragItem = moved;
        if (moved)
            tree.SelectItem(moved);
        return false;
    }
    return PasteItemData(m_doc, mime, target);
}
