#include "ui/tree/TreePaneView.h"

#include "app/Settings.h"
#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "platform/UiServices.h"
#include "store/DataFormat.h"
#include "ui/common/DroppedFiles.h"
#include "ui/common/QtText.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/ItemImages.h"
#include "ui/tree/LabelEditor.h"
#include "ui/tree/TreeLineStyle.h"
#include "ui/tree/TreeModel.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>

#include <new>
#include <vector>

namespace {

constexpr const char* kOutOfMemory = "Out of memory.";

} // namespace

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
    m_pLabelEditor = new CLabelEditor(
        [this](HTREEITEM h, const QString& text) { return EndLabelEdit(h, text); }, this);
    setItemDelegate(m_pLabelEditor);
    connect(this, &QTreeView::expanded, this, &CTreePaneView::OnViewExpanded);
    connect(this, &QTreeView::collapsed, this, &CTreePaneView::OnViewCollapsed);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true); // files; items come with drag and drop of items
    ApplySettings();
    m_doc.SetTreePane(this);
}

CTreePaneView::~CTreePaneView() {
    m_doc.SetTreePane(nullptr);
    m_tree.RemoveObserver(this);
    setModel(nullptr);
}

void CTreePaneView::SetEditPane(CEditPaneView* edit) {
    m_pEdit = edit;
}

void CTreePaneView::ApplySettings() {
    setEditTriggers(m_settings.m_bInlineRename
                        ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                        : QAbstractItemView::NoEditTriggers);
}

void CTreePaneView::OnInitialUpdate() {
    itemimages::Create();
    // Nothing of the pane's text may be saved into the new file's items.
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

void CTreePaneView::OnSelChanging(HTREEITEM hOld, HTREEITEM /*hNew*/) {
    if (hOld)
        SaveItemText(hOld);
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
        bool loaded = false;
        if (h) {
            try {
                m_doc.LoadText(h, *m_pEdit);
                m_pEdit->SetImageCode(treewalk::GetImage(m_tree, h));
                loaded = true;
            } catch (const CFileException& e) {
                m_ui.ReportError(e);
            } catch (const std::bad_alloc&) {
                m_ui.ReportError(kOutOfMemory);
            }
        }
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

bool CTreePaneView::SaveSelectedText() {
    HTREEITEM h = m_tree.GetSelectedItem();
    if (!h)
        return true;
    return SaveItemText(h);
}

bool CTreePaneView::SaveItemText(HTREEITEM hItem) {
    if (m_bSelChangePending || !m_pEdit || !m_pEdit->IsTextChanged() || !hItem)
        return true;
    bool ok = false;
    try {
        m_doc.SaveText(hItem, *m_pEdit);
        ok = true;
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
    } catch (const std::bad_alloc&) {
        m_ui.ReportError(kOutOfMemory);
    }
    m_pEdit->SetTextChanged(false);
    return ok;
}

// ---- model changes --------------------------------------------------------------------------

void CTreePaneView::AfterModelChange(bool reset) {
    if (reset) {
        if (m_hSortParent && *m_hSortParent && !ContainsItem(*m_hSortParent))
            m_hSortParent.reset();
        ShowExpansionBelow(nullptr);
    }
    ShowCurrent();
}

void CTreePaneView::OnItemDeleting(HTREEITEM hItem) {
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
    if (SaveSelectedText()) {
        CTreeUpdateLock lock(m_tree);
        for (HTREEITEM h = m_tree.GetRootItem(); h; h = treewalk::NextPreorder(m_tree, h)) {
            if (!(m_tree.GetItemState(h, TVIS_EXPANDED) & TVIS_EXPANDED))
                continue;
            m_tree.Expand(h, TVE_COLLAPSE);
        }
    }
    // Collapsing may have moved the selection to an ancestor.
    m_bSelChangePending = true;
    m_ui.EndWaitCursor();
}

// ---- rename ---------------------------------------------------------------------------------

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

// ---- dropped files --------------------------------------------------------------------------

void CTreePaneView::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedFile(event->mimeData()).isEmpty())
        QTreeView::dragEnterEvent(event);
    else
        event->acceptProposedAction();
}

void CTreePaneView::dragMoveEvent(QDragMoveEvent* event) {
    if (DroppedFile(event->mimeData()).isEmpty())
        QTreeView::dragMoveEvent(event);
    else
        event->acceptProposedAction();
}

void CTreePaneView::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) {
        QTreeView::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    emit fileDropped(file);
}
