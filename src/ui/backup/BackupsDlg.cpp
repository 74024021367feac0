#include "ui/backup/BackupsDlg.h"

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/Format.h"
#include "platform/UiServices.h"
#include "ui/backup/AutoBackup.h"
#include "ui/backup/BackupChecker.h"
#include "ui/common/QtText.h"
#include "ui/tree/TreePaneView.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kItemRole = Qt::UserRole + 1;
constexpr int kPlaceholderRole = Qt::UserRole + 2;

QString LocalTime(std::time_t t, const char* format) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t)).toString(QLatin1String(format));
}

QString FromPath(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

HTREEITEM ItemOf(const QTreeWidgetItem* row) {
    return row ? reinterpret_cast<HTREEITEM>(row->data(0, kItemRole).value<quintptr>()) : nullptr;
}

std::string AskTargetWithDialog(QWidget* parent, const std::string& suggested) {
    const QString name =
        QFileDialog::getSaveFileName(parent, QObject::tr("Restore as File"), FromPath(suggested),
                                     QObject::tr("Notarium files (*.Nota);;All files (*)"), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    return ToPath(name);
}

} // namespace

CBackupsDlg::CBackupsDlg(BackupsDlgContext context, QWidget* parent)
    : QDialog(parent), m_ctx(std::move(context)) {
    setWindowTitle(tr("Backups"));
    setObjectName(QStringLiteral("backupsDialog"));
    setProperty("helpTopic", QStringLiteral("backups.html")); // F1 anywhere in it
    m_strFolder = backup::FolderFor(m_ctx.doc.GetPathName());
    if (!m_ctx.askTarget)
        m_ctx.askTarget = AskTargetWithDialog;
    BuildLayout();
    connect(&m_ctx.backups, &CAutoBackup::finished, this, &CBackupsDlg::OnBackupEnded);
    connect(&m_ctx.checker, &CBackupChecker::checked, this,
            [this](const QString& path) { OnChecked(ToPath(path)); });
    Refresh();
}

CBackupsDlg::~CBackupsDlg() {
    m_ctx.checker.Cancel();
    CloseBackup();
}

void CBackupsDlg::BuildLayout() {
    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(
        tr("Backups of %1, kept in %2")
            .arg(QFileInfo(FromPath(m_ctx.doc.GetPathName())).fileName(), FromPath(m_strFolder)),
        this);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);

    auto* listLabel = new QLabel(tr("&Backups:"), this);
    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QStringLiteral("backupList"));
    m_pList->setAccessibleName(tr("Backups"));
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setHeaderLabels({tr("Date"), tr("Size"), tr("Items"), tr("Sound")});
    m_pList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pList->header()->setStretchLastSection(true);
    listLabel->setBuddy(m_pList);
    layout->addWidget(listLabel);
    layout->addWidget(m_pList, 1);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* itemsBox = new QWidget(splitter);
    auto* itemsLayout = new QVBoxLayout(itemsBox);
    itemsLayout->setContentsMargins(0, 0, 0, 0);
    auto* itemsLabel = new QLabel(tr("It&ems of the backup:"), itemsBox);
    m_pItems = new QTreeWidget(itemsBox);
    m_pItems->setObjectName(QStringLiteral("backupItems"));
    m_pItems->setAccessibleName(tr("Items of the backup"));
    m_pItems->setHeaderHidden(true);
    itemsLabel->setBuddy(m_pItems);
    itemsLayout->addWidget(itemsLabel);
    itemsLayout->addWidget(m_pItems);
    auto* textBox = new QWidget(splitter);
    auto* textLayout = new QVBoxLayout(textBox);
    textLayout->setContentsMargins(0, 0, 0, 0);
    auto* textLabel = new QLabel(tr("&Text:"), textBox);
    m_pText = new QPlainTextEdit(textBox);
    m_pText->setObjectName(QStringLiteral("backupText"));
    m_pText->setAccessibleName(tr("Text of the item in the backup"));
    m_pText->setReadOnly(true);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    textLabel->setBuddy(m_pText);
    textLayout->addWidget(textLabel);
    textLayout->addWidget(m_pText);
    splitter->addWidget(itemsBox);
    splitter->addWidget(textBox);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 2);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("backupStatus"));
    m_pStatus->setWordWrap(true);
    layout->addWidget(m_pStatus);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_pRestoreItem = buttons->addButton(tr("Restore &Item"), QDialogButtonBox::ActionRole);
    m_pRestoreFile = buttons->addButton(tr("Restore as &File..."), QDialogButtonBox::ActionRole);
    m_pBackUpNow = buttons->addButton(tr("Back Up &Now"), QDialogButtonBox::ActionRole);
    for (QPushButton* b : {m_pRestoreItem, m_pRestoreFile, m_pBackUpNow})
        b->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pRestoreItem, &QPushButton::clicked, this, &CBackupsDlg::RestoreItem);
    connect(m_pRestoreFile, &QPushButton::clicked, this, &CBackupsDlg::RestoreAsFile);
    connect(m_pBackUpNow, &QPushButton::clicked, this, &CBackupsDlg::BackUpNow);
    layout->addWidget(buttons);

    connect(m_pList, &QTreeWidget::currentItemChanged, this, [this] { ShowBackup(); });
    connect(m_pItems, &QTreeWidget::currentItemChanged, this, [this] { ShowItemText(); });
    connect(m_pItems, &QTreeWidget::itemExpanded, this, &CBackupsDlg::OnItemExpanded);
    resize(760, 560);
}

