// File > Export... and File > Import... in the window: the dialogs answered by a script, the
// runs, the progress bar with Escape, the summary and the selection after an import.

#include "AppFixture.h"
#include "TreePaneFixture.h"

#include "ui/common/CommandIds.h"

#include "ui/frame/ExchangeCommands.h"
#include "ui/frame/ExchangeDialogs.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The exchange dialogs as a script: each showing records what it was given and answers.
class CScriptedExchange : public IExchangeDialogs {
public:
    bool answer = true;
    ExportChoice exportChoice;
    std::vector<std::string> importSources;
    ExportDefaults seenDefaults;
    QString seenTarget;
    std::string summaryHeadline;
    std::vector<std::string> summaryLines;
    int summaries = 0;

    bool RunExport(QWidget*, const ExportDefaults& defaults, ExportChoice& choice) override {
        seenDefaults = defaults;
        choice = exportChoice;
        return answer;
    }
    bool RunImport(QWidget*, const QString& target, const std::string&,
                   std::vector<std::string>& sources) override {
        seenTarget = target;
        sources = importSources;
        return answer;
    }
    void ShowSummary(QWidget*, const std::string& headline,
                     const std::vector<std::string>& lines) override {
        ++summaries;
        summaryHeadline = headline;
        summaryLines = lines;
    }
};

// Counts how often the keyboard is polled; with stopAtPoll set, Escape comes at that poll, and
// each poll before it takes longer than the poll interval (so that the next step polls again).
class CPollCountingUi : public CRecordingUi {
public:
    int polls = 0;
    int stopAtPoll = 0;
    bool PollEscape() override {
        ++polls;
        if (stopAtPoll == 0)
            return CRecordingUi::PollEscape();
        if (polls < stopAtPoll)
            QTest::qWait(static_cast<int>(CWindowProgress::kPollInterval.count()) + 10);
        return polls >= stopAtPoll;
    }
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

class ExchangeCommandsTest : public PaneTest {
protected:
    CScriptedExchange dialogs;
    std::unique_ptr<CExchangeCommands> exchange;
    HTREEITEM docs = nullptr;
    HTREEITEM deep = nullptr;
    HTREEITEM note = nullptr;

    void SetUp() override {
        PaneTest::SetUp();
        docs = Add(Root(), "Docs", true);
        deep = Add(docs, "Deep", true);
        note = Add(docs, "Note");
        Add(Root(), "Alpha");
        exchange = std::make_unique<CExchangeCommands>(doc, ui, *pane, &dialogs);
    }
    void TearDown() override { exchange.reset(); }

    // A directory of text files to import: m.txt, z.txt and sub/inner.txt.
    std::string SourceTree() {
        const std::string src = dir.File("source");
        fs::create_directories(src + "/sub");
        WriteFile(src + "/m.txt", "em\nline two\n");
        WriteFile(src + "/z.txt", "zed");
        WriteFile(src + "/sub/inner.txt", "inner");
        return src;
    }
    void ExpectProgressClosed() {
        EXPECT_EQ(ui.progressBegun, ui.progressEnded);
        EXPECT_EQ(ui.waitDepth, 0);
    }
};

TEST_F(ExchangeCommandsTest, ExportOfTheSelectedFolderCommitsPendingTextWritesFilesAndSummarises) {
    Select(note);
    Type(QStringLiteral("typed, not yet stored"));
    dialogs.exportChoice.destination = dir.File("out");
    exchange->Export();

    EXPECT_EQ(dialogs.seenDefaults.folderTitle, QStringLiteral("Docs")); // the textlet's folder
    EXPECT_EQ(dialogs.seenDefaults.folderName, "Docs");
    EXPECT_EQ(dialogs.seenDefaults.databaseName, "test");
    EXPECT_EQ(dialogs.seenDefaults.startDir, fs::path(path).parent_path().string());
    EXPECT_TRUE(fs::is_directory(dir.File("out/Deep")));
    EXPECT_EQ(ReadFile(dir.File("out/Note.txt")), "typed, not yet stored");
    EXPECT_FALSE(fs::exists(dir.File("out/Alpha.txt"))); // outside the folder
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.LastBox(), "Exported 1 folder and 1 textlet to '" + dir.File("out") + "'.");
    EXPECT_GT(ui.progressBegun, 0);
    ExpectProgressClosed();
}

