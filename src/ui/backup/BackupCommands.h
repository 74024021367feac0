#pragma once
// The window's backups: the automatic ones (CAutoBackup) and File > Backups... (CBackupsDlg),
// which needs an open file, with the checks of the backups it lists (CBackupChecker, kept
// between showings). A file the user restored and chose to open is opened through
// `openFile` once the dialog has closed.

#include "ui/backup/AutoBackup.h"
#include "ui/backup/BackupChecker.h"
#include "ui/backup/BackupsDlg.h"
#include "ui/common/CommandRouter.h"

#include <functional>
#include <string>

class CBackupCommands {
public:
    CBackupCommands(CNotariumDoc& doc, CAppSettings& settings, IUiServices& ui, CTreePaneView& tree,
                    CAutoBackup::Times times = {});

    void Register(CCommandRouter& router);
    CAutoBackup& Auto() { return m_auto; }
    CBackupChecker& Checker() { return m_checker; }
    // Shows the Backups dialog (modal).
    void ShowBackups(QWidget* parent);

    // Opens a restored file as the window's document.
    std::function<bool(const std::string& path)> m_openFile;
    // Lets a test answer the dialog as it shows (it is shown when this returns; empty: exec).
    std::function<void(CBackupsDlg& dlg)> m_runDialog;
    // The name a backup is restored as (empty: the platform's save dialog).
    std::function<std::string(QWidget* parent, const std::string& suggested)> m_askTarget;

private:
    CNotariumDoc& m_doc;
    IUiServices& m_ui;
    CTreePaneView& m_tree;
    CAutoBackup m_auto;
    CBackupChecker m_checker;
};
