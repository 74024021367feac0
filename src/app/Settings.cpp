#include "app/Settings.h"

CAppSettings::CAppSettings(int logPixelsY)
    : m_lfScreenFont(DefaultScreenFont(logPixelsY)),
      m_lfPrinterFont(DefaultPrinterFont(logPixelsY)), m_lfHeaderFont(m_lfPrinterFont) {}

LOGFONT CAppSettings::DefaultScreenFont(int logPixelsY) {
    // A 10.0-point Courier, as a font made from a point size (tenths of a point).
    LOGFONT lf;
    lf.lfHeight = -MulDiv(100, logPixelsY, 720);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.SetFaceName("Courier");
    return lf;
}

LOGFONT CAppSettings::DefaultPrinterFont(int logPixelsY) {
    LOGFONT lf;
    lf.lfHeight = -MulDiv(10, logPixelsY, 72);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.SetFaceName("Arial");
    return lf;
}

namespace {

int GetInt(ISettingsStore& s, const char* name, int def) {
    return s.GetInt(kSettingsSection, name).value_or(def);
}
bool GetBool(ISettingsStore& s, const char* name, bool def) {
    return GetInt(s, name, def ? 1 : 0) != 0;
}
std::string GetString(ISettingsStore& s, const char* name, const std::string& def) {
    return s.GetString(kSettingsSection, name).value_or(def);
}
template <typename Record> Record GetRecord(ISettingsStore& s, const char* name, Record def) {
    if (auto bytes = s.GetBinary(kSettingsSection, name))
        def.FromBytes(*bytes); // a value of the wrong size leaves the default
    return def;
}

} // namespace

void CAppSettings::Load(ISettingsStore& s, int logPixelsY) {
    m_lfScreenFont = GetRecord(s, "Font", DefaultScreenFont(logPixelsY));
    m_bHasScreenFont = true;
    m_nDividerPos = GetInt(s, "DividerPos", 170);
    m_strLastFile = GetString(s, "LastFile", "");
    m_bFoldersHaveText = GetBool(s, "FoldersHaveText", false);
    m_bInlineRename = GetBool(s, "InlineRename", true);
    m_bRememberTreeState = GetBool(s, "RememberTreeState", true);
    m_bMarkAllOpen = GetBool(s, "MarkAllOpen", true);
    m_bConfirmDelete = GetBool(s, "ConfirmDelete", true);
    m_nTabWidth = GetInt(s, "TabWidth", 8);
    m_bWordWrap = GetBool(s, "WordWrap", true);
    m_bVarWidthFonts = GetBool(s, "VarWidthFonts", false);
    m_bUseScreenFont = GetBool(s, "UseScreenFont", true);
    m_lfPrinterFont = GetRecord(s, "PrinterFont", DefaultPrinterFont(logPixelsY));
    m_lfHeaderFont = GetRecord(s, "HeaderFont", m_lfPrinterFont);
    m_strHeader = GetString(s, "Header", "&l&n");
    m_strFooter = GetString(s, "Footer", "&p");
    m_bLineBelowHeader = GetBool(s, "LineBelowHeader", true);
    m_bLineAboveFooter = GetBool(s, "LineAboveFooter", false);
    m_rcPageMargins = GetRecord(s, "PageMargins", RECT{1000, 1000, 1000, 1000});
    m_findHistory.Load(s, kSettingsSection);
    m_replaceHistory.Load(s, kSettingsSection);
    m_nFindScope = GetInt(s, "FindScope", 0);
    m_nFindMatchCase = GetInt(s, "FindMatchCase", 0);
    m_nFindTitlesOnly = GetInt(s, "FindTitlesOnly", 0);
    // Values no one could have meant fall back to their defaults.
    auto inRange = [&](const char* name, int def, int most) {
        const int v = GetInt(s, name, def);
        return v < 0 || v > most ? def : v;
    };
    m_nBackupInterval = inRange("BackupInterval", 24, kMaxBackupInterval);
    m_nBackupKeepDaily = inRange("BackupKeepDaily", 7, kMaxBackupKeep);
    m_nBackupKeepWeekly = inRange("BackupKeepWeekly", 4, kMaxBackupKeep);
    m_nBackupKeepMonthly = inRange("BackupKeepMonthly", 6, kMaxBackupKeep);
}

void CAppSettings::Save(ISettingsStore& s, const CAppSettings* since) const {
    const char* sec = kSettingsSection;
    // True when the member m (of this) is to be written: it changed, or the store lacks it
    // (so that after one run every value is there to be found and edited).
    auto changed = [&](auto CAppSettings::*m, bool present) {
        return !since || !present || !(this->*m == since->*m);
    };
    auto putInt = [&](auto CAppSettings::*m, const char* key) {
        if (changed(m, since && s.GetInt(sec, key)))
            s.WriteInt(sec, key, static_cast<int>(this->*m));
    };
    auto putString = [&](std::string CAppSettings::*m, const char* key) {
        if (changed(m, since && s.GetString(sec, key)))
            s.WriteString(sec, key, this->*m);
    };
    auto putRecord = [&](auto CAppSettings::*m, const char* key) {
        if (changed(m, since && s.GetBinary(sec, key)))
            s.WriteBinary(sec, key, (this->*m).ToBytes());
    };
    if (m_bHasScreenFont)
        putRecord(&CAppSettings::m_lfScreenFont, "Font");
    putInt(&CAppSettings::m_nDividerPos, "DividerPos");
    putString(&CAppSettings::m_strLastFile, "LastFile");
    putInt(&CAppSettings::m_bFoldersHaveText, "FoldersHaveText");
    putInt(&CAppSettings::m_bInlineRename, "InlineRename");
    putInt(&CAppSettings::m_bRememberTreeState, "RememberTreeState");
    putInt(&CAppSettings::m_bMarkAllOpen, "MarkAllOpen");
    putInt(&CAppSettings::m_bConfirmDelete, "ConfirmDelete");
    putInt(&CAppSettings::m_nTabWidth, "TabWidth");
    putInt(&CAppSettings::m_bWordWrap, "WordWrap");
    putInt(&CAppSettings::m_bVarWidthFonts, "VarWidthFonts");
    putInt(&CAppSettings::m_bUseScreenFont, "UseScreenFont");
    putRecord(&CAppSettings::m_lfPrinterFont, "PrinterFont");
    putRecord(&CAppSettings::m_lfHeaderFont, "HeaderFont");
    putString(&CAppSettings::m_strHeader, "Header");
    putString(&CAppSettings::m_strFooter, "Footer");
    putInt(&CAppSettings::m_bLineBelowHeader, "LineBelowHeader");
    putInt(&CAppSettings::m_bLineAboveFooter, "LineAboveFooter");
    putRecord(&CAppSettings::m_rcPageMargins, "PageMargins");
    if (changed(&CAppSettings::m_findHistory, true))
        m_findHistory.Save(s, sec);
    if (changed(&CAppSettings::m_replaceHistory, true))
        m_replaceHistory.Save(s, sec);
    putInt(&CAppSettings::m_nFindScope, "FindScope");
    putInt(&CAppSettings::m_nFindMatchCase, "FindMatchCase");
    putInt(&CAppSettings::m_nFindTitlesOnly, "FindTitlesOnly");
    putInt(&CAppSettings::m_nBackupInterval, "BackupInterval");
    putInt(&CAppSettings::m_nBackupKeepDaily, "BackupKeepDaily");
    putInt(&CAppSettings::m_nBackupKeepWeekly, "BackupKeepWeekly");
    putInt(&CAppSettings::m_nBackupKeepMonthly, "BackupKeepMonthly");
}
