// Export and import: file names, the manifest, and the round trip of every shape a
// database can take.
#include "app/Export.h"
#include "app/Import.h"
#include "app/TreeWalk.h"
#include "platform/DirTree.h"
#include "platform/Encoding.h"
#include "store/Payload.h"
#include "support/DocFixture.h"

#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

using namespace exchange;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every item below (and including) h in pre-order: depth, kind, title bytes and text.
struct Shape {
    std::size_t depth;
    bool folder;
    std::string title;
    std::string text;
    bool operator==(const Shape&) const = default;
};

std::vector<Shape> Snapshot(CNotariumDoc& doc, const CTreeCtrl& tree, HTREEITEM top) {
    std::vector<Shape> out;
    std::vector<std::pair<HTREEITEM, std::size_t>> work{{top, 0}};
    while (!work.empty()) {
        auto [h, depth] = work.back();
        work.pop_back();
        std::string text;
        doc.ReadText(h, text);
        out.push_back(
            {depth, nota::IsFolderImage(treewalk::GetImage(tree, h)), tree.GetItemText(h), text});
        std::vector<HTREEITEM> children;
        for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c))
            children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            work.emplace_back(*it, depth + 1);
    }
    return out;
}

class CStopAfter : public IProgress {
public:
    explicit CStopAfter(std::uint64_t n) : m_n(n) {}
    std::uint64_t total = 0;
    void Begin(std::uint64_t t) override { total = t; }
    bool Step(std::uint64_t done) override { return done < m_n; }
    void End() override {}

private:
    std::uint64_t m_n;
};

} // namespace

TEST(ExportNames, AwkwardTitlesGetReadableSafeNames) {
    EXPECT_EQ(FileNameFor("Memo", ".txt"), "Memo.txt");
    EXPECT_EQ(FileNameFor("a/b\\c", ".txt"), "a%2Fb%5Cc.txt");
    EXPECT_EQ(FileNameFor(".", ""), "%2E");
    EXPECT_EQ(FileNameFor("..", ""), "%2E%2E");
    EXPECT_EQ(FileNameFor(".hidden", ".txt"), "%2Ehidden.txt");
    EXPECT_EQ(FileNameFor("", ".txt"), "(no title).txt");
    EXPECT_EQ(FileNameFor("tab\there", ""), "tab%09here");
    EXPECT_EQ(FileNameFor("CON", ".txt"), "CON_.txt");
    EXPECT_EQ(FileNameFor("lpt1.log", ""), "lpt1_.log");
    EXPECT_EQ(FileNameFor("Console", ""), "Console");
    EXPECT_EQ(FileNameFor("ends.", ""), "ends%2E");
    EXPECT_EQ(FileNameFor("ends ", ".txt"), "ends%20.txt");
    EXPECT_EQ(FileNameFor("Caf\xe9", ".txt"), "Caf\xc3\xa9.txt"); // Windows-1252 shown as UTF-8
    EXPECT_EQ(FileNameFor("Äpfel", ""), "Äpfel");
    EXPECT_LE(FileNameFor(std::string(300, 'x'), ".txt").size(), 204u);
}

TEST(ExportNames, SiblingsNeverShareANameWhateverTheCase) {
    CNameSet names;
    names.Reserve("_folder.txt");
    EXPECT_EQ(names.Take("Memo", ".txt"), "Memo.txt");
    EXPECT_EQ(names.Take("memo", ".txt"), "memo (2).txt");
    EXPECT_EQ(names.Take("Memo (2)", ".txt"), "Memo (2) (2).txt");
    EXPECT_EQ(names.Take("Memo", ""), "Memo");
    EXPECT_EQ(names.Take("Memo", ""), "Memo (2)");
    EXPECT_EQ(names.Take("_folder", ".txt"), "_folder (2).txt");
    EXPECT_EQ(names.Take("a/b", ".txt"), "a%2Fb.txt");
    EXPECT_EQ(names.Take("a/b", ".txt"), "a%2Fb (2).txt");
}

TEST(ExportManifest, TitleBytesComeBackExactly) {
    for (std::string title :
         {std::string("plain"), std::string("50% off\tnow"), std::string("Caf\xe9 \x80"),
          std::string("Äpfel"), std::string("\x01\x7f%"), std::string()}) {
        std::string back;
        ASSERT_TRUE(PercentDecode(PercentEncode(title), back));
        EXPECT_EQ(back, title);
        EXPECT_EQ(PercentEncode(title).find_first_of("\t\r\n"), std::string::npos);
    }
    std::string bytes;
    EXPECT_FALSE(PercentDecode("bad %4", bytes));
    EXPECT_FALSE(PercentDecode("bad %zz", bytes));
}

