#include "ui/tree/TreePaneView.h"

#include "app/Settings.h"
#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "platform/UiServices.h"
#include "store/DataFormat.h"
#include "ui/common/DroppedFiles.h"
#include "ui/common/QtText.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/DragScroller.h"
#include "ui/tree/ItemDrag.h"
#include "ui/tree/ItemImages.h"
#include "ui/tree/LabelEditor.h"
#include "ui/tree/TreeLineStyle.h"
#include "ui/tree/TreeModel.h"
#include "ui/tree/TreeScrolling.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>

#include <new>
#include <vector>

CTreePaneView::CTreePaneView(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                             QWidget* parent)
    : QTreeView(parent), m_doc(doc), m_settings(settings), m_ui(ui), m_tree(doc.Tree()),
      m_model(std::make_unique<CTreeModel>(m_tree)) {
    m_model->m_afterChange = [this](bool reset) { AfterModelChange(reset); };
    m_tree.AddObserver(this); // after the model, so rows exist before the pane reacts
    setModel(m_model.get());
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(kItemImageWidth, kItemImageHeight));
    setAnimated(false);
    SetTreeLineStyle(this);
    SetTreeScrolling(this); // the current item stays in view; long titles scroll sideways
    m_pLabelEditor = new CLabelEditor(
        [this](HTREEITEM h, const QString& text) { return EndLabelEdit(h, text); }, this);
    setItemDelegate(m_pLabelEditor);
    connect(this, &QTreeView::expanded, this, &CTreePaneView::OnViewExpanded);
    connect(this, &QTreeView::collapsed, this, &CTreePaneView::OnViewCollapsed);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true); // files, and items
    setDragEnabled(true);
    setDropIndicatorShown(false); // the drop target is highlighted as a whole row instead
    setAutoScroll(false);         // CDragScroller: only while more items lie that way
    m_model->SetItemDrag(std::make_unique<CItemDrag>(doc));
    m_pScroller = new CDragScroller(this);
    ApplySettings();
}

CTreePaneView::~CTreePaneView() {
    if (m_pEdit)
        m_doc.SetTextPane(nullptr);
    m_tree.RemoveObserver(this);
    setModel(nullptr);
}

void CTreePaneView::SetEditPane(CEditPaneView* edit) {
    if (m_pEdit)
        disconnect(m_pEdit, &QObject::destroyed, this, nullptr);
    m_pEdit = edit;
    m_doc.SetTextPane(edit);
    m_bSelChangePending = true; // the new pane shows no item yet
    if (edit)
        connect(edit, &QObject::destroyed, this, [this] { m_doc.SetTextPane(nullptr); });
}

void CTreePaneView::ApplySettings() {
    setEditTriggers(m_settings.m_bInlineRename
                        ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                        : QAbstractItemView::NoEditTriggers);
}

void CTreePaneView::OnInitialUpdate() {
    itemimages::Create();
    // Nothing of the pane's text may be saved into the new file's items.
    m_doc.ForgetShownItem();
    m_bSelChangePending = true;
    m_hSortParent.reset();
    m_doc.ReloadTree();
}

// ---- selection ------------------------------------------------------------------------------

void CTreePaneView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (m_nMirroring > 0 || m_model->IsChanging() || m_tree.IsUpdateLocked())
        return;
    HTREEITEM h = CTreeModel::ItemOf(current);
    if (h && h != m_tree.GetSelectedItem())
        m_tree.SelectItem(h);
}

void CTreePaneView::OnSelChanging(HTREEITEM /*hOld*/, HTREEITEM /*hNew*/) {
    // The document has stored the old item's pending text and shows no item now.
    m_bSelChangePending = true;
}

void CTreePaneView::OnSelChanged(HTREEITEM /*hOld*/, HTREEITEM /*hNew*/) {
    if (!m_tree.IsUpdateLocked() && !m_model->IsChanging())
        ShowCurrent();
}

