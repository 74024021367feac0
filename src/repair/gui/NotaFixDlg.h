#pragma once
// The NotaFix window: "&Repair File...", "&Help" and "E&xit" along the top, the log of the
// current run below them and a progress bar along the bottom. A repair runs synchronously
// in the Repair button's handler; the window stays painted through the log's sink.

#include "platform/UiServices.h"

#include <QFontMetrics>
#include <QIcon>
#include <QMainWindow>
#include <QString>

class QFileDialog;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class CNotaFixDlg : public QMainWindow {
    Q_OBJECT
public:
    explicit CNotaFixDlg(IUiServices& ui, QWidget* parent = nullptr);

    static QIcon AppIcon();
    // Dialog units of the window's font as pixels.
    static QSize DialogUnits(const QFontMetrics& metrics, int x, int y);
    // The target rule of the save dialog: a path without any "." gets ".Nota".
    static QString WithNotaExtension(const QString& path);
    static const char* FileFilter();
    // The filters and options that both file dialogs share.
    static void SetUpFileDialog(QFileDialog& dlg);

    QPushButton* RepairButton() const { return m_pRepair; }
    QPushButton* HelpButton() const { return m_pHelp; }
    QPushButton* ExitButton() const { return m_pExit; }
    QPlainTextEdit* Log() const { return m_pLog; }
    QProgressBar* Progress() const { return m_pProgress; }
    // Margin, Repair width, button height, Help width, in pixels.
    int Margin() const { return m_m; }
    bool IsRunning() const { return m_bRunning; }

    // Runs a repair of source into target as the Repair button does after its dialogs.
    void RunRepair(const QString& source, const QString& target);

public slots:
    void OnRepairFile();
    void OnHelp();
    void OnAbout();

protected:
    // The file dialogs and the help viewer; tests put their own in place.
    virtual QString ChooseSource();
    virtual QString ChooseTarget();
    virtual void ShowHelp(const QString& page);

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    IUiServices& m_ui;
    QWidget* m_pClient;
    QPushButton* m_pRepair;
    QPushButton* m_pHelp;
    QPushButton* m_pExit;
    QPlainTextEdit* m_pLog;
    QProgressBar* m_pProgress;
    int m_m = 0, m_wR = 0, m_h = 0, m_wH = 0;
    bool m_bRunning = false;

    void CreateMenu();
    void LayOut();
    void EnableButtons(bool enable);
};
