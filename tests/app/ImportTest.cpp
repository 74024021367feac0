// Import of plain files and of hostile trees: links, loops, huge and binary files, odd
// names and manifests. Nothing outside the chosen folder is read; nothing crashes; what
// is passed over is listed with its reason.
#include "app/Import.h"
#include "app/Export.h"
#include "cli/Commands.h"
#include "platform/File.h"
#include "support/DocFixture.h"

#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace exchange;

namespace {

void Write(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<BYTE>(text.begin(), text.end()));
}

std::string ReasonFor(const Report& r, const std::string& path) {
    for (const auto& s : r.skipped)
        if (s.path == path)
            return s.reason;
    return "(not skipped)";
}

class CStopAt : public IProgress {
public:
    explicit CStopAt(std::uint64_t n) : m_n(n) {}
    void Begin(std::uint64_t) override {}
    bool Step(std::uint64_t done) override { return done < m_n; }
    void End() override {}

private:
    std::uint64_t m_n;
};

class ImportTest : public DocFixture {
protected:
    CTempDir src;
    std::istringstream checkIn;
    std::ostringstream checkOut;
    cli::Streams io{checkIn, checkOut, checkOut};
    void SetUp() override { CreateAndOpen(); }
    std::string S(const std::string& rel) const { return src.File(rel); }
};

} // namespace

TEST_F(ImportTest, FilesBecomeTextletsAndDirectoriesFolders) {
    ::mkdir(S("Work").c_str(), 0777);
    Write(S("Work/Memo.txt"), "line 1\nline 2\n");
    Write(S("Work/notes.md"), "# heading\r\nalready CR LF\r\n");
    Write(S("Work/script.sh"), "\xEF\xBB\xBF"
                               "echo hi\n"); // text by content; the BOM goes
    Write(S("Work/empty.txt"), "");
    Write(S("Top.TXT"), "top");
    std::string longName(80, 'n');
    Write(S(longName + ".txt"), "body");
    Report r = Import(doc, nullptr, {src.Path()});
    ASSERT_TRUE(r.Ok()) << r.strError;
    EXPECT_TRUE(r.skipped.empty());
    EXPECT_EQ(r.nFolders, 1u);
    EXPECT_EQ(r.nTextlets, 6u);
    HTREEITEM work = Child(Root(), "Work");
    ASSERT_TRUE(work);
    EXPECT_EQ(Titles(work), (std::vector<std::string>{"empty", "Memo", "notes.md", "script.sh"}));
    EXPECT_EQ(GetText(Child(work, "Memo")), "line 1\r\nline 2\r\n");
    EXPECT_EQ(GetText(Child(work, "notes.md")), "# heading\r\nalready CR LF\r\n");
    EXPECT_EQ(GetText(Child(work, "script.sh")), "echo hi\r\n");
    EXPECT_EQ(Chain(Child(work, "empty")), 0u);
    EXPECT_EQ(GetText(Child(Root(), "Top")), "top");
    // A name over 64 bytes: cut for the title, whole at the top of the text.
    HTREEITEM cut = Child(Root(), std::string(64, 'n'));
    ASSERT_TRUE(cut);
    EXPECT_EQ(GetText(cut), longName + "\r\nbody");

    // Single files go into the chosen folder; a textlet as the target means its folder.
    Report one = Import(doc, Child(work, "Memo"), {S("Top.TXT")});
    ASSERT_TRUE(one.Ok());
    EXPECT_TRUE(Child(work, "Top"));
    Reopen();
    EXPECT_TRUE(Child(Child(Root(), "Work"), "Top"));
}

TEST_F(ImportTest, LinksAreNeverFollowedBelowTheSource) {
    CTempDir outside;
    Write(outside.File("secret.txt"), "outside text");
    ::mkdir(outside.File("dir").c_str(), 0777);
    Write(outside.File("dir/deep.txt"), "outside too");
    ::mkdir(S("in").c_str(), 0777);
    Write(S("in/ok.txt"), "inside");
    ASSERT_EQ(::symlink(outside.File("secret.txt").c_str(), S("in/link.txt").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path().c_str(), S("in/outdir").c_str()), 0);
    ASSERT_EQ(::symlink("..", S("in/loop").c_str()), 0); // a directory loop through a link
    ASSERT_EQ(::symlink("nowhere", S("dangling.txt").c_str()), 0);
    Report r = Import(doc, nullptr, {src.Path()});
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(ReasonFor(r, S("in/link.txt")), "symbolic link, not followed");
    EXPECT_EQ(ReasonFor(r, S("in/outdir")), "symbolic link, not followed");
    EXPECT_EQ(ReasonFor(r, S("in/loop")), "symbolic link, not followed");
    EXPECT_EQ(ReasonFor(r, S("dangling.txt")), "symbolic link, not followed");
    EXPECT_EQ(r.nTextlets, 1u);
    EXPECT_EQ(Titles(Child(Root(), "in")), std::vector<std::string>{"ok"});
}

