// nota in a shell's pipes: texts as UTF-8 with LF both ways, --raw for the stored bytes,
// help in every form, one option parser, and output that could not be written is an error.
#include "cli/CommandTable.h"
#include "cli/Commands.h"
#include "cli/LinePrefix.h"
#include "support/RunNota.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class PipesTest : public ::testing::Test {
protected:
    CTempDir dir;
    std::string db = dir.File("pipes.Nota");
    const std::string item = "Notarium/Memo";
    void SetUp() override {
        ASSERT_EQ(Nota({"new", db}).status, 0);
        ASSERT_EQ(Nota({"add", db, item}).status, 0);
    }
    std::string Cat(bool raw = false) {
        Outcome o = raw ? Nota({"cat", db, item, "--raw"}) : Nota({"cat", db, item});
        EXPECT_EQ(o.status, 0) << o.err;
        return o.out;
    }
};

// A stream whose every write fails, as standard output on a full disk.
class CFailingBuf : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

} // namespace

TEST_F(PipesTest, Utf8TextWithLfComesBackByteForByte) {
    for (const std::string& text :
         {std::string("line 1\nline 2\n"), std::string("no final break"), std::string("\n\n\n"),
          std::string("caf\xC3\xA9 \xE2\x82\xAC 100\n\xF0\x9F\x98\x80\n"),
          std::string("tab\there\nlone CR\rstays\n"), std::string(3000, 'x') + "\n"}) {
        ASSERT_EQ(Nota({"put", db, item}, text).status, 0);
        EXPECT_EQ(Cat(), text);
    }
    // Stored with CR LF, as the window stores it.
    Nota({"put", db, item}, "a\nb\n");
    EXPECT_EQ(Cat(true), "a\r\nb\r\n");
}

TEST_F(PipesTest, CrLfInputIsStoredOnceAndComesOutAsLf) {
    ASSERT_EQ(Nota({"put", db, item}, "a\r\nb\nc\r\n").status, 0);
    EXPECT_EQ(Cat(true), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(Cat(), "a\nb\nc\n");
}

TEST_F(PipesTest, Windows1252TextsComeOutAsUtf8AndRawAsStored) {
    const std::string stored = "caf\xE9\r\nna\xEFve \x80 5\r\n";
    ASSERT_EQ(Nota({"put", db, item, "--raw"}, stored).status, 0);
    EXPECT_EQ(Cat(true), stored);
    EXPECT_EQ(Cat(), "caf\xC3\xA9\nna\xC3\xAFve \xE2\x82\xAC 5\n");
    // Input that is not UTF-8 is kept as it is (shown as Windows-1252), line breaks converted.
    ASSERT_EQ(Nota({"put", db, item}, "d\xE9j\xE0\n").status, 0);
    EXPECT_EQ(Cat(true), "d\xE9j\xE0\r\n");
    EXPECT_EQ(Cat(), "d\xC3\xA9j\xC3\xA0\n");
}

TEST_F(PipesTest, RawMovesTheBytesUnchangedBothWays) {
    const std::string bytes = std::string("lf only\nnul \0 inside\r\n", 22);
    ASSERT_EQ(Nota({"put", "--raw", db, item}, bytes).status, 0);
    EXPECT_EQ(Cat(true), bytes);
    // A raw copy between two items keeps every byte.
    ASSERT_EQ(Nota({"add", db, "Notarium/Copy"}).status, 0);
    ASSERT_EQ(Nota({"put", db, "Notarium/Copy", "--raw"}, Cat(true)).status, 0);
    EXPECT_EQ(Nota({"cat", db, "Notarium/Copy", "--raw"}).out, bytes);
}

TEST_F(PipesTest, EmptyTextsGoThroughBothWays) {
    ASSERT_EQ(Nota({"put", db, item}, "something").status, 0);
    ASSERT_EQ(Nota({"put", db, item}, "").status, 0);
    EXPECT_EQ(Cat(), "");
    EXPECT_EQ(Cat(true), "");
    ASSERT_EQ(Nota({"put", db, item, "--raw"}, "").status, 0);
    EXPECT_EQ(Cat(), "");
    EXPECT_NE(Nota({"tree", db}).out.find("\"title\":\"Memo\",\"image\":8,\"textData\":0"),
              std::string::npos);
}

TEST_F(PipesTest, OutputThatCannotBeWrittenIsAnError) {
    Nota({"put", db, item}, "text");
    for (const std::vector<std::string>& words : {std::vector<std::string>{"cat", db, item},
                                                  {"tree", db},
                                                  {"ls", db},
                                                  {"help"},
                                                  {"cat", "--help"},
                                                  {"--version"},
                                                  {"find", db, "text"}}) {
        SCOPED_TRACE(words[0]);
        CFailingBuf failing;
        std::ostream out(&failing);
        std::istringstream in;
        std::ostringstream err;
        cli::Streams io{in, out, err};
        int status = cli::Main(words, io);
        EXPECT_EQ(status, words[0] == "find" ? 2 : 1);
        EXPECT_NE(err.str().find("cannot write to standard output"), std::string::npos)
            << err.str();
    }
}

TEST(HelpTest, EveryFormOfHelpAnswersOnStandardOutput) {
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"help"}, {"--help"}, {"-h"}}) {
        Outcome o = Nota(words);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(o.out.rfind("usage: nota COMMAND", 0), 0u) << o.out;
    }
    for (const cli::CommandInfo& c : cli::AllCommands()) {
        SCOPED_TRACE(c.name);
        const std::string usage = std::string("usage: nota ") + c.name + ' ';
        Outcome overview = Nota({"help"});
        EXPECT_NE(overview.out.find(std::string("\n  ") + c.name + ' '), std::string::npos);
        for (const std::vector<std::string>& words : {std::vector<std::string>{"help", c.name},
                                                      {c.name, "--help"},
                                                      {c.name, "-h"},
                                                      {c.name, "x.Nota", "--help"},
                                                      {"--help", c.name}}) {
            Outcome o = Nota(words);
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.err, "");
            EXPECT_EQ(o.out.rfind(usage, 0), 0u) << o.out;
            for (const std::string& option : c.options)
                EXPECT_NE(o.out.find(option), std::string::npos) << option;
        }
    }
    EXPECT_EQ(Nota({"help", "frobnicate"}).status, 2);
    EXPECT_EQ(Nota({"help", "cat", "more"}).status, 2);
    EXPECT_EQ(Nota({"--version"}).out.rfind("nota 1.", 0), 0u);
}

