#include "ui/backup/BackupCommands.h"

#include "app/NotariumDoc.h"
#include "ui/common/CommandIds.h"
#include "ui/tree/TreePaneView.h"

CBackupCommands::CBackupCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui,
                                 CTreePaneView& tree, CAutoBackup::Times times)
    : m_doc(doc), m_ui(ui), m_tree(tree), m_auto(doc, settings, ui, times) {}

void CBackupCommands::Register(CCommandRouter& router) {
    router.Set(
        CommandLevel::Frame, ID_FILE_BACKUPS, [this] { ShowBackups(m_tree.window()); },
        [this] { return m_doc.IsOpen(); });
}

void CBackupCommands::ShowBackups(QWidget* parent) {
    if (!m_doc.IsOpen())
        return;
    std::string open;
    {
        CBackupsDlg dlg({m_doc, m_ui, m_auto, m_checker, m_tree, m_askTarget}, parent);
        if (m_runDialog)
            m_runDialog(dlg);
        else
            dlg.exec();
        open = dlg.FileToOpen();
    }
    if (!open.empty() && m_openFile)
        m_openFile(open);
}
