#pragma once
// Every user setting with its default, loaded at start and written back at exit.

#include "app/HistoryList.h"
#include "app/Records.h"
#include "app/SettingsStore.h"

#include <string>

constexpr const char* kSettingsSection = "Settings";
constexpr int kMaxBackupInterval = 24 * 366; // hours
constexpr int kMaxBackupKeep = 999;

struct CAppSettings {
    LOGFONT m_lfScreenFont;       // Font
    bool m_bHasScreenFont = true; // Font is written only when a font exists
    int m_nDividerPos = 170;      // DividerPos
    std::string m_strLastFile;    // LastFile
    bool m_bFoldersHaveText = false;
    bool m_bInlineRename = true;
    bool m_bRememberTreeState = true;
    bool m_bMarkAllOpen = true;
    bool m_bConfirmDelete = true;
    int m_nTabWidth = 8;
    bool m_bWordWrap = true;
    bool m_bVarWidthFonts = false;
    bool m_bUseScreenFont = true;
    LOGFONT m_lfPrinterFont;
    LOGFONT m_lfHeaderFont;
    std::string m_strHeader = "&l&n";
    std::string m_strFooter = "&p";
    bool m_bLineBelowHeader = true;
    bool m_bLineAboveFooter = false;
    RECT m_rcPageMargins{1000, 1000, 1000, 1000};
    CHistoryList m_findHistory{"FindWhat"};
    CHistoryList m_replaceHistory{"ReplaceWith"};
    int m_nFindScope = 0;
    int m_nFindMatchCase = 0;
    int m_nFindTitlesOnly = 0;
    // Automatic backups of the open file: one when the newest is this many hours old (0:
    // never), and how many rotation keeps of the last days, weeks and months.
    int m_nBackupInterval = 24; // BackupInterval
    int m_nBackupKeepDaily = 7; // BackupKeepDaily
    int m_nBackupKeepWeekly = 4;
    int m_nBackupKeepMonthly = 6;

    // Defaults need the screen's vertical resolution (dots per inch) for font heights.
    explicit CAppSettings(int logPixelsY = 96);

    static LOGFONT DefaultScreenFont(int logPixelsY);
    static LOGFONT DefaultPrinterFont(int logPixelsY);

    // Loads every value, each falling back to its default. Binary values of the wrong size
    // are ignored (the default stays).
    void Load(ISettingsStore& store, int logPixelsY);
    // Writes the values. With `since` (the values as this program last loaded or wrote them),
    // only those that differ from it: another window of the program may have stored others
    // meanwhile, and writing back an unchanged value would undo that window's change.
    void Save(ISettingsStore& store, const CAppSettings* since = nullptr) const;
};
