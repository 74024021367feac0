#pragma once
// The item tree as a Qt model: one column, one row per item of a CTreeCtrl, which stays the
// only item store. Each index carries its item handle; rows are found through the control's
// O(1) position lookups, so the model is as cheap for a folder of 100,000 children as for ten.
// The model follows the control's notifications; after a bulk change (updates locked) it
// resets once, and whoever shows it re-applies expansion and the current item.

#include "platform/TreeCtrl.h"

#include <QAbstractItemModel>

#include <functional>

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

private:
    CTreeCtrl& m_tree;
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
