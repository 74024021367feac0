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
}

void CAppSettings::Save(ISettingsStore& s) const {
    const char* sec = kSettingsSection;
    if (m_bHasScreenFont)
        s.WriteBinary(sec, "Font", m_lfScreenFont.ToBytes());
    s.WriteInt(sec, "DividerPos", m_nDividerPos);
    s.WriteString(sec, "LastFile", m_strLastFile);
    s.WriteInt(sec, "FoldersHaveText", m_bFoldersHaveText);
    s.WriteInt(sec, "InlineRename", m_bInlineRename);
    s.WriteInt(sec, "RememberTreeState", m_bRememberTreeState);
    s.WriteInt(sec, "MarkAllOpen", m_bMarkAllOpen);
    s.WriteInt(sec, "ConfirmDelete", m_bConfirmDelete);
    s.WriteInt(sec, "TabWidth", m_nTabWidth);
    s.WriteInt(sec, "WordWrap", m_bWordWrap);
    s.WriteInt(sec, "VarWidthFonts", m_bVarWidthFonts);
    s.WriteInt(sec, "UseScreenFont", m_bUseScreenFont);
    s.WriteBinary(sec, "PrinterFont", m_lfPrinterFont.ToBytes());
    s.WriteBinary(sec, "HeaderFont", m_lfHeaderFont.ToBytes());
    s.WriteString(sec, "Header", m_strHeader);
    s.WriteString(sec, "Footer", m_strFooter);
    s.WriteInt(sec, "LineBelowHeader", m_bLineBelowHeader);
    s.WriteInt(sec, "LineAboveFooter", m_bLineAboveFooter);
    s.WriteBinary(sec, "PageMargins", m_rcPageMargins.ToBytes());
    m_findHistory.Save(s, sec);
    m_replaceHistory.Save(s, sec);
    s.WriteInt(sec, "FindScope", m_nFindScope);
    s.WriteInt(sec, "FindMatchCase", m_nFindMatchCase);
    s.WriteInt(sec, "FindTitlesOnly", m_nFindTitlesOnly);
}
