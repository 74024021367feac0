#include "cli/Commands.h"
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Notarium
//   Recipes/            "my favourite recipes"
//     Apple pie         "Take six apples..."
//     Bread             "flour, water, salt"
//   Zoo                 (no text)
class FindCommandTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string db = dir.File("find.Nota");
    void SetUp() override {
        ASSERT_EQ(Nota({"new", db}).status, 0);
        Nota({"add", db, "Notarium/Recipes", "--folder"});
        Nota({"add", db, "Notarium/Recipes/Apple pie"});
        Nota({"add", db, "Notarium/Recipes/Bread"});
        Nota({"add", db, "Notarium/Zoo"});
        Nota({"put", db, "Notarium/Recipes"}, "my favourite recipes");
        Nota({"put", db, "Notarium/Recipes/Apple pie"}, "Take six apples\nand bake.");
        Nota({"put", db, "Notarium/Recipes/Bread"}, "flour, water, salt");
    }
};

} // namespace

TEST_F(FindCommandTest, PrintsEveryMatchingItemInPreorder) {
    Outcome r = Nota({"find", db, "E"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Notarium/Recipes\nNotarium/Recipes/Apple pie\nNotarium/Recipes/Bread\n");
    EXPECT_EQ(Nota({"find", db, "salt"}).out, "Notarium/Recipes/Bread\n");
    // A line feed in the pattern finds the stored CR LF.
    EXPECT_EQ(Nota({"find", db, "apples\nAND"}).out, "Notarium/Recipes/Apple pie\n");
}

TEST_F(FindCommandTest, MatchCaseAndTitlesOnly) {
    Outcome none = Nota({"find", db, "take", "--case"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(Nota({"--case", "find", db, "Take"}).status, 2); // options follow the command
    EXPECT_EQ(Nota({"find", "--case", db, "Take"}).out, "Notarium/Recipes/Apple pie\n");
    EXPECT_EQ(Nota({"find", db, "a", "--titles"}).out,
              "Notarium\nNotarium/Recipes/Apple pie\nNotarium/Recipes/Bread\n");
    EXPECT_EQ(Nota({"find", db, "salt", "--titles"}).status, 1);
}

TEST_F(FindCommandTest, MarkSetsBookmarksAndSavesWhileAPlainFindChangesNothing) {
    std::vector<BYTE> before = ReadFileBytes(db);
    EXPECT_EQ(Nota({"find", db, "apple"}).status, 0);
    EXPECT_EQ(Nota({"find", db, "pear"}).status, 1);
    EXPECT_EQ(ReadFileBytes(db), before);
    EXPECT_EQ(Nota({"find", db, "pear", "--mark"}).status, 1);
    EXPECT_EQ(ReadFileBytes(db), before);

    Outcome marked = Nota({"find", db, "--mark", "BREAD"});
    EXPECT_EQ(marked.status, 0);
    EXPECT_EQ(marked.out, "Notarium/Recipes/Bread\n");
    std::string tree = Nota({"tree", db}).out;
    EXPECT_NE(tree.find("{\"title\":\"Bread\",\"image\":10,"), std::string::npos);
    EXPECT_NE(tree.find("{\"title\":\"Apple pie\",\"image\":8,"), std::string::npos);
    // Marking more keeps the bookmarks that are there.
    EXPECT_EQ(Nota({"find", db, "apple", "--mark"}).status, 0);
    tree = Nota({"tree", db}).out;
    EXPECT_NE(tree.find("{\"title\":\"Bread\",\"image\":10,"), std::string::npos);
    EXPECT_NE(tree.find("{\"title\":\"Apple pie\",\"image\":10,"), std::string::npos);
}

TEST_F(FindCommandTest, FindsWindows1252TextsWithAUtf8Pattern) {
    Nota({"put", db, "Notarium/Zoo"}, "caf\xE9 au lait"); // not UTF-8: shown as Windows-1252
    Nota({"put", db, "Notarium/Recipes/Bread"}, "pain caf\xC3\xA9");
    EXPECT_EQ(Nota({"find", db, "CAF\xC3\xA9"}).out, "Notarium/Recipes/Bread\nNotarium/Zoo\n");
    EXPECT_EQ(Nota({"find", db, "\xC3\xA9 au"}).out, "Notarium/Zoo\n");
}

TEST_F(FindCommandTest, RefusesBadArguments) {
    EXPECT_EQ(Nota({"find", db}).status, 2);
    EXPECT_EQ(Nota({"find", db, "x", "--regex"}).status, 2);
    Outcome blank = Nota({"find", db, " \t"});
    EXPECT_EQ(blank.status, 2);
    EXPECT_EQ(blank.err, "Invalid search string. Enter one or more non-space characters in the "
                         "'Find What' field.\n");
    EXPECT_EQ(Nota({"find", dir.File("missing.Nota"), "x"}).status, 2);
    EXPECT_EQ(Nota({"find", db, "--", "--case"}).status, 1); // a pattern after "--"
}
