#pragma once
// The Open Existing File dialog (with its "Ne&w..." button that switches to creating) and
// the Create New File dialog, and the interface through which the application shows them,
// so that the dialog loop can be driven by a script in tests.

#include <QFileDialog>
#include <string>

class QPushButton;

// Shows the two file dialogs. Each returns true when the user confirmed a file (path set).
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // bNewRequested: the dialog was closed by its "Ne&w..." button.
    virtual bool RunOpen(QWidget* parent, const std::string& startDir, std::string& path,
                         bool& bNewRequested) = 0;
    virtual bool RunCreate(QWidget* parent, const std::string& startDir, std::string& path) = 0;
};

class COpenFileDlg : public QFileDialog {
    Q_OBJECT
public:
    explicit COpenFileDlg(QWidget* parent = nullptr, const QString& startDir = QString());
    // Shows the dialog modally; true on OK with path set.
    bool DoModal(std::string& path);
    QPushButton* NewButton() const { return m_pNewButton; }

    // Set by "Ne&w...": the dialog was cancelled in order to create a file instead.
    static bool s_bNewRequested;

private:
    QPushButton* m_pNewButton = nullptr;
};

class CCreateFileDlg : public QFileDialog {
    Q_OBJECT
public:
    explicit CCreateFileDlg(QWidget* parent = nullptr, const QString& startDir = QString());
    bool DoModal(std::string& path);
};

class CQtFileDialogs : public IFileDialogs {
public:
    bool RunOpen(QWidget* parent, const std::string& startDir, std::string& path,
                 bool& bNewRequested) override;
    bool RunCreate(QWidget* parent, const std::string& startDir, std::string& path) override;
};

// The file name part of path has no '.': the Create dialog then appends ".Nota".
std::string AddDefaultExtension(const std::string& path);

// Qt's own file dialog with its detail view's Size, Type and Date columns shown whole (the
// name column takes what is left) and a size that leaves the name room. Needs a dialog that
// uses Qt's own widgets (DontUseNativeDialog); does nothing to the columns otherwise.
void ShowWholeColumns(QFileDialog& dlg);
