#include "repair/gui/FixUi.h"

#include "platform/Strings.h"
#include "ui/common/MessageBox.h"

#include <QApplication>

int CFixUi::MessageBox(const std::string& text, UINT type) {
    return ShowMessageBox(m_pOwner, QString::fromUtf8(str::kFixTitle), QString::fromUtf8(text),
                          type);
}

void CFixUi::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CFixUi::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}
