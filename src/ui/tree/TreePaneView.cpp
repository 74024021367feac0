#include "ui/tree/TreePaneView.h"

#include "app/Settings.h"
#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "store/DataFormat.h"
#include "ui/common/QtText.h"
#include "ui/text/EditPaneView.h"
#include "ui/tree/AddItemDlg.h"
#include "ui/tree/ItemImages.h"
#include "ui/tree/TreeModel.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QValidator>

#include <new>
#include <vector>

namespace {

constexpr const char* kOutOfMemory = "Out of memory.";
constexpr int kTitleChars = 64;

// Lets the label editor grow only while the title fits into the file's 64 bytes; shortening
// an over-long title is always allowed.
class CTitleValidator : public QValidator {
public:
    explicit CTitleValidator(QLineEdit* edit) : QValidator(edit) {
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_nBytes = text.toUtf8().size(); });
    }
    State validate(QString& input, int& /*pos*/) const override {
        const qsizetype bytes = input.toUtf8().size();
        return bytes <= static_cast<qsizetype>(nota::MAX_TITLE) || bytes <= m_nBytes ? Acceptable
                                                                                     : Invalid;
    }

private:
    qsizetype m_nBytes = 0; // the text before the change being validated
};

} // namespace

// The in-place label editor: a line edit limited to a title's length that hands the result to
// the pane, which trims it and decides whether the title changes.
class CLabelDelegate : public QStyledItemDelegate {
public:
    explicit CLabelDelegate(CTreePaneView* pane) : QStyledItemDelegate(pane), m_pane(pane) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                          const QModelIndex& /*index*/) const override {
        auto* edit = new QLineEdit(parent);
        edit->setMaxLength(kTitleChars);
        edit->setValidator(new CTitleValidator(edit));
        m_editor = edit;
        return edit;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                      const QModelIndex& index) const override {
        m_pane->EndLabelEdit(CTreeModel::ItemOf(index), static_cast<QLineEdit*>(editor)->text());
    }
    QLineEdit* Editor() const { return m_editor; }

private:
    CTreePaneView* m_pane;
    mutable QPointer<QLineEdit> m_editor;
};

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
    m_delegate = new CLabelDelegate(this);
    setItemDelegate(m_delegate);
    connect(this, &QTreeView::expanded, this, &CTreePaneView::OnViewExpanded);
    connect(this, &QTreeView::collapsed, this, &CTreePaneView::OnViewCollapsed);
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, &CTreePaneView::SyncSelection);
    ApplySettings();
    m_doc.SetTreePane(this);
}

CTreePaneView::~CTreePaneView() {
    if (m_pEdit)
        m_pEdit->SetTreePane(nullptr);
    m_doc.SetTreePane(nullptr);
    m_tree.RemoveObserver(this);
    setModel(nullptr);
}

void CTreePaneView::SetEditPane(CEditPaneView* edit) {
    if (m_pEdit && m_pEdit != edit)
        m_pEdit->SetTreePane(nullptr);
    m_pEdit = edit;
    if (edit)
        edit->SetTreePane(this);
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
    ScheduleIdle();
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
    ScheduleIdle();
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

void CTreePaneView::ScheduleIdle() {
    if (!m_idle.isActive())
        m_idle.start();
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
    if (m_pEdit) {
        m_pEdit->SetTextChanged(false);
        m_pEdit->document()->setModified(true);
    }
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

bool CTreePaneView::HasSelection() const {
    return m_tree.GetSelectedItem() != nullptr;
}

bool CTreePaneView::HasText() const {
    HTREEITEM h = m_tree.GetSelectedItem();
    return h && m_tree.GetItemData(h) != 0;
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
    UpdateOpenImage(hItem);
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

void CTreePaneView::UpdateOpenImage(HTREEITEM hItem) {
    int image = 0;
    int selected = 0;
    if (!hItem || !m_tree.GetItemImage(hItem, image, selected))
        return;
    if (m_tree.GetItemState(hItem, TVIS_EXPANDED) & TVIS_EXPANDED) {
        image |= nota::IMAGE_OPEN;
        selected |= nota::IMAGE_OPEN;
    } else {
        image &= ~nota::IMAGE_OPEN;
        selected &= ~nota::IMAGE_OPEN;
    }
    m_tree.SetItemImage(hItem, image, selected);
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
            if (m_tree.Expand(*it, TVE_EXPAND))
                UpdateOpenImage(*it);
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
            UpdateOpenImage(h);
        }
    }
    // Collapsing may have moved the selection to an ancestor.
    m_bSelChangePending = true;
    ScheduleIdle();
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
    ScheduleIdle();
    return true;
}

void CTreePaneView::SortPending() {
    HTREEITEM parent = *m_hSortParent;
    m_hSortParent.reset();
    m_tree.SortChildren(parent);
    m_doc.SaveTree();
}

bool CTreePaneView::IsLabelEditing() const {
    QLineEdit* editor = m_delegate->Editor();
    return editor && editor->isVisible();
}

void CTreePaneView::LabelCut() {
    if (IsLabelEditing())
        m_delegate->Editor()->cut();
}

void CTreePaneView::LabelCopy() {
    if (IsLabelEditing())
        m_delegate->Editor()->copy();
}

void CTreePaneView::LabelPaste() {
    if (IsLabelEditing())
        m_delegate->Editor()->paste();
}

void CTreePaneView::LabelUndo() {
    if (IsLabelEditing())
        m_delegate->Editor()->undo();
}

bool CTreePaneView::LabelHasSelection() const {
    return IsLabelEditing() && m_delegate->Editor()->hasSelectedText();
}

bool CTreePaneView::LabelCanUndo() const {
    return IsLabelEditing() && m_delegate->Editor()->isUndoAvailable();
}

bool CTreePaneView::LabelCanPaste() const {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return IsLabelEditing() && clipboard && !clipboard->text().isEmpty();
}

// ---- delete ---------------------------------------------------------------------------------

bool CTreePaneView::CanDeleteItem() const {
    HTREEITEM h = m_tree.GetSelectedItem();
    return h && m_tree.GetParentItem(h) != nullptr;
}

void CTreePaneView::DeleteSelectedItem() {
    HTREEITEM h = m_tree.GetSelectedItem();
    if (!h)
        return;
    const std::string title = enc::CutToBytes(m_tree.GetItemText(h), nota::MAX_TITLE);
    if (nota::IsRootImage(treewalk::GetImage(m_tree, h))) {
        m_ui.MessageBox(str::kCannotDeleteRoot, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_settings.m_bConfirmDelete) {
        std::string question = str::kDeleteQuestion;
        question.replace(question.find("%s"), 2, enc::DecodeStored(title));
        if (m_tree.ItemHasChildren(h))
            question += str::kDeleteFolderWarning;
        if (m_ui.MessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    m_doc.DeleteItem(h);
}

// ---- add item -------------------------------------------------------------------------------

void CTreePaneView::AddItem() {
    CAddItemDlg dlg(*this, window());
    dlg.m_nItemType = 0;
    connect(&dlg, &CAddItemDlg::helpRequested, this, &CTreePaneView::helpRequested);
    if (dlg.exec() == QDialog::Accepted)
        InsertFromDialog(dlg);
}

HTREEITEM CTreePaneView::InsertFromDialog(const CAddItemDlg& dlg) {
    m_ui.BeginWaitCursor();
    HTREEITEM h =
        m_doc.InsertNewItem(dlg.TargetFolder(), QStringToBytes(dlg.Name()), dlg.m_nItemType != 0);
    m_ui.EndWaitCursor();
    return h;
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
