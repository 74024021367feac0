#pragma once
// The message box of both programs (Notarium's and NotaFix's IUiServices): the text as plain
// text, buttons and icon from the MB_ style bits, the answer as IDOK, IDCANCEL, IDYES or IDNO.
// While a long operation shows the wait cursor, the box shows the ordinary pointer.

#include "platform/UiServices.h"

#include <QString>

class QWidget;

int ShowMessageBox(QWidget* parent, const QString& title, const QString& text, UINT type);