TEST(ExportManifest, ParsesItsOwnLinesAndPassesOverGarbage) {
    ManifestEntry a;
    a.kind = ManifestEntry::folderText;
    a.entry = "Work/_folder.txt";
    a.form = {true, true};
    a.title = "Caf\xe9";
    a.path = "Notarium/Caf\xe9";
    std::string text = std::string(kManifestHeader) + "\n" + ManifestLine(a) +
                       "garbage line\nfolder\tonly three\tfields\n"
                       "textlet\tx.txt\tutf-8\tbad%zz\tp\n"
                       "unknown\tx\tutf-8\tt\tp\n";
    std::vector<ManifestEntry> entries;
    ASSERT_TRUE(ParseManifest(text, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].kind, ManifestEntry::folderText);
    EXPECT_EQ(entries[0].entry, a.entry);
    EXPECT_TRUE(entries[0].form.bCp1252);
    EXPECT_TRUE(entries[0].form.bAsStored);
    EXPECT_EQ(entries[0].title, a.title);
    EXPECT_FALSE(ParseManifest("not a manifest\n", entries));
    EXPECT_FALSE(ParseManifest("", entries));
}

TEST(ExportText, EveryWindows1252ByteComesBack) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    TextForm form;
    std::string file = TextToFile(all, form);
    EXPECT_TRUE(form.bCp1252);
    EXPECT_TRUE(enc::IsValidUtf8(file));
    EXPECT_EQ(FileToText(file, form), all);
}

TEST(ExportText, LineBreaksBecomeLfUnlessTheyWouldNotComeBack) {
    TextForm form;
    EXPECT_EQ(TextToFile("a\r\nb\r\n", form), "a\nb\n");
    EXPECT_FALSE(form.bAsStored);
    EXPECT_EQ(FileToText("a\nb\n", form), "a\r\nb\r\n");
    for (std::string odd : {"bare\nlf", "cr\r\r\nlf", "lone\rcr\r\n"}) {
        std::string file = TextToFile(odd, form);
        EXPECT_EQ(form.bAsStored, odd[0] != 'l') << odd; // a lone CR comes back by itself
        EXPECT_EQ(FileToText(file, form), odd);
    }
    // A text that was Windows-1252 but now holds a character it lacks stays UTF-8.
    form = {true, false};
    EXPECT_EQ(FileToText("caf\xc3\xa9 \xe2\x82\xac \xe6\x97\xa5", form),
              "caf\xc3\xa9 \xe2\x82\xac \xe6\x97\xa5");
}

TEST(ImportText, TellsTextFromBinary) {
    EXPECT_TRUE(LooksLikeText("plain\r\ntext\twith\ftabs \x1b[0m"));
    EXPECT_TRUE(LooksLikeText(""));
    EXPECT_TRUE(LooksLikeText("Caf\xe9"));
    EXPECT_FALSE(LooksLikeText(std::string("a\0b", 3)));
    EXPECT_FALSE(LooksLikeText("\x01\x02\x03 mostly control"));
}

// A database with every shape the format allows, exported and imported again.
class RoundTripTest : public DocFixture {
protected:
    CTempDir out;
    std::string exportDir = out.File("export");

    void Item(payload::CPayloadWriter& w, bool folder, const std::string& title,
              const std::string& text) {
        w.BeginItem(folder ? nota::KIND_FOLDER : nota::KIND_TEXTLET, title);
        if (text.empty()) {
            w.WriteNoText();
        } else {
            w.WriteText(static_cast<DWORD>(text.size() + 1),
                        reinterpret_cast<const BYTE*>(std::string(text).c_str()));
        }
    }