void CTreePaneView::ShowCurrent() {
    const QModelIndex index = m_model->IndexOf(m_tree.GetSelectedItem());
    ++m_nMirroring;
    if (!index.isValid()) {
        selectionModel()->clear();
    } else {
        if (currentIndex() != index)
            setCurrentIndex(index);
        if (!selectionModel()->isSelected(index))
            selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    }
    --m_nMirroring;
}

void CTreePaneView::SyncSelection() {
    if (m_bSelChangePending)
        LoadSelectedText();
    if (m_hSortParent)
        SortPending();
}

void CTreePaneView::LoadSelectedText() {
    HTREEITEM h = m_tree.GetSelectedItem();
    if (m_pEdit) {
        const bool loaded = h && ReportingFailures(m_ui, [&] {
                                m_doc.ShowItemText(h);
                                m_pEdit->SetImageCode(treewalk::GetImage(m_tree, h));
                            });
        if (!loaded) {
            // No item, or its text could not be read: show nothing and accept no typing, so
            // that nothing else is ever stored as this item's text.
            m_pEdit->SetWindowText(std::string());
            m_pEdit->SetImageCode(-1);
        }
    }
    m_bSelChangePending = false;
    if (m_pEdit)
        m_pEdit->SetTextChanged(false);
}

// ---- model changes --------------------------------------------------------------------------

void CTreePaneView::AfterModelChange(bool reset) {
    if (reset) {
        m_hDropHilite = nullptr; // the rows are new

        if (m_hSortParent && *m_hSortParent && !ContainsItem(*m_hSortParent))
            m_hSortParent.reset();
        ShowExpansionBelow(nullptr);
    }
    ShowCurrent();
}

void CTreePaneView::OnItemDeleting(HTREEITEM hItem) {
    if (m_hDropHilite && treewalk::IsSameOrAncestor(m_tree, m_hDropHilite, hItem))
        SetDropHighlight(nullptr);
    if (m_hSortParent && *m_hSortParent &&
        treewalk::IsSameOrAncestor(m_tree, *m_hSortParent, hItem))
        m_hSortParent.reset();
}

bool CTreePaneView::ContainsItem(HTREEITEM h) const {
    for (HTREEITEM i = m_tree.GetRootItem(); i; i = treewalk::NextPreorder(m_tree, i))
        if (i == h)
            return true;
    return false;
}

// ---- expansion ------------------------------------------------------------------------------

// Shows in the view every expanded item under hParent whose ancestors up to hParent are
// expanded too; deeper ones follow when their parent is expanded.
void CTreePaneView::ShowExpansionBelow(HTREEITEM hParent) {
    ++m_nMirroring;
    std::vector<HTREEITEM> stack{hParent};
    while (!stack.empty()) {
        HTREEITEM parent = stack.back();
        stack.pop_back();
        const std::size_t count = m_tree.GetChildCount(parent);
        for (std::size_t i = 0; i < count; ++i) {
            HTREEITEM child = m_tree.GetChildAt(parent, i);
            if (m_tree.GetItemState(child, TVIS_EXPANDED) & TVIS_EXPANDED) {
                setExpanded(m_model->IndexOf(child), true);
                stack.push_back(child);
            }
        }
    }
    --m_nMirroring;
}

void CTreePaneView::OnItemExpanded(HTREEITEM hItem, UINT action) {
    // The document has set the item's open picture already.
    if (m_tree.IsUpdateLocked() || m_model->IsChanging())
        return;
    ++m_nMirroring;
    setExpanded(m_model->IndexOf(hItem), action == TVE_EXPAND);
    --m_nMirroring;
    if (action == TVE_EXPAND)
        ShowExpansionBelow(hItem);
}

void CTreePaneView::OnViewExpanded(const QModelIndex& index) {
    HTREEITEM h = CTreeModel::ItemOf(index);
    if (!h || m_model->IsChanging() || m_tree.IsUpdateLocked())
        return;
    if (m_tree.GetItemState(h, TVIS_EXPANDED) & TVIS_EXPANDED)
        return;
    if (!m_tree.Expand(h, TVE_EXPAND)) {
        ++m_nMirroring;
        collapse(index);
        --m_nMirroring;
    }
}

