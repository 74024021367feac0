#include "cli/ConsoleUi.h"

#include <ostream>

int CConsoleUi::MessageBox(const std::string& text, UINT type) {
    m_err << text << '\n';
    UINT buttons = type & MB_TYPEMASK;
    if (buttons == MB_YESNO || buttons == MB_YESNOCANCEL)
        return IDYES;
    UINT icon = type & MB_ICONMASK;
    if (icon != MB_ICONQUESTION && icon != MB_ICONINFORMATION)
        ++m_nErrors;
    return IDOK;
}

void CConsoleUi::ShowNotice(const std::string& text) {
    m_err << text << '\n';
}
