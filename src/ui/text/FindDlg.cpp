#include "ui/text/FindDlg.h"

#include "app/FindTexts.h"
#include "app/HistoryList.h"
#include "platform/UiServices.h"
#include "ui/common/QtText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
constexpr int kMaxFindChars = 256;
} // namespace

void FillHistoryCombo(QComboBox& combo, const CHistoryList& history) {
    combo.clear();
    for (const std::string& s : history.Items())
        combo.addItem(BytesToQString(s));
    if (combo.count() > 0)
        combo.setCurrentIndex(0);
}

QComboBox* NewHistoryCombo(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->lineEdit()->setMaxLength(kMaxFindChars);
    combo->setMinimumWidth(220);
    return combo;
}

CFindDlg::CFindDlg(CHistoryList& history, IUiServices& ui, int scope, bool matchCase,
                   bool titlesOnly, QWidget* parent)
    : QDialog(parent), m_history(history), m_ui(ui), m_nScope(scope), m_bMatchCase(matchCase),
      m_bTitlesOnly(titlesOnly) {
    setWindowTitle(tr("Find"));
    setObjectName(QStringLiteral("findDialog"));
    setProperty("helpTopic", QStringLiteral("editing.html#find"));

    auto* label = new QLabel(tr("Find &What:"));
    m_pFindWhat = NewHistoryCombo(this);
    m_pFindWhat->setObjectName(QStringLiteral("findWhat"));
    label->setBuddy(m_pFindWhat);
    FillHistoryCombo(*m_pFindWhat, m_history);

    auto* scopeBox = new QGroupBox(tr("Search"));
    m_pCurrent = new QRadioButton(tr("&Current Textlet"));
    m_pEntire = new QRadioButton(tr("&Entire File"));
    m_pCurrent->setObjectName(QStringLiteral("currentTextlet"));
    m_pEntire->setObjectName(QStringLiteral("entireFile"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_pCurrent);
    group->addButton(m_pEntire);
    auto* scopeRow = new QVBoxLayout(scopeBox);
    scopeRow->addWidget(m_pCurrent);
    scopeRow->addWidget(m_pEntire);
    m_pCurrent->setChecked(scope == 0);
    m_pEntire->setChecked(scope == 1);

    m_pMatchCase = new QCheckBox(tr("&Match Case"));
    m_pMatchCase->setObjectName(QStringLiteral("matchCase"));
    m_pMatchCase->setChecked(matchCase);
    m_pTitlesOnly = new QCheckBox(tr("&Search Titles Only"));
    m_pTitlesOnly->setObjectName(QStringLiteral("titlesOnly"));
    m_pTitlesOnly->setChecked(titlesOnly);

    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_pFindNext = button(tr("&Find Next"), "findNext");
    m_pFindNext->setDefault(true);
    m_pMarkAll = button(tr("Mark &All"), "markAll");
    QPushButton* cancel = button(tr("Cancel"), "cancel");
    QPushButton* help = button(tr("&Help"), "help");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_pFindNext, m_pMarkAll, cancel, help})
        buttons->addWidget(b);
    buttons->addStretch(1);
    connect(m_pFindNext, &QPushButton::clicked, this, [this] { Finish(false); });
    connect(m_pMarkAll, &QPushButton::clicked, this, [this] { Finish(true); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this,
            [this] { emit helpRequested(property("helpTopic").toString()); });
    connect(m_pCurrent, &QRadioButton::toggled, this, &CFindDlg::UpdateControls);
    connect(m_pEntire, &QRadioButton::toggled, this, &CFindDlg::UpdateControls);

    auto* left = new QGridLayout;
    left->addWidget(label, 0, 0);
    left->addWidget(m_pFindWhat, 0, 1);
    left->addWidget(scopeBox, 1, 0, 1, 2);
    left->addWidget(m_pMatchCase, 2, 0, 1, 2);
    left->addWidget(m_pTitlesOnly, 3, 0, 1, 2);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);
    UpdateControls();
}

void CFindDlg::UpdateControls() {
    const bool entire = m_pEntire->isChecked();
    m_pTitlesOnly->setEnabled(entire);
    m_pMarkAll->setEnabled(entire);
}

void CFindDlg::Finish(bool markAll) {
    const std::string text = QStringToBytes(m_pFindWhat->currentText());
    if (!str::IsValidSearchText(text)) {
        m_ui.MessageBox(str::kInvalidSearchString, MB_OK | MB_ICONEXCLAMATION);
        m_pFindWhat->setFocus();
        return;
    }
    m_history.Add(text);
    m_bMarkAll = markAll;
    m_nScope = m_pEntire->isChecked() ? 1 : (m_pCurrent->isChecked() ? 0 : m_nScope);
    m_bMatchCase = m_pMatchCase->isChecked();
    m_bTitlesOnly = m_pTitlesOnly->isChecked();
    accept();
}
