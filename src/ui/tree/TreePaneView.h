#pragma once
// The left pane: the item tree of the open file. The CTreeCtrl it owns is the in-memory item
// tree; the QTreeView shows it through CTreeModel. Selection and expansion go both ways: what
// the user does in the view is asked of the control, and the control's notifications are shown
// by the view. Loading the newly selected item's text is deferred to the idle step
// (SyncSelection), as is the re-sort after an in-place rename.

#include "app/NotariumDoc.h"
#include "app/TextPane.h"
#include "platform/TreeCtrl.h"
#include "ui/text/EditPaneView.h"

#include <QPointer>
#include <QTimer>
#include <QTreeView>

#include <memory>
#include <optional>

class CTreeModel;
class CLabelDelegate;
class CAddItemDlg;
struct CAppSettings;
class IUiServices;
class QLineEdit;

class CTreePaneView : public QTreeView, public ITreePane, private ITreeObserver {
    Q_OBJECT

public:
    CTreePaneView(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                  QWidget* parent = nullptr);
    ~CTreePaneView() override;

    void SetEditPane(CEditPaneView* edit);
    CEditPaneView* EditPane() const { return m_pEdit; }
    CTreeCtrl& Tree() { return m_tree; }
    const CTreeCtrl& Tree() const { return m_tree; }
    CTreeModel& Model() { return *m_model; }
    CNotariumDoc& Doc() { return m_doc; }

    // After every open: the pictures once, then the file's tree.
    void OnInitialUpdate();
    // The idle step: loads the selected item's text after a selection change and re-sorts
    // after a rename.
    void SyncSelection();
    bool SaveSelectedText() override;
    // Commits the edit pane's changed text into the item.
    bool SaveItemText(HTREEITEM hItem);

    void AddItem();
    // Inserts what an accepted Add Item dialog holds; the new item or null.
    HTREEITEM InsertFromDialog(const CAddItemDlg& dlg);
    void DeleteSelectedItem();
    bool CanDeleteItem() const;
    void Rename();
    bool HasSelection() const;
    bool HasText() const;
    void ExpandAll();
    void CollapseAll();
    void UpdateOpenImage(HTREEITEM hItem);

    // The label editor of an in-place rename.
    bool IsLabelEditing() const;
    void LabelCut();
    void LabelCopy();
    void LabelPaste();
    void LabelUndo();
    bool LabelHasSelection() const;
    bool LabelCanUndo() const;
    bool LabelCanPaste() const;

    // Re-reads InlineRename: a click on the selected item's label starts a rename only with it.
    void ApplySettings();

    // Called by the label editor when the user ends a rename with new text: trims it, refuses
    // a blank title, stores the title and marks the parent's children for re-sorting.
    bool EndLabelEdit(HTREEITEM hItem, const QString& text);

    // True from the start of a selection change until the idle step has shown the new item.
    bool m_bSelChangePending = false;

signals:
    void contextMenuRequested(const QPoint& globalPos);
    // Help from the Add Item dialog.
    void helpRequested(const QString& topic);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    CNotariumDoc& m_doc;
    CAppSettings& m_settings;
    IUiServices& m_ui;
    CTreeCtrl& m_tree; // the document's
    std::unique_ptr<CTreeModel> m_model;
    CLabelDelegate* m_delegate = nullptr;
    QPointer<CEditPaneView> m_pEdit;
    QTimer m_idle;
    // The item whose children are re-sorted at the next idle step; empty = nothing pending
    // (a null item means the top level, so renaming the root still counts).
    std::optional<HTREEITEM> m_hSortParent;
    int m_nMirroring = 0; // the view is being made to show the control's state

    void OnSelChanging(HTREEITEM hOld, HTREEITEM hNew) override;
    void OnSelChanged(HTREEITEM hOld, HTREEITEM hNew) override;
    void OnItemExpanded(HTREEITEM hItem, UINT action) override;
    void OnItemDeleting(HTREEITEM hItem) override;

    void OnViewExpanded(const QModelIndex& index);
    void OnViewCollapsed(const QModelIndex& index);
    void AfterModelChange(bool reset);
    void ShowCurrent();
    void ShowExpansionBelow(HTREEITEM hParent);
    void ScheduleIdle();
    void LoadSelectedText();
    void SortPending();
    bool ContainsItem(HTREEITEM h) const;
};
