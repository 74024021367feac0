#include "ui/text/ReplaceDlg.h"

#include "app/FindTexts.h"
#include "app/HistoryList.h"
#include "platform/UiServices.h"
#include "ui/common/QtText.h"
#include "ui/text/FindDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CReplaceDlg::CReplaceDlg(CHistoryList& findHistory, CHistoryList& replaceHistory, IUiServices& ui,
                         IEditBuffer& buffer, bool matchCase, QWidget* parent)
    : QDialog(parent), m_findHistory(findHistory), m_replaceHistory(replaceHistory), m_ui(ui),
      m_run(buffer), m_bMatchCase(matchCase) {
    setWindowTitle(tr("Replace"));
    setObjectName(QStringLiteral("replaceDialog"));
    setProperty("helpTopic", QStringLiteral("editing.html#replace"));

    auto* findLabel = new QLabel(tr("Find &What:"));
    m_pFindWhat = NewHistoryCombo(this);
    m_pFindWhat->setObjectName(QStringLiteral("findWhat"));
    findLabel->setBuddy(m_pFindWhat);
    FillHistoryCombo(*m_pFindWhat, m_findHistory);
    auto* replaceLabel = new QLabel(tr("Repla&ce With:"));
    m_pReplaceWith = NewHistoryCombo(this);
    m_pReplaceWith->setObjectName(QStringLiteral("replaceWith"));
    replaceLabel->setBuddy(m_pReplaceWith);
    FillHistoryCombo(*m_pReplaceWith, m_replaceHistory);
    m_pMatchCase = new QCheckBox(tr("&Match Case"));
    m_pMatchCase->setObjectName(QStringLiteral("matchCase"));
    m_pMatchCase->setChecked(matchCase);

    auto* buttons = new QDialogButtonBox(Qt::Vertical);
    auto add = [buttons](const QString& text, const char* name) {
        QPushButton* b = buttons->addButton(text, QDialogButtonBox::ActionRole);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_pFindNext = add(tr("&Find Next"), "findNext");
    m_pFindNext->setDefault(true);
    m_pReplace = add(tr("&Replace"), "replace");
    m_pReplaceAll = add(tr("Replace &All"), "replaceAll");
    m_pCancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_pCancel->setObjectName(QStringLiteral("close"));
    m_pCancel->setAutoDefault(false);
    buttons->addButton(tr("&Help"), QDialogButtonBox::HelpRole)->setAutoDefault(false);
    connect(m_pFindNext, &QPushButton::clicked, this, [this] { OnButton(SEARCHSTEP::findNext); });
    connect(m_pReplace, &QPushButton::clicked, this, [this] { OnButton(SEARCHSTEP::replace); });
    connect(m_pReplaceAll, &QPushButton::clicked, this,
            [this] { OnButton(SEARCHSTEP::replaceAll); });
    connect(buttons, &QDialogButtonBox::rejected, this, &CReplaceDlg::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { emit helpRequested(property("helpTopic").toString()); });

    auto* left = new QGridLayout;
    left->addWidget(findLabel, 0, 0);
    left->addWidget(m_pFindWhat, 0, 1);
    left->addWidget(replaceLabel, 1, 0);
    left->addWidget(m_pReplaceWith, 1, 1);
    left->addWidget(m_pMatchCase, 2, 0, 1, 2);
    left->setRowStretch(3, 1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addWidget(buttons, 0, Qt::AlignTop);
}

void CReplaceDlg::OnButton(int step) {
    const QString findText = m_pFindWhat->currentText();
    const QString replaceText = m_pReplaceWith->currentText();
    if (!str::IsValidSearchText(QStringToBytes(findText))) {
        m_ui.MessageBox(str::kInvalidSearchString, MB_OK | MB_ICONEXCLAMATION);
        m_pFindWhat->setFocus();
        return;
    }
    m_bMatchCase = m_pMatchCase->isChecked();
    m_findHistory.Add(QStringToBytes(findText));
    if (!replaceText.isEmpty())
        m_replaceHistory.Add(QStringToBytes(replaceText));
    FillHistoryCombo(*m_pFindWhat, m_findHistory);
    FillHistoryCombo(*m_pReplaceWith, m_replaceHistory);
    if (replaceText.isEmpty())
        m_pReplaceWith->setEditText(QString());

    SEARCHSTEP s;
    s.strFind = findText.toStdU16String();
    s.strReplace = replaceText.toStdU16String();
    s.bMatchCase = m_bMatchCase;
    if (!m_bRunActive) {
        s.nStep = SEARCHSTEP::begin;
        m_run.SearchStep(s);
        m_bRunActive = true;
    }
    if (!m_bStarted) {
        m_bStarted = true;
        m_pCancel->setText(QString::fromUtf8(str::kClose));
    }
    s.nStep = step;
    int result = 0;
    {
        CWaitCursor wait(m_ui);
        result = m_run.SearchStep(s);
    }
    if (result == 0)
        EndRun(false);
}

void CReplaceDlg::EndRun(bool quiet) {
    SEARCHSTEP s;
    s.nStep = SEARCHSTEP::finish;
    s.bQuiet = quiet;
    m_run.SearchStep(s);
    m_bRunActive = false;
    if (!quiet && !m_run.Message().empty())
        m_ui.MessageBox(m_run.Message(), MB_OK | MB_ICONINFORMATION);
}

void CReplaceDlg::reject() {
    if (!m_bStarted) {
        QDialog::reject();
        return;
    }
    if (m_bRunActive)
        EndRun(true);
    m_pMatchCase->setChecked(m_bMatchCase);
    done(QDialog::Accepted);
}
