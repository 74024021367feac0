// Backups in the window: automatic ones on open (and not when they are off or not due), a
// failure told once, and the Backups dialog: its list, Restore Item into the selected folder
// as one operation, Restore as File refusing an existing file, and the Options page.

#include "AppFixture.h"

#include "app/Backup.h"
#include "app/Settings.h"
#include "ui/backup/BackupCommands.h"
#include "ui/options/BackupsPage.h"
#include "ui/options/OptionsSheet.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class BackupWindowTest : public OpenWindowTest {
protected:
    QByteArray oldData = qgetenv("XDG_DATA_HOME");

    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.File("data")));
        backupTimes.afterOpen = std::chrono::milliseconds(0);
        backupTimes.retry = std::chrono::milliseconds(20);
    }
    void TearDown() override {
        Exit();
        qputenv("XDG_DATA_HOME", oldData);
    }

    CBackupCommands& Backups() { return Frame()->BackupCommands(); }
    CAutoBackup& Auto() { return Backups().Auto(); }
    std::vector<backup::Entry> List(const std::string& file, bool bCheck = false) {
        return backup::List(backup::FolderFor(file), bCheck);
    }
    // Lets the event loop run for a while, so that anything that was to start has started and
    // ended.
    void Settle(int ms = 400) {
        QTest::qWait(ms);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Auto().IsRunning(); }, 20000));
    }
    // A data file with a folder "Notes" holding "alpha" (with a text) and a folder "Target".
    std::string FileWithItems(const std::string& name) {
        const std::string file = NewDataFile(name);
        CAppSettings settings;
        CNotariumDoc doc(ui, settings);
        EXPECT_TRUE(doc.OnOpenDocument(file) && doc.ReloadTree());
        HTREEITEM notes = doc.InsertNewItem(doc.Tree().GetRootItem(), "Notes", true);
        HTREEITEM alpha = doc.InsertNewItem(notes, "alpha", false);
        CMemoryTextPane pane;
        pane.m_text = "the text of alpha\r\nsecond line";
        doc.SaveText(alpha, pane);
        doc.InsertNewItem(doc.Tree().GetRootItem(), "Target", true);
        doc.DeleteContents();
        return file;
    }
    HTREEITEM Find(HTREEITEM parent, const std::string& title) {
        for (HTREEITEM h = Tree().GetChildItem(parent); h; h = Tree().GetNextSiblingItem(h))
            if (Tree().GetItemText(h) == title)
                return h;
        return nullptr;
    }
    int BoxesWith(const std::string& part) const {
        return static_cast<int>(std::count_if(ui.boxes.begin(), ui.boxes.end(), [&](auto& b) {
            return b.text.find(part) != std::string::npos;
        }));
    }
    // Runs File > Backups... with the dialog given to `work` while it shows.
    void WithDialog(const std::function<void(CBackupsDlg&)>& work) {
        Backups().m_runDialog = [&](CBackupsDlg& dlg) {
            dlg.show();
            ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.ChecksDone(); }, 20000));
            work(dlg);
        };
        ASSERT_TRUE(Frame()->Router().Execute(ID_FILE_BACKUPS));
    }
    QTreeWidgetItem* ItemIn(QTreeWidgetItem* parent, const QString& title) {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == title)
                return parent->child(i);
        return nullptr;
    }
};

TEST_F(BackupWindowTest, OpeningMakesOneCheckedBackupAndNoMoreWhileItIsRecent) {
    OpenWindow("auto.Nota");
    ASSERT_TRUE(QTest::qWaitFor([&] { return List(path).size() == 1; }, 20000));
    Settle();
    // Later looks while the backup is recent make none.
    Auto().CheckDue();
    Auto().CheckDue();
    Settle();
    std::vector<backup::Entry> list = List(path, true);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].bSound);
    EXPECT_EQ(list[0].nItems, Tree().GetCount());
    EXPECT_NE(std::find(ui.statusTexts.begin(), ui.statusTexts.end(), CAutoBackup::kBackingUp),
              ui.statusTexts.end());
    EXPECT_EQ(ui.LastStatus(), CAutoBackup::kBackupMade);
    EXPECT_TRUE(ui.boxes.empty());
    // Nothing but backups in the folder: no work file left behind.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(backup::FolderFor(path)), fs::directory_iterator()),
        1);

    // Opened again in a new window the next day's backup is not due yet either.
    Exit();
    Start({QString::fromStdString(path)});
    Settle();
    EXPECT_EQ(List(path).size(), 1u);
}

