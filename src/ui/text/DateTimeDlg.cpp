#include "ui/text/DateTimeDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

void AddOnce(QStringList& list, const QString& format) {
    if (!format.isEmpty() && !list.contains(format))
        list.append(format);
}

} // namespace

void CDateTimeDlg::AddEntry(QStringList& entries, const QString& text) {
    if (text.isEmpty())
        return;
    for (const QString& e : entries)
        if (e.compare(text, Qt::CaseInsensitive) == 0)
            return;
    entries.append(text);
}

QStringList CDateTimeDlg::DateFormats(const QLocale& locale, bool longFormats) {
    // Only the locale's own formats: a user who wants ISO dates sets a locale (or LC_TIME)
    // that writes them.
    QStringList formats;
    if (longFormats) {
        AddOnce(formats, locale.dateFormat(QLocale::LongFormat));
    } else {
        AddOnce(formats, locale.dateFormat(QLocale::ShortFormat));
        AddOnce(formats, locale.dateFormat(QLocale::NarrowFormat));
    }
    return formats;
}

QStringList CDateTimeDlg::TimeFormats(const QLocale& locale) {
    QStringList formats;
    AddOnce(formats, locale.timeFormat(QLocale::LongFormat));
    AddOnce(formats, locale.timeFormat(QLocale::ShortFormat));
    AddOnce(formats, locale.timeFormat(QLocale::NarrowFormat));
    return formats;
}

QStringList CDateTimeDlg::Entries(const QDateTime& now, const QLocale& locale) {
    QStringList entries;
    for (const QString& f : DateFormats(locale, false))
        AddEntry(entries, locale.toString(now.date(), f));
    for (const QString& f : DateFormats(locale, true))
        AddEntry(entries, locale.toString(now.date(), f));
    for (const QString& f : TimeFormats(locale))
        AddEntry(entries, locale.toString(now.time(), f));
    return entries;
}

CDateTimeDlg::CDateTimeDlg(QWidget* parent, const QDateTime& now, const QLocale& locale)
    : QDialog(parent) {
    setWindowTitle(tr("Date and Time"));
    setProperty("helpTopic", QStringLiteral("settings.html#datetime")); // F1 anywhere in it
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("&Available Formats:"), this);
    layout->addWidget(label);
    m_pList = new QListWidget(this);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->addItems(Entries(now, locale));
    label->setBuddy(m_pList);
    m_pList->setAccessibleName(tr("Available Formats")); // a list is not named by its label
    layout->addWidget(m_pList);
    if (m_pList->count() > 0)
        m_pList->setCurrentRow(0);
    m_pList->setFocus();
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CDateTimeDlg::accept);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDateTimeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CDateTimeDlg::accept() {
    const QListWidgetItem* item = m_pList->currentItem();
    m_strSelected = item ? item->text() : QString();
    QDialog::accept();
}

bool CanInsertDateTime(const QPlainTextEdit& pane) {
    return !pane.isReadOnly();
}

void InsertDateTime(QPlainTextEdit& pane, const QString& text) {
    if (pane.isReadOnly() || text.isEmpty())
        return;
    QTextCursor cursor = pane.textCursor();
    cursor.insertText(text);
    pane.setTextCursor(cursor);
}
