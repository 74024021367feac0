#pragma once
// IUiServices for NotaFix: message boxes titled "NotaFix" with an OK button, and the wait
// cursor. NotaFix has no status bar; its progress is the window's own bar.

#include "platform/UiServices.h"

#include <QPointer>
#include <QWidget>

class CFixUi : public IUiServices {
public:
    void SetOwner(QWidget* owner) { m_pOwner = owner; }

    int MessageBox(const std::string& text, UINT type) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void SetStatusText(const std::string&) override {}
    void BeginProgress(int, int) override {}
    void SetProgressPos(int) override {}
    void EndProgress() override {}

private:
    QPointer<QWidget> m_pOwner;
};
