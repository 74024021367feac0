#pragma once
// The Find dialog: the search text (with its history), the scope (current textlet or entire
// file), Match Case and Search Titles Only, and Find Next or Mark All. Search Titles Only and
// Mark All are enabled exactly while Entire File is chosen. Find Next and Mark All refuse a
// text of only white space with the message of these dialogs and keep the dialog open;
// otherwise the text goes to the front of the history and the dialog ends accepted. Cancel
// changes neither the history nor the caller's settings.

#include <QDialog>

class CHistoryList;
class IUiServices;
class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

// Fills a history's combo box: its entries, most recent first, entry 0 selected.
void FillHistoryCombo(QComboBox& combo, const CHistoryList& history);
// An editable combo box of these dialogs: 256 characters at most, Enter never adds an entry.
QComboBox* NewHistoryCombo(QWidget* parent);

class CFindDlg : public QDialog {
    Q_OBJECT

public:
    // scope: 0 current textlet, 1 entire file.
    CFindDlg(CHistoryList& history, IUiServices& ui, int scope, bool matchCase, bool titlesOnly,
             QWidget* parent = nullptr);

    // After an accepted end.
    int Scope() const { return m_nScope; }
    bool MatchCase() const { return m_bMatchCase; }
    bool TitlesOnly() const { return m_bTitlesOnly; }
    bool MarkAllChosen() const { return m_bMarkAll; }

    QComboBox* FindWhat() const { return m_pFindWhat; }
    QRadioButton* CurrentTextlet() const { return m_pCurrent; }
    QRadioButton* EntireFile() const { return m_pEntire; }
    QCheckBox* MatchCaseBox() const { return m_pMatchCase; }
    QCheckBox* TitlesOnlyBox() const { return m_pTitlesOnly; }
    QPushButton* FindNextButton() const { return m_pFindNext; }
    QPushButton* MarkAllButton() const { return m_pMarkAll; }

signals:
    void helpRequested(const QString& topic);

private:
    CHistoryList& m_history;
    IUiServices& m_ui;
    int m_nScope;
    bool m_bMatchCase;
    bool m_bTitlesOnly;
    bool m_bMarkAll = false;
    QComboBox* m_pFindWhat = nullptr;
    QRadioButton* m_pCurrent = nullptr;
    QRadioButton* m_pEntire = nullptr;
    QCheckBox* m_pMatchCase = nullptr;
    QCheckBox* m_pTitlesOnly = nullptr;
    QPushButton* m_pFindNext = nullptr;
    QPushButton* m_pMarkAll = nullptr;

    void UpdateControls();
    void Finish(bool markAll);
};
