#pragma once
// What the main window is given to work with: the document, the settings and where they are
// kept, the user interface services, the recent files, and what the application does for it
// (open a dropped file, end when the window has closed). The frame knows nothing else of the
// application object.

#include "ui/backup/AutoBackup.h"

#include <QUrl>

#include <functional>
#include <string>

class CNotariumDoc;
class CRecentFileList;
class ISettingsStore;
class IUiServices;
struct CAppSettings;

struct CFrameContext {
    CNotariumDoc& doc;
    CAppSettings& settings;
    ISettingsStore& store;
    IUiServices& ui;
    CRecentFileList& recentFiles;
    // Opens path as the document (a file dropped on the window); true when it is open.
    std::function<bool(const std::string& path)> openFile;
    // The window has closed for good.
    std::function<void()> onClosed;
    // Shows an address in the user's browser; empty: the desktop's own (QDesktopServices).
    std::function<bool(const QUrl& url)> openUrl;
    // When automatic backups look whether one is due.
    CAutoBackup::Times backupTimes = {};
};
