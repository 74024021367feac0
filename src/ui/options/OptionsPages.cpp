#include "ui/options/OptionsPages.h"

#include "app/FontSizes.h"
#include "app/PrintGeometry.h"
#include "platform/UiServices.h"
#include "ui/common/FontConvert.h"
#include "ui/options/FontPickers.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kMinTab = 1;
constexpr int kMaxTab = 16;
constexpr const char* kEnterInteger = "Please enter an integer.";
constexpr const char* kEnterBetween = "Please enter an integer between 1 and 16.";
constexpr const char* kNoMoreThan = "Please enter no more than 256 characters.";

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

// ---- common ---------------------------------------------------------------------------------

COptionsPage::COptionsPage(IUiServices& ui, QWidget* parent) : QWidget(parent), m_ui(ui) {}

void COptionsPage::Activate() {
    if (m_bActivated)
        return;
    m_bActivated = true;
    OnInitDialog();
}

bool COptionsPage::Refuse(const char* message, QWidget* focus) {
    m_ui.MessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    if (focus)
        focus->setFocus();
    return false;
}

// ---- General --------------------------------------------------------------------------------

CGeneralPageDlg::CGeneralPageDlg(IUiServices& ui, QWidget* parent) : COptionsPage(ui, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* general = new QGroupBox(tr("General"), this);
    auto* generalLayout = new QVBoxLayout(general);
    auto* bars = new QGroupBox(tr("Toolbars"), this);
    auto* barsLayout = new QVBoxLayout(bars);
    const char* texts[kCheckCount] = {"&Folders Have Text",
                                      "&In-line Rename",
                                      "&Remember Tree State",
                                      "&Open Bookmarks After 'Mark All'",
                                      "&Confirm Before Deleting Items",
                                      "Show &Toolbar",
                                      "Show &Bookmarks Toolbar",
                                      "Show &Status Bar"};
    for (int i = 0; i < kCheckCount; ++i) {
        QGroupBox* group = i < 5 ? general : bars;
        m_pChecks[i] = new QCheckBox(tr(texts[i]), group);
        (i < 5 ? generalLayout : barsLayout)->addWidget(m_pChecks[i]);
    }
    layout->addWidget(general);
    layout->addWidget(bars);
    layout->addStretch();
}

bool* CGeneralPageDlg::Member(int i) {
    bool* members[kCheckCount] = {&m_bFoldersHaveText, &m_bInlineRename,  &m_bRememberTreeState,
                                  &m_bMarkAllOpen,     &m_bConfirmDelete, &m_bShowToolbar,
                                  &m_bShowBookmarkBar, &m_bShowStatusBar};
    return members[i];
}

void CGeneralPageDlg::OnInitDialog() {
    for (int i = 0; i < kCheckCount; ++i)
        m_pChecks[i]->setChecked(*Member(i));
}

bool CGeneralPageDlg::Validate() {
    if (WasActivated())
        for (int i = 0; i < kCheckCount; ++i)
            *Member(i) = m_pChecks[i]->isChecked();
    return true;
}

// ---- Editor ---------------------------------------------------------------------------------

