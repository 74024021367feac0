#include "ui/tree/TreeModel.h"

#include "ui/common/QtText.h"
#include "ui/tree/ItemDrag.h"
#include "ui/tree/ItemImages.h"
#include "ui/tree/ItemMimeData.h"

#include <limits>

namespace {

int ToRow(std::size_t n) {
    return n > static_cast<std::size_t>(std::numeric_limits<int>::max())
               ? std::numeric_limits<int>::max()
               : static_cast<int>(n);
}

} // namespace

CTreeModel::CTreeModel(CTreeCtrl& tree, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree) {
    m_tree.AddObserver(this);
}

CTreeModel::~CTreeModel() {
    m_tree.RemoveObserver(this);
}

HTREEITEM CTreeModel::ItemOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<HTREEITEM>(index.internalPointer()) : nullptr;
}

QModelIndex CTreeModel::IndexOf(HTREEITEM h) const {
    if (h == nullptr || h == TVI_ROOT)
        return {};
    return createIndex(ToRow(m_tree.GetIndexInParent(h)), 0, h);
}

// While the control's updates are locked, items the views still know may already be gone:
// until the reset that follows, the model answers without touching any item.
QModelIndex CTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0 || m_tree.IsUpdateLocked())
        return {};
    HTREEITEM h = m_tree.GetChildAt(ItemOf(parent), static_cast<std::size_t>(row));
    return h ? createIndex(row, 0, h) : QModelIndex();
}

QModelIndex CTreeModel::parent(const QModelIndex& child) const {
    HTREEITEM h = m_tree.IsUpdateLocked() ? nullptr : ItemOf(child);
    return h ? IndexOf(m_tree.GetParentItem(h)) : QModelIndex();
}

int CTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0 || m_tree.IsUpdateLocked())
        return 0;
    return ToRow(m_tree.GetChildCount(ItemOf(parent)));
}

int CTreeModel::columnCount(const QModelIndex& /*parent*/) const {
    return 1;
}

bool CTreeModel::hasChildren(const QModelIndex& parent) const {
    if (m_tree.IsUpdateLocked())
        return false;
    if (!parent.isValid())
        return m_tree.GetChildCount(nullptr) > 0;
    return parent.column() == 0 && m_tree.ItemHasChildren(ItemOf(parent));
}

QVariant CTreeModel::data(const QModelIndex& index, int role) const {
    HTREEITEM h = ItemOf(index);
    if (!h || m_tree.IsUpdateLocked())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return BytesToQString(m_tree.GetItemText(h));
    case Qt::DecorationRole: {
        int image = 0;
        int selected = 0;
        m_tree.GetItemImage(h, image, selected);
        return itemimages::Get(image);
    }
    default:
        return {};
    }
}

Qt::ItemFlags CTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    return m_pDrag ? flags | Qt::ItemIsDropEnabled : flags;
}

// ---- drag and drop of items -----------------------------------------------------------------

void CTreeModel::SetItemDrag(std::unique_ptr<CItemDrag> drag) {
    m_pDrag = std::move(drag);
}

Qt::DropActions CTreeModel::supportedDragActions() const {
    return m_pDrag ? Qt::CopyAction | Qt::MoveAction : Qt::IgnoreAction;
}

Qt::DropActions CTreeModel::supportedDropActions() const {
    return m_pDrag ? Qt::CopyAction | Qt::MoveAction : Qt::IgnoreAction;
}

QStringList CTreeModel::mimeTypes() const {
    return {ItemFormatName(), ItemsFileFormatName()};
}

QMimeData* CTreeModel::mimeData(const QModelIndexList& indexes) const {
    HTREEITEM h = indexes.isEmpty() ? nullptr : ItemOf(indexes.first());
    return m_pDrag && h ? m_pDrag->Begin(h) : nullptr;
}

void CTreeModel::DragEnded(Qt::DropAction result) {
    if (m_pDrag)
        m_pDrag->End(result);
}

Qt::DropAction CTreeModel::DropEffect(const QMimeData* data, Qt::KeyboardModifiers keys) const {
    return m_pDrag ? m_pDrag->Effect(data, keys) : Qt::IgnoreAction;
}

bool CTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int /*row*/,
                                 int /*column*/, const QModelIndex& parent) const {
    return m_pDrag && (action == Qt::CopyAction || action == Qt::MoveAction) &&
           CItemDrag::CarriesItems(data) && ItemOf(parent) != nullptr;
}

bool CTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int /*row*/,
                              int /*column*/, const QModelIndex& parent) {
    return m_pDrag && m_pDrag->Drop(data, ItemOf(parent), action);
}

// The control tells us after an insertion has happened; rows after it shift by one, which is
// exactly what begin/endInsertRows do to the persistent indexes.
void CTreeModel::OnItemInserted(HTREEITEM hItem) {
    const QModelIndex parentIndex = IndexOf(m_tree.GetParentItem(hItem));
    const int row = ToRow(m_tree.GetIndexInParent(hItem));
    ++m_nChanging;
    beginInsertRows(parentIndex, row, row);
    endInsertRows();
    --m_nChanging;
    Finished(false);
}

void CTreeModel::OnItemDeleting(HTREEITEM hItem) {
    const QModelIndex parentIndex = IndexOf(m_tree.GetParentItem(hItem));
    const int row = ToRow(m_tree.GetIndexInParent(hItem));
    ++m_nChanging;
    m_bRemoving = true;
    beginRemoveRows(parentIndex, row, row);
}

void CTreeModel::OnItemDeleted(HTREEITEM /*hParent*/) {
    if (!m_bRemoving)
        return;
    m_bRemoving = false;
    endRemoveRows();
    --m_nChanging;
    Finished(false);
}

void CTreeModel::OnItemChanged(HTREEITEM hItem, UINT /*mask*/) {
    const QModelIndex index = IndexOf(hItem);
    if (index.isValid())
        emit dataChanged(index, index);
}

// The children are already in their new order; move every persistent index of them to its
// new row so that the views keep current item, selection and expansion on the same items.
void CTreeModel::OnChildrenReordered(HTREEITEM hParent) {
    const QModelIndex parentIndex = IndexOf(hParent);
    QList<QPersistentModelIndex> parents;
    if (parentIndex.isValid())
        parents.push_back(QPersistentModelIndex(parentIndex));
    ++m_nChanging;
    emit layoutAboutToBeChanged(parents, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList from;
    QModelIndexList to;
    for (const QModelIndex& old : persistent) {
        HTREEITEM h = ItemOf(old);
        if (h && m_tree.GetParentItem(h) == hParent) {
            from.push_back(old);
            to.push_back(createIndex(ToRow(m_tree.GetIndexInParent(h)), old.column(), h));
        }
    }
    changePersistentIndexList(from, to);
    emit layoutChanged(parents, QAbstractItemModel::VerticalSortHint);
    --m_nChanging;
    Finished(false);
}

void CTreeModel::OnTreeReset() {
    ++m_nChanging;
    beginResetModel();
    endResetModel();
    --m_nChanging;
    Finished(true);
}

void CTreeModel::Finished(bool reset) {
    if (m_nChanging == 0 && m_afterChange)
        m_afterChange(reset);
}
