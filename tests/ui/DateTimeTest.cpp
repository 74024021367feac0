// The Date and Time dialog and the insertion at the caret.

#include "ui/text/DateTimeDlg.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QDateTime kMoment(QDate(2026, 3, 9), QTime(14, 5, 7));
}

TEST(DateTimeDlg, ShortDatesThenLongDatesThenTimesEachWordingOnce) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    const QStringList entries = CDateTimeDlg::Entries(kMoment, locale);
    ASSERT_GE(entries.size(), 3);
    EXPECT_EQ(entries.front(), locale.toString(kMoment.date(), QLocale::ShortFormat));
    EXPECT_EQ(entries.back(), locale.toString(kMoment.time(), QLocale::NarrowFormat));
    const qsizetype longDate =
        entries.indexOf(locale.toString(kMoment.date(), QLocale::LongFormat));
    const qsizetype time = entries.indexOf(locale.toString(kMoment.time(), QLocale::LongFormat));
    const qsizetype iso = entries.indexOf(QStringLiteral("2026-03-09"));
    ASSERT_TRUE(longDate > 0 && time > 0);
    EXPECT_EQ(iso, -1); // not a format of this locale
    EXPECT_LT(longDate, time);
    for (qsizetype i = 0; i < entries.size(); ++i)
        for (qsizetype k = i + 1; k < entries.size(); ++k)
            EXPECT_NE(entries[i].compare(entries[k], Qt::CaseInsensitive), 0) << i << " " << k;

    QStringList list;
    CDateTimeDlg::AddEntry(list, QStringLiteral("Monday"));
    CDateTimeDlg::AddEntry(list, QStringLiteral("MONDAY"));
    CDateTimeDlg::AddEntry(list, QString());
    CDateTimeDlg::AddEntry(list, QStringLiteral("monday 1"));
    EXPECT_EQ(list, (QStringList{QStringLiteral("Monday"), QStringLiteral("monday 1")}));
}

TEST(DateTimeDlg, ShowsTheMomentItWasOpenedWithAndOkOrDoubleClickTakeTheEntry) {
    const QLocale german(QLocale::German, QLocale::Germany);
    CDateTimeDlg dlg(nullptr, kMoment, german);
    ASSERT_GT(dlg.List()->count(), 2);
    EXPECT_EQ(dlg.List()->currentRow(), 0);
    EXPECT_EQ(dlg.List()->item(0)->text(), german.toString(kMoment.date(), QLocale::ShortFormat));
    QTest::qWait(20); // the list stays as it was when the dialog opened

    dlg.List()->setCurrentRow(1);
    dlg.show();
    QTest::keyClick(dlg.List(), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_strSelected, dlg.List()->item(1)->text());

    CDateTimeDlg twice(nullptr, kMoment, german);
    twice.show();
    QListWidgetItem* last = twice.List()->item(twice.List()->count() - 1);
    twice.List()->setCurrentItem(last);
    emit twice.List()->itemDoubleClicked(last);
    EXPECT_EQ(twice.result(), QDialog::Accepted);
    EXPECT_EQ(twice.m_strSelected, last->text());

    CDateTimeDlg cancelled(nullptr, kMoment, german);
    cancelled.show();
    cancelled.reject();
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_TRUE(cancelled.m_strSelected.isEmpty());
}

TEST(DateTimeDlg, InsertionReplacesTheSelectionAsOneUndoableChange) {
    QPlainTextEdit pane;
    pane.setPlainText(QStringLiteral("Due: XX."));
    QTextCursor c = pane.textCursor();
    c.setPosition(5);
    c.setPosition(7, QTextCursor::KeepAnchor);
    pane.setTextCursor(c);
    ASSERT_TRUE(CanInsertDateTime(pane));
    InsertDateTime(pane, QStringLiteral("3/9/26"));
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("Due: 3/9/26."));
    EXPECT_EQ(pane.textCursor().position(), 11);
    pane.undo();
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("Due: XX."));

    pane.setReadOnly(true);
    EXPECT_FALSE(CanInsertDateTime(pane));
    InsertDateTime(pane, QStringLiteral("no"));
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("Due: XX."));
}
