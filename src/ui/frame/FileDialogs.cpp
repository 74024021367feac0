#include "ui/frame/FileDialogs.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>

namespace {

const QStringList& FileFilters() {
    static const QStringList filters{QStringLiteral("Textlet Files (*.Nota)"),
                                     QStringLiteral("All Files (*.*)")};
    return filters;
}

// Both dialogs: Qt's own dialog (so that a button can be added), the filters, the start.
void SetUpCommon(QFileDialog& dlg, const QString& title, const QString& startDir) {
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setWindowTitle(title);
    dlg.setNameFilters(FileFilters());
    // "*.*" names every file, also those without a dot, as the filter's text promises.
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
        if (filter != FileFilters().constLast())
            return;
        if (auto* model = dlg.findChild<QFileSystemModel*>())
            model->setNameFilters({QStringLiteral("*")});
    });
    if (!startDir.isEmpty())
        dlg.setDirectory(startDir);
    ShowWholeColumns(dlg);
}

bool Finish(QFileDialog& dlg, int result, std::string& path) {
    if (result != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    path = QFile::encodeName(dlg.selectedFiles().constFirst()).toStdString();
    return true;
}

} // namespace

void ShowWholeColumns(QFileDialog& dlg) {
    if (auto* details = dlg.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    dlg.resize(std::max(dlg.width(), 720), std::max(dlg.height(), 440));
}

bool COpenFileDlg::s_bNewRequested = false;

COpenFileDlg::COpenFileDlg(QWidget* parent, const QString& startDir) : QFileDialog(parent) {
    s_bNewRequested = false;
    setObjectName(QStringLiteral("openFileDialog"));
    SetUpCommon(*this, QStringLiteral("Open Existing File"), startDir);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    m_pNewButton = new QPushButton(QStringLiteral("Ne&w..."), this);
    m_pNewButton->setObjectName(QStringLiteral("newButton"));
    m_pNewButton->setAutoDefault(false);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_pNewButton, grid->rowCount(), grid->columnCount() - 1, Qt::AlignRight);
    connect(m_pNewButton, &QPushButton::clicked, this, [this] {
        s_bNewRequested = true;
        reject();
    });
}

bool COpenFileDlg::DoModal(std::string& path) {
    s_bNewRequested = false;
    return Finish(*this, exec(), path);
}

CCreateFileDlg::CCreateFileDlg(QWidget* parent, const QString& startDir) : QFileDialog(parent) {
    setObjectName(QStringLiteral("createFileDialog"));
    SetUpCommon(*this, QStringLiteral("Create New File"), startDir);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setLabelText(QFileDialog::Accept, QStringLiteral("&Create"));
}

bool CCreateFileDlg::DoModal(std::string& path) {
    return Finish(*this, exec(), path);
}

bool CQtFileDialogs::RunOpen(QWidget* parent, const std::string& startDir, std::string& path,
                             bool& bNewRequested) {
    COpenFileDlg dlg(parent, QFile::decodeName(startDir.c_str()));
    const bool bOk = dlg.DoModal(path);
    bNewRequested = COpenFileDlg::s_bNewRequested;
    return bOk;
}

bool CQtFileDialogs::RunCreate(QWidget* parent, const std::string& startDir, std::string& path) {
    CCreateFileDlg dlg(parent, QFile::decodeName(startDir.c_str()));
    return dlg.DoModal(path);
}

std::string AddDefaultExtension(const std::string& path) {
    const std::size_t nameStart = path.size() - fs_util::FileNameOf(path).size();
    if (path.find('.', nameStart) != std::string::npos)
        return path;
    return path + ".Nota";
}
