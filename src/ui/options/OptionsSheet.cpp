#include "ui/options/OptionsSheet.h"

#include "app/Settings.h"
#include "ui/options/BackupsPage.h"
#include "ui/options/OptionsPages.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

COptionsSheet::COptionsSheet(const OPTIONSCONTEXT& context, QWidget* parent)
    : QDialog(parent), m_ctx(context) {
    setWindowTitle(tr("Options"));
    setProperty("helpTopic", QStringLiteral("settings.html#options")); // F1 anywhere in it
    auto* layout = new QVBoxLayout(this);
    m_pTabs = new QTabWidget(this);
    m_pTabs->setAccessibleName(tr("Options pages"));
    m_pGeneral = new CGeneralPageDlg(*m_ctx.ui, m_pTabs);
    m_pEditor = new CEditorPageDlg(*m_ctx.ui, m_ctx.logPixelsY, m_pTabs);
    m_pPrinting = new CPrintingPageDlg(*m_ctx.ui, m_ctx.logPixelsY, m_pTabs);
    m_pPrinting->m_chooseFont = m_ctx.chooseFont;
    m_pTabs->addTab(m_pGeneral, tr("General"));
    m_pTabs->addTab(m_pEditor, tr("Editor"));
    m_pBackups = new CBackupsPageDlg(*m_ctx.ui, m_pTabs);
    m_pTabs->addTab(m_pPrinting, tr("Printing"));
    m_pTabs->addTab(m_pBackups, tr("Backups"));
    layout->addWidget(m_pTabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pOk = buttons->button(QDialogButtonBox::Ok);
    m_pCancel = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    FillPages();
    int first = m_ctx.lastPage ? *m_ctx.lastPage : 0;
    if (first < 0 || first >= m_pTabs->count())
        first = 0;
    m_bSwitching = true;
    m_pTabs->setCurrentIndex(first);
    m_bSwitching = false;
    OnPageChanged(first);
    connect(m_pTabs, &QTabWidget::currentChanged, this, &COptionsSheet::OnPageChanged);
}

void COptionsSheet::FillPages() {
    const CAppSettings& s = *m_ctx.settings;
    CGeneralPageDlg& g = *m_pGeneral;
    g.m_bFoldersHaveText = s.m_bFoldersHaveText;
    g.m_bInlineRename = s.m_bInlineRename;
    g.m_bRememberTreeState = s.m_bRememberTreeState;
    g.m_bMarkAllOpen = s.m_bMarkAllOpen;
    g.m_bConfirmDelete = s.m_bConfirmDelete;
    auto visible = [this](int bar) { return m_ctx.isBarVisible ? m_ctx.isBarVisible(bar) : true; };
    g.m_bShowToolbar = visible(0);
    g.m_bShowBookmarkBar = visible(1);
    g.m_bShowStatusBar = visible(2);

    CEditorPageDlg& e = *m_pEditor;
    e.m_bWordWrap = s.m_bWordWrap;
    e.m_bVarWidthFonts = s.m_bVarWidthFonts;
    e.m_nTabWidth = s.m_nTabWidth;
    e.m_lf = s.m_lfScreenFont;

    CPrintingPageDlg& p = *m_pPrinting;
    p.m_bUseScreenFont = s.m_bUseScreenFont;
    p.m_bLineBelowHeader = s.m_bLineBelowHeader;
    p.m_bLineAboveFooter = s.m_bLineAboveFooter;
    p.m_strHeader = s.m_strHeader;
    p.m_strFooter = s.m_strFooter;
    p.m_lfPrinterFont = s.m_lfPrinterFont;
    p.m_lfHeaderFont = s.m_lfHeaderFont;

    CBackupsPageDlg& b = *m_pBackups;
    b.m_nInterval = s.m_nBackupInterval;
    b.m_nKeepDaily = s.m_nBackupKeepDaily;
    b.m_nKeepWeekly = s.m_nBackupKeepWeekly;
    b.m_nKeepMonthly = s.m_nBackupKeepMonthly;
}

void COptionsSheet::OnPageChanged(int index) {
    if (m_bSwitching)
        return;
    // Leaving a page runs its checks; a page that refuses stays. The page being left is put
    // back in front first, so that a refusal's message shows over it and not over a page
    // that has not been filled yet.
    if (m_nShown >= 0 && m_nShown != index) {
        auto* leaving = static_cast<COptionsPage*>(m_pTabs->widget(m_nShown));
        m_bSwitching = true;
        m_pTabs->setCurrentIndex(m_nShown);
        m_bSwitching = false;
        if (!leaving->Validate())
            return;
        m_bSwitching = true;
        m_pTabs->setCurrentIndex(index);
        m_bSwitching = false;
    }
    m_nShown = index;
    if (m_ctx.lastPage)
        *m_ctx.lastPage = index;
    static_cast<COptionsPage*>(m_pTabs->widget(index))->Activate();
}

void COptionsSheet::accept() {
    auto* current = static_cast<COptionsPage*>(m_pTabs->currentWidget());
    if (!current->Validate())
        return;
    TakeOver();
    QDialog::accept();
}

void COptionsSheet::TakeOver() {
    CAppSettings& s = *m_ctx.settings;
    const CGeneralPageDlg& g = *m_pGeneral;
    s.m_bFoldersHaveText = g.m_bFoldersHaveText;
    s.m_bInlineRename = g.m_bInlineRename;
    s.m_bRememberTreeState = g.m_bRememberTreeState;
    s.m_bMarkAllOpen = g.m_bMarkAllOpen;
    s.m_bConfirmDelete = g.m_bConfirmDelete;

    const CEditorPageDlg& e = *m_pEditor;
    s.m_bWordWrap = e.m_bWordWrap;
    s.m_bVarWidthFonts = e.m_bVarWidthFonts;
    s.m_nTabWidth = e.m_nTabWidth;
    s.m_lfScreenFont = e.m_lf;
    s.m_bHasScreenFont = true;

    const CPrintingPageDlg& p = *m_pPrinting;
    s.m_bUseScreenFont = p.m_bUseScreenFont;
    s.m_bLineBelowHeader = p.m_bLineBelowHeader;
    s.m_bLineAboveFooter = p.m_bLineAboveFooter;
    s.m_strHeader = p.m_strHeader;
    s.m_strFooter = p.m_strFooter;
    s.m_lfPrinterFont = p.m_lfPrinterFont;
    s.m_lfHeaderFont = p.m_lfHeaderFont;

    const CBackupsPageDlg& b = *m_pBackups;
    s.m_nBackupInterval = b.m_nInterval;
    s.m_nBackupKeepDaily = b.m_nKeepDaily;
    s.m_nBackupKeepWeekly = b.m_nKeepWeekly;
    s.m_nBackupKeepMonthly = b.m_nKeepMonthly;

    if (m_ctx.showBar) {
        m_ctx.showBar(0, g.m_bShowToolbar);
        m_ctx.showBar(1, g.m_bShowBookmarkBar);
        m_ctx.showBar(2, g.m_bShowStatusBar);
    }
    if (m_ctx.store) {
        s.Save(*m_ctx.store, m_ctx.saved);
        if (m_ctx.saved)
            *m_ctx.saved = s;
    }
    if (m_ctx.applySettings)
        m_ctx.applySettings();
}

bool RunOptionsSheet(const OPTIONSCONTEXT& context, QWidget* parent) {
    COptionsSheet sheet(context, parent);
    return sheet.exec() == QDialog::Accepted;
}
