#include "cli/Commands.h"
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class CliTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string db = dir.File("cli.Nota");
    void SetUp() override { ASSERT_EQ(Nota({"new", db}).status, 0); }
};

} // namespace

TEST_F(CliTest, NewRefusesAnExistingFileUnlessForced) {
    EXPECT_EQ(Nota({"new", db}).status, 1);
    EXPECT_EQ(Nota({"new", db, "--force"}).status, 0);
    EXPECT_EQ(ReadFileBytes(db).size(), 544u);
    EXPECT_EQ(Nota({"new"}).status, 2);
}

TEST_F(CliTest, AddPutCatAndTreeWorkTogether) {
    EXPECT_EQ(Nota({"add", db, "Notarium/Work", "--folder"}).status, 0);
    EXPECT_EQ(Nota({"add", db, "Notarium/Work/Memo"}).status, 0);
    // A textlet as the parent means its folder.
    EXPECT_EQ(Nota({"add", db, "Notarium/Work/Memo/Sibling"}).status, 0);
    EXPECT_EQ(Nota({"add", db, "Notarium/a\\/b"}).status, 0);
    EXPECT_EQ(Nota({"put", db, "Notarium/Work/Memo"}, "line 1\nline 2\n").status, 0);
    Outcome cat = Nota({"cat", db, "Notarium/Work/Memo", "--raw"}); // the stored bytes
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(cat.out, "line 1\r\nline 2\r\n");
    Outcome tree = Nota({"tree", db});
    EXPECT_EQ(tree.status, 0);
    EXPECT_NE(tree.out.find("{\"treeData\":32,\"freeList\":0,\"items\":[{\"title\":\"Notarium\""),
              std::string::npos);
    EXPECT_NE(tree.out.find("{\"title\":\"a/b\",\"image\":8,\"textData\":0"), std::string::npos);
    EXPECT_NE(tree.out.find("{\"title\":\"Memo\",\"image\":8,\"textData\":544,"),
              std::string::npos);
    EXPECT_NE(tree.out.find("\"title\":\"Sibling\""), std::string::npos);

    // An empty text frees the chain again.
    EXPECT_EQ(Nota({"put", db, "Notarium/Work/Memo"}, "").status, 0);
    EXPECT_NE(Nota({"tree", db}).out.find("\"freeList\":544"), std::string::npos);
}

TEST_F(CliTest, RemoveMoveAndCopyFollowTheItemRules) {
    Nota({"add", db, "Notarium/A", "--folder"});
    Nota({"add", db, "Notarium/A/Inner", "--folder"});
    Nota({"add", db, "Notarium/B", "--folder"});
    Nota({"put", db, "Notarium/A"}, "folder text");

    Outcome root = Nota({"rm", db, "Notarium"});
    EXPECT_EQ(root.status, 1);
    EXPECT_EQ(root.err, "You cannot delete the root folder.\n");
    Outcome into = Nota({"mv", db, "Notarium/A", "Notarium/A/Inner"});
    EXPECT_EQ(into.status, 1);
    EXPECT_EQ(into.err, "You cannot move a folder into itself.\n");

    EXPECT_EQ(Nota({"cp", db, "Notarium/A", "Notarium/B"}).status, 0);
    EXPECT_EQ(Nota({"cat", db, "Notarium/B/A"}).out, "folder text");
    EXPECT_EQ(Nota({"mv", db, "Notarium/A", "Notarium/B"}).status, 0);
    Outcome cat = Nota({"cat", db, "Notarium/B/A"}); // the first of the two in display order
    EXPECT_EQ(cat.out, "folder text");
    EXPECT_EQ(Nota({"rm", db, "Notarium/B"}).status, 0);
    EXPECT_EQ(Nota({"cat", db, "Notarium/B"}).status, 1);
}

TEST_F(CliTest, ErrorsUseTheProgramsOwnTexts) {
    std::string junk = dir.File("junk");
    WriteFileBytes(junk, std::vector<BYTE>(40, 'j'));
    Outcome r = Nota({"tree", junk});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to open " + junk +
                         ". File is corrupt or is not a valid Notarium data file.\n");
    Outcome missing = Nota({"tree", dir.File("none.Nota")});
    EXPECT_EQ(missing.err, dir.File("none.Nota") + " was not found.\n");
    EXPECT_EQ(Nota({"frobnicate"}).status, 2);
    EXPECT_EQ(Nota({"cat", db}).status, 2);
}
