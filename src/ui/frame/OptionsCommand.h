#pragma once
// The Options command of the application: the Options sheet over the program's settings and
// the main window's bars. OK stores the settings and has the window apply them at once
// (CMainFrame::ApplySettings); Cancel changes nothing but the page the sheet reopens on.

class CCommandRouter;
class CMainFrame;
class ISettingsStore;
class IUiServices;
struct CAppSettings;
struct OPTIONSCONTEXT;

// What the Options command works on; every reference must outlive the registration.
struct OptionsTarget {
    CAppSettings& settings;
    IUiServices& ui;
    ISettingsStore& store;
    CAppSettings& saved; // the values as last loaded or written
    int& lastPage;       // the page the sheet opens on, kept up to date
    CMainFrame& frame;
};

// The sheet's context for target: bars of target.frame, its one apply step.
OPTIONSCONTEXT MakeOptionsContext(const OptionsTarget& target);

// Registers Options (F12) at the application's level; always enabled.
void RegisterOptionsCommand(CCommandRouter& router, OptionsTarget target);
