#pragma once
// The Replace dialog: Find What and Replace With (with their histories), Match Case, and the
// three actions Find Next, Replace and Replace All, each one step of a CReplaceRun over the
// edit pane. A run begins at the first action (and again after a run completed) and ends when
// a step says so, with the message of the run (the count of Replace All's replacements). The
// first action turns Cancel into Close. Closing after an action (Close or Escape) ends a
// running run quietly and the dialog is accepted with the Match Case of the last action;
// closing without one is a plain cancel.

#include "app/TextFind.h"

#include <QDialog>

class CHistoryList;
class IUiServices;
class QCheckBox;
class QComboBox;
class QPushButton;

class CReplaceDlg : public QDialog {
    Q_OBJECT

public:
    CReplaceDlg(CHistoryList& findHistory, CHistoryList& replaceHistory, IUiServices& ui,
                IEditBuffer& buffer, bool matchCase, QWidget* parent = nullptr);

    // After an accepted end: the Match Case of the last action.
    bool MatchCase() const { return m_bMatchCase; }
    const CReplaceRun& Run() const { return m_run; }

    QComboBox* FindWhat() const { return m_pFindWhat; }
    QComboBox* ReplaceWith() const { return m_pReplaceWith; }
    QCheckBox* MatchCaseBox() const { return m_pMatchCase; }
    QPushButton* FindNextButton() const { return m_pFindNext; }
    QPushButton* ReplaceButton() const { return m_pReplace; }
    QPushButton* ReplaceAllButton() const { return m_pReplaceAll; }
    QPushButton* CloseButton() const { return m_pCancel; }

    void reject() override;

signals:
    void helpRequested(const QString& topic);

private:
    CHistoryList& m_findHistory;
    CHistoryList& m_replaceHistory;
    IUiServices& m_ui;
    CReplaceRun m_run;
    bool m_bMatchCase;
    bool m_bStarted = false;
    bool m_bRunActive = false;
    QComboBox* m_pFindWhat = nullptr;
    QComboBox* m_pReplaceWith = nullptr;
    QCheckBox* m_pMatchCase = nullptr;
    QPushButton* m_pFindNext = nullptr;
    QPushButton* m_pReplace = nullptr;
    QPushButton* m_pReplaceAll = nullptr;
    QPushButton* m_pCancel = nullptr;

    void OnButton(int step);
    void EndRun(bool quiet);
};
