// The New/Open dialog loop and the two file dialogs.
#include "AppFixture.h"
#include "platform/FileSystem.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QPushButton>
#include <QTimer>

namespace {

bool IsDataFile(const std::string& path) {
    const std::vector<BYTE> bytes = ReadFileBytes(path);
    return bytes.size() >= 4 && std::string(bytes.begin(), bytes.begin() + 4) == "nota";
}

} // namespace

class DialogLoopTest : public AppTest {
protected:
    std::string current;
    // An application with a file open, as after start-up.
    void StartWithFile() {
        current = NewDataFile("current.Nota");
        store->WriteString("Settings", "LastFile", current);
        Start();
        ASSERT_EQ(OpenPath(), current);
        dialogs.shown.clear();
        ui.boxes.clear();
    }
};

TEST_F(DialogLoopTest, NewButtonLeadsToCreateAndNameWithoutDotGetsExtension) {
    dialogs.script = {{'O', false, "", true}, {'C', true, dir.File("notes")}};
    Start({}, Qt::ShiftModifier);
    EXPECT_EQ(dialogs.shown, "OC");
    EXPECT_EQ(OpenPath(), dir.File("notes.Nota"));
    EXPECT_TRUE(IsDataFile(dir.File("notes.Nota")));
    EXPECT_EQ(Tree().GetCount(), 1u); // the root folder of a new file
}

TEST_F(DialogLoopTest, NameWithADotIsCreatedAsTyped) {
    dialogs.script = {{'O', false, "", true}, {'C', true, dir.File("my.notes")}};
    Start({}, Qt::ShiftModifier);
    EXPECT_EQ(OpenPath(), dir.File("my.notes"));
    EXPECT_FALSE(fs_util::FileExists(dir.File("my.notes.Nota")));
}

TEST_F(DialogLoopTest, DotInFolderNameStillGetsExtension) {
    EXPECT_EQ(AddDefaultExtension("/home/ann.lee/notes"), "/home/ann.lee/notes.Nota");
    EXPECT_EQ(AddDefaultExtension("/home/ann/notes.txt"), "/home/ann/notes.txt");
    EXPECT_EQ(AddDefaultExtension("notes"), "notes.Nota");
}

TEST_F(DialogLoopTest, AppendedExtensionAsksBeforeReplacingAnExistingFile) {
    StartWithFile();
    const std::string existing = NewDataFile("notes.Nota");
    const std::vector<BYTE> before = ReadFileBytes(existing);
    dialogs.script = {{'C', true, dir.File("notes")}};
    ui.answers = {IDNO};
    app->OnFileNew();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "notes.Nota already exists.\nDo you want to replace it?");
    EXPECT_EQ(dialogs.shown, "CC"); // No: the Create dialog again (then cancelled)
    EXPECT_EQ(ReadFileBytes(existing), before);
    EXPECT_EQ(OpenPath(), current);
}

TEST_F(DialogLoopTest, FailedOpenWithoutFileOffersCreateThenAsksToExit) {
    const std::string junk = dir.File("junk.txt");
    WriteFileBytes(junk, {'h', 'e', 'l', 'l', 'o'});
    dialogs.script = {{'O', true, junk}};
    ui.answers = {IDOK, IDNO, IDYES};
    Start({}, Qt::ShiftModifier);
    // Open fails (1003) -> Create (cancelled) -> question, No -> Open (cancelled) -> Yes.
    EXPECT_EQ(dialogs.shown, "OCO");
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text,
              "Unable to open " + junk + ". File is corrupt or is not a valid Notarium data file.");
    EXPECT_EQ(ui.boxes[1].text, CNotariumApp::kMustHaveFile);
    EXPECT_EQ(ui.boxes[2].text, CNotariumApp::kMustHaveFile);
    EXPECT_FALSE(app->IsFileOpen());
}

TEST_F(DialogLoopTest, CancelWhileFileOpenKeepsItWithoutQuestion) {
    StartWithFile();
    app->OnFileOpen();
    EXPECT_EQ(dialogs.shown, "O");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(OpenPath(), current);
}

TEST_F(DialogLoopTest, NonDataFileWhileFileOpenShows1003AndKeepsCurrent) {
    StartWithFile();
    const std::string junk = dir.File("junk.Nota");
    WriteFileBytes(junk, std::vector<BYTE>(1024, 0));
    dialogs.script = {{'O', true, junk}};
    app->OnFileOpen();
    EXPECT_EQ(dialogs.shown, "O"); // the loop ends: a file is still open
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Unable to open " + junk + ". File is corrupt or is not a valid Notarium data file.");
    EXPECT_EQ(OpenPath(), current);
    EXPECT_TRUE(app->IsFileOpen());
}

