#include "ui/common/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon IconFor(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int ShowMessageBox(QWidget* parent, const QString& title, const QString& text, UINT type) {
    QMessageBox box(IconFor(type), title, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // Interrupted work must not hide the question behind a busy cursor.
    const bool bBusy = QApplication::overrideCursor() != nullptr;
    if (bBusy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (bBusy)
        QApplication::restoreOverrideCursor();
    switch (answer) {
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Ok:
        return IDOK;
    default: // closed by the window's close button or Escape
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO
               : (type & MB_TYPEMASK) == MB_OK  ? IDOK
                                                : IDCANCEL;
    }
}
