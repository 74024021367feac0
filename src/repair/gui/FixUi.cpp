#include "repair/gui/FixUi.h"

#include "platform/Strings.h"

#include <QApplication>
#include <QMessageBox>

int CFixUi::MessageBox(const std::string& text, UINT type) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
        icon = QMessageBox::Critical;
        break;
    case MB_ICONQUESTION:
        icon = QMessageBox::Question;
        break;
    case MB_ICONEXCLAMATION:
        icon = QMessageBox::Warning;
        break;
    case MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
    }
    QMessageBox box(icon, QString::fromUtf8(str::kFixTitle), QString::fromUtf8(text),
                    QMessageBox::Ok, m_pOwner);
    // A message in the middle of a run shows the ordinary pointer while it waits.
    bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    return IDOK;
}

void CFixUi::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CFixUi::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}
