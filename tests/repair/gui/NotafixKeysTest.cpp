// The NotaFix window from the keyboard and through a screen reader: each Alt+letter has one
// owner, and every control has a name.

#include "repair/gui/HelpViewer.h"
#include "repair/gui/NotaFixDlg.h"
#include "support/RecordingUi.h"
#include "support/WidgetWalk.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(NotafixKeysTest, AltHPressesTheHelpButtonAndNoMnemonicIsShared) {
    CRecordingUi ui;
    CNotaFixDlg dlg(ui);
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const auto shared = widgetwalk::SharedMnemonics(&dlg);
    for (const auto& [key, texts] : shared) {
        std::string claims;
        for (const QString& text : texts)
            claims += " '" + text.toStdString() + "'";
        ADD_FAILURE() << "Alt+" << QString(key).toStdString() << " claimed by" << claims;
    }

    QTest::keyClick(dlg.windowHandle(), Qt::Key_H, Qt::AltModifier); // through the shortcuts
    // A mnemonic presses its button the way a click does, a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.findChild<CFixHelpViewer*>() != nullptr; }, 2000));
    auto* viewer = dlg.findChild<CFixHelpViewer*>();
    ASSERT_NE(viewer, nullptr) << "Alt+H did not press Help";
    EXPECT_TRUE(viewer->isVisible());
    for (QMenu* menu : dlg.menuBar()->findChildren<QMenu*>())
        EXPECT_FALSE(menu->isVisible()) << menu->title().toStdString();
    viewer->close();
}

TEST(NotafixKeysTest, EveryControlHasAName) {
    CRecordingUi ui;
    CNotaFixDlg dlg(ui);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    std::string unnamed;
    for (const std::string& name : widgetwalk::UnnamedControls(&dlg))
        unnamed += "\n  " + name;
    EXPECT_TRUE(unnamed.empty()) << unnamed;
}