// ---- the list and its checks -----------------------------------------------------------------

void CBackupsDlg::Refresh() {
    const std::string selected = SelectedBackup() ? SelectedBackup()->path : std::string();
    m_entries = backup::List(m_strFolder, false);
    std::reverse(m_entries.begin(), m_entries.end()); // newest first
    const QSignalBlocker block(m_pList);
    m_pList->clear();
    QTreeWidgetItem* current = nullptr;
    std::vector<std::string> unchecked;
    for (backup::Entry& e : m_entries) {
        if (const backup::Verdict* v = m_ctx.checker.Known(e.path)) {
            e.bChecked = true;
            e.bSound = v->bSound;
            e.nItems = v->nItems;
        } else {
            unchecked.push_back(e.path);
        }
        auto* row = new QTreeWidgetItem(m_pList);
        FillRow(row, e);
        if (e.path == selected)
            current = row;
    }
    if (!current && m_pList->topLevelItemCount() > 0)
        current = m_pList->topLevelItem(0);
    m_pList->setCurrentItem(current);
    if (m_entries.empty())
        m_pStatus->setText(tr("There are no backups of this file yet."));
    m_ctx.checker.Queue(unchecked);
    ShowBackup();
}

void CBackupsDlg::FillRow(QTreeWidgetItem* row, const backup::Entry& e) const {
    row->setData(0, kPathRole, FromPath(e.path));
    row->setText(0, LocalTime(e.time, "yyyy-MM-dd HH:mm:ss"));
    row->setText(1, QLocale().formattedDataSize(static_cast<qint64>(e.size)));
    row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(2, e.bChecked ? QString::number(e.nItems) : QString());
    row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    if (!e.bChecked)
        row->setText(3, tr("checking..."));
    else if (e.bSound)
        row->setText(3, tr("yes"));
    else
        row->setText(3,
                     tr("no: %1").arg(QString::fromStdString(m_ctx.checker.Known(e.path)->reason)));
}

bool CBackupsDlg::ChecksDone() const {
    return std::all_of(m_entries.begin(), m_entries.end(),
                       [](const backup::Entry& e) { return e.bChecked; });
}

void CBackupsDlg::OnChecked(const std::string& path) {
    const backup::Verdict* verdict = m_ctx.checker.Known(path);
    if (!verdict)
        return;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        backup::Entry& e = m_entries[i];
        if (e.path != path)
            continue;
        e.bChecked = true;
        e.bSound = verdict->bSound;
        e.nItems = verdict->nItems;
        FillRow(m_pList->topLevelItem(static_cast<int>(i)), e);
    }
    if (SelectedBackup() && SelectedBackup()->path == path && !m_pBackupDoc)
        ShowBackup();
}

const backup::Entry* CBackupsDlg::SelectedBackup() const {
    const int row =
        m_pList->currentItem() ? m_pList->indexOfTopLevelItem(m_pList->currentItem()) : -1;
    return row >= 0 && static_cast<std::size_t>(row) < m_entries.size() ? &m_entries[row] : nullptr;
}

// ---- the selected backup ----------------------------------------------------------------------

void CBackupsDlg::CloseBackup() {
    m_pItems->clear();
    m_pText->clear();
    if (m_pBackupDoc)
        m_pBackupDoc->DeleteContents();
    m_pBackupDoc.reset();
}

void CBackupsDlg::ShowBackup() {
    CloseBackup();
    const backup::Entry* entry = SelectedBackup();
    if (entry && !entry->bChecked) {
        m_ctx.checker.CheckFirst(entry->path);
        m_pText->setPlaceholderText(tr("The backup is being checked..."));
    } else if (entry) {
        m_pText->setPlaceholderText({});
        auto doc = std::make_unique<CNotariumDoc>(m_ctx.ui, m_backupSettings);
        const auto mode = CNotariumDoc::OpenMode::ReadOnly;
        if (CNotariumDoc::PrepareDataFile(entry->path, false, m_ctx.ui, mode) &&
            doc->OnOpenDocument(entry->path, mode) && doc->ReloadTree()) {
            m_pBackupDoc = std::move(doc);
            AddChildren(nullptr, m_pBackupDoc->Tree().GetRootItem());
            if (m_pItems->topLevelItemCount() > 0) {
                m_pItems->topLevelItem(0)->setExpanded(true);
                m_pItems->setCurrentItem(m_pItems->topLevelItem(0));
            }
        } else if (doc->IsOpen()) {
            doc->DeleteContents();
        }
    }
    UpdateButtons();
}