TEST_F(BackupWindowTest, NoAutomaticBackupWhenTurnedOffButBackUpNowStillWorks) {
    store->WriteInt(kSettingsSection, "BackupInterval", 0);
    OpenWindow("never.Nota");
    Settle();
    EXPECT_TRUE(List(path).empty());
    EXPECT_FALSE(Auto().IsDue());

    WithDialog([&](CBackupsDlg& dlg) {
        EXPECT_EQ(dlg.List()->topLevelItemCount(), 0);
        dlg.BackUpNowButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->topLevelItemCount() == 1; }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.ChecksDone(); }, 20000));
        EXPECT_EQ(dlg.List()->topLevelItem(0)->text(3), QStringLiteral("yes"));
    });
    EXPECT_EQ(List(path).size(), 1u);
    // Shown again, the checks made are known at once.
    Backups().m_runDialog = [&](CBackupsDlg& dlg) {
        EXPECT_TRUE(dlg.ChecksDone());
        EXPECT_EQ(dlg.List()->topLevelItem(0)->text(3), QStringLiteral("yes"));
    };
    ASSERT_TRUE(Frame()->Router().Execute(ID_FILE_BACKUPS));
}

TEST_F(BackupWindowTest, AChangeDuringTheCopyMakesItStartAgainSoTheBackupIsOneState) {
    store->WriteInt(kSettingsSection, "BackupInterval", 0);
    OpenWindow("changing.Nota");
    // The copy runs on its thread while the window goes on: an item added before the window
    // hears that the copy is done overlaps it.
    ASSERT_TRUE(Auto().BackUpNow());
    ASSERT_NE(Add(Root(), "added during the copy", false), nullptr);
    Settle(0);
    std::vector<backup::Entry> list = List(path, true);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].bSound);
    EXPECT_EQ(list[0].nItems, Tree().GetCount()); // the state after the change
    EXPECT_EQ(ReadFileBytes(list[0].path), ReadFileBytes(path));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(backup::FolderFor(path)), fs::directory_iterator()),
        1);
}

TEST_F(BackupWindowTest, ClosingTheWindowDuringABackupLeavesNothingHalfMade) {
    store->WriteInt(kSettingsSection, "BackupInterval", 0);
    OpenWindow("closing.Nota");
    ASSERT_TRUE(Auto().BackUpNow());
    const std::string folder = backup::FolderFor(path);
    Exit(); // the copy's thread is joined; the job goes before its check
    ASSERT_TRUE(fs::exists(folder));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_TRUE(CNotariumDoc::PrepareDataFile(path, false, ui)); // the file itself is free
}

TEST_F(BackupWindowTest, AFailingBackupIsToldOncePerFile) {
    // The backups folder cannot be made: a file stands where it should be.
    fs::create_directories(dir.File("data") + "/Notarium");
    std::ofstream(dir.File("data") + "/Notarium/backups") << "in the way";
    OpenWindow("fails.Nota");
    ASSERT_TRUE(QTest::qWaitFor([&] { return BoxesWith("Backup failed") == 1; }, 20000));
    Auto().CheckDue(); // still due, fails again, told no more
    Settle();
    Auto().CheckDue();
    Settle();
    EXPECT_EQ(BoxesWith("Backup failed"), 1);
    EXPECT_EQ(ui.LastStatus(), "Backup not made.");
    // Asked for, the failure is told every time.
    EXPECT_FALSE(Auto().BackUpNow());
    EXPECT_EQ(BoxesWith("Backup failed"), 2);
}