    void Build() {
        CreateAndOpen();
        payload::CPayloadWriter w;
        Item(w, true, "Everything", "the folder's own text\r\n");
        {
            // Titles that cannot be file names as they are, and duplicates.
            for (std::string t : {"a/b",          "a\\b",     ".",       "..",
                                  ".hidden",      " spaced ", "ends.",   "Äpfel & Öl",
                                  "日本語のメモ", "Caf\xe9",  "CON",     "notarium-export.tsv",
                                  "_folder.txt",  "_folder",  "Dup",     "Dup",
                                  "dup",          "DUP",      "Dup (2)", ""})
                Item(w, false, t, "text of " + t + "\r\n"), w.EndList();
            Item(w, true, "Dup", "");
            Item(w, false, "inside", "x"), w.EndList();
            w.EndList();
            Item(w, true, "Dup", "folder text of the second Dup");
            w.EndList();
            // Texts at block boundaries, empty, Windows-1252, odd line breaks.
            for (std::size_t n : {0, 1, 501, 502, 505, 506, 1011, 1012, 5000}) {
                std::string t(n, 'x');
                for (std::size_t i = 70; i < n; i += 71)
                    t[i - 1] = '\r', t[i] = '\n';
                Item(w, false, "len " + std::to_string(n), t), w.EndList();
            }
            Item(w, false, "cp1252", "Caf\xe9 \x80 \x9f\r\nzweite Zeile \xe4\xf6\xfc"), w.EndList();
            Item(w, false, "bare lf", "one\ntwo\n"), w.EndList();
            Item(w, false, "cr mix", "a\r\r\nb\rc"), w.EndList();
            Item(w, false, std::string(64, 'L'), "title of 64 bytes"), w.EndList();
            // 1,000 siblings.
            Item(w, true, "Many", "");
            for (int i = 0; i < 1000; ++i)
                Item(w, false, "n" + std::to_string(i % 997), std::to_string(i)), w.EndList();
            w.EndList();
            // Deep nesting.
            for (int d = 0; d < 150; ++d)
                Item(w, true, "level " + std::to_string(d), d % 7 ? "" : "deep text");
            Item(w, false, "bottom", "at the bottom"), w.EndList();
            for (int d = 0; d < 150; ++d)
                w.EndList();
        }
        w.EndList(); // Everything's children
        w.EndList(); // the top level
        ASSERT_TRUE(doc.InsertItems(Root(), w.Data().data(), w.Data().size()));
        SetText(Root(), "root text\r\n");
    }
};

TEST_F(RoundTripTest, ExportImportedIntoANewDatabaseComparesEqual) {
    Build();
    std::vector<Shape> before = Snapshot(doc, tree, Root());
    Report ex = ExportToDirectory(doc, nullptr, exportDir);
    ASSERT_TRUE(ex.Ok()) << ex.strError;
    EXPECT_TRUE(ex.skipped.empty());
    std::size_t folderTexts = 0;
    for (const Shape& s : before)
        folderTexts += s.folder && !s.text.empty();
    EXPECT_EQ(folderTexts, 25u);
    EXPECT_EQ(ex.nFolders + ex.nTextlets, before.size() - 1 + folderTexts);

    // The files are there under readable names, UTF-8, with LF.
    EXPECT_EQ(ReadAll(exportDir + "/_folder.txt"), "root text\n");
    EXPECT_EQ(ReadAll(exportDir + "/Everything/a%2Fb.txt"), "text of a/b\n");
    EXPECT_EQ(ReadAll(exportDir + "/Everything/Caf\xc3\xa9.txt"), "text of Caf\xc3\xa9\n");
    EXPECT_EQ(ReadAll(exportDir + "/Everything/Dup (2).txt"), "text of Dup\n");
    EXPECT_EQ(ReadAll(exportDir + "/Everything/Dup (2) (2).txt"), "text of Dup (2)\n");
    EXPECT_EQ(ReadAll(exportDir + "/Everything/Dup (2)/_folder.txt"),
              "folder text of the second Dup");
    EXPECT_NE(ReadAll(exportDir + "/notarium-export.tsv").find("textlet\tEverything/a%2Fb.txt"),
              std::string::npos);

    CTempDir other;
    CRecordingUi ui2;
    CAppSettings settings2;
    CNotariumDoc doc2(ui2, settings2);
    CTreeCtrl& tree2 = doc2.Tree();
    std::string path2 = other.File("new.Nota");
    ASSERT_TRUE(CNotariumDoc::PrepareDataFile(path2, true, ui2));
    ASSERT_TRUE(doc2.OnOpenDocument(path2));
    ASSERT_TRUE(doc2.ReloadTree());
    Report im = Import(doc2, nullptr, {exportDir});
    ASSERT_TRUE(im.Ok()) << im.strError;
    EXPECT_TRUE(im.skipped.empty());
    EXPECT_EQ(Snapshot(doc2, tree2, tree2.GetRootItem()), before);

    // And so it stays once the file is read again.
    doc2.DeleteContents();
    ASSERT_TRUE(doc2.OnOpenDocument(path2));
    ASSERT_TRUE(doc2.ReloadTree());
    EXPECT_EQ(Snapshot(doc2, tree2, tree2.GetRootItem()), before);
}

