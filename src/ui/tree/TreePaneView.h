#pragma once
// The left pane: shows the document's item tree through CTreeModel and observes it; the tree
// itself belongs to the document. Selection and expansion go both ways: what the user does in
// the view is asked of the tree, and the tree's notifications are shown by the view. Loading
// the newly selected item's text and the re-sort after an in-place rename are deferred to the
// idle step (SyncSelection), which the application runs. Renaming in place is CLabelEditor;
// the commands on items are CItemCommands.

#include "app/NotariumDoc.h"
#include "app/TextPane.h"
#include "platform/TreeCtrl.h"
#include "ui/common/CommandRouter.h"
#include "ui/text/EditPaneView.h"

#include <QPointer>
#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>

class CTreeModel;
class CLabelEditor;
class CDragScroller;
struct CAppSettings;
class IUiServices;

class CTreePaneView : public QTreeView, private ITreeObserver {
    Q_OBJECT

public:
    CTreePaneView(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                  QWidget* parent = nullptr);
    ~CTreePaneView() override;

    // The edit pane that shows the selected item's text; it becomes the document's text
    // pane, which stores its pending text.
    void SetEditPane(CEditPaneView* edit);
    // The document's item tree, which the pane shows.
    CTreeCtrl& Tree() { return m_tree; }
    const CTreeCtrl& Tree() const { return m_tree; }
    CTreeModel& Model() { return *m_model; }
    // Registers the title editor's Undo, Cut, Copy and Paste for the tree pane: the editor's
    // while a title is edited, else whatever itemCommand gives for the id (CLabelEditor).
    void RegisterTitleCommands(CCommandRouter& router,
                               std::function<const CommandHandler*(UINT id)> itemCommand);
    // The item shown as the drop target while a drag hovers over it (null: none).
    HTREEITEM DropHighlight() const { return m_hDropHilite; }
    // The picture that follows the cursor while h is dragged: its row as the pane shows it.
    QPixmap DragPicture(HTREEITEM h);

    // After every open: the pictures once, then the file's tree.
    void OnInitialUpdate();
    // The idle step's work: loads the selected item's text after a selection change and
    // re-sorts after a rename.
    void SyncSelection();
    // True from the start of a selection change until the idle step has shown the new item;
    // meanwhile the document shows no item, so nothing of the edit pane is stored anywhere.
    bool IsSelChangePending() const { return m_bSelChangePending; }

    // Scrolls the view until h shows (nothing for no item).
    void ScrollToItem(HTREEITEM h);
    // Starts the label editor on the selected item.
    void Rename();
    bool IsLabelEditing() const;
    void ExpandAll();
    // Stores the pending text first; when that fails, nothing is collapsed. Either way the
    // edit pane is reloaded at the next idle step.
    void CollapseAll();

    // Re-reads InlineRename: a click on the selected item's label starts a rename only with it.
    void ApplySettings();

    // Called by the label editor when the user ends a rename with new text: trims it, refuses
    // a blank title, stores the title and marks the parent's children for re-sorting.
    bool EndLabelEdit(HTREEITEM hItem, const QString& text);

signals:
    void contextMenuRequested(const QPoint& globalPos);
    // A file dropped on the pane, to be opened as the data file.
    void fileDropped(const QString& path);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool viewportEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    CNotariumDoc& m_doc;
    CAppSettings& m_settings;
    IUiServices& m_ui;
    CTreeCtrl& m_tree; // the document's
    std::unique_ptr<CTreeModel> m_model;
    CLabelEditor* m_pLabelEditor = nullptr;
    QPointer<CEditPaneView> m_pEdit;
    bool m_bSelChangePending = false;
    // The item whose children are re-sorted at the next idle step; empty = nothing pending
    // (a null item means the top level, so renaming the root still counts).
    std::optional<HTREEITEM> m_hSortParent;
    int m_nMirroring = 0; // the view is being made to show the control's state
    CDragScroller* m_pScroller = nullptr;
    HTREEITEM m_hDropHilite = nullptr;

    void OnSelChanging(HTREEITEM hOld, HTREEITEM hNew) override;
    void OnSelChanged(HTREEITEM hOld, HTREEITEM hNew) override;
    void OnItemExpanded(HTREEITEM hItem, UINT action) override;
    void OnItemDeleting(HTREEITEM hItem) override;

    void OnViewExpanded(const QModelIndex& index);
    void OnViewCollapsed(const QModelIndex& index);
    void AfterModelChange(bool reset);
    void ShowCurrent();
    void ShowExpansionBelow(HTREEITEM hParent);
    void LoadSelectedText();
    void SortPending();
    bool ContainsItem(HTREEITEM h) const;
    bool ShowTitleTip(QHelpEvent* event);
    // An item drag hovers at pos: highlight the item there, scroll near the edges, and say
    // which effect a drop would have.
    void ItemDragOver(QDropEvent* event);
    void SetDropHighlight(HTREEITEM h);
};