TEST_F(BackupWindowTest, TheDialogListsTheBackupsAndRestoresAnItemIntoTheSelectedFolder) {
    store->WriteInt(kSettingsSection, "BackupInterval", 0);
    path = FileWithItems("items.Nota");
    ASSERT_EQ(backup::BackUpFile(path, ui, {}).outcome, backup::Outcome::Made);
    Start({QString::fromStdString(path)});
    ASSERT_NE(Frame(), nullptr);
    ASSERT_TRUE(Frame()->Action(ID_FILE_BACKUPS)->isEnabled());
    CNotariumDoc& doc = app->Doc();
    HTREEITEM root = Tree().GetRootItem();
    ASSERT_TRUE(doc.DeleteItem(Find(Find(root, "Notes"), "alpha")));
    HTREEITEM target = Find(root, "Target");
    Tree().SelectItem(target);
    Frame()->TreePane()->SyncSelection();

    WithDialog([&](CBackupsDlg& dlg) {
        ASSERT_EQ(dlg.List()->topLevelItemCount(), 1);
        QTreeWidgetItem* row = dlg.List()->topLevelItem(0);
        EXPECT_EQ(row->text(2), QString::number(Tree().GetCount() + 1)); // alpha is in it
        EXPECT_EQ(row->text(3), QStringLiteral("yes"));
        EXPECT_FALSE(row->text(0).isEmpty());
        // The backup's tree, its folders opened on demand, and the chosen item's text.
        QTreeWidgetItem* top = dlg.Items()->topLevelItem(0);
        ASSERT_NE(top, nullptr);
        QTreeWidgetItem* notes = ItemIn(top, QStringLiteral("Notes"));
        ASSERT_NE(notes, nullptr);
        notes->setExpanded(true);
        QTreeWidgetItem* alpha = ItemIn(notes, QStringLiteral("alpha"));
        ASSERT_NE(alpha, nullptr);
        dlg.Items()->setCurrentItem(alpha);
        EXPECT_EQ(dlg.Text()->toPlainText(), QStringLiteral("the text of alpha\nsecond line"));
        EXPECT_TRUE(dlg.Text()->isReadOnly());

        const std::uint64_t before = doc.StoreAsIs().ChangeCount();
        ASSERT_TRUE(dlg.RestoreItemButton()->isEnabled());
        dlg.RestoreItemButton()->click();
        EXPECT_EQ(doc.StoreAsIs().ChangeCount(), before + 1); // one operation
    });
    HTREEITEM restored = Find(target, "alpha");
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(Tree().GetSelectedItem(), restored);
    std::string text;
    doc.ReadText(restored, text);
    EXPECT_EQ(text, "the text of alpha\r\nsecond line");
    EXPECT_TRUE(ui.boxes.empty()) << ui.LastBox();
}

TEST_F(BackupWindowTest, RestoreAsFileRefusesAnExistingFileThenMakesANewOne) {
    store->WriteInt(kSettingsSection, "BackupInterval", 0);
    path = FileWithItems("whole.Nota");
    ASSERT_EQ(backup::BackUpFile(path, ui, {}).outcome, backup::Outcome::Made);
    Start({QString::fromStdString(path)});
    ASSERT_NE(Frame(), nullptr);
    const std::string existing = dir.File("existing.Nota");
    std::ofstream(existing) << "mine";
    std::vector<std::string> targets = {existing, dir.File("restored.Nota")};
    std::string suggested;
    Backups().m_askTarget = [&](QWidget*, const std::string& s) {
        suggested = s;
        std::string t = targets.front();
        targets.erase(targets.begin());
        return t;
    };
    ui.answers = {IDOK, IDNO}; // the refusal, then "open it now?"
    WithDialog([&](CBackupsDlg& dlg) {
        dlg.RestoreFileButton()->click();
        EXPECT_EQ(ui.LastBox(), existing + " already exists.");
        dlg.RestoreFileButton()->click();
    });
    // Suggested beside the open file, after it and the backup's date.
    EXPECT_EQ(fs::path(suggested).parent_path(), fs::path(path).parent_path());
    EXPECT_EQ(fs::path(suggested).filename().string().rfind("whole (restored ", 0), 0u);
    EXPECT_EQ(fs::path(suggested).extension(), ".Nota");
    std::ifstream in(existing);
    std::string mine;
    in >> mine;
    EXPECT_EQ(mine, "mine");
    EXPECT_TRUE(backup::Check(dir.File("restored.Nota")).bSound);
    EXPECT_EQ(OpenPath(), path); // declined: the open file stays
}

TEST_F(BackupWindowTest, TheOptionsPageStoresTheIntervalAndTheCounts) {
    CAppSettings settings;
    CRecordingUi pageUi;
    int page = 3;
    OPTIONSCONTEXT ctx;
    ctx.settings = &settings;
    ctx.ui = &pageUi;
    ctx.lastPage = &page;
    ctx.store = store.get();
    COptionsSheet sheet(ctx);
    ASSERT_EQ(sheet.Tabs()->tabText(3), QStringLiteral("Backups"));
    CBackupsPageDlg& b = sheet.Backups();
    EXPECT_EQ(b.IntervalBox()->currentData().toInt(), 24);
    b.IntervalBox()->setCurrentIndex(b.IntervalBox()->findData(0));
    b.KeepBox(1)->setValue(9);
    sheet.accept();
    EXPECT_EQ(settings.m_nBackupInterval, 0);
    EXPECT_EQ(settings.m_nBackupKeepWeekly, 9);
    CAppSettings loaded;
    loaded.Load(*store, 96);
    EXPECT_EQ(loaded.m_nBackupInterval, 0);
    EXPECT_EQ(loaded.m_nBackupKeepDaily, 7);
    EXPECT_EQ(loaded.m_nBackupKeepWeekly, 9);
}

} // namespace
