#include "ui/tree/BookmarksDlg.h"

#include "ui/tree/ItemImages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

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
    label->setBuddy(m_pList);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const bookmarks::BookmarkEntry& e = m_entries[i];
        auto* row = new QListWidgetItem(QIcon(itemimages::Get(e.nImage)),
                                        QString::fromUtf8(e.strPath), m_pList);
        row->setData(Qt::UserRole, static_cast<qulonglong>(i));
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