CEditorPageDlg::CEditorPageDlg(IUiServices& ui, int logPixelsY, QWidget* parent)
    : COptionsPage(ui, parent), m_nLogPixelsY(logPixelsY > 0 ? logPixelsY : 96) {
    auto* grid = new QGridLayout(this);
    auto* tabLabel = new QLabel(tr("&Tab Width:"), this);
    m_pTabWidth = new QLineEdit(this);
    m_pTabWidth->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), this));
    m_pTabWidth->setMaximumWidth(60);
    m_pTabWidth->installEventFilter(this);
    tabLabel->setBuddy(m_pTabWidth);
    m_pUp = new QToolButton(this);
    m_pUp->setArrowType(Qt::UpArrow);
    m_pUp->setAutoRepeat(true);
    m_pUp->setAccessibleName(tr("Increase tab width"));
    m_pDown = new QToolButton(this);
    m_pDown->setArrowType(Qt::DownArrow);
    m_pDown->setAutoRepeat(true);
    m_pDown->setAccessibleName(tr("Decrease tab width"));
    connect(m_pUp, &QToolButton::clicked, this, [this] { StepTabWidth(1); });
    connect(m_pDown, &QToolButton::clicked, this, [this] { StepTabWidth(-1); });
    auto* tabRow = new QHBoxLayout;
    tabRow->addWidget(m_pTabWidth);
    tabRow->addWidget(m_pUp);
    tabRow->addWidget(m_pDown);
    tabRow->addStretch();
    grid->addWidget(tabLabel, 0, 0);
    grid->addLayout(tabRow, 0, 1);
    m_pWordWrap = new QCheckBox(tr("&Word Wrap"), this);
    grid->addWidget(m_pWordWrap, 1, 0, 1, 2);

    auto* nameLabel = new QLabel(tr("&Font:"), this);
    m_pName = new CFontNameCombo(this);
    nameLabel->setBuddy(m_pName);
    auto* sizeLabel = new QLabel(tr("&Size:"), this);
    m_pSize = new CFontSizeCombo(this);
    sizeLabel->setBuddy(m_pSize);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(m_pName, 2, 1);
    grid->addWidget(sizeLabel, 3, 0);
    grid->addWidget(m_pSize, 3, 1);
    m_pVarWidth = new QCheckBox(tr("List &Variable-Width Fonts"), this);
    grid->addWidget(m_pVarWidth, 4, 0, 1, 2);
    auto* sampleGroup = new QGroupBox(tr("Sample"), this);
    auto* sampleLayout = new QVBoxLayout(sampleGroup);
    m_pSample = new CFontSample(sampleGroup);
    sampleLayout->addWidget(m_pSample);
    grid->addWidget(sampleGroup, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);

    connect(m_pVarWidth, &QCheckBox::clicked, this, &CEditorPageDlg::OnVarWidthClicked);
    connect(m_pName, &QComboBox::activated, this, &CEditorPageDlg::OnNameChanged);
    m_pName->installEventFilter(this);
    connect(m_pSize, &QComboBox::activated, this, &CEditorPageDlg::OnSizeChosen);
    m_pSize->installEventFilter(this);
}

void CEditorPageDlg::OnInitDialog() {
    m_pTabWidth->setText(QString::number(m_nTabWidth));
    m_pWordWrap->setChecked(m_bWordWrap);
    m_pVarWidth->setChecked(m_bVarWidthFonts);
    m_pSize->LimitText(4);
    m_pName->m_nFixedOnly = 500; // forces the first filling
    m_pName->setEditText(Text(std::string(m_lf.lfFaceName, strnlen(m_lf.lfFaceName, LF_FACESIZE))));
    OnVarWidthClicked();
}