void CTreePaneView::OnViewCollapsed(const QModelIndex& index) {
    HTREEITEM h = CTreeModel::ItemOf(index);
    if (!h || m_model->IsChanging() || m_tree.IsUpdateLocked())
        return;
    if (m_tree.GetItemState(h, TVIS_EXPANDED) & TVIS_EXPANDED)
        m_tree.Expand(h, TVE_COLLAPSE);
}

void CTreePaneView::ExpandAll() {
    m_ui.BeginWaitCursor();
    std::vector<HTREEITEM> parents;
    for (HTREEITEM h = m_tree.GetRootItem(); h; h = treewalk::NextPreorder(m_tree, h))
        if (m_tree.ItemHasChildren(h))
            parents.push_back(h);
    {
        // One model reset at the end instead of a view update per folder.
        CTreeUpdateLock lock(m_tree);
        for (auto it = parents.rbegin(); it != parents.rend(); ++it) {
            if (m_tree.GetItemState(*it, TVIS_EXPANDED) & TVIS_EXPANDED)
                continue;
            m_tree.Expand(*it, TVE_EXPAND);
        }
    }
    m_ui.EndWaitCursor();
}

void CTreePaneView::CollapseAll() {
    m_ui.BeginWaitCursor();
    if (m_doc.StorePendingText()) {
        CTreeUpdateLock lock(m_tree);
        for (HTREEITEM h = m_tree.GetRootItem(); h; h = treewalk::NextPreorder(m_tree, h)) {
            if (!(m_tree.GetItemState(h, TVIS_EXPANDED) & TVIS_EXPANDED))
                continue;
            m_tree.Expand(h, TVE_COLLAPSE);
        }
    }
    // Collapsing may have moved the selection to an ancestor.
    m_doc.ForgetShownItem();
    m_bSelChangePending = true;
    m_ui.EndWaitCursor();
}

// ---- rename ---------------------------------------------------------------------------------

void CTreePaneView::ScrollToItem(HTREEITEM h) {
    const QModelIndex index = m_model->IndexOf(h);
    if (index.isValid())
        scrollTo(index);
}

void CTreePaneView::Rename() {
    HTREEITEM h = m_tree.GetSelectedItem();
    if (!h)
        return;
    const QModelIndex index = m_model->IndexOf(h);
    scrollTo(index);
    edit(index);
}

bool CTreePaneView::EndLabelEdit(HTREEITEM hItem, const QString& text) {
    if (!hItem)
        return false;
    const QString trimmed = TrimBlanks(text);
    if (trimmed.isEmpty())
        return false;
    const std::string old = m_tree.GetItemText(hItem);
    // An unchanged title keeps its stored bytes (which need not be UTF-8).
    const std::string title = trimmed == BytesToQString(old)
                                  ? old
                                  : enc::CutToBytes(QStringToBytes(trimmed), nota::MAX_TITLE);
    if (title != old)
        m_tree.SetItemText(hItem, title);
    m_hSortParent = m_tree.GetParentItem(hItem);
    return true;
}

void CTreePaneView::SortPending() {
    HTREEITEM parent = *m_hSortParent;
    m_hSortParent.reset();
    m_tree.SortChildren(parent);
    m_doc.SaveTree();
}

void CTreePaneView::RegisterTitleCommands(
    CCommandRouter& router, std::function<const CommandHandler*(UINT id)> itemCommand) {
    m_pLabelEditor->Register(router, std::move(itemCommand));
}

bool CTreePaneView::IsLabelEditing() const {
    return m_pLabelEditor->IsEditing();
}

// ---- context menu ---------------------------------------------------------------------------

void CTreePaneView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        emit contextMenuRequested(viewport()->mapToGlobal(QPoint(5, 5)));
        return;
    }
    if (HTREEITEM h = CTreeModel::ItemOf(indexAt(event->pos()))) {
        m_tree.SelectItem(h);
        SyncSelection();
    }
    emit contextMenuRequested(event->globalPos());
}

// ---- tool tips ------------------------------------------------------------------------------

bool CTreePaneView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip)
        return ShowTitleTip(static_cast<QHelpEvent*>(event));
    return QTreeView::viewportEvent(event);
}

