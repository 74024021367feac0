#include "ui/frame/ExchangeDialogs.h"
#include "ui/frame/FileDialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const char* const kHelpTopic = "files.html#exchange";

QString Decode(const std::string& name) {
    return QFile::decodeName(QByteArray::fromStdString(name));
}

std::string Encode(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QGroupBox* Group(const QString& title, QRadioButton* first, QRadioButton* second) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(first);
    layout->addWidget(second);
    return box;
}

// Qt's own dialog, as the program's other file dialogs use it.
void SetUpFileDialog(QFileDialog& dlg, const QString& title, const QString& startDir) {
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setWindowTitle(title);
    if (!startDir.isEmpty())
        dlg.setDirectory(startDir);
    ShowWholeColumns(dlg);
}

} // namespace

CExportDlg::CExportDlg(const ExportDefaults& defaults, QWidget* parent)
    : QDialog(parent), m_defaults(defaults) {
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(QStringLiteral("Export"));
    setProperty("helpTopic", QString::fromLatin1(kHelpTopic));
    const bool bFolder = !defaults.folderTitle.isEmpty();
    m_pFolder = new QRadioButton(
        bFolder ? QStringLiteral("The selected &folder: %1").arg(defaults.folderTitle)
                : QStringLiteral("The selected &folder"));
    m_pFolder->setEnabled(bFolder);
    m_pWhole = new QRadioButton(QStringLiteral("The &whole database"));
    (bFolder ? m_pFolder : m_pWhole)->setChecked(true);
    m_pTextFiles = new QRadioButton(QStringLiteral("A folder of &text files"));
    m_pMarkdown = new QRadioButton(QStringLiteral("One &Markdown file"));
    m_pTextFiles->setChecked(true);

    m_pDestination = new QLineEdit;
    m_pDestination->setObjectName(QStringLiteral("destination"));
    m_pDestination->setMinimumWidth(m_pDestination->fontMetrics().averageCharWidth() * 56);
    auto* label = new QLabel(QStringLiteral("&Destination:"));
    label->setBuddy(m_pDestination);
    auto* browse = new QPushButton(QStringLiteral("&Browse..."));
    browse->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(m_pDestination, 1);
    row->addWidget(browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_pOk = buttons->button(QDialogButtonBox::Ok);
    m_pOk->setText(QStringLiteral("&Export"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Group(QStringLiteral("Export"), m_pFolder, m_pWhole));
    layout->addWidget(Group(QStringLiteral("As"), m_pTextFiles, m_pMarkdown));
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addWidget(buttons);

    for (QRadioButton* b : {m_pFolder, m_pWhole, m_pTextFiles, m_pMarkdown})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                Propose();
        });
    connect(m_pDestination, &QLineEdit::textEdited, this, [this] { m_bEdited = true; });
    connect(m_pDestination, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_pOk->setEnabled(!text.trimmed().isEmpty()); });
    connect(browse, &QPushButton::clicked, this, &CExportDlg::Browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Propose();
}

void CExportDlg::Propose() {
    if (m_bEdited)
        return;
    const std::string& name =
        m_pWhole->isChecked() ? m_defaults.databaseName : m_defaults.folderName;
    QString path = QDir(Decode(m_defaults.startDir)).filePath(Decode(name));
    if (m_pMarkdown->isChecked())
        path += QStringLiteral(".md");
    m_pDestination->setText(path);
}

