// The window's UI services: message boxes titled "Notarium", the status bar's message pane,
// the progress bar, the wait cursor.
#include "platform/Strings.h"
#include "ui/common/QtUiServices.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct Seen {
    QString title, text;
    QMessageBox::StandardButtons buttons;
};

// Answers the next message box with `button` and notes what it showed.
void AnswerNextBox(QMessageBox::StandardButton button, Seen& seen) {
    QTimer::singleShot(0, [button, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->standardButtons()};
        box->button(button)->click();
    });
}

} // namespace

TEST(FrameUiServicesTest, MessageBoxesShowTheTextAsItIsAndReturnTheButton) {
    CQtUiServices ui;
    Seen seen;
    AnswerNextBox(QMessageBox::No, seen);
    EXPECT_EQ(ui.MessageBox("Delete '<b>A & B</b>'?", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(seen.title, QStringLiteral("Notarium"));
    EXPECT_EQ(seen.text, QStringLiteral("Delete '<b>A & B</b>'?"));
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

    AnswerNextBox(QMessageBox::Cancel, seen);
    EXPECT_EQ(ui.MessageBox(str::kCompactQuestion, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);

    AnswerNextBox(QMessageBox::Ok, seen);
    ui.ReportError(CFileException(CFileException::sharingViolation, "/tmp/x.Nota"));
    EXPECT_EQ(seen.text.toStdString(),
              CFileException(CFileException::sharingViolation, "/tmp/x.Nota").GetErrorMessage());
}

TEST(FrameUiServicesTest, StatusTextProgressAndWaitCursor) {
    QMainWindow window;
    CQtUiServices ui;
    ui.Attach(&window, window.statusBar());
    window.show();
    auto* pane = window.statusBar()->findChild<QLabel*>(QStringLiteral("messagePane"));
    auto* progress = window.statusBar()->findChild<QProgressBar*>(QStringLiteral("progressBar"));
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(pane->text(), QStringLiteral("For Help, press F1"));
    {
        CStatusProgress status(ui, str::kCompacting, 0, 20);
        EXPECT_EQ(pane->text(), QStringLiteral("Compacting..."));
        EXPECT_TRUE(progress->isVisible());
        status.SetPos(8);
        EXPECT_EQ(progress->value(), 8);
        EXPECT_EQ(progress->maximum(), 20);
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(ui.IsBusy());
    }
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(pane->text(), QStringLiteral("For Help, press F1"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(ui.IsBusy());
}
