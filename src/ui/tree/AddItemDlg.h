#pragma once
// Add Item: the name of a new folder or textlet, its kind, and the folder that receives it.
// The folder list copies the folders of the main tree (not its textlets) in their order, each
// copy remembering the main-tree item it stands for.

#include "platform/TreeCtrl.h"

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QPushButton;
class QLineEdit;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class CAddItemDlg : public QDialog {
    Q_OBJECT

public:
    // tree: the item tree the folders are copied from and the new item goes into.
    explicit CAddItemDlg(const CTreeCtrl& tree, QWidget* parent = nullptr);

    // The radio group: which kind of item to add. None (no button on) until set; read back
    // after the dialog ends.
    enum class ItemKind { None = -1, Textlet = 0, Folder = 1 };
    void SetItemKind(ItemKind kind) { m_kind = kind; }
    ItemKind GetItemKind() const { return m_kind; }

    // After OK: the trimmed name and the main-tree folder that receives the item.
    const QString& Name() const { return m_strName; }
    HTREEITEM TargetFolder() const { return m_hTargetFolder; }

    // The controls, for whoever drives the dialog.
    QLineEdit* NameEdit() const { return m_pName; }
    QTreeWidget* FolderTree() const { return m_pFolders; }
    QPushButton* OkButton() const;
    // The main-tree folder the dialog's selected folder stands for.
    HTREEITEM SelectedFolder() const;

    void accept() override;

signals:
    void helpRequested(const QString& topic);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const CTreeCtrl& m_tree;
    ItemKind m_kind = ItemKind::None;
    QString m_strName;
    HTREEITEM m_hTargetFolder = nullptr;
    HTREEITEM m_hDefaultFolder = nullptr;
    QTreeWidgetItem* m_pPreselect = nullptr;
    QLineEdit* m_pName = nullptr;
    QRadioButton* m_pTextlet = nullptr;
    QRadioButton* m_pFolder = nullptr;
    QTreeWidget* m_pFolders = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    bool m_bInitialized = false;

    void BuildControls();
    void InitDialog();
    void UpdateOk();
    void CopyFolders();
};