TEST_F(ExchangeCommandsTest, ExportOfTheWholeDatabaseAsMarkdownAndItsErrors) {
    Select(note);
    Type(QStringLiteral("body of note"));
    dialogs.exportChoice = {true, true, dir.File("all.md")};
    exchange->Export();
    const std::string md = ReadFile(dir.File("all.md"));
    EXPECT_NE(md.find("Alpha"), std::string::npos);
    EXPECT_NE(md.find("body of note"), std::string::npos);

    // The file exists now: the export's own message, nothing overwritten.
    exchange->Export();
    EXPECT_NE(ui.LastBox().find("the file exists"), std::string::npos) << ui.LastBox();
    EXPECT_EQ(ui.boxes.back().type & MB_ICONMASK, MB_ICONEXCLAMATION);
    EXPECT_EQ(ReadFile(dir.File("all.md")), md);

    // Cancelled: nothing runs.
    dialogs.answer = false;
    const std::size_t shown = ui.boxes.size();
    exchange->Export();
    EXPECT_EQ(ui.boxes.size(), shown);
    ExpectProgressClosed();
}

TEST_F(ExchangeCommandsTest, ImportOfAFolderAddsTheFolderUnderTheSelectedFolderAndSelectsIt) {
    Select(note); // a textlet: the import goes into its folder
    dialogs.importSources = {SourceTree()};
    exchange->Import();
    Idle();

    EXPECT_EQ(dialogs.seenTarget, QStringLiteral("Docs"));
    // The folder the user added, with its contents, not the contents alone.
    EXPECT_EQ(ChildTitles(docs), (std::vector<std::string>{"Deep", "Note", "source"}));
    HTREEITEM first = Tree().GetSelectedItem();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Title(first), "source");
    EXPECT_EQ(pane->currentIndex(), pane->Model().IndexOf(first));
    EXPECT_EQ(ChildTitles(first), (std::vector<std::string>{"m", "sub", "z"}));
    EXPECT_EQ(StoredText(Tree().GetChildItem(first)), "em\r\nline two\r\n");
    EXPECT_EQ(ui.LastBox(), "Imported 2 folders and 3 textlets into 'Docs'.");
    ExpectProgressClosed();

    Reopen();
    EXPECT_EQ(Tree().GetCount(), 10u); // root, Docs, Deep, Note, Alpha and the five new
}

TEST_F(ExchangeCommandsTest, SingleFilesGoIntoTheSelectedFolderAndTheRootWhenNothingIsSelected) {
    const std::string src = SourceTree();
    Select(deep);
    dialogs.importSources = {src + "/z.txt", src + "/m.txt"};
    exchange->Import();
    EXPECT_EQ(ChildTitles(deep), (std::vector<std::string>{"m", "z"}));
    EXPECT_EQ(Title(Tree().GetSelectedItem()), "m");

    Tree().SelectItem(nullptr);
    dialogs.importSources = {src + "/sub/inner.txt"};
    exchange->Import();
    EXPECT_EQ(Tree().GetParentItem(Tree().GetSelectedItem()), Root());
    EXPECT_EQ(Title(Tree().GetSelectedItem()), "inner");
}

TEST_F(ExchangeCommandsTest, EscapeStopsBothAndLeavesNothingHalfDone) {
    Select(docs);
    const std::vector<std::string> before = ChildTitles(docs);
    const auto count = Tree().GetCount();
    ui.escapePressed = true;

    dialogs.importSources = {SourceTree()};
    exchange->Import();
    EXPECT_EQ(ui.LastBox(), CExchangeCommands::kImportStopped);
    EXPECT_EQ(ChildTitles(docs), before);
    EXPECT_EQ(Tree().GetSelectedItem(), docs);

    dialogs.exportChoice = {true, false, dir.File("stopped")};
    exchange->Export();
    EXPECT_EQ(ui.LastBox(), CExchangeCommands::kExportStopped);
    EXPECT_FALSE(fs::exists(dir.File("stopped")));
    ExpectProgressClosed();

    ui.escapePressed = false;
    Reopen();
    EXPECT_EQ(Tree().GetCount(), count);
}

