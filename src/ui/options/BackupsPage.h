#pragma once
// The Backups page of the Options sheet: how often the open file is backed up on its own
// (never, or when the newest backup is so many hours or days old) and how many backups
// rotation keeps of the last days, weeks and months. Values as members, as every page.

#include "ui/options/OptionsPages.h"

class QComboBox;
class QSpinBox;

class CBackupsPageDlg : public COptionsPage {
    Q_OBJECT
public:
    explicit CBackupsPageDlg(IUiServices& ui, QWidget* parent = nullptr);
    bool Validate() override;

    int m_nInterval = 24; // hours; 0: never
    int m_nKeepDaily = 7;
    int m_nKeepWeekly = 4;
    int m_nKeepMonthly = 6;

    QComboBox* IntervalBox() const { return m_pInterval; }
    QSpinBox* KeepBox(int i) const { return m_pKeep[i]; } // 0 days, 1 weeks, 2 months

protected:
    void OnInitDialog() override;

private:
    QComboBox* m_pInterval = nullptr;
    QSpinBox* m_pKeep[3] = {};
};