TEST_F(ImportTest, HugeBinaryAndSpecialFilesAreSkippedWithTheirReason) {
    // A 1 GB file (sparse: it costs no disk) is refused before a byte of it is read.
    int fd = ::open(S("huge.txt").c_str(), O_CREAT | O_WRONLY, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(1) << 30), 0);
    ::close(fd);
    Write(S("image.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    Write(S("nul.txt"), std::string("text with a \0 inside", 20));
    ASSERT_EQ(::mkfifo(S("pipe").c_str(), 0666), 0); // must not hang the import
    Write(S("fine.txt"), "fine");
    Report r = Import(doc, nullptr, {src.Path()});
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(ReasonFor(r, S("huge.txt")), "larger than 16 MB");
    EXPECT_EQ(ReasonFor(r, S("image.png")), "not a text file");
    EXPECT_EQ(ReasonFor(r, S("nul.txt")), "not a text file");
    EXPECT_EQ(ReasonFor(r, S("pipe")), "not a regular file or folder");
    EXPECT_EQ(Titles(Root()), std::vector<std::string>{"fine"});

    // Sources named directly get the same treatment.
    Report direct = Import(doc, nullptr, {S("pipe"), S("missing"), S("image.png")});
    ASSERT_TRUE(direct.Ok());
    EXPECT_EQ(ReasonFor(direct, S("pipe")), "not a regular file or folder");
    EXPECT_EQ(ReasonFor(direct, S("missing")), "cannot be read: No such file or directory");
    EXPECT_EQ(ReasonFor(direct, S("image.png")), "not a text file");
}

TEST_F(ImportTest, OddNamesAndDepthStayInsideTheSource) {
    Write(S("..dots.txt"), "a");
    Write(S("...txt"), "b");
    std::string deep = S("d");
    ::mkdir(deep.c_str(), 0777);
    for (int i = 0; i < 8; ++i)
        ::mkdir((deep += "/d").c_str(), 0777);
    Write(deep + "/bottom.txt", "deep");
    ImportOptions options;
    options.maxDepth = 4;
    Report r = Import(doc, nullptr, {src.Path()}, options);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(ReasonFor(r, S("d/d/d/d/d")), "nested too deeply");
    EXPECT_TRUE(Child(Root(), "..dots"));
    EXPECT_TRUE(Child(Root(), ".."));
}

TEST_F(ImportTest, AManifestCannotReachOutsideOrBreakTheImport) {
    CTempDir outside;
    Write(outside.File("secret.txt"), "outside text");
    std::string rel = "../" + outside.Path().substr(outside.Path().rfind('/') + 1) + "/secret.txt";
    Write(S("notarium-export.tsv"), "# Notarium export 1\n"
                                    "textlet\t" +
                                        rel +
                                        "\tutf-8\tStolen\tx\n"
                                        "textlet\t/etc/hostname\tutf-8\tHost\tx\n"
                                        "textlet\tmine.txt\twindows-1252\tMy %E9 title\tx\n"
                                        "folder\tmine.txt\t-\tNot a folder\tx\n"
                                        "textlet\tbad.txt\tutf-8\t%%%\tx\n"
                                        "\t\t\t\t\n\xff\xfe garbage\n");
    Write(S("mine.txt"), "caf\xc3\xa9\n");
    Write(S("bad.txt"), "b");
    Report r = Import(doc, nullptr, {src.Path()});
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(Titles(Root()), (std::vector<std::string>{"bad", "My \xe9 title"}));
    EXPECT_EQ(GetText(Child(Root(), "My \xe9 title")), "caf\xe9\r\n");
}

TEST_F(ImportTest, AStoppedImportLeavesTheDatabaseAsItWas) {
    // Free blocks, so the import uses them first and then appends.
    HTREEITEM old = Add(Root(), "Old", false);
    SetText(old, std::string(2000, 'o'));
    ASSERT_TRUE(doc.DeleteItem(old));
    SetText(Add(Root(), "Keep", false), "kept");
    ::mkdir(S("sub").c_str(), 0777);
    for (int i = 0; i < 30; ++i)
        Write(S("sub/f" + std::to_string(i) + ".txt"), std::string(1500, 'a' + i % 26));
    doc.DeleteContents();
    const std::vector<BYTE> before = ReadFileBytes(path);
    Reopen();
    CStopAt stop(20);
    Report r = Import(doc, nullptr, {src.Path()}, {}, &stop);
    EXPECT_TRUE(r.bStopped);
    EXPECT_EQ(r.nTextlets, 0u);
    EXPECT_EQ(Titles(Root()), std::vector<std::string>{"Keep"});
    Reopen();
    EXPECT_EQ(Titles(Root()), std::vector<std::string>{"Keep"});
    EXPECT_EQ(GetText(Child(Root(), "Keep")), "kept");
    doc.DeleteContents();
    EXPECT_EQ(ReadFileBytes(path), before); // free list and all
    EXPECT_EQ(cli::Main({"check", path}, io), 0) << checkOut.str();
}

TEST_F(ImportTest, TextsAppendedAfterAPartialBlockStayOnTheBlockGrid) {
    SetText(Add(Root(), "Keep", false), "kept");
    doc.DeleteContents();
    std::vector<BYTE> bytes = ReadFileBytes(path);
    bytes.insert(bytes.end(), 100, 0); // a partial block at the end is no content
    WriteFileBytes(path, bytes);
    Reopen();
    ::mkdir(S("sub").c_str(), 0777);
    for (int i = 0; i < 3; ++i)
        Write(S("sub/f" + std::to_string(i) + ".txt"), std::string(1200, 'a' + i));
    ASSERT_TRUE(Import(doc, nullptr, {src.Path()}).Ok());
    Reopen();
    EXPECT_EQ(GetText(Child(Child(Root(), "sub"), "f2")), std::string(1200, 'c'));
    doc.DeleteContents();
    EXPECT_EQ((ReadFileBytes(path).size() - 32) % 512, 0u);
    EXPECT_EQ(cli::Main({"check", path}, io), 0) << checkOut.str();
}

TEST_F(ImportTest, AFailedWriteUndoesTheWholeImport) {
    SetText(Add(Root(), "Keep", false), "kept");
    ::mkdir(S("sub").c_str(), 0777);
    for (int i = 0; i < 10; ++i)
        Write(S("sub/f" + std::to_string(i) + ".txt"), std::string(40000, 'x'));
    doc.DeleteContents();
    std::vector<BYTE> before = ReadFileBytes(path);
    // The texts, the tree stream, the commit: a failure at each.
    const std::pair<CFile::Op, int> faults[] = {
        {CFile::Op::Write, 1}, {CFile::Op::Write, 2}, {CFile::Op::Flush, 1}};
    for (auto [failOp, failAt] : faults) {
        Reopen();
        int calls = 0;
        CFile::SetFaultHook([&](CFile::Op op, const std::string&) {
            if (op == failOp && ++calls == failAt)
                throw CFileException(CFileException::diskFull, "test");
        });
        Report r = Import(doc, nullptr, {src.Path()});
        CFile::SetFaultHook(nullptr);
        EXPECT_FALSE(r.Ok()) << failAt;
        EXPECT_NE(r.strError.find("Import failed, nothing was imported: "), std::string::npos);
        EXPECT_EQ(Titles(Root()), std::vector<std::string>{"Keep"});
        Reopen();
        EXPECT_EQ(Titles(Root()), std::vector<std::string>{"Keep"}) << failAt;
        EXPECT_EQ(GetText(Child(Root(), "Keep")), "kept");
        doc.DeleteContents();
        // Without free blocks to take, the file is exactly as it was.
        EXPECT_EQ(ReadFileBytes(path), before) << failAt;
    }
    Reopen();
    EXPECT_TRUE(Import(doc, nullptr, {src.Path()}).Ok());
    EXPECT_EQ(Titles(Child(Root(), "sub")).size(), 10u);
}

TEST_F(ImportTest, AFolderAddedAsAFolderKeepsItsNameAndAnExportsSubfolderItsTitle) {
    ::mkdir(S("Recipes").c_str(), 0777);
    Write(S("Recipes/Soup.txt"), "hot");
    ImportOptions asFolder;
    asFolder.bDirectoryAsFolder = true;
    Report r = Import(doc, nullptr, {S("Recipes/")}, asFolder);
    ASSERT_TRUE(r.Ok()) << r.strError;
    EXPECT_EQ(r.nFolders, 1u);
    HTREEITEM recipes = Child(Root(), "Recipes");
    ASSERT_TRUE(recipes);
    EXPECT_EQ(Titles(recipes), std::vector<std::string>{"Soup"});

    // Two folders of one title export as "Pie" and "Pie (2)"; the second, imported alone,
    // is "Pie" again, and so are the titles inside it that the manifest names.
    HTREEITEM book = Add(Root(), "Book", true);
    Add(Add(book, "Pie", true), "Crust", false);
    Add(Add(book, "Pie", true), "Apple: baked", false);
    const std::string out = S("out");
    ASSERT_TRUE(ExportToDirectory(doc, book, out).Ok());
    ASSERT_TRUE(std::filesystem::is_directory(out + "/Pie (2)"));
    HTREEITEM target = Add(Root(), "Target", true);
    Report sub = Import(doc, target, {out + "/Pie (2)"}, asFolder);
    ASSERT_TRUE(sub.Ok()) << sub.strError;
    EXPECT_EQ(Titles(target), std::vector<std::string>{"Pie"});
    HTREEITEM pie = Child(target, "Pie");
    ASSERT_TRUE(pie);
    EXPECT_EQ(Titles(pie), std::vector<std::string>{"Apple: baked"});
    // The contents alone (as nota's import takes a folder) also get the manifest's titles.
    HTREEITEM plain = Add(Root(), "Plain", true);
    ASSERT_TRUE(Import(doc, plain, {out + "/Pie (2)"}).Ok());
    EXPECT_EQ(Titles(plain), Titles(pie));
    Reopen();
    EXPECT_TRUE(Child(Child(Root(), "Target"), "Pie"));
}
