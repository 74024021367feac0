#include "app/TextFind.h"
#include "app/FindTexts.h"

#include <gtest/gtest.h>

namespace {

// An edit buffer whose locale comparison folds ASCII and Latin-1 letters, as a locale does.
class CMemoryEditBuffer : public IEditBuffer {
public:
    std::u16string text;
    int selStart = 0, selEnd = 0;
    int locks = 0;

    std::u16string_view Text() const override { return text; }
    void GetSel(int& start, int& end) const override {
        start = selStart;
        end = selEnd;
    }
    void SetSel(int start, int end) override {
        selStart = start;
        selEnd = end;
    }
    void ReplaceSel(std::u16string_view with) override {
        text.replace(static_cast<std::size_t>(selStart),
                     static_cast<std::size_t>(selEnd - selStart), with);
        selStart = selEnd = selStart + static_cast<int>(with.size());
    }
    bool Equal(std::u16string_view a, std::u16string_view b, bool matchCase) const override {
        auto fold = [](char16_t c) {
            bool lower = (c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
            return lower ? static_cast<char16_t>(c - 32) : c;
        };
        for (std::size_t i = 0; i < a.size(); ++i)
            if (matchCase ? a[i] != b[i] : fold(a[i]) != fold(b[i]))
                return false;
        return true;
    }
    void LockUpdates(bool lock) override { locks += lock ? 1 : -1; }
    std::u16string Selected() const {
        return text.substr(static_cast<std::size_t>(selStart),
                           static_cast<std::size_t>(selEnd - selStart));
    }
};

class TextFindTest : public ::testing::Test {
protected:
    CMemoryEditBuffer buf;
    CReplaceRun run{buf};
    SEARCHSTEP step;

