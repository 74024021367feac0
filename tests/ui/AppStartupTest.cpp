// Start-up: which file opens with Shift, Ctrl, a command-line file, the last file, and in a
// second instance; the running-instance check.
#include "AppFixture.h"
#include "platform/InstanceLock.h"
#include "platform/Strings.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList Args(const std::string& path) {
    return {QString::fromStdString(path)};
}

} // namespace

TEST_F(AppTest, FirstInstanceReopensLastFileWithoutDialogs) {
    const std::string last = NewDataFile("last.Nota");
    store->WriteString("Settings", "LastFile", last);
    Start();
    EXPECT_TRUE(app->IsFirstInstance());
    EXPECT_TRUE(app->IsFileOpen());
    EXPECT_EQ(OpenPath(), last);
    EXPECT_EQ(dialogs.shown, "");
    ASSERT_NE(Frame(), nullptr);
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("last.Nota - Notarium"));
}

TEST_F(AppTest, CommandLineFileReplacesLastFile) {
    store->WriteString("Settings", "LastFile", NewDataFile("last.Nota"));
    const std::string named = NewDataFile("named.Nota");
    Start(Args(named));
    EXPECT_EQ(OpenPath(), named);
    EXPECT_EQ(app->Settings().m_strLastFile, named);
}

TEST_F(AppTest, ShiftIgnoresCommandLineAndLastFileAndShowsOpenDialog) {
    store->WriteString("Settings", "LastFile", NewDataFile("last.Nota"));
    const std::string named = NewDataFile("named.Nota");
    const std::string chosen = NewDataFile("chosen.Nota");
    dialogs.script = {{'O', true, chosen}};
    Start(Args(named), Qt::ShiftModifier);
    EXPECT_EQ(dialogs.shown, "O");
    EXPECT_EQ(OpenPath(), chosen);
}

TEST_F(AppTest, CtrlSkipsLastFileButOpensCommandLineFile) {
    store->WriteString("Settings", "LastFile", NewDataFile("last.Nota"));
    const std::string named = NewDataFile("named.Nota");
    Start(Args(named), Qt::ControlModifier);
    EXPECT_EQ(OpenPath(), named);
    EXPECT_EQ(dialogs.shown, "");
    Exit();

    Start({}, Qt::ControlModifier); // LastFile is now named.Nota, and Ctrl skips it
    EXPECT_EQ(dialogs.shown, "O");
    EXPECT_FALSE(app->IsFileOpen());
}

TEST_F(AppTest, SecondInstanceSkipsLastFileAndEndsWithoutQuestion) {
    store->WriteString("Settings", "LastFile", NewDataFile("last.Nota"));
    CInstanceLock first(lockPath);
    ASSERT_TRUE(first.Acquire());
    Start(); // the dialog is cancelled by the empty script
    EXPECT_FALSE(app->IsFirstInstance());
    EXPECT_EQ(dialogs.shown, "O");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(app->IsFileOpen());
    EXPECT_EQ(Frame(), nullptr);
}

TEST_F(AppTest, FirstInstanceAsksBeforeEndingWithoutFile) {
    ui.answers = {IDNO, IDYES};
    Start({}, Qt::ShiftModifier);
    EXPECT_EQ(dialogs.shown, "OO"); // No brings the Open dialog back
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, CNotariumApp::kMustHaveFile);
    EXPECT_EQ(ui.boxes[0].type & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(Frame(), nullptr);
}

TEST_F(AppTest, DamagedLastFileShowsMessageThenOpenDialog) {
    const std::string junk = dir.File("junk.Nota");
    WriteFileBytes(junk, std::vector<BYTE>(600, 'x'));
    store->WriteString("Settings", "LastFile", junk);
    ui.answers = {IDOK, IDYES};
    Start();
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes[0].text,
              "Unable to open " + junk + ". File is corrupt or is not a valid Notarium data file.");
    // The failed open leads to the Open dialog; cancelling it asks whether to exit.
    EXPECT_EQ(dialogs.shown, "O");
}

TEST_F(AppTest, LastFileHeldByAnotherProgramShowsSharingViolation) {
    const std::string last = NewDataFile("last.Nota");
    store->WriteString("Settings", "LastFile", last);
    CRecordingUi otherUi;
    CAppSettings otherSettings;
    CNotariumDoc other(otherUi, otherSettings);
    ASSERT_TRUE(other.OnOpenDocument(last));
    ui.answers = {IDOK, IDYES};
    Start();
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes[0].text,
              CFileException(CFileException::sharingViolation, last).GetErrorMessage());
    EXPECT_FALSE(app->IsFileOpen());
}

TEST_F(AppTest, OpenNewWindowStartsTheProgramAgain) {
    store->WriteString("Settings", "LastFile", NewDataFile("last.Nota"));
    Start();
    ASSERT_NE(Frame(), nullptr);
    Frame()->Action(ID_OPEN_NEW_WINDOW)->trigger();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], QCoreApplication::applicationFilePath());
}

TEST(InstanceLockTest, FirstUntilAnotherHoldsItAndFreeAgainWhenHolderDies) {
    CTempDir dir;
    const std::string path = dir.File("app.lock");
    {
        CInstanceLock a(path), b(path);
        EXPECT_TRUE(a.Acquire());
        EXPECT_FALSE(b.Acquire()); // a runs
        a.Release();
        CInstanceLock c(path);
        EXPECT_FALSE(c.Acquire()); // b still runs
    }
    // A holder that is killed leaves nothing stale behind.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CInstanceLock held(path);
        held.Acquire();
        const char c = 'x';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    CInstanceLock probe(path);
    EXPECT_FALSE(probe.Acquire());
    probe.Release();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(probe.Acquire());
    close(ready[0]);
    close(ready[1]);
}
