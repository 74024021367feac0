#pragma once
// The three pages of the Options sheet. Each page holds its values as members, shows them in
// its controls when it is first activated, and takes them back from the controls when it is
// left or the sheet is closed with OK (Validate). They read and write no setting themselves.

#include "app/Records.h"

#include <QWidget>
#include <functional>
#include <string>

class IUiServices;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QPushButton;
class CFontNameCombo;
class CFontSizeCombo;
class CFontSample;

// The common part: activation once, validation on leaving.
class COptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit COptionsPage(IUiServices& ui, QWidget* parent = nullptr);
    // Fills the controls the first time the page is shown.
    void Activate();
    bool WasActivated() const { return m_bActivated; }
    // Checks the controls and takes their values into the members; false (with the message
    // shown and the offending control focused) keeps the page open.
    virtual bool Validate() { return true; }

protected:
    IUiServices& m_ui;
    virtual void OnInitDialog() = 0;
    bool Refuse(const char* message, QWidget* focus);

private:
    bool m_bActivated = false;
};

class CGeneralPageDlg : public COptionsPage {
    Q_OBJECT
public:
    explicit CGeneralPageDlg(IUiServices& ui, QWidget* parent = nullptr);
    bool Validate() override;

    bool m_bFoldersHaveText = false;
    bool m_bInlineRename = false;
    bool m_bRememberTreeState = false;
    bool m_bMarkAllOpen = false;
    bool m_bConfirmDelete = false;
    bool m_bShowToolbar = false;
    bool m_bShowBookmarkBar = false;
    bool m_bShowStatusBar = false;

    // The check boxes in the order of the members above.
    QCheckBox* Check(int i) const { return m_pChecks[i]; }
    static constexpr int kCheckCount = 8;

protected:
    void OnInitDialog() override;

private:
    QCheckBox* m_pChecks[kCheckCount] = {};
    bool* Member(int i);
};

class CEditorPageDlg : public COptionsPage {
    Q_OBJECT
public:
    CEditorPageDlg(IUiServices& ui, int logPixelsY, QWidget* parent = nullptr);
    bool Validate() override;

    bool m_bWordWrap = false;
    bool m_bVarWidthFonts = false;
    int m_nTabWidth = 8;
    LOGFONT m_lf; // the screen font

    // The font height for the size box's present text (the last size shown when unusable).
    LONG HeightFromSizeBox() const;

    QLineEdit* TabWidthBox() const { return m_pTabWidth; }
    QToolButton* TabUp() const { return m_pUp; }
    QToolButton* TabDown() const { return m_pDown; }
    QCheckBox* WordWrapBox() const { return m_pWordWrap; }
    QCheckBox* VarWidthBox() const { return m_pVarWidth; }
    CFontNameCombo* NameBox() const { return m_pName; }
    CFontSizeCombo* SizeBox() const { return m_pSize; }
    CFontSample* Sample() const { return m_pSample; }

    // The control notifications, callable as the controls call them.
    void OnVarWidthClicked();
    void OnNameChanged();
    void OnSizeChosen();
    void OnSizeLeft();

    static constexpr const char* kFontMustMatch =
        "The selected font must match a name from the font list.";

protected:
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_nLogPixelsY;
    QLineEdit* m_pTabWidth = nullptr;
    QToolButton* m_pUp = nullptr;
    QToolButton* m_pDown = nullptr;
    QCheckBox* m_pWordWrap = nullptr;
    QCheckBox* m_pVarWidth = nullptr;
    CFontNameCombo* m_pName = nullptr;
    CFontSizeCombo* m_pSize = nullptr;
    CFontSample* m_pSample = nullptr;

    void StepTabWidth(int delta);
    void UpdateSample();
};

class CPrintingPageDlg : public COptionsPage {
    Q_OBJECT
public:
    CPrintingPageDlg(IUiServices& ui, int logPixelsY, QWidget* parent = nullptr);
    bool Validate() override;

    bool m_bUseScreenFont = false;
    bool m_bLineBelowHeader = false;
    bool m_bLineAboveFooter = false;
    std::string m_strHeader;
    std::string m_strFooter;
    LOGFONT m_lfPrinterFont;
    LOGFONT m_lfHeaderFont;

    // The font dialog: true when the user chose a font (lf then holds it). Empty: the
    // platform's font dialog.
    std::function<bool(LOGFONT& lf, QWidget* parent)> m_chooseFont;

    static constexpr int kMaxPatternChars = 256;

    QCheckBox* UseScreenFontBox() const { return m_pUseScreen; }
    QLabel* PrinterFontText() const { return m_pPrinterText; }
    QPushButton* PrinterFontButton() const { return m_pPrinterButton; }
    QLabel* HeaderFontText() const { return m_pHeaderText; }
    QPushButton* HeaderFontButton() const { return m_pHeaderButton; }
    QLineEdit* HeaderBox() const { return m_pHeader; }
    QLineEdit* FooterBox() const { return m_pFooter; }
    QCheckBox* LineBelowHeaderBox() const { return m_pLineBelow; }
    QCheckBox* LineAboveFooterBox() const { return m_pLineAbove; }

protected:
    void OnInitDialog() override;

private:
    int m_nLogPixelsY;
    QCheckBox* m_pUseScreen = nullptr;
    QLabel* m_pPrinterText = nullptr;
    QPushButton* m_pPrinterButton = nullptr;
    QLabel* m_pHeaderText = nullptr;
    QPushButton* m_pHeaderButton = nullptr;
    QLineEdit* m_pHeader = nullptr;
    QLineEdit* m_pFooter = nullptr;
    QCheckBox* m_pLineBelow = nullptr;
    QCheckBox* m_pLineAbove = nullptr;

    void UpdateRules();
    void ChangeFont(LOGFONT& lf, QLabel* description);
    void ShowDescriptions();
};

// The platform's font dialog for a stored font record (no effects choices).
bool ChooseFontDialog(LOGFONT& lf, int logPixelsY, QWidget* parent);
