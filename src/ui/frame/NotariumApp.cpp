#include "ui/frame/NotariumApp.h"

#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Strings.h"
#include "ui/common/CommandIds.h"
#include "ui/common/IdleStep.h"
#include "ui/common/QtSettingsStore.h"
#include "ui/common/QtUiServices.h"
#include "ui/frame/AboutDlg.h"
#include "ui/frame/FileDialogs.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/OptionsCommand.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>

namespace {

int ScreenLogPixelsY() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInchY());
    return 96;
}

std::string DirectoryOf(const std::string& path) {
    if (path.empty())
        return {};
    return QFile::encodeName(QFileInfo(QFile::decodeName(path.c_str())).absolutePath())
        .toStdString();
}

bool SameFile(const std::string& a, const std::string& b) {
    const QString ca = QFileInfo(QFile::decodeName(a.c_str())).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(QFile::decodeName(b.c_str())).canonicalFilePath();
}

} // namespace

std::string CommandLineFile(const QStringList& args) {
    for (const QString& arg : args) {
        if (arg.isEmpty() || arg.startsWith(QLatin1Char('-')))
            continue;
        return QFile::encodeName(QFileInfo(arg).absoluteFilePath()).toStdString();
    }
    return {};
}

CNotariumApp::CNotariumApp(CAppOptions options)
    : m_options(std::move(options)),
      m_lock(m_options.lockPath.empty() ? CInstanceLock::DefaultPath() : m_options.lockPath),
      m_settings(ScreenLogPixelsY()) {
    if (m_options.ui) {
        m_pUi = m_options.ui;
    } else {
        m_pOwnUi = std::make_unique<CQtUiServices>();
        m_pUi = m_pOwnUi.get();
    }
    if (m_options.store) {
        m_pStore = m_options.store;
    } else {
        m_pOwnStore = std::make_unique<CQtSettingsStore>();
        m_pStore = m_pOwnStore.get();
    }
    if (m_options.dialogs) {
        m_pDialogs = m_options.dialogs;
    } else {
        m_pOwnDialogs = std::make_unique<CQtFileDialogs>();
        m_pDialogs = m_pOwnDialogs.get();
    }
    m_pDoc = std::make_unique<CNotariumDoc>(*m_pUi, m_settings);
    m_pIdle = std::make_unique<CIdleStep>(
        [this] {
            if (m_pFrame)
                m_pFrame->OnIdle();
        },
        [this] { return !m_pFrame || m_pFrame->IsBusy(); });
}

CNotariumApp::~CNotariumApp() {
    ExitInstance();
}

bool CNotariumApp::InitInstance(const QStringList& args, Qt::KeyboardModifiers modifiers) {
    m_bFirstInstance = m_lock.Acquire();
    LoadSettings();

    const std::string cmdFile = CommandLineFile(args);
    if (!m_bFirstInstance || (modifiers & Qt::ControlModifier))
        m_settings.m_strLastFile.clear();
    if (!(modifiers & Qt::ShiftModifier)) {
        if (!cmdFile.empty())
            m_settings.m_strLastFile = cmdFile;
        if (!m_settings.m_strLastFile.empty())
            OpenOrCreateFile(m_settings.m_strLastFile, false);
    }
    if (!m_pDoc->IsOpen())
        RunFileDialogs(FileStep::Open);
    return true;
}

int CNotariumApp::ExitInstance() {
    if (m_bExited)
        return 0;
    m_bExited = true;
    m_pIdle->Stop();
    m_pFrame.reset();
    m_pDoc->DeleteContents();
    SaveSettings();
    m_lock.Release();
    return 0;
}

void CNotariumApp::LoadSettings() {
    m_settings.Load(*m_pStore, ScreenLogPixelsY());
    m_savedSettings = m_settings;
    m_recentFiles.Load(*m_pStore);
    m_nNumPreviewPages = m_pStore->GetInt(kSettingsSection, "PreviewPages").value_or(0);
}

void CNotariumApp::SaveSettings() {
    m_settings.Save(*m_pStore, &m_savedSettings);
    m_savedSettings = m_settings;
    m_recentFiles.Save(*m_pStore);
    if (m_nNumPreviewPages != 0)
        m_pStore->WriteInt(kSettingsSection, "PreviewPages", m_nNumPreviewPages);
    if (auto* qt = dynamic_cast<CQtSettingsStore*>(m_pStore))
        qt->Sync();
}

bool CNotariumApp::OpenOrCreateFile(const std::string& path, bool bCreate) {
    // A file that fails its checks leaves the open file open, which counts as success for
    // the dialog loop.
    const auto mode = bCreate ? CNotariumDoc::OpenMode::ReadWrite : CNotariumDoc::ModeToOpen(path);
    if (!CNotariumDoc::PrepareDataFile(path, bCreate, *m_pUi, mode))
        return m_pDoc->IsOpen();
    return OpenDocumentFile(path);
}

