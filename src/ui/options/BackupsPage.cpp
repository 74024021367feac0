#include "ui/options/BackupsPage.h"

#include "app/Settings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

struct IntervalChoice {
    int hours;
    const char* text;
};
constexpr IntervalChoice kIntervals[] = {
    {0, "Never"},      {1, "Every hour"},    {6, "Every 6 hours"}, {12, "Every 12 hours"},
    {24, "Every day"}, {48, "Every 2 days"}, {168, "Every week"},
};

QString IntervalText(int hours) {
    for (const IntervalChoice& c : kIntervals)
        if (c.hours == hours)
            return QObject::tr(c.text);
    if (hours % 24 == 0)
        return QObject::tr("Every %1 days").arg(hours / 24);
    return QObject::tr("Every %1 hours").arg(hours);
}

} // namespace

CBackupsPageDlg::CBackupsPageDlg(IUiServices& ui, QWidget* parent) : COptionsPage(ui, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* automatic = new QGroupBox(tr("Automatic backups"), this);
    auto* autoLayout = new QFormLayout(automatic);
    m_pInterval = new QComboBox(automatic);
    m_pInterval->setObjectName(QStringLiteral("backupInterval"));
    autoLayout->addRow(tr("&Back up the open file:"), m_pInterval);
    auto* note = new QLabel(tr("A backup is made when the file is opened and while it stays open, "
                               "whenever the newest backup is older than this."),
                            automatic);
    note->setWordWrap(true);
    autoLayout->addRow(note);

    auto* kept = new QGroupBox(tr("Backups kept"), this);
    auto* keptLayout = new QFormLayout(kept);
    const char* labels[3] = {
        "Newest of the last &days:", "Newest of the last &weeks:", "Newest of the last &months:"};
    for (int i = 0; i < 3; ++i) {
        m_pKeep[i] = new QSpinBox(kept);
        m_pKeep[i]->setRange(0, kMaxBackupKeep);
        keptLayout->addRow(tr(labels[i]), m_pKeep[i]);
    }
    layout->addWidget(automatic);
    layout->addWidget(kept);
    layout->addStretch();
}

void CBackupsPageDlg::OnInitDialog() {
    m_pInterval->clear();
    bool bListed = false;
    for (const IntervalChoice& c : kIntervals) {
        m_pInterval->addItem(IntervalText(c.hours), c.hours);
        bListed = bListed || c.hours == m_nInterval;
    }
    if (!bListed) // a value set elsewhere stays choosable
        m_pInterval->addItem(IntervalText(m_nInterval), m_nInterval);
    m_pInterval->setCurrentIndex(m_pInterval->findData(m_nInterval));
    const int values[3] = {m_nKeepDaily, m_nKeepWeekly, m_nKeepMonthly};
    for (int i = 0; i < 3; ++i)
        m_pKeep[i]->setValue(values[i]);
}

bool CBackupsPageDlg::Validate() {
    if (!WasActivated())
        return true;
    m_nInterval = m_pInterval->currentData().toInt();
    m_nKeepDaily = m_pKeep[0]->value();
    m_nKeepWeekly = m_pKeep[1]->value();
    m_nKeepMonthly = m_pKeep[2]->value();
    return true;
}