// A title that the pane's width cuts off shows in full as a tool tip.
bool CTreePaneView::ShowTitleTip(QHelpEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    const QRect rect = visualRect(index);
    if (!index.isValid() || rect.left() + sizeHintForIndex(index).width() <= viewport()->width()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), viewport(),
                       rect);
    return true;
}

// ---- drag and drop -------------------------------------------------------------------------
// Files dropped on the pane open as the data file. For items the model has the data side
// (what a drag offers, what a drop does); the pane shows the target and scrolls.

void CTreePaneView::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    ItemDragOver(event);
}

void CTreePaneView::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    ItemDragOver(event);
}

void CTreePaneView::ItemDragOver(QDropEvent* event) {
    const Qt::DropAction effect = m_model->DropEffect(event->mimeData(), event->modifiers());
    if (effect == Qt::IgnoreAction || !(event->possibleActions() & effect)) {
        SetDropHighlight(nullptr);
        m_pScroller->Stop();
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    SetDropHighlight(CTreeModel::ItemOf(indexAt(pos))); // none over empty space
    m_pScroller->Hover(pos);
    // The action is set on every move: it is what the source's drag reports at its end.
    event->setDropAction(effect);
    event->accept();
}

void CTreePaneView::dragLeaveEvent(QDragLeaveEvent* event) {
    SetDropHighlight(nullptr);
    m_pScroller->Stop();
    event->accept();
}

void CTreePaneView::dropEvent(QDropEvent* event) {
    SetDropHighlight(nullptr);
    m_pScroller->Stop();
    const QString file = DroppedFile(event->mimeData());
    if (!file.isEmpty()) {
        event->acceptProposedAction();
        emit fileDropped(file);
        return;
    }
    const Qt::DropAction effect = m_model->DropEffect(event->mimeData(), event->modifiers());
    const QModelIndex target = indexAt(event->position().toPoint());
    if (effect != Qt::IgnoreAction && (event->possibleActions() & effect) &&
        m_model->dropMimeData(event->mimeData(), effect, -1, -1, target)) {
        event->setDropAction(effect);
        event->accept();
    } else {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    }
}

void CTreePaneView::SetDropHighlight(HTREEITEM h) {
    if (h == m_hDropHilite)
        return;
    const QModelIndex old = m_model->IndexOf(m_hDropHilite);
    m_hDropHilite = h;
    if (old.isValid())
        viewport()->update(visualRect(old));
    if (h)
        viewport()->update(visualRect(m_model->IndexOf(h)));
}

void CTreePaneView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    if (m_hDropHilite && CTreeModel::ItemOf(index) == m_hDropHilite) {
        QStyleOptionViewItem opt(option);
        opt.state |= QStyle::State_Selected | QStyle::State_Active;
        QTreeView::drawRow(painter, opt, index);
        return;
    }
    QTreeView::drawRow(painter, option, index);
}

QPixmap CTreePaneView::DragPicture(HTREEITEM h) {
    const QModelIndex index = m_model->IndexOf(h);
    QRect rect = visualRect(index);
    if (!index.isValid() || rect.isEmpty())
        return {};
    rect.setWidth(std::min(rect.width(), sizeHintForIndex(index).width()));
    return viewport()->grab(rect);
}

void CTreePaneView::startDrag(Qt::DropActions /*supportedActions*/) {
    HTREEITEM h = CTreeModel::ItemOf(currentIndex());
    if (!h || IsLabelEditing())
        return;
    SyncSelection(); // a deferred load completes first, as before every command on items
    QMimeData* data = m_model->mimeData({m_model->IndexOf(h)});
    if (!data)
        return;
    const QPixmap picture = DragPicture(h);
    if (picture.isNull()) { // nothing to show: no drag
        delete data;
        m_model->DragEnded(Qt::IgnoreAction);
        return;
    }
    auto* drag = new QDrag(this); // Qt deletes it, and the data with it
    drag->setMimeData(data);
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(0, 0));
    const Qt::DropAction result = drag->exec(m_model->supportedDragActions(), Qt::MoveAction);
    m_model->DragEnded(result);
}
