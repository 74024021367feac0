#pragma once
// The dialogs of File > Export... and File > Import...: what to export, in which form and
// where to; what to import (files, folders or both); and the summary of a run whose list of
// skipped files is too long for a message box. The commands reach them through
// IExchangeDialogs, so that tests can answer them with paths of their own.

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

struct ExportChoice {
    bool bWholeDatabase = false; // else the selected folder
    bool bMarkdown = false;      // else a folder of text files
    std::string destination;     // file-system name (encoded as QFile::encodeName does)
};

// What the Export dialog starts with.
struct ExportDefaults {
    QString folderTitle;      // the selected folder's title; empty: no folder is selected
    std::string startDir;     // where the destination is proposed
    std::string folderName;   // proposed name for an export of the folder (no extension)
    std::string databaseName; // proposed name for an export of the whole database
};

class IExchangeDialogs {
public:
    virtual ~IExchangeDialogs() = default;
    // True when the user confirmed; choice is then complete (destination not empty).
    virtual bool RunExport(QWidget* parent, const ExportDefaults& defaults,
                           ExportChoice& choice) = 0;
    // True when the user confirmed at least one file or folder (sources not empty).
    virtual bool RunImport(QWidget* parent, const QString& targetTitle, const std::string& startDir,
                           std::vector<std::string>& sources) = 0;
    // Shows headline with lines below it in a scrollable list; returns when it is closed.
    virtual void ShowSummary(QWidget* parent, const std::string& headline,
                             const std::vector<std::string>& lines) = 0;
};

class CExportDlg : public QDialog {
    Q_OBJECT
public:
    CExportDlg(const ExportDefaults& defaults, QWidget* parent = nullptr);
    ExportChoice Choice() const;
    QRadioButton* FolderButton() const { return m_pFolder; }
    QRadioButton* WholeButton() const { return m_pWhole; }
    QRadioButton* TextFilesButton() const { return m_pTextFiles; }
    QRadioButton* MarkdownButton() const { return m_pMarkdown; }
    QLineEdit* DestinationEdit() const { return m_pDestination; }
    QPushButton* OkButton() const { return m_pOk; }

private:
    ExportDefaults m_defaults;
    QRadioButton* m_pFolder = nullptr;
    QRadioButton* m_pWhole = nullptr;
    QRadioButton* m_pTextFiles = nullptr;
    QRadioButton* m_pMarkdown = nullptr;
    QLineEdit* m_pDestination = nullptr;
    QPushButton* m_pOk = nullptr;
    bool m_bEdited = false; // the user typed or browsed a destination: no more proposals

    void Propose();
    void Browse();
};

class CImportDlg : public QDialog {
    Q_OBJECT
public:
    CImportDlg(const QString& targetTitle, const std::string& startDir, QWidget* parent = nullptr);
    std::vector<std::string> Sources() const;
    // Adds a file or folder to the list (what the two Add buttons do after their dialogs).
    void AddSource(const QString& path);
    QListWidget* List() const { return m_pList; }
    QPushButton* OkButton() const { return m_pOk; }

private:
    QString m_startDir;
    QListWidget* m_pList = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pRemove = nullptr;

    void AddFiles();
    void AddFolder();
    void Update();
};

class CQtExchangeDialogs : public IExchangeDialogs {
public:
    bool RunExport(QWidget* parent, const ExportDefaults& defaults, ExportChoice& choice) override;
    bool RunImport(QWidget* parent, const QString& targetTitle, const std::string& startDir,
                   std::vector<std::string>& sources) override;
    void ShowSummary(QWidget* parent, const std::string& headline,
                     const std::vector<std::string>& lines) override;
};
