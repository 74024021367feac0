#pragma once
// The Options sheet: General, Editor, Printing and Backups pages, opening on the page last shown
// (also after Cancel). OK takes every value back into the settings, stores them, shows or hides the
// bars and calls the window's apply step once; Cancel changes nothing but the last page.

#include <QDialog>
#include <functional>

#include "app/Records.h"

struct CAppSettings;
class ISettingsStore;
class IUiServices;
class QTabWidget;
class QPushButton;
class CGeneralPageDlg;
class CEditorPageDlg;
class CPrintingPageDlg;
class CBackupsPageDlg;

// What the sheet needs of the program.
struct OPTIONSCONTEXT {
    CAppSettings* settings = nullptr; // edited on OK
    IUiServices* ui = nullptr;        // validation messages
    int* lastPage = nullptr;          // the page to open on; kept up to date
    ISettingsStore* store = nullptr;  // when set, the settings are written to it on OK
    // When set with store: the values last written; only what differs is written, and it is
    // brought up to date.
    CAppSettings* saved = nullptr;
    int logPixelsY = 96; // the screen's resolution for font sizes
    // Bars: 0 main toolbar, 1 bookmarks toolbar, 2 status bar. Empty: shown, not changeable.
    std::function<bool(int bar)> isBarVisible;
    std::function<void(int bar, bool show)> showBar;
    // The window's single apply step: panes, tree and printing take the new settings.
    std::function<void()> applySettings;
    // The font dialog of the Printing page; empty: the platform's.
    std::function<bool(LOGFONT& lf, QWidget* parent)> chooseFont;
};

class COptionsSheet : public QDialog {
    Q_OBJECT
public:
    COptionsSheet(const OPTIONSCONTEXT& context, QWidget* parent = nullptr);

    CGeneralPageDlg& General() const { return *m_pGeneral; }
    CEditorPageDlg& Editor() const { return *m_pEditor; }
    CPrintingPageDlg& Printing() const { return *m_pPrinting; }
    CBackupsPageDlg& Backups() const { return *m_pBackups; }
    QTabWidget* Tabs() const { return m_pTabs; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    void accept() override;

private:
    OPTIONSCONTEXT m_ctx;
    QTabWidget* m_pTabs = nullptr;
    CGeneralPageDlg* m_pGeneral = nullptr;
    CEditorPageDlg* m_pEditor = nullptr;
    CPrintingPageDlg* m_pPrinting = nullptr;
    CBackupsPageDlg* m_pBackups = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
    int m_nShown = -1;
    bool m_bSwitching = false;

    void FillPages();
    void OnPageChanged(int index);
    void TakeOver();
};

// Runs the sheet modally; true after OK.
bool RunOptionsSheet(const OPTIONSCONTEXT& context, QWidget* parent);