void CBackupsDlg::AddChildren(QTreeWidgetItem* parent, HTREEITEM first) {
    const CTreeCtrl& tree = m_pBackupDoc->Tree();
    for (HTREEITEM h = first; h; h = tree.GetNextSiblingItem(h)) {
        auto* row = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_pItems);
        row->setText(0, BytesToQString(tree.GetItemText(h)));
        row->setData(0, kItemRole, QVariant::fromValue(reinterpret_cast<quintptr>(h)));
        if (tree.GetChildItem(h)) { // filled when it is first opened
            auto* placeholder = new QTreeWidgetItem(row);
            placeholder->setData(0, kPlaceholderRole, true);
        }
    }
}

void CBackupsDlg::OnItemExpanded(QTreeWidgetItem* item) {
    if (!m_pBackupDoc || item->childCount() != 1 ||
        !item->child(0)->data(0, kPlaceholderRole).toBool())
        return;
    delete item->takeChild(0);
    AddChildren(item, m_pBackupDoc->Tree().GetChildItem(ItemOf(item)));
}

void CBackupsDlg::ShowItemText() {
    m_pText->clear();
    const HTREEITEM h = ItemOf(m_pItems->currentItem());
    if (m_pBackupDoc && h) {
        std::string text;
        try {
            m_pBackupDoc->ReadText(h, text);
            m_pText->setPlainText(StoredTextToPane(text));
        } catch (const CFileException& e) {
            m_pText->setPlainText(QString::fromStdString(e.GetErrorMessage()));
        }
    }
    UpdateButtons();
}

void CBackupsDlg::UpdateButtons() {
    const bool bOpen = m_ctx.doc.IsOpen();
    m_pRestoreItem->setEnabled(bOpen && !m_ctx.doc.IsReadOnly() && m_pBackupDoc &&
                               ItemOf(m_pItems->currentItem()));
    m_pRestoreFile->setEnabled(bOpen && SelectedBackup());
    m_pBackUpNow->setEnabled(bOpen && !m_ctx.backups.IsRunning());
}

// ---- the buttons ------------------------------------------------------------------------------

void CBackupsDlg::RestoreItem() {
    const HTREEITEM item = ItemOf(m_pItems->currentItem());
    if (!m_pBackupDoc || !item || !m_ctx.doc.IsOpen() || m_ctx.doc.IsReadOnly())
        return;
    CTreeCtrl& tree = m_ctx.doc.Tree();
    HTREEITEM into = tree.GetSelectedItem() ? tree.GetSelectedItem() : tree.GetRootItem();
    into = treewalk::GetFolderOf(tree, into);
    HTREEITEM added = nullptr;
    ReportingFailures(m_ctx.ui, [&] {
        CWaitCursor wait(m_ctx.ui);
        added = backup::RestoreItem(*m_pBackupDoc, item, m_ctx.doc, into);
    });
    if (!added)
        return; // the user was told why
    if (into)
        tree.Expand(into, TVE_EXPAND);
    tree.SelectItem(added);
    m_ctx.tree.SyncSelection();
    m_pStatus->setText(tr("\"%1\" was restored into \"%2\".")
                           .arg(BytesToQString(tree.GetItemText(added)),
                                into ? BytesToQString(tree.GetItemText(into)) : QString()));
}

std::string CBackupsDlg::SuggestedName(const backup::Entry& entry) const {
    const QFileInfo file(FromPath(m_ctx.doc.GetPathName()));
    const QString name =
        QStringLiteral("%1 (restored %2).Nota")
            .arg(file.completeBaseName(), LocalTime(entry.time, "yyyy-MM-dd HH.mm"));
    return ToPath(file.absoluteDir().filePath(name));
}

void CBackupsDlg::RestoreAsFile() {
    const backup::Entry* entry = SelectedBackup();
    if (!entry)
        return;
    const std::string backupPath = entry->path;
    const std::string target = m_ctx.askTarget(this, SuggestedName(*entry));
    if (target.empty())
        return;
    std::string error;
    bool bDone = false;
    {
        CWaitCursor wait(m_ctx.ui);
        bDone = backup::RestoreFile(backupPath, target, error);
    }
    if (!bDone) {
        m_ctx.ui.MessageBox(error, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (m_ctx.ui.MessageBox(
            Format("The backup was restored as %s.\nDo you want to open it now?", target),
            MB_YESNO | MB_ICONQUESTION) == IDYES) {
        m_strOpen = target;
        accept();
    }
}

void CBackupsDlg::BackUpNow() {
    if (m_ctx.backups.BackUpNow())
        m_pStatus->setText(tr("Backing up..."));
    UpdateButtons();
}

void CBackupsDlg::OnBackupEnded(const backup::Result& result, bool bManual) {
    if (result.outcome == backup::Outcome::Made) {
        m_pStatus->setText(tr("Backup made: %1").arg(QFileInfo(FromPath(result.path)).fileName()));
        Refresh();
    } else if (bManual) {
        m_pStatus->setText(QString::fromStdString(result.message));
    }
    UpdateButtons();
}
