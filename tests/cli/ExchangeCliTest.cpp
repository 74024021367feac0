// `nota export` and `nota import` as a user runs them, and `nota --version`.
#include "cli/Commands.h"
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

namespace {

class ExchangeCliTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string db = dir.File("cli.Nota");
    void SetUp() override {
        ASSERT_EQ(Nota({"new", db}).status, 0);
        ASSERT_EQ(Nota({"add", db, "Notarium/Work", "--folder"}).status, 0);
        ASSERT_EQ(Nota({"add", db, "Notarium/Work/Memo"}).status, 0);
        ASSERT_EQ(Nota({"put", db, "Notarium/Work/Memo"}, "line 1\nline 2\n").status, 0);
        ASSERT_EQ(Nota({"add", db, "Notarium/a\\/b"}).status, 0);
    }
    // The titles of the listing: offsets, pictures and states differ between files.
    std::string Shape(const std::string& file) {
        std::string tree = Nota({"tree", file}).out;
        for (const char* key :
             {"\"treeData\":", "\"freeList\":", "\"image\":", "\"textData\":", "\"state\":"})
            for (auto at = tree.find(key); at != std::string::npos; at = tree.find(key, at))
                tree.erase(at, tree.find(',', at) + 1 - at);
        return tree;
    }
};

} // namespace

TEST_F(ExchangeCliTest, ExportAndImportGiveTheSameTreeBack) {
    Outcome ex = Nota({"export", db, dir.File("out")});
    ASSERT_EQ(ex.status, 0) << ex.err;
    EXPECT_EQ(ex.out, "Exported 1 folder and 2 texts (14 bytes) to " + dir.File("out") + ".\n");

    std::string copy = dir.File("copy.Nota");
    ASSERT_EQ(Nota({"new", copy}).status, 0);
    Outcome im = Nota({"import", copy, dir.File("out")});
    ASSERT_EQ(im.status, 0) << im.err;
    EXPECT_EQ(im.out, "Imported 1 folder and 2 texts (16 bytes) into Notarium.\n");
    EXPECT_EQ(Shape(copy), Shape(db));
    EXPECT_NE(Shape(db).find("{\"title\":\"Memo\",\"children\":[]}"), std::string::npos);
    EXPECT_EQ(Nota({"cat", copy, "Notarium/Work/Memo", "--raw"}).out, "line 1\r\nline 2\r\n");
    EXPECT_EQ(Nota({"check", copy}).status, 0);
}

TEST_F(ExchangeCliTest, OneFolderIntoAnotherWithSkippedFilesListed) {
    ASSERT_EQ(Nota({"export", db, "Notarium/Work", dir.File("work")}).status, 0);
    WriteFileBytes(dir.File("work/blob.bin"), {0, 1, 2, 3});
    ASSERT_EQ(Nota({"add", db, "Notarium/Into", "--folder"}).status, 0);
    Outcome im = Nota({"import", db, "Notarium/Into", dir.File("work"), dir.File("work/Memo.txt")});
    ASSERT_EQ(im.status, 0) << im.err;
    EXPECT_EQ(im.out, "Imported 0 folders and 2 texts (32 bytes) into Notarium/Into.\n"
                      "Skipped 1:\n  " +
                          dir.File("work") + "/blob.bin: not a text file\n");
    EXPECT_EQ(Nota({"cat", db, "Notarium/Into/Memo", "--raw"}).out, "line 1\r\nline 2\r\n");
}

TEST_F(ExchangeCliTest, MarkdownAndTheErrorsAUserMeets) {
    Outcome md = Nota({"export", db, dir.File("all.md")});
    ASSERT_EQ(md.status, 0) << md.err;
    std::vector<BYTE> bytes = ReadFileBytes(dir.File("all.md"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "# Notarium\n\n## a/b\n\n## Work\n\n### Memo\n\nline 1\nline 2\n\n");
    EXPECT_EQ(Nota({"export", db, dir.File("all.md")}).err,
              "Cannot export to '" + dir.File("all.md") + "': the file exists.\n");
    EXPECT_EQ(Nota({"export", db, "Notarium/Nothing", dir.File("x")}).err,
              "No item at 'Notarium/Nothing'.\n");
    EXPECT_EQ(Nota({"import", db, "Notarium/Nothing", dir.File("all.md")}).err,
              "No item at 'Notarium/Nothing'.\n");
    EXPECT_EQ(Nota({"export", db}).status, 2);
    EXPECT_EQ(Nota({"import", db}).status, 2);
}

TEST(NotaVersion, PrintsTheVersion) {
    Outcome v = Nota({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, std::string("nota ") + NOTA_VERSION_STRING + "\n");
}