TEST(ExchangeStopTest, EscapeInTheMiddleOfAnImportTakesBackWhatWasAlreadyImported) {
    CTempDir dir;
    CPollCountingUi ui;
    CAppSettings settings;
    CNotariumDoc doc{ui, settings};
    const std::string path = dir.File("stop.Nota");
    ASSERT_TRUE(CNotariumDoc::PrepareDataFile(path, true, ui));
    ASSERT_TRUE(doc.OnOpenDocument(path));
    CEditPaneView edit(settings, ui);
    CTreePaneView pane(doc, settings, ui);
    pane.SetEditPane(&edit);
    pane.OnInitialUpdate();
    const std::string src = dir.File("src");
    fs::create_directories(src);
    for (int i = 0; i < 6; ++i)
        WriteFile(src + "/f" + std::to_string(i) + ".txt", std::string(3000, 'a' + i));
    const auto count = doc.Tree().GetCount();
    const auto length = fs::file_size(path);

    CScriptedExchange dialogs;
    dialogs.importSources = {src};
    CExchangeCommands exchange(doc, ui, pane, &dialogs);
    ui.stopAtPoll = 3; // two files are in when Escape comes
    exchange.Import();
    EXPECT_EQ(ui.polls, 3);
    EXPECT_EQ(ui.LastBox(), CExchangeCommands::kImportStopped);
    EXPECT_EQ(doc.Tree().GetCount(), count);
    doc.DeleteContents();
    EXPECT_EQ(fs::file_size(path), length);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.Tree().GetCount(), count);
}

TEST_F(ExchangeCommandsTest, SkippedFilesAreListedInTheBoxOrInTheScrollableListWhenMany) {
    const std::string src = dir.File("mixed");
    fs::create_directories(src);
    WriteFile(src + "/ok.txt", "fine");
    WriteFile(src + "/picture.bin", std::string("\x89PNG\0\0\0\rIHDR", 12));
    Select(docs);
    dialogs.importSources = {src};
    exchange->Import();
    const std::string box = ui.LastBox();
    EXPECT_EQ(box.rfind("Imported 1 folder and 1 textlet into 'Docs'.\n\nSkipped 1:\n", 0), 0u)
        << box;
    EXPECT_NE(box.find("picture.bin: "), std::string::npos) << box;
    EXPECT_EQ(dialogs.summaries, 0);

    const std::string many = dir.File("many");
    fs::create_directories(many);
    for (int i = 0; i < 12; ++i)
        WriteFile(many + "/b" + std::to_string(i) + ".bin", std::string("\0\1\2", 3));
    const std::size_t shown = ui.boxes.size();
    dialogs.importSources = {many};
    exchange->Import(); // into the folder "mixed", which the first import added and selected
    EXPECT_EQ(ui.boxes.size(), shown); // not in a box ...
    ASSERT_EQ(dialogs.summaries, 1);   // ... but in the list
    EXPECT_EQ(dialogs.summaryLines.size(), 12u);
    EXPECT_EQ(dialogs.summaryHeadline,
              "Imported 1 folder and 0 textlets into 'mixed'.\nSkipped 12:");
}

TEST(WindowProgressTest, PollsAtTheFirstStepThenNotMoreOftenThanTheInterval) {
    CPollCountingUi ui;
    {
        CWindowProgress progress(ui);
        progress.Begin(4000);
        for (std::uint64_t i = 1; i <= 4000; ++i)
            ASSERT_TRUE(progress.Step(i));
        EXPECT_GE(ui.polls, 1);
        EXPECT_LT(ui.polls, 100); // 4000 steps take far less than 100 intervals
        EXPECT_EQ(ui.progressPositions.back(), 1000);
        EXPECT_LE(ui.progressPositions.size(), 1001u); // only changes reach the bar
        ui.escapePressed = true;
    }
    EXPECT_EQ(ui.progressEnded, 1); // ended once, also when the run did not end it
    CWindowProgress stopped(ui);
    stopped.Begin(10);
    EXPECT_FALSE(stopped.Step(1));
    EXPECT_FALSE(stopped.Step(2)); // stays stopped
}