void CExportDlg::Browse() {
    const QFileInfo current(m_pDestination->text());
    QFileDialog dlg(this);
    if (m_pMarkdown->isChecked()) {
        SetUpFileDialog(dlg, QStringLiteral("Export to Markdown File"), current.path());
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setNameFilters(
            {QStringLiteral("Markdown Files (*.md)"), QStringLiteral("All Files (*)")});
        dlg.setDefaultSuffix(QStringLiteral("md"));
        dlg.selectFile(current.fileName());
    } else {
        // An empty folder, or a new one made with the dialog's own button.
        SetUpFileDialog(dlg, QStringLiteral("Export to Empty Folder"), current.path());
        dlg.setFileMode(QFileDialog::Directory);
        dlg.setOption(QFileDialog::ShowDirsOnly, true);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return;
    m_bEdited = true;
    m_pDestination->setText(QDir::toNativeSeparators(dlg.selectedFiles().constFirst()));
}

ExportChoice CExportDlg::Choice() const {
    ExportChoice choice;
    choice.bWholeDatabase = m_pWhole->isChecked();
    choice.bMarkdown = m_pMarkdown->isChecked();
    choice.destination = Encode(QDir::cleanPath(m_pDestination->text().trimmed()));
    return choice;
}

CImportDlg::CImportDlg(const QString& targetTitle, const std::string& startDir, QWidget* parent)
    : QDialog(parent), m_startDir(Decode(startDir)) {
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(QStringLiteral("Import"));
    setProperty("helpTopic", QString::fromLatin1(kHelpTopic));
    auto* into = new QLabel(QStringLiteral("Into the folder: %1").arg(targetTitle));
    into->setTextFormat(Qt::PlainText);
    auto* label = new QLabel(QStringLiteral("&Files and folders to import:"));
    m_pList = new QListWidget;
    m_pList->setObjectName(QStringLiteral("sources"));
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    label->setBuddy(m_pList);
    m_pList->setAccessibleName(QStringLiteral("Files and folders to import"));
    auto* addFiles = new QPushButton(QStringLiteral("Add Fi&les..."));
    auto* addFolder = new QPushButton(QStringLiteral("Add F&older..."));
    m_pRemove = new QPushButton(QStringLiteral("&Remove"));
    for (QPushButton* b : {addFiles, addFolder, m_pRemove})
        b->setAutoDefault(false);
    auto* side = new QVBoxLayout;
    side->addWidget(addFiles);
    side->addWidget(addFolder);
    side->addWidget(m_pRemove);
    side->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addWidget(m_pList, 1);
    row->addLayout(side);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_pOk = buttons->button(QDialogButtonBox::Ok);
    m_pOk->setText(QStringLiteral("&Import"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(into);
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addWidget(buttons);

    connect(addFiles, &QPushButton::clicked, this, &CImportDlg::AddFiles);
    connect(addFolder, &QPushButton::clicked, this, &CImportDlg::AddFolder);
    connect(m_pRemove, &QPushButton::clicked, this, [this] {
        qDeleteAll(m_pList->selectedItems());
        Update();
    });
    connect(m_pList, &QListWidget::itemSelectionChanged, this, &CImportDlg::Update);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(520, 300);
    Update();
}

void CImportDlg::Update() {
    m_pOk->setEnabled(m_pList->count() > 0);
    m_pRemove->setEnabled(!m_pList->selectedItems().isEmpty());
}

void CImportDlg::AddSource(const QString& path) {
    if (m_pList->findItems(path, Qt::MatchExactly).isEmpty())
        m_pList->addItem(path);
    m_startDir = QFileInfo(path).path();
    Update();
}

void CImportDlg::AddFiles() {
    QFileDialog dlg(this);
    SetUpFileDialog(dlg, QStringLiteral("Import Files"), m_startDir);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setNameFilters(
        {QStringLiteral("Text Files (*.txt *.md)"), QStringLiteral("All Files (*)")});
    if (dlg.exec() == QDialog::Accepted)
        for (const QString& file : dlg.selectedFiles())
            AddSource(file);
}

void CImportDlg::AddFolder() {
    QFileDialog dlg(this);
    SetUpFileDialog(dlg, QStringLiteral("Import Folder"), m_startDir);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        AddSource(dlg.selectedFiles().constFirst());
}

std::vector<std::string> CImportDlg::Sources() const {
    std::vector<std::string> sources;
    for (int i = 0; i < m_pList->count(); ++i)
        sources.push_back(Encode(m_pList->item(i)->text()));
    return sources;
}

bool CQtExchangeDialogs::RunExport(QWidget* parent, const ExportDefaults& defaults,
                                   ExportChoice& choice) {
    CExportDlg dlg(defaults, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    choice = dlg.Choice();
    return !choice.destination.empty();
}

bool CQtExchangeDialogs::RunImport(QWidget* parent, const QString& targetTitle,
                                   const std::string& startDir, std::vector<std::string>& sources) {
    CImportDlg dlg(targetTitle, startDir, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    sources = dlg.Sources();
    return !sources.empty();
}

void CQtExchangeDialogs::ShowSummary(QWidget* parent, const std::string& headline,
                                     const std::vector<std::string>& lines) {
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("exchangeSummary"));
    dlg.setWindowTitle(QStringLiteral("Notarium"));
    dlg.setProperty("helpTopic", QString::fromLatin1(kHelpTopic));
    auto* text = new QLabel(QString::fromUtf8(headline));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    auto* list = new QPlainTextEdit;
    list->setReadOnly(true);
    list->setAccessibleName(QStringLiteral("Skipped files"));
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList all;
    for (const std::string& line : lines)
        all << QString::fromUtf8(line);
    list->setPlainText(all.join(QLatin1Char('\n')));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(text);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    dlg.resize(560, 360);
    dlg.exec();
}
