#pragma once
// IUiServices for the window: message boxes titled "Notarium", the wait cursor, the status
// bar's message pane and a progress bar beside it.

#include "platform/UiServices.h"

#include <QObject>
#include <QPointer>

class QLabel;
class QProgressBar;
class QStatusBar;
class QWidget;

class CQtUiServices : public QObject, public IUiServices {
    Q_OBJECT
public:
    explicit CQtUiServices(QObject* parent = nullptr);
    ~CQtUiServices() override;

    // The window that owns message boxes and the status bar whose pane 0 shows texts.
    void Attach(QWidget* mainWindow, QStatusBar* statusBar);

    int MessageBox(const std::string& text, UINT type) override;
    void Beep() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void SetStatusText(const std::string& text) override;
    // A message box: a status text would be gone at the next idle prompt.
    void ShowNotice(const std::string& text) override;
    void BeginProgress(int lower, int upper) override;
    void SetProgressPos(int pos) override;
    void EndProgress() override;
    bool PollEscape() override;

    bool IsBusy() const { return m_nWaitDepth > 0; }
    QLabel* MessagePane() const { return m_pMessagePane; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_pMainWindow;
    QPointer<QStatusBar> m_pStatusBar;
    QLabel* m_pMessagePane = nullptr;
    QProgressBar* m_pProgress = nullptr;
    int m_nWaitDepth = 0;
    bool m_bEscapeSeen = false;
};
