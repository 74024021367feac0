#pragma once
// An application object over a scratch settings file, a scratch lock file, the recording
// UI and scripted file dialogs.

#include "app/NotariumDoc.h"
#include "support/RecordingUi.h"
#include "support/TempDir.h"
#include "ui/common/CommandIds.h"
#include "ui/common/QtSettingsStore.h"
#include "ui/frame/FileDialogs.h"
#include "ui/frame/MainFrame.h"
#include "ui/frame/NotariumApp.h"
#include "ui/tree/TreePaneView.h"

#include <QApplication>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// The file dialogs as a script: each showing takes the next step; an empty script cancels.
class CScriptedDialogs : public IFileDialogs {
public:
    struct Step {
        char dialog; // 'O' open, 'C' create
        bool ok;
        std::string path;
        bool newRequested = false;
    };
    std::deque<Step> script;
    std::string shown; // one letter per dialog shown, in order

    bool RunOpen(QWidget*, const std::string&, std::string& path, bool& bNew) override {
        shown += 'O';
        return Take('O', path, &bNew);
    }
    bool RunCreate(QWidget*, const std::string&, std::string& path) override {
        shown += 'C';
        return Take('C', path, nullptr);
    }

private:
    bool Take(char dialog, std::string& path, bool* bNew) {
        if (script.empty())
            return false;
        const Step step = script.front();
        script.pop_front();
        EXPECT_EQ(step.dialog, dialog) << "dialog shown out of turn";
        if (bNew)
            *bNew = step.newRequested;
        path = step.path;
        return step.ok;
    }
};

class AppTest : public ::testing::Test {
protected:
    CTempDir dir;
    CRecordingUi ui;
    std::unique_ptr<CQtSettingsStore> store = MakeStore();
    CScriptedDialogs dialogs;
    std::string lockPath = dir.File("instance.lock");
    std::vector<QString> started;
    // When automatic backups look: not during the tests of other things (a test of backups
    // hurries them).
    CAutoBackup::Times backupTimes{std::chrono::hours(1), std::chrono::hours(1)};
    std::unique_ptr<CNotariumApp> app;

    std::unique_ptr<CQtSettingsStore> MakeStore() {
        return std::make_unique<CQtSettingsStore>(QString::fromStdString(dir.File("settings.ini")));
    }

    CNotariumApp& NewApp() {
        app.reset();
        CAppOptions options;
        options.ui = &ui;
        options.store = store.get();
        options.dialogs = &dialogs;
        options.lockPath = lockPath;
        options.backupTimes = backupTimes;
        options.startProgram = [this](const QString& program) {
            started.push_back(program);
            return true;
        };
        app = std::make_unique<CNotariumApp>(options);
        return *app;
    }

    // Starts an application as the program does.
    CNotariumApp& Start(const QStringList& args = {}, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        NewApp();
        EXPECT_TRUE(app->InitInstance(args, keys));
        QApplication::processEvents();
        return *app;
    }

    // Ends the application as the program does; the settings reach the file.
    void Exit() {
        if (app)
            app->ExitInstance();
        app.reset();
        store->Sync();
    }

    // A new data file in the scratch directory.
    std::string NewDataFile(const std::string& name) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(CNotariumDoc::PrepareDataFile(path, true, ui));
        return path;
    }

    void TearDown() override { Exit(); }

    CMainFrame* Frame() { return app ? app->MainFrame() : nullptr; }
    CTreeCtrl& Tree() { return Frame()->TreePane()->Tree(); }
    std::string OpenPath() { return app->Doc().IsOpen() ? app->Doc().GetPathName() : ""; }
};

// The window started on a new data file of its own, shown (and active when asked).
class OpenWindowTest : public AppTest {
protected:
    std::string path;
    void OpenWindow(const std::string& fileName, bool activate = false) {
        path = NewDataFile(fileName);
        Start({QString::fromStdString(path)});
        ASSERT_NE(Frame(), nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame()));
        if (activate) {
            Frame()->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(Frame()));
        }
    }
    HTREEITEM Root() { return Tree().GetRootItem(); }
    // Adds through the document, as Add Item does; the idle step then shows the new item.
    HTREEITEM Add(HTREEITEM parent, const std::string& title, bool folder) {
        HTREEITEM h = app->Doc().InsertNewItem(parent, title, folder);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !TreePane()->IsSelChangePending(); }, 2000));
        return h;
    }
    CEditPaneView* Edit() { return Frame()->EditPane(); }
    CTreePaneView* TreePane() { return Frame()->TreePane(); }
};
