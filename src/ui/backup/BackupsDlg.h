#pragma once
// File > Backups...: the open file's backups, newest first, with their date (local time),
// size, items and whether they are sound. The list comes at once; the backups are checked by
// the window's CBackupChecker, newest first (the selected one before the others), and each row
// filled in when its check is done; closing the dialog never waits for a check. A selected backup
// that has been checked is opened (only to read, as a document of its own: the check needs the file
// to itself, so never while it is open) and its tree and the selected item's text are shown.
// Restore Item copies that item into the folder selected in the main window, as one operation, and
// selects it there; Restore as File... makes the backup a new file beside the open one (never over
// an existing file) and offers to open it; Back Up Now makes a backup at once. F1 shows the help on
// backups.

#include "app/Backup.h"
#include "app/Settings.h"
#include "platform/TreeCtrl.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAutoBackup;
class CBackupChecker;
class CNotariumDoc;
class CTreePaneView;
class IUiServices;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

struct BackupsDlgContext {
    CNotariumDoc& doc;
    IUiServices& ui;
    CAutoBackup& backups;
    CBackupChecker& checker;
    CTreePaneView& tree;
    // The name a backup is restored as; empty when the user cancelled. Empty function: the
    // platform's save dialog.
    std::function<std::string(QWidget* parent, const std::string& suggested)> askTarget;
};

class CBackupsDlg : public QDialog {
    Q_OBJECT
public:
    CBackupsDlg(BackupsDlgContext context, QWidget* parent = nullptr);
    // Drops the checks waiting (the one that runs goes on) and closes the backup shown.
    ~CBackupsDlg() override;

    QTreeWidget* List() const { return m_pList; }
    QTreeWidget* Items() const { return m_pItems; }
    QPlainTextEdit* Text() const { return m_pText; }
    QPushButton* RestoreItemButton() const { return m_pRestoreItem; }
    QPushButton* RestoreFileButton() const { return m_pRestoreFile; }
    QPushButton* BackUpNowButton() const { return m_pBackUpNow; }
    QLabel* StatusLabel() const { return m_pStatus; }
    // The backups listed, newest first (the list's rows).
    const std::vector<backup::Entry>& Entries() const { return m_entries; }
    // Every backup listed has been checked.
    bool ChecksDone() const;
    // A file the user chose to open after Restore as File (the caller opens it once the
    // dialog has closed); empty otherwise.
    const std::string& FileToOpen() const { return m_strOpen; }

    // The buttons' work.
    void RestoreItem();
    void RestoreAsFile();
    void BackUpNow();
    // Lists the backups again (after Back Up Now); the checks already done are kept.
    void Refresh();

    // "<name> (restored <date>).Nota" beside the open file.
    std::string SuggestedName(const backup::Entry& entry) const;

private:
    BackupsDlgContext m_ctx;
    CAppSettings m_backupSettings;
    std::unique_ptr<CNotariumDoc> m_pBackupDoc; // the selected backup, opened to read
    std::string m_strFolder, m_strOpen;
    std::vector<backup::Entry> m_entries;
    QTreeWidget* m_pList = nullptr;
    QTreeWidget* m_pItems = nullptr;
    QPlainTextEdit* m_pText = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pRestoreItem = nullptr;
    QPushButton* m_pRestoreFile = nullptr;
    QPushButton* m_pBackUpNow = nullptr;

    void BuildLayout();
    void FillRow(QTreeWidgetItem* row, const backup::Entry& entry) const;
    void OnChecked(const std::string& path);
    const backup::Entry* SelectedBackup() const;
    void ShowBackup();
    void CloseBackup();
    void AddChildren(QTreeWidgetItem* parent, HTREEITEM first);
    void OnItemExpanded(QTreeWidgetItem* item);
    void ShowItemText();
    void UpdateButtons();
    void OnBackupEnded(const backup::Result& result, bool bManual);
};
