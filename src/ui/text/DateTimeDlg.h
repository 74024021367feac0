#pragma once
// Date and Time: a list of the moment the dialog opened, written in every short date, long
// date and time format of the user's locale (short dates first, then long dates, then
// times), each wording once (compared without regard to case). OK or a double-click takes
// the selected entry.

#include <QDateTime>
#include <QDialog>
#include <QLocale>
#include <QString>
#include <QStringList>

class QListWidget;

class CDateTimeDlg : public QDialog {
    Q_OBJECT
public:
    // now: the moment to show (taken once); locale: whose formats to offer.
    explicit CDateTimeDlg(QWidget* parent = nullptr,
                          const QDateTime& now = QDateTime::currentDateTime(),
                          const QLocale& locale = QLocale::system());

    // The text chosen; valid after the dialog was accepted.
    QString m_strSelected;

    QListWidget* List() const { return m_pList; }

    // The formats offered, in order: short dates, long dates, times.
    static QStringList DateFormats(const QLocale& locale, bool longFormats);
    static QStringList TimeFormats(const QLocale& locale);
    // The wordings of now in those formats, each once regardless of case.
    static QStringList Entries(const QDateTime& now, const QLocale& locale);
    // Appends text unless empty or already listed in any letter case.
    static void AddEntry(QStringList& entries, const QString& text);

    void accept() override;

private:
    QListWidget* m_pList = nullptr;
};

class QPlainTextEdit;

// Date and Time is offered only while the pane can be edited.
bool CanInsertDateTime(const QPlainTextEdit& pane);
// Replaces the pane's selection with text as one undoable change.
void InsertDateTime(QPlainTextEdit& pane, const QString& text);