TEST_F(DialogLoopTest, ChoosingTheOpenFileOrOneHeldElsewhereShowsSharingViolation) {
    StartWithFile();
    dialogs.script = {{'O', true, current}};
    app->OnFileOpen();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              CFileException(CFileException::sharingViolation, current).GetErrorMessage());
    EXPECT_EQ(OpenPath(), current);

    const std::string held = NewDataFile("held.Nota");
    CRecordingUi otherUi;
    CAppSettings otherSettings;
    CNotariumDoc other(otherUi, otherSettings);
    ASSERT_TRUE(other.OnOpenDocument(held));
    dialogs.script = {{'O', true, held}};
    app->OnFileOpen();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text,
              CFileException(CFileException::sharingViolation, held).GetErrorMessage());
    EXPECT_EQ(OpenPath(), current);
}

TEST_F(DialogLoopTest, OpeningAnotherFileCommitsTheTextBeingEdited) {
    StartWithFile();
    HTREEITEM hText = app->Doc().InsertNewItem(Tree().GetRootItem(), "Note", false);
    ASSERT_NE(hText, nullptr);
    QApplication::processEvents();
    Frame()->EditPane()->insertPlainText(QStringLiteral("typed"));
    const std::string other = NewDataFile("other.Nota");
    dialogs.script = {{'O', true, other}};
    app->OnFileOpen();
    EXPECT_EQ(OpenPath(), other);
    Exit();

    CRecordingUi checkUi;
    CAppSettings checkSettings;
    CNotariumDoc check(checkUi, checkSettings);
    ASSERT_TRUE(check.OnOpenDocument(current));
    ASSERT_TRUE(check.LoadTree());
    const CTreeCtrl& tree = check.Tree();
    std::string text;
    check.ReadText(tree.GetChildItem(tree.GetRootItem()), text);
    EXPECT_EQ(text, "typed");
}

TEST(FileDialogTest, OpenDialogHasItsTitleFiltersAndNewButton) {
    COpenFileDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Open Existing File"));
    EXPECT_EQ(dlg.nameFilters(), QStringList({QStringLiteral("Textlet Files (*.Nota)"),
                                              QStringLiteral("All Files (*.*)")}));
    ASSERT_NE(dlg.NewButton(), nullptr);
    EXPECT_EQ(dlg.NewButton()->text(), QStringLiteral("Ne&w..."));
    EXPECT_EQ(dlg.fileMode(), QFileDialog::ExistingFile);

    // "Ne&w..." closes the dialog as cancelled and says that a new file was asked for.
    QTimer::singleShot(0, &dlg, [&dlg] { QTest::mouseClick(dlg.NewButton(), Qt::LeftButton); });
    std::string path;
    EXPECT_FALSE(dlg.DoModal(path));
    EXPECT_TRUE(COpenFileDlg::s_bNewRequested);
}

TEST(FileDialogTest, CreateDialogConfirmsWithCreateAndAsksBeforeOverwriting) {
    CCreateFileDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Create New File"));
    EXPECT_EQ(dlg.labelText(QFileDialog::Accept), QStringLiteral("&Create"));
    EXPECT_EQ(dlg.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(dlg.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dlg.nameFilters().size(), 2);

    QTimer::singleShot(0, &dlg, [&dlg] { dlg.reject(); });
    std::string path;
    EXPECT_FALSE(dlg.DoModal(path));
}

TEST_F(DialogLoopTest, CreatingOverTheOpenFileFailsAndLeavesItWhole) {
    StartWithFile();
    ASSERT_NE(app->Doc().InsertNewItem(Tree().GetRootItem(), "Keep me", false), nullptr);
    const std::vector<BYTE> before = ReadFileBytes(current);
    dialogs.script = {{'C', true, current}};
    app->OnFileNew();
    ASSERT_GE(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              CFileException(CFileException::sharingViolation, current).GetErrorMessage());
    EXPECT_EQ(dialogs.shown, "C"); // a file is still open: the loop ends
    EXPECT_EQ(ReadFileBytes(current), before);
    EXPECT_EQ(OpenPath(), current);
}

TEST(CommandLineTest, FirstNonOptionArgumentMadeAbsolute) {
    EXPECT_EQ(CommandLineFile({}), "");
    EXPECT_EQ(CommandLineFile({QStringLiteral("-style"), QStringLiteral("/a/b.Nota")}),
              "/a/b.Nota");
    const std::string rel = CommandLineFile({QStringLiteral("x.Nota")});
    EXPECT_EQ(rel, QDir::current().absoluteFilePath(QStringLiteral("x.Nota")).toStdString());
}

TEST(FileDialogTest, AllFilesListsNamesWithoutADot) {
    COpenFileDlg dlg;
    auto* model = dlg.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(1); // what a choice in the filter box does
    emit combo->activated(1);
    emit combo->textActivated(combo->currentText());
    EXPECT_EQ(model->nameFilters(), QStringList{QStringLiteral("*")});
}