bool CEditorPageDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == m_pName)
            OnNameChanged();
        else if (watched == m_pSize)
            OnSizeLeft();
    } else if (watched == m_pTabWidth && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepTabWidth(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return COptionsPage::eventFilter(watched, event);
}

void CEditorPageDlg::StepTabWidth(int delta) {
    bool ok = false;
    int value = m_pTabWidth->text().toInt(&ok);
    if (!ok)
        value = m_nTabWidth;
    m_pTabWidth->setText(QString::number(std::clamp(value + delta, kMinTab, kMaxTab)));
}

void CEditorPageDlg::OnVarWidthClicked() {
    const bool fixedOnly = !m_pVarWidth->isChecked();
    if (m_pName->m_nFixedOnly == (fixedOnly ? 1 : 0))
        return;
    m_pName->FillFontList(fixedOnly);
    const QString face = Text(std::string(m_lf.lfFaceName, strnlen(m_lf.lfFaceName, LF_FACESIZE)));
    m_pName->SelectFont(face, m_lf.lfCharSet);
    if (m_pName->FindExact(m_pName->GetBoxText()) < 0) {
        // A face this system does not have (a record made elsewhere, or the classic default
        // "Courier"): show the face the font really resolves to, which is what the pane shows.
        const QString resolved =
            FamilyName(QFontInfo(LogFontToQFont(m_lf, m_nLogPixelsY)).family());
        m_pName->SelectFont(resolved, DEFAULT_CHARSET);
        if (m_pName->FindExact(m_pName->GetBoxText()) < 0)
            m_pName->SelectByText(face, true); // still unknown: the user must choose
    }
    OnNameChanged();
}

void CEditorPageDlg::OnNameChanged() {
    if (!m_pName->GetSelectedFont(m_lf))
        return;
    m_pSize->FillSizes(*m_pName);
    m_pSize->SetSizeFromFont(m_lf, m_nLogPixelsY);
    UpdateSample();
}

void CEditorPageDlg::OnSizeChosen() {
    UpdateSample();
}

void CEditorPageDlg::OnSizeLeft() {
    m_lf.lfHeight = HeightFromSizeBox();
    m_pSize->SetSizeFromFont(m_lf, m_nLogPixelsY);
    UpdateSample();
}

LONG CEditorPageDlg::HeightFromSizeBox() const {
    return fontsize::HeightFromSize(m_pSize->GetSize(), m_pSize->LastSize(), m_nLogPixelsY);
}

void CEditorPageDlg::UpdateSample() {
    m_lf.lfHeight = HeightFromSizeBox();
    m_lf.lfWidth = 0;
    m_lf.lfWeight = FW_NORMAL;
    m_pSample->SetLogFont(m_lf);
}

bool CEditorPageDlg::Validate() {
    if (!WasActivated())
        return true;
    // OK by Enter leaves no box: the size typed counts first, as leaving the box would make
    // it, before the name's refilling of the size box could put the old size back.
    OnSizeLeft();
    if (m_pName->FindExact(m_pName->GetBoxText()) < 0) {
        // A typed beginning of a listed name counts as that name.
        OnNameChanged();
        if (m_pName->FindExact(m_pName->GetBoxText()) < 0)
            return Refuse(kFontMustMatch, m_pName);
    }
    const QString tab = m_pTabWidth->text().trimmed();
    bool ok = false;
    const int width = tab.toInt(&ok);
    if (!ok)
        return Refuse(kEnterInteger, m_pTabWidth);
    if (width < kMinTab || width > kMaxTab)
        return Refuse(kEnterBetween, m_pTabWidth);
    OnNameChanged();
    OnSizeLeft();
    m_nTabWidth = width;
    m_bWordWrap = m_pWordWrap->isChecked();
    m_bVarWidthFonts = m_pVarWidth->isChecked();
    return true;
}

// ---- Printing -------------------------------------------------------------------------------

CPrintingPageDlg::CPrintingPageDlg(IUiServices& ui, int logPixelsY, QWidget* parent)
    : COptionsPage(ui, parent), m_nLogPixelsY(logPixelsY > 0 ? logPixelsY : 96) {
    auto* layout = new QVBoxLayout(this);

    auto* printerGroup = new QGroupBox(tr("Printer Font"), this);
    auto* printerLayout = new QVBoxLayout(printerGroup);
    m_pUseScreen = new QCheckBox(tr("&Use Same Font Used on Screen"), printerGroup);
    printerLayout->addWidget(m_pUseScreen);
    auto* printerRow = new QHBoxLayout;
    m_pPrinterText = new QLabel(printerGroup);
    m_pPrinterButton = new QPushButton(tr("&Change..."), printerGroup);
    printerRow->addWidget(m_pPrinterText, 1);
    printerRow->addWidget(m_pPrinterButton);
    printerLayout->addLayout(printerRow);
    layout->addWidget(printerGroup);

    auto* hfGroup = new QGroupBox(tr("Headers/Footers"), this);
    auto* hfLayout = new QGridLayout(hfGroup);
    auto* fontGroup = new QGroupBox(tr("Font"), hfGroup);
    auto* fontRow = new QHBoxLayout(fontGroup);
    m_pHeaderText = new QLabel(fontGroup);
    m_pHeaderButton = new QPushButton(tr("Cha&nge..."), fontGroup);
    fontRow->addWidget(m_pHeaderText, 1);
    fontRow->addWidget(m_pHeaderButton);
    hfLayout->addWidget(fontGroup, 0, 0, 1, 2);
    auto* headerLabel = new QLabel(tr("&Header:"), hfGroup);
    m_pHeader = new QLineEdit(hfGroup);
    headerLabel->setBuddy(m_pHeader);
    auto* footerLabel = new QLabel(tr("&Footer:"), hfGroup);
    m_pFooter = new QLineEdit(hfGroup);
    footerLabel->setBuddy(m_pFooter);
    hfLayout->addWidget(headerLabel, 1, 0);
    hfLayout->addWidget(m_pHeader, 1, 1);
    hfLayout->addWidget(footerLabel, 2, 0);
    hfLayout->addWidget(m_pFooter, 2, 1);
    m_pLineBelow = new QCheckBox(tr("Line &Below Header"), hfGroup);
    m_pLineAbove = new QCheckBox(tr("Line &Above Footer"), hfGroup);
    hfLayout->addWidget(m_pLineBelow, 3, 0, 1, 2);
    hfLayout->addWidget(m_pLineAbove, 4, 0, 1, 2);
    layout->addWidget(hfGroup);
    layout->addStretch();

    connect(m_pUseScreen, &QCheckBox::toggled, this, &CPrintingPageDlg::UpdateRules);
    connect(m_pHeader, &QLineEdit::textChanged, this, &CPrintingPageDlg::UpdateRules);
    connect(m_pFooter, &QLineEdit::textChanged, this, &CPrintingPageDlg::UpdateRules);
    connect(m_pPrinterButton, &QPushButton::clicked, this,
            [this] { ChangeFont(m_lfPrinterFont, m_pPrinterText); });
    connect(m_pHeaderButton, &QPushButton::clicked, this,
            [this] { ChangeFont(m_lfHeaderFont, m_pHeaderText); });
}

void CPrintingPageDlg::OnInitDialog() {
    m_pUseScreen->setChecked(m_bUseScreenFont);
    m_pLineBelow->setChecked(m_bLineBelowHeader);
    m_pLineAbove->setChecked(m_bLineAboveFooter);
    for (auto [box, text] : {std::pair{m_pHeader, &m_strHeader}, {m_pFooter, &m_strFooter}}) {
        const QString value = Text(*text);
        box->setText(value);
        // A longer stored value stays visible and is refused when the page is left.
        if (value.size() <= kMaxPatternChars)
            box->setMaxLength(kMaxPatternChars);
    }
    ShowDescriptions();
    UpdateRules();
}

void CPrintingPageDlg::ShowDescriptions() {
    m_pPrinterText->setText(Text(DescribeFont(m_lfPrinterFont, m_nLogPixelsY)));
    m_pHeaderText->setText(Text(DescribeFont(m_lfHeaderFont, m_nLogPixelsY)));
}

void CPrintingPageDlg::UpdateRules() {
    const bool own = !m_pUseScreen->isChecked();
    m_pPrinterText->setEnabled(own);
    m_pPrinterButton->setEnabled(own);
    m_pLineBelow->setEnabled(!m_pHeader->text().isEmpty());
    m_pLineAbove->setEnabled(!m_pFooter->text().isEmpty());
}

void CPrintingPageDlg::ChangeFont(LOGFONT& lf, QLabel* description) {
    LOGFONT chosen = lf;
    const bool ok =
        m_chooseFont ? m_chooseFont(chosen, this) : ChooseFontDialog(chosen, m_nLogPixelsY, this);
    if (!ok)
        return;
    lf = chosen;
    description->setText(Text(DescribeFont(lf, m_nLogPixelsY)));
}

bool CPrintingPageDlg::Validate() {
    if (!WasActivated())
        return true;
    if (m_pHeader->text().size() > kMaxPatternChars)
        return Refuse(kNoMoreThan, m_pHeader);
    if (m_pFooter->text().size() > kMaxPatternChars)
        return Refuse(kNoMoreThan, m_pFooter);
    m_bUseScreenFont = m_pUseScreen->isChecked();
    m_bLineBelowHeader = m_pLineBelow->isChecked();
    m_bLineAboveFooter = m_pLineAbove->isChecked();
    m_strHeader = m_pHeader->text().toStdString();
    m_strFooter = m_pFooter->text().toStdString();
    return true;
}

bool ChooseFontDialog(LOGFONT& lf, int logPixelsY, QWidget* parent) {
    QFontDialog dialog(LogFontToQFont(lf, logPixelsY), parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setWindowTitle(QObject::tr("Font"));
    dialog.setObjectName(QStringLiteral("fontDialog"));
    // No effects are offered: underline and strike-out keep what the record had. Qt's dialog
    // has them as the only check boxes, in a group of their own.
    for (QCheckBox* effect : dialog.findChildren<QCheckBox*>()) {
        if (auto* group = qobject_cast<QGroupBox*>(effect->parentWidget()))
            group->hide();
        effect->hide();
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    LOGFONT result = QFontToLogFont(dialog.selectedFont(), logPixelsY);
    result.lfUnderline = lf.lfUnderline;
    result.lfStrikeOut = lf.lfStrikeOut;
    lf = result;
    return true;
}
