#include "ui/tree/BookmarksDlg.h"

#include "ui/tree/ItemImages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Rows no wider than the list, so that a long path is cut at its start (the view's elide
// mode) and its end, the item's own title, stays in sight.
class CFitToListDelegate : public QStyledItemDelegate {
public:
    explicit CFitToListDelegate(QListView* list) : QStyledItemDelegate(list), m_pList(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::min(size.width(), m_pList->viewport()->width()));
        return size;
    }

private:
    QListView* m_pList;
};

} // namespace

CBookmarksDlg::CBookmarksDlg(std::vector<bookmarks::BookmarkEntry>& entries, QWidget* parent)
    : QDialog(parent), m_entries(entries) {
    setWindowTitle(tr("Bookmarks"));
    setObjectName(QStringLiteral("bookmarksDialog"));
    setProperty("helpTopic", QStringLiteral("tree.html#bookmarks"));
    itemimages::Create();

    auto* label = new QLabel(tr("&Bookmarks:"));
    m_pList = new QListWidget;
    m_pList->setObjectName(QStringLiteral("List1"));
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setIconSize(QSize(kItemImageWidth, kItemImageHeight));
    m_pList->setUniformItemSizes(true);
    m_pList->setTextElideMode(Qt::ElideLeft);
    m_pList->setResizeMode(QListView::Adjust);
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pList->setItemDelegate(new CFitToListDelegate(m_pList));
    label->setBuddy(m_pList);
    m_pList->setAccessibleName(tr("Bookmarks")); // a list is not named by its label
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const bookmarks::BookmarkEntry& e = m_entries[i];
        auto* row = new QListWidgetItem(QIcon(itemimages::Get(e.nImage)),
                                        QString::fromUtf8(e.strPath), m_pList);
        row->setData(Qt::UserRole, static_cast<qulonglong>(i));
        row->setToolTip(row->text()); // the whole path
    }

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_pGoTo = button(tr("&Go To"), "goTo");
    m_pRemove = button(tr("&Remove"), "remove");
    m_pRemoveAll = button(tr("Remove &All"), "removeAll");
    m_pClose = button(tr("Close"), "close");
    connect(m_pGoTo, &QPushButton::clicked, this, &CBookmarksDlg::GoTo);
    connect(m_pRemove, &QPushButton::clicked, this, &CBookmarksDlg::Remove);
    connect(m_pRemoveAll, &QPushButton::clicked, this, &CBookmarksDlg::RemoveAll);
    connect(m_pClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pList, &QListWidget::itemSelectionChanged, this, &CBookmarksDlg::UpdateButtons);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CBookmarksDlg::GoTo);

    auto* left = new QVBoxLayout;
    left->addWidget(label);
    left->addWidget(m_pList, 1);
    auto* right = new QVBoxLayout;
    for (QPushButton* b : {m_pGoTo, m_pRemove, m_pRemoveAll, m_pClose})
        right->addWidget(b);
    right->addStretch(1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(right);
    resize(460, 260);
    UpdateButtons();
}

void CBookmarksDlg::UpdateButtons() {
    const int selected = static_cast<int>(m_pList->selectedItems().size());
    m_pGoTo->setEnabled(selected == 1);
    m_pRemove->setEnabled(selected >= 1);
    m_pRemoveAll->setEnabled(m_pList->count() > 0);
    QPushButton* def = m_pClose;
    for (QPushButton* b : {m_pGoTo, m_pRemove, m_pRemoveAll}) {
        if (b->isEnabled()) {
            def = b;
            break;
        }
    }
    for (QPushButton* b : {m_pGoTo, m_pRemove, m_pRemoveAll, m_pClose})
        b->setDefault(b == def);
}

void CBookmarksDlg::GoTo() {
    QListWidgetItem* row = m_pList->currentItem();
    if (!row || !row->isSelected())
        return;
    m_hChosen = m_entries[row->data(Qt::UserRole).toULongLong()].hItem;
    accept();
}

void CBookmarksDlg::Remove() {
    setUpdatesEnabled(false);
    const QList<QListWidgetItem*> rows = m_pList->selectedItems();
    for (QListWidgetItem* row : rows) {
        m_entries[row->data(Qt::UserRole).toULongLong()].bRemoved = true;
        delete row;
    }
    setUpdatesEnabled(true);
    UpdateButtons();
    if (m_pList->count() == 0)
        accept();
}

void CBookmarksDlg::RemoveAll() {
    for (bookmarks::BookmarkEntry& e : m_entries)
        e.bRemoved = true;
    accept();
}
