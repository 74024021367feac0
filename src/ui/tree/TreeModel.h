#pragma once
// The item tree as a Qt model: one column, one row per item of a CTreeCtrl, which stays the
// only item store. Each index carries its item handle; rows are found through the control's
// O(1) position lookups, so the model is as cheap for a folder of 100,000 children as for ten.
// The model follows the control's notifications; after a bulk change (updates locked) it
// resets once, and whoever shows it re-applies expansion and the current item.
//
// With a CItemDrag it is also the data side of drag and drop, as Qt's model/view asks for it:
// the data of a drag (mimeData), the effect and the taking of a drop (DropEffect,
// dropMimeData). The view keeps only what shows: the hover highlight and the scrolling.

#include "platform/TreeCtrl.h"

#include <QAbstractItemModel>

#include <functional>
#include <memory>

class CItemDrag;

class CTreeModel : public QAbstractItemModel, private ITreeObserver {
    Q_OBJECT

public:
    explicit CTreeModel(CTreeCtrl& tree, QObject* parent = nullptr);
    ~CTreeModel() override;

    CTreeCtrl& Tree() const { return m_tree; }
    // The index of an item (invalid for null or TVI_ROOT).
    QModelIndex IndexOf(HTREEITEM h) const;
    static HTREEITEM ItemOf(const QModelIndex& index);
    // True between the start and the end of a structural change, when views must not feed
    // their own reactions back into the control.
    bool IsChanging() const { return m_nChanging > 0; }

    // Called after every structural change has been completed (insert, remove, reorder,
    // reset), so the view can put the control's selection and expansion back.
    std::function<void(bool reset)> m_afterChange;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // ---- drag and drop of items
    // The drag that makes and takes items (the model owns it); without one the model offers
    // no data and takes no drop.
    void SetItemDrag(std::unique_ptr<CItemDrag> drag);
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    // "NotariumData" and the file shortcut between instances.
    QStringList mimeTypes() const override;
    // Starts the drag of the first index's item (CItemDrag::Begin): data that makes its
    // payload when a drop asks for it, owned by the caller. Null when there is nothing to drag.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // The drag that mimeData started has ended with result (CItemDrag::End).
    void DragEnded(Qt::DropAction result);
    // The effect a drop of data would have now with keys held (CItemDrag::Effect);
    // IgnoreAction for data without items.
    Qt::DropAction DropEffect(const QMimeData* data, Qt::KeyboardModifiers keys) const;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    // Drops data onto parent's item with action (CItemDrag::Drop): items go to their sorted
    // place, so row and column do not matter. True when items were inserted; a move inside
    // this window is done and gives false, and so does a drop on no item.
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    CTreeCtrl& m_tree;
    std::unique_ptr<CItemDrag> m_pDrag;
    int m_nChanging = 0;
    bool m_bRemoving = false;

    void OnItemInserted(HTREEITEM hItem) override;
    void OnItemDeleting(HTREEITEM hItem) override;
    void OnItemDeleted(HTREEITEM hParent) override;
    void OnItemChanged(HTREEITEM hItem, UINT mask) override;
    void OnChildrenReordered(HTREEITEM hParent) override;
    void OnTreeReset() override;
    void Finished(bool reset);
};