    int Step(int n) {
        step.nStep = n;
        return run.SearchStep(step);
    }
};

} // namespace

TEST_F(TextFindTest, FindNextWrapsOnceAndKeepsTheSelectionWhenNothingIsThere) {
    buf.text = u"one two one";
    buf.SetSel(0, 0);
    EXPECT_FALSE(textfind::FindNextInText(buf, u"three", false));
    EXPECT_EQ(buf.selStart, 0);
    buf.SetSel(5, 6);
    EXPECT_TRUE(textfind::FindNextInText(buf, u"ONE", false));
    EXPECT_EQ(buf.selStart, 8);
    EXPECT_TRUE(textfind::FindNextInText(buf, u"ONE", false)); // the selection is skipped
    EXPECT_EQ(buf.selStart, 0);                                // after one wrap
    EXPECT_FALSE(textfind::FindNextInText(buf, u"ONE", true));
    EXPECT_EQ(buf.selStart, 0);
    EXPECT_EQ(buf.selEnd, 3);
    // The locale comparison folds accented letters too, unlike the search across items.
    buf.text = u"Caf\u00C9";
    EXPECT_TRUE(textfind::FindNextInText(buf, u"caf\u00E9", false));
}

TEST_F(TextFindTest, FindPreviousSearchesBackFromBeforeTheSelection) {
    buf.text = u"abcabc";
    buf.SetSel(0, 0);
    EXPECT_FALSE(textfind::FindText(buf, u"abc", false, true)); // nothing before 0
    EXPECT_TRUE(textfind::FindPrevInText(buf, u"abc", true));   // wraps to the end
    EXPECT_EQ(buf.selStart, 3);
    EXPECT_TRUE(textfind::FindPrevInText(buf, u"abc", true));
    EXPECT_EQ(buf.selStart, 0);
    buf.SetSel(6, 6); // at the end: starts where the pattern still fits
    EXPECT_TRUE(textfind::FindText(buf, u"bc", false, true));
    EXPECT_EQ(buf.selStart, 4);
    EXPECT_FALSE(textfind::FindText(buf, u"abcabcd", true, true));
}

TEST_F(TextFindTest, ReplaceFromTheTopEndsAtTheEndWithoutWrapping) {
    buf.text = u"cat cat cat";
    step.strFind = u"cat";
    step.strReplace = u"dog";
    EXPECT_EQ(Step(SEARCHSTEP::begin), 1);
    EXPECT_EQ(Step(SEARCHSTEP::findNext), 1);
    EXPECT_EQ(buf.Selected(), u"cat");
    EXPECT_EQ(Step(SEARCHSTEP::replace), 1);
    EXPECT_EQ(buf.text, u"dog cat cat");
    EXPECT_EQ(buf.selStart, 4);
    EXPECT_EQ(Step(SEARCHSTEP::replace), 1);
    EXPECT_EQ(Step(SEARCHSTEP::replace), 0); // the last one: the run is complete
    EXPECT_EQ(buf.text, u"dog dog dog");
    EXPECT_FALSE(run.Wrapped());
    // Single replacements are not counted: the message counts Replace All's only.
    EXPECT_EQ(run.ReplaceCount(), 0);
    EXPECT_EQ(Step(SEARCHSTEP::finish), 1);
    EXPECT_EQ(run.Message(), "Notarium has finished searching the current textlet or folder.");
    EXPECT_EQ(run.StartPos(), -1);
}

TEST_F(TextFindTest, FindNextWrapsOnceAndStopsWhereTheRunBegan) {
    buf.text = u"x a x a x";
    buf.SetSel(4, 4);
    step.strFind = u"X";
    Step(SEARCHSTEP::begin);
    EXPECT_EQ(Step(SEARCHSTEP::findNext), 1);
    EXPECT_EQ(buf.selStart, 4);
    EXPECT_EQ(Step(SEARCHSTEP::findNext), 1);
    EXPECT_EQ(buf.selStart, 8);
    EXPECT_EQ(Step(SEARCHSTEP::findNext), 1); // wrapped to the top
    EXPECT_EQ(buf.selStart, 0);
    EXPECT_TRUE(run.Wrapped());
    EXPECT_EQ(Step(SEARCHSTEP::findNext), 0); // back at the start: done
    step.bQuiet = true;
    Step(SEARCHSTEP::finish);
    EXPECT_EQ(run.Message(), "");
    EXPECT_EQ(buf.selStart, 4);
    EXPECT_EQ(buf.selEnd, 4);
}

TEST_F(TextFindTest, ReplaceAllCountsAndMovesTheReturnPoint) {
    buf.text = u"aa b aa b aa";
    buf.SetSel(10, 10); // before the last "aa"
    step.strFind = u"AA";
    step.strReplace = u"xyz";
    Step(SEARCHSTEP::begin);
    EXPECT_EQ(Step(SEARCHSTEP::replaceAll), 0);
    EXPECT_EQ(buf.text, u"xyz b xyz b xyz");
    EXPECT_EQ(run.ReplaceCount(), 3);
    EXPECT_EQ(buf.selStart, 12); // two replacements before it, each one longer
    EXPECT_EQ(buf.locks, 0);
    // Replacement text that holds the pattern is never searched again.
    buf.text = u"a a";
    buf.SetSel(0, 0);
    step.strFind = u"a";
    step.strReplace = u"aa";
    Step(SEARCHSTEP::begin);
    Step(SEARCHSTEP::replaceAll);
    EXPECT_EQ(buf.text, u"aa aa");
    EXPECT_EQ(run.ReplaceCount(), 2);
    EXPECT_EQ(CReplaceRun::FinishMessage(3),
              "Notarium has finished searching the current textlet or folder. 3 "
              "replacement(s) made.");
    // Shorter replacements before the start move it back.
    buf.text = u"long long end";
    buf.SetSel(10, 10);
    step.strFind = u"long";
    step.strReplace = u"";
    Step(SEARCHSTEP::begin);
    Step(SEARCHSTEP::replaceAll);
    EXPECT_EQ(buf.text, u"  end");
    EXPECT_EQ(buf.selStart, 2);
    Step(SEARCHSTEP::finish);
    EXPECT_EQ(run.Message(), CReplaceRun::FinishMessage(2));
    EXPECT_EQ(CReplaceRun::FinishMessage(0),
              "Notarium has finished searching the current textlet or folder.");
}

TEST_F(TextFindTest, ReplaceLeavesASelectionThatDoesNotMatch) {
    buf.text = u"one two";
    buf.SetSel(0, 3);
    step.strFind = u"two";
    step.strReplace = u"2";
    Step(SEARCHSTEP::begin);
    EXPECT_EQ(Step(SEARCHSTEP::replace), 1); // "one" is not replaced; "two" is found
    EXPECT_EQ(buf.text, u"one two");
    EXPECT_EQ(buf.Selected(), u"two");
    EXPECT_EQ(run.ReplaceCount(), 0);
}

TEST(FindTexts, SearchTextsNeedMoreThanWhiteSpace) {
    EXPECT_FALSE(str::IsValidSearchText(""));
    EXPECT_FALSE(str::IsValidSearchText(" \t\r\n "));
    EXPECT_TRUE(str::IsValidSearchText("  x "));
}