bool CNotariumApp::OpenDocumentFile(const std::string& path) {
    if (m_pDoc->IsOpen() && SameFile(path, m_pDoc->GetPathName())) {
        if (m_pFrame)
            m_pFrame->activateWindow();
        return true;
    }
    // Text that cannot be stored goes to a recovery file rather than keep the user here.
    if (m_pDoc->IsOpen() && !m_pDoc->SaveModified() && !m_pDoc->KeepUnstoredText())
        return false;
    const auto mode = CNotariumDoc::ModeToOpen(path);
    if (!m_pDoc->OnOpenDocument(path, mode))
        return false;
    if (m_pDoc->IsReadOnly())
        m_pUi->ShowNotice(Format(str::kOpenedToRead, path));
    m_recentFiles.Add(path);
    if (!m_pFrame)
        CreateMainFrame();
    m_pFrame->OnInitialUpdate();
    return true;
}

void CNotariumApp::OpenRecentFile(int index) {
    if (index < 0 || index >= m_recentFiles.GetSize())
        return;
    const std::string path = m_recentFiles[index];
    if (!OpenDocumentFile(path))
        m_recentFiles.Remove(index);
}

void CNotariumApp::CreateMainFrame() {
    CFrameContext context{*m_pDoc,
                          m_settings,
                          *m_pStore,
                          *m_pUi,
                          m_recentFiles,
                          [this](const std::string& path) { return OpenDocumentFile(path); },
                          [this] { OnFrameClosed(); },
                          m_options.openUrl,
                          m_options.backupTimes};
    m_pFrame = std::make_unique<CMainFrame>(std::move(context));
    if (m_pOwnUi)
        m_pOwnUi->Attach(m_pFrame.get(), m_pFrame->statusBar());
    RegisterCommands();
    if (m_options.bShowWindow)
        m_pFrame->ShowInitially();
}

void CNotariumApp::RegisterCommands() {
    CCommandRouter& r = m_pFrame->Router();
    r.Set(CommandLevel::App, ID_FILE_NEW, [this] { OnFileNew(); });
    r.Set(CommandLevel::App, ID_FILE_OPEN, [this] { OnFileOpen(); });
    r.Set(CommandLevel::App, ID_OPEN_NEW_WINDOW, [this] { OnOpenNewWindow(); });
    r.Set(CommandLevel::App, ID_APP_ABOUT, [this] { OnAppAbout(); });
    RegisterOptionsCommand(
        r, {m_settings, *m_pUi, *m_pStore, m_savedSettings, m_nLastOptionsPage, *m_pFrame});
    for (int i = 0; i < kRecentFileCount; ++i)
        r.Set(
            CommandLevel::App, ID_FILE_MRU_FILE1 + static_cast<UINT>(i),
            [this, i] { OpenRecentFile(i); }, [this, i] { return i < m_recentFiles.GetSize(); });
    r.Set(
        CommandLevel::Document, ID_FILE_COMPACT,
        [this] {
            m_pDoc->OnCompact(true);
            if (!m_pDoc->IsOpen()) // the reopening failed: a file must be chosen
                RunFileDialogs(FileStep::Open);
        },
        [this] { return m_pDoc->IsOpen(); });
}

QWidget* CNotariumApp::DialogParent() const {
    return m_pFrame.get();
}

std::string CNotariumApp::DialogStartDir() const {
    if (m_pDoc->IsOpen())
        return DirectoryOf(m_pDoc->GetPathName());
    return DirectoryOf(m_settings.m_strLastFile);
}

void CNotariumApp::RunFileDialogs(FileStep step) {
    for (;;) {
        if (step == FileStep::Open) {
            std::string path;
            bool bNew = false;
            if (m_pDialogs->RunOpen(DialogParent(), DialogStartDir(), path, bNew))
                step = OpenOrCreateFile(path, false) ? FileStep::Done : FileStep::Create;
            else
                step = bNew ? FileStep::Create : FileStep::Done;
        } else if (step == FileStep::Create) {
            std::string path;
            if (!m_pDialogs->RunCreate(DialogParent(), DialogStartDir(), path)) {
                step = FileStep::Done;
                continue;
            }
            const std::string full = AddDefaultExtension(path);
            // The dialog confirmed overwriting the name as typed, not the one created.
            if (full != path && fs_util::FileExists(full) &&
                m_pUi->MessageBox(
                    QFileInfo(QFile::decodeName(full.c_str())).fileName().toStdString() +
                        " already exists.\nDo you want to replace it?",
                    MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
                continue;
            step = OpenOrCreateFile(full, true) ? FileStep::Done : FileStep::Create;
        } else {
            if (m_pDoc->IsOpen())
                return;
            const bool bExit =
                !m_bFirstInstance ||
                m_pUi->MessageBox(kMustHaveFile, MB_YESNO | MB_ICONQUESTION) == IDYES;
            if (bExit) {
                if (m_pFrame)
                    QMetaObject::invokeMethod(m_pFrame.get(), "close", Qt::QueuedConnection);
                return;
            }
            step = FileStep::Open;
        }
    }
}

void CNotariumApp::OnAppAbout() {
    CAboutDlg dlg(DialogParent());
    dlg.exec();
}

void CNotariumApp::OnOpenNewWindow() {
    const QString program = QCoreApplication::applicationFilePath();
    const bool bStarted = m_options.startProgram ? m_options.startProgram(program)
                                                 : QProcess::startDetached(program, {});
    if (!bStarted)
        m_pUi->Beep();
}

void CNotariumApp::OnFrameClosed() {
    m_pDoc->DeleteContents();
    QCoreApplication::quit();
}

bool CNotariumApp::OnIdle() {
    if (!m_pFrame || m_bExited)
        return false;
    return m_pIdle->Run();
}
