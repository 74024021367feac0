#include "ui/tree/AddItemDlg.h"

#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "store/DataFormat.h"
#include "ui/common/QtText.h"
#include "ui/tree/TreeLineStyle.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace {

constexpr int kMaxNameChars = 128;
constexpr int kItemRole = Qt::UserRole;

HTREEITEM ItemOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<HTREEITEM>(item->data(0, kItemRole).value<quintptr>()) : nullptr;
}

} // namespace

CAddItemDlg::CAddItemDlg(const CTreeCtrl& tree, QWidget* parent) : QDialog(parent), m_tree(tree) {
    setWindowTitle(tr("Add Item"));
    setProperty("helpTopic", QStringLiteral("AddItem")); // F1 anywhere in the dialog
    BuildControls();
}

void CAddItemDlg::BuildControls() {
    auto* nameLabel = new QLabel(tr("&Name:"));
    m_pName = new QLineEdit;
    m_pName->setMaxLength(kMaxNameChars);
    nameLabel->setBuddy(m_pName);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(m_pName, 1);

    auto* typeBox = new QGroupBox(tr("Item Type"));
    m_pTextlet = new QRadioButton(tr("&Textlet"));
    m_pFolder = new QRadioButton(tr("&Folder"));
    auto* typeRow = new QHBoxLayout(typeBox);
    typeRow->addWidget(m_pTextlet);
    typeRow->addWidget(m_pFolder);

    auto* folderLabel = new QLabel(tr("&Add to Which Folder:"));
    m_pFolders = new QTreeWidget;
    m_pFolders->setObjectName(QStringLiteral("Tree1"));
    m_pFolders->setHeaderHidden(true);
    m_pFolders->setRootIsDecorated(true);
    m_pFolders->setUniformRowHeights(true);
    m_pFolders->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_pFolders->setSelectionMode(QAbstractItemView::SingleSelection);
    SetTreeLineStyle(m_pFolders);
    folderLabel->setBuddy(m_pFolders);
    m_pFolders->setAccessibleName(tr("Add to Which Folder")); // not named by its label

    auto* left = new QVBoxLayout;
    left->addLayout(nameRow);
    left->addWidget(typeBox);
    left->addWidget(folderLabel);
    left->addWidget(m_pFolders, 1);

    m_pButtons = new QDialogButtonBox(Qt::Vertical);
    m_pButtons->addButton(QDialogButtonBox::Ok)->setDefault(true);
    m_pButtons->addButton(QDialogButtonBox::Cancel);
    m_pButtons->addButton(tr("&Help"), QDialogButtonBox::HelpRole);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CAddItemDlg::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CAddItemDlg::reject);
    connect(m_pButtons, &QDialogButtonBox::helpRequested, this,
            [this] { emit helpRequested(QStringLiteral("AddItem")); });

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addWidget(m_pButtons, 0, Qt::AlignTop);

    connect(m_pName, &QLineEdit::textChanged, this, &CAddItemDlg::UpdateOk);
    resize(400, 330);
}

QPushButton* CAddItemDlg::OkButton() const {
    return m_pButtons->button(QDialogButtonBox::Ok);
}

void CAddItemDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialized) {
        m_bInitialized = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CAddItemDlg::InitDialog() {
    m_pTextlet->setChecked(m_kind == ItemKind::Textlet);
    m_pFolder->setChecked(m_kind == ItemKind::Folder);
    UpdateOk();

    const CTreeCtrl& tree = m_tree;
    m_hDefaultFolder = tree.GetSelectedItem();
    if (m_hDefaultFolder && !nota::IsFolderImage(treewalk::GetImage(tree, m_hDefaultFolder)))
        m_hDefaultFolder = tree.GetParentItem(m_hDefaultFolder);
    m_pPreselect = nullptr;
    CopyFolders();

    QTreeWidgetItem* select = m_pPreselect ? m_pPreselect : m_pFolders->topLevelItem(0);
    if (select) {
        m_pFolders->setCurrentItem(select);
        m_pFolders->scrollToItem(select);
    }
    if (QTreeWidgetItem* first = m_pFolders->topLevelItem(0))
        first->setExpanded(true);
    m_pName->setFocus();
}

// Copies every folder-like item of the main tree, in order, skipping textlets and whatever
// lies under them.
void CAddItemDlg::CopyFolders() {
    const CTreeCtrl& tree = m_tree;
    std::vector<std::pair<HTREEITEM, QTreeWidgetItem*>> stack{{nullptr, nullptr}};
    while (!stack.empty()) {
        auto [mainParent, copyParent] = stack.back();
        stack.pop_back();
        QList<QTreeWidgetItem*> copies;
        const std::size_t count = tree.GetChildCount(mainParent);
        for (std::size_t i = 0; i < count; ++i) {
            HTREEITEM h = tree.GetChildAt(mainParent, i);
            int image = 0;
            int selected = 0;
            tree.GetItemImage(h, image, selected);
            if (!nota::IsFolderImage(image))
                continue;
            auto* copy = new QTreeWidgetItem;
            copy->setText(0, BytesToQString(enc::CutToBytes(tree.GetItemText(h), nota::MAX_TITLE)));
            copy->setData(0, kItemRole, QVariant::fromValue(reinterpret_cast<quintptr>(h)));
            if (h == m_hDefaultFolder)
                m_pPreselect = copy;
            copies.push_back(copy);
            if (tree.ItemHasChildren(h))
                stack.emplace_back(h, copy);
        }
        if (copyParent)
            copyParent->addChildren(copies);
        else
            m_pFolders->addTopLevelItems(copies);
    }
}

void CAddItemDlg::UpdateOk() {
    OkButton()->setEnabled(!TrimBlanks(m_pName->text()).isEmpty());
}

HTREEITEM CAddItemDlg::SelectedFolder() const {
    return ItemOf(m_pFolders->currentItem());
}

void CAddItemDlg::accept() {
    const QString name = TrimBlanks(m_pName->text());
    if (name.isEmpty())
        return;
    m_strName = name;
    m_kind = m_pFolder->isChecked() ? ItemKind::Folder : ItemKind::Textlet;
    m_hTargetFolder = SelectedFolder();
    QDialog::accept();
}
