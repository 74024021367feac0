#pragma once
// The application object: the first-instance check, the settings (loaded at start, written
// at exit), the choice of the data file at start-up, the New/Open dialog loop, the commands
// of the application, and the idle step that runs the window's deferred work. It owns the
// document (which owns the item tree) and the main window, which it gives a CFrameContext;
// it never reaches into the window's panes.

#include "app/NotariumDoc.h"
#include "app/Settings.h"
#include "platform/InstanceLock.h"
#include "ui/backup/AutoBackup.h"
#include "ui/frame/RecentFileList.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

class CIdleStep;
class CMainFrame;
class CQtUiServices;
class IFileDialogs;

// What the application uses of the outside world; anything left null takes the real one.
struct CAppOptions {
    IUiServices* ui = nullptr;       // message boxes, status bar
    ISettingsStore* store = nullptr; // the user's settings
    IFileDialogs* dialogs = nullptr; // the Open and Create dialogs
    std::string lockPath;            // the running-instance lock file
    // Starts a program without waiting (Open New Window). Empty: QProcess::startDetached.
    std::function<bool(const QString& program)> startProgram;
    // Shows an address in the browser (Web page). Empty: the desktop's own.
    std::function<bool(const QUrl& url)> openUrl;
    bool bShowWindow = true;             // the main window is shown when it is created
    CAutoBackup::Times backupTimes = {}; // when automatic backups look whether one is due
};

class CNotariumApp : public QObject {
    Q_OBJECT
public:
    explicit CNotariumApp(CAppOptions options = {});
    ~CNotariumApp() override;

    // Start-up. args: the program's arguments without the program name; modifiers: the
    // keys held at start. False: the program ends at once.
    bool InitInstance(const QStringList& args, Qt::KeyboardModifiers modifiers);
    // Writes every setting back and leaves the running instances.
    int ExitInstance();

    // The steps of the New/Open dialog loop.
    enum class FileStep { Create = 1, Open = 2, Done = 3 };
    // The dialog loop, starting with the Create or the Open dialog; it insists on a file
    // (or the user's consent to end the program).
    void RunFileDialogs(FileStep step);
    // Creates (bCreate) or checks the file, then opens it as the document.
    bool OpenOrCreateFile(const std::string& path, bool bCreate);
    // Opens path as the document with only the document's own checks (recent files,
    // dropped files). Creates the main window at the first success.
    bool OpenDocumentFile(const std::string& path);
    void OpenRecentFile(int index);

    // The idle step; true when it did its work (false: not now, try again later).
    bool OnIdle();

    // Commands of the application.
    void OnFileNew() { RunFileDialogs(FileStep::Create); }
    void OnFileOpen() { RunFileDialogs(FileStep::Open); }
    void OnAppAbout();
    void OnOpenNewWindow();

    CAppSettings& Settings() { return m_settings; }
    ISettingsStore& Store() { return *m_pStore; }
    IUiServices& Ui() { return *m_pUi; }
    CNotariumDoc& Doc() { return *m_pDoc; }
    CMainFrame* MainFrame() const { return m_pFrame.get(); }
    CRecentFileList& RecentFiles() { return m_recentFiles; }
    // A data file is open (the document's own state).
    bool IsFileOpen() const { return m_pDoc->IsOpen(); }
    // This is the first running instance (decided by InitInstance).
    bool IsFirstInstance() const { return m_bFirstInstance; }
    int LastOptionsPage() const { return m_nLastOptionsPage; }
    void SetLastOptionsPage(int page) { m_nLastOptionsPage = page; }
    // "PreviewPages", kept for the print preview.
    int NumPreviewPages() const { return m_nNumPreviewPages; }

    static constexpr const char* kAboutText = "Notarium, Version 1.50";
    static constexpr const char* kMustHaveFile =
        "You must have a file open to run Notarium. Do you want to exit Notarium now?";

private:
    CAppOptions m_options;
    std::unique_ptr<CQtUiServices> m_pOwnUi;
    std::unique_ptr<ISettingsStore> m_pOwnStore;
    std::unique_ptr<IFileDialogs> m_pOwnDialogs;
    IUiServices* m_pUi = nullptr;
    ISettingsStore* m_pStore = nullptr;
    IFileDialogs* m_pDialogs = nullptr;
    CInstanceLock m_lock;
    CAppSettings m_settings;
    CAppSettings m_savedSettings; // as last loaded or written: what another window may change
    CRecentFileList m_recentFiles;
    std::unique_ptr<CNotariumDoc> m_pDoc; // declared before the frame: the frame goes first
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<CIdleStep> m_pIdle;
    bool m_bFirstInstance = false;
    int m_nLastOptionsPage = 0;
    int m_nNumPreviewPages = 0;
    bool m_bExited = false;

    void LoadSettings();
    void SaveSettings();
    void RegisterCommands();
    void CreateMainFrame();
    void OnFrameClosed();
    std::string DialogStartDir() const;
    QWidget* DialogParent() const;
};

// The file named on the command line (the first argument that is not an option), made
// absolute; empty when there is none.
std::string CommandLineFile(const QStringList& args);