TEST_F(PipesTest, OptionsAreCheckedAndDoubleDashEndsThem) {
    Outcome unknown = Nota({"cat", db, item, "--bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err.rfind("unknown option '--bogus' for 'cat'\n", 0), 0u) << unknown.err;
    EXPECT_NE(unknown.err.find("usage: nota cat FILE PATH [--raw]"), std::string::npos);
    // An option of another command is unknown here.
    EXPECT_EQ(Nota({"tree", db, "--raw"}).status, 2);
    EXPECT_EQ(Nota({"cat", db}).status, 2);
    EXPECT_EQ(Nota({"cat", db, item, "extra"}).status, 2);
    Outcome none = Nota({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "no command given (see 'nota help')\n");
    EXPECT_EQ(Nota({"frobnicate"}).err, "unknown command 'frobnicate' (see 'nota help')\n");

    // After "--", "--help" and "-x" are arguments: an item path here.
    Outcome asPath = Nota({"cat", db, "--", "--help"});
    EXPECT_EQ(asPath.status, 1);
    EXPECT_EQ(asPath.err, "No item at '--help'.\n");
    ASSERT_EQ(Nota({"add", db, "--", "-x"}).status, 0);
    ASSERT_EQ(Nota({"put", db, "--raw", "--", "-x"}, "dash").status, 0);
    EXPECT_EQ(Nota({"cat", "--", db, "-x"}).out, "dash");
    // Options stand anywhere among the arguments.
    EXPECT_EQ(Nota({"cat", db, "--", "-x", "--raw"}).status, 2); // "--raw" is a third argument
    EXPECT_EQ(Nota({"cat", "--raw", db, "--", "-x"}).out, "dash");
}

TEST_F(PipesTest, LsListsOneFolderAsPathSegments) {
    Nota({"add", db, "Notarium/Recipes", "--folder"});
    Nota({"add", db, "Notarium/Recipes/Bread"});
    Nota({"add", db, "Notarium/a\\/b"});
    Outcome top = Nota({"ls", db});
    EXPECT_EQ(top.status, 0);
    EXPECT_EQ(top.out, "Notarium/\n");
    Outcome root = Nota({"ls", db, "Notarium"});
    EXPECT_NE(root.out.find("Memo\n"), std::string::npos);
    EXPECT_NE(root.out.find("Recipes/\n"), std::string::npos);
    EXPECT_NE(root.out.find("a\\/b\n"), std::string::npos) << root.out;
    EXPECT_EQ(Nota({"ls", db, "Notarium/Recipes"}).out, "Bread\n");
    EXPECT_EQ(Nota({"ls", db, "Notarium/Nothing"}).status, 1);
}

TEST_F(PipesTest, RepairKeepsAnExistingTargetUnlessForced) {
    std::string target = dir.File("other.Nota");
    ASSERT_EQ(Nota({"new", target}).status, 0);
    Nota({"add", target, "Notarium/Keep me"});
    const std::vector<BYTE> before = ReadFileBytes(target);
    Outcome refused = Nota({"repair", db, target});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, target + " already exists (use --force to replace it).\n");
    EXPECT_EQ(ReadFileBytes(target), before);
    EXPECT_EQ(Nota({"repair", db, target, "--force"}).status, 0);
    EXPECT_EQ(Nota({"ls", db, "Notarium"}).out, Nota({"ls", target, "Notarium"}).out);
    // A new target needs no --force.
    EXPECT_EQ(Nota({"repair", db, dir.File("fresh.Nota")}).status, 0);
}

TEST(LinePrefixTest, EveryLineAndEveryRedrawStartsWithThePrefix) {
    std::ostringstream target;
    CLinePrefixBuf buf(target.rdbuf(), "nota: ");
    std::ostream err(&buf);
    err << "one\ntwo\n\n"
        << "Exporting 1/2" << '\r' << "Exporting 2/2"
        << "\rdone\n";
    EXPECT_EQ(target.str(),
              "nota: one\nnota: two\n\nnota: Exporting 1/2\rnota: Exporting 2/2\rnota: done\n");
}
