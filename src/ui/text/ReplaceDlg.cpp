#include "ui/text/ReplaceDlg.h"

#include "app/FindTexts.h"
#include "app/HistoryList.h"
#include "platform/UiServices.h"
#include "ui/common/QtText.h"
#include "ui/text/FindDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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

    auto add = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_pFindNext = add(tr("&Find Next"), "findNext");
    m_pFindNext->setDefault(true);
    m_pReplace = add(tr("&Replace"), "replace");
    m_pReplaceAll = add(tr("Replace &All"), "replaceAll");
    m_pCancel = add(tr("Cancel"), "close");
    QPushButton* help = add(tr("&Help"), "help");
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_pFindNext, m_pReplace, m_pReplaceAll, m_pCancel, help})
        buttons->addWidget(b);
    buttons->addStretch(1);
    connect(m_pFindNext, &QPushButton::clicked, this, [this] { OnButton(SEARCHSTEP::findNext); });
    connect(m_pReplace, &QPushButton::clicked, this, [this] { OnButton(SEARCHSTEP::replace); });
    connect(m_pReplaceAll, &QPushButton::clicked, this,
            [this] { OnButton(SEARCHSTEP::replaceAll); });
    connect(m_pCancel, &QPushButton::clicked, this, &CReplaceDlg::reject);
    connect(help, &QPushButton::clicked, this,
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
    top->addLayout(buttons);
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