TEST_F(RoundTripTest, OneFolderExportsItsContents) {
    Build();
    HTREEITEM many = Child(Child(Root(), "Everything"), "Many");
    Report ex = ExportToDirectory(doc, many, exportDir);
    ASSERT_TRUE(ex.Ok());
    EXPECT_EQ(ex.nTextlets, 1000u);
    EXPECT_EQ(ReadAll(exportDir + "/n0.txt"), "0");
    EXPECT_EQ(ReadAll(exportDir + "/n0 (2).txt"), "997");

    // Imported into a folder that has a text of its own, nothing is overwritten.
    HTREEITEM target = Add(Root(), "Target", true);
    SetText(target, "mine");
    Report im = Import(doc, target, {exportDir});
    ASSERT_TRUE(im.Ok());
    EXPECT_EQ(GetText(target), "mine");
    std::vector<Shape> a = Snapshot(doc, tree, many), b = Snapshot(doc, tree, target);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(std::equal(a.begin() + 1, a.end(), b.begin() + 1));
}

TEST_F(RoundTripTest, MarkdownHasHeadingsByDepthAndTextsVerbatim) {
    Build();
    std::string md = out.File("all.md");
    Report r = ExportToMarkdown(doc, nullptr, md);
    ASSERT_TRUE(r.Ok()) << r.strError;
    std::string text = ReadAll(md);
    EXPECT_EQ(text.substr(0, 23), "# Notarium\n\nroot text\n\n");
    EXPECT_NE(text.find("\n## Everything\n\nthe folder's own text\n\n### \n\n"), std::string::npos);
    EXPECT_NE(text.find("\n### a/b\n\ntext of a/b\n\n"), std::string::npos);
    EXPECT_NE(text.find("### cp1252\n\nCaf\xc3\xa9 \xe2\x82\xac"), std::string::npos);
    EXPECT_NE(text.find("\n###### level 3\n"), std::string::npos);
    EXPECT_NE(text.find("\n###### level 3 / level 4 / level 5\n"), std::string::npos);
    EXPECT_EQ(ExportToMarkdown(doc, nullptr, md).strError,
              "Cannot export to '" + md + "': the file exists.");
}

TEST_F(RoundTripTest, ExportRefusesAFolderThatHoldsSomethingAndLeavesNothingWhenStopped) {
    CreateAndOpen();
    SetText(Add(Root(), "Memo", false), "x");
    WriteFileBytes(out.File("keep"), {'k'});
    Report r = ExportToDirectory(doc, nullptr, out.Path());
    EXPECT_EQ(r.strError,
              "Cannot export to '" + out.Path() + "': it exists and is not an empty folder.");
    CStopAfter stop(1);
    r = ExportToDirectory(doc, nullptr, exportDir, &stop);
    EXPECT_TRUE(r.bStopped);
    dirtree::CHandle d;
    std::vector<dirtree::Entry> left;
    ASSERT_EQ(dirtree::OpenDir(out.Path(), d), 0);
    ASSERT_EQ(dirtree::List(d, left), 0);
    ASSERT_EQ(left.size(), 1u); // only "keep": no partial export
    EXPECT_EQ(left[0].name, "keep");
}

// What an export makes is the user's as any new file is: the umask decides, not the private
// mode the folder and file had while they were built.
TEST_F(RoundTripTest, ExportsTakeTheUsersUmask) {
    CreateAndOpen();
    SetText(Add(Add(Root(), "Sub", true), "Memo", false), "x");
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    };
    for (mode_t mask : {mode_t(022), mode_t(077), mode_t(002)}) {
        mode_t old = ::umask(mask);
        std::string dir = out.File("dir" + std::to_string(mask));
        std::string md = out.File("all" + std::to_string(mask) + ".md");
        Report d = ExportToDirectory(doc, nullptr, dir);
        Report m = ExportToMarkdown(doc, nullptr, md);
        ::umask(old);
        ASSERT_TRUE(d.Ok() && m.Ok()) << d.strError << m.strError;
        EXPECT_EQ(modeOf(dir), 0777 & ~mask);
        EXPECT_EQ(modeOf(md), 0666 & ~mask);
        EXPECT_EQ(modeOf(dir + "/Sub"), 0777 & ~mask);
        EXPECT_EQ(modeOf(dir + "/Sub/Memo.txt"), 0666 & ~mask);
    }
}
