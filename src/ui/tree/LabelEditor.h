#pragma once
// The in-place title editor of the tree pane: a line edit that takes at most a title's 64
// bytes, and the Edit commands (Undo, Cut, Copy, Paste) that act on it while it is open.
// Opening a menu (from the menu bar or by keyboard) leaves it open, so that the menu's Edit
// commands reach it; any other loss of focus ends the edit and hands the text on.

#include "platform/TreeCtrl.h"
#include "ui/common/CommandRouter.h"

#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>

class CLabelEditor : public QStyledItemDelegate {
    Q_OBJECT

public:
    // onEndEdit: the user ended an edit with text for the item; true when it was accepted.
    using EndEdit = std::function<bool(HTREEITEM, const QString&)>;
    CLabelEditor(EndEdit onEndEdit, QObject* parent);

    // The editor is open (it exists and is shown).
    bool IsEditing() const;
    QLineEdit* Editor() const { return m_editor; }

    void Cut();
    void Copy();
    void Paste();
    void Undo();
    bool HasSelection() const;
    bool CanUndo() const;
    bool CanPaste() const;

    // Registers Undo, Cut, Copy and Paste for the tree pane: the editor's while it is open,
    // else whatever itemCommand gives for the id (the item clipboard; null: none).
    void Register(CCommandRouter& router,
                  std::function<const CommandHandler*(UINT id)> itemCommand);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* editor, QEvent* event) override;

private:
    EndEdit m_onEndEdit;
    mutable QPointer<QLineEdit> m_editor;
};