TEST(ExchangeDialogsTest, ExportProposesADestinationThatFollowsTheChoices) {
    ExportDefaults defaults{QStringLiteral("Docs"), "/home/u", "Docs", "notes"};
    CExportDlg dlg(defaults);
    EXPECT_TRUE(dlg.FolderButton()->isChecked());
    EXPECT_TRUE(dlg.TextFilesButton()->isChecked());
    EXPECT_EQ(dlg.DestinationEdit()->text(), QStringLiteral("/home/u/Docs"));
    dlg.MarkdownButton()->setChecked(true);
    EXPECT_EQ(dlg.DestinationEdit()->text(), QStringLiteral("/home/u/Docs.md"));
    dlg.WholeButton()->setChecked(true);
    EXPECT_EQ(dlg.DestinationEdit()->text(), QStringLiteral("/home/u/notes.md"));
    ExportChoice choice = dlg.Choice();
    EXPECT_TRUE(choice.bWholeDatabase && choice.bMarkdown);

    // Once the user has typed a destination it stays.
    dlg.DestinationEdit()->clear();
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    QTest::keyClicks(dlg.DestinationEdit(), "/tmp/mine");
    dlg.TextFilesButton()->setChecked(true);
    EXPECT_EQ(dlg.Choice().destination, "/tmp/mine");
    EXPECT_TRUE(dlg.OkButton()->isEnabled());

    // Without a selected folder only the whole database can be exported.
    CExportDlg none(ExportDefaults{QString(), "/home/u", "", "notes"});
    EXPECT_FALSE(none.FolderButton()->isEnabled());
    EXPECT_TRUE(none.WholeButton()->isChecked());
    EXPECT_EQ(none.DestinationEdit()->text(), QStringLiteral("/home/u/notes"));
}

TEST(ExchangeDialogsTest, ImportTakesFilesAndFoldersTogether) {
    CImportDlg dlg(QStringLiteral("Docs"), "/home/u");
    EXPECT_FALSE(dlg.OkButton()->isEnabled());
    dlg.AddSource(QStringLiteral("/home/u/a.txt"));
    dlg.AddSource(QStringLiteral("/home/u/folder"));
    dlg.AddSource(QStringLiteral("/home/u/a.txt")); // once only
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    EXPECT_EQ(dlg.Sources(), (std::vector<std::string>{"/home/u/a.txt", "/home/u/folder"}));
}

TEST_F(ExchangeCommandsTest, BothCommandsNeedAnOpenFile) {
    CCommandRouter router;
    exchange->Register(router);
    EXPECT_TRUE(router.IsEnabled(ID_FILE_IMPORT));
    EXPECT_TRUE(router.IsEnabled(ID_FILE_EXPORT));
    exchange.reset();
    pane.reset();
    doc.DeleteContents();
    CTreePaneView view(doc, settings, ui);
    CExchangeCommands closed(doc, ui, view, &dialogs);
    CCommandRouter none;
    closed.Register(none);
    EXPECT_FALSE(none.IsEnabled(ID_FILE_IMPORT));
    EXPECT_FALSE(none.IsEnabled(ID_FILE_EXPORT));
}

class ExchangeFrameTest : public AppTest {};

TEST_F(ExchangeFrameTest, TheFileMenuOffersImportAndExportWithPromptsWhileAFileIsOpen) {
    const std::string path = NewDataFile("frame.Nota");
    Start({QString::fromStdString(path)});
    ASSERT_NE(Frame(), nullptr);
    QMenu* file = Frame()->menuBar()->actions().constFirst()->menu();
    ASSERT_NE(file, nullptr);
    for (UINT id : {ID_FILE_IMPORT, ID_FILE_EXPORT}) {
        QAction* action = Frame()->Action(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_TRUE(file->actions().contains(action)) << id;
        EXPECT_FALSE(action->statusTip().isEmpty()) << id;
        Frame()->UpdateCommandStates();
        EXPECT_TRUE(action->isEnabled()) << id;
    }
    // The command runs the dialog; cancelled, it does nothing.
    CScriptedExchange dialogs;
    dialogs.answer = false;
    Frame()->ExchangeCommands().SetDialogs(&dialogs);
    Frame()->Action(ID_FILE_IMPORT)->trigger();
    EXPECT_EQ(dialogs.seenTarget, QStringLiteral("Notarium")); // the root folder
    EXPECT_TRUE(ui.boxes.empty());
    Frame()->ExchangeCommands().SetDialogs(nullptr);
}
