// The edit pane: stored bytes in and out, the read-only rule, settings, Quick Copy and the
// conversions it rests on.

#include "TreePaneFixture.h"

#include "ui/common/FontConvert.h"
#include "ui/common/QtText.h"

#include <QClipboard>
#include <QSignalSpy>

TEST(QtText, StoredTextAndPaneTextConvertBothWays) {
    const std::string stored = "one\r\ntwo\xc2\xa0three\r\n\r\nend";
    const QString shown = StoredTextToPane(stored);
    EXPECT_EQ(shown, QString::fromUtf8("one\ntwo\xc2\xa0three\n\nend"));
    EXPECT_EQ(PaneTextToStored(shown), stored);
    // Windows-1252 bytes are shown as such and written back as UTF-8.
    EXPECT_EQ(PaneTextToStored(StoredTextToPane("caf\xe9")), "caf\xc3\xa9");
}

TEST(QtText, OffsetsMapBetweenStoredAndShownText) {
    const std::string stored = "ab\r\n\xc3\xa9x\r\n\xf0\x9f\x98\x80y"; // é and an emoji
    // shown: a b \n é x \n <surrogate pair> y
    EXPECT_EQ(StoredOffsetToPane(stored, 4), 3);
    EXPECT_EQ(StoredOffsetToPane(stored, 6), 4);  // after é
    EXPECT_EQ(StoredOffsetToPane(stored, 3), 2);  // inside CR LF: its start
    EXPECT_EQ(StoredOffsetToPane(stored, 13), 8); // after the emoji
    EXPECT_EQ(PaneOffsetToStored(stored, 4), 6u);
    EXPECT_EQ(PaneOffsetToStored(stored, 8), 13u);
    EXPECT_EQ(PaneOffsetToStored(stored, 100), stored.size());
    for (int pos = 0; pos <= 9; ++pos)
        EXPECT_EQ(StoredOffsetToPane(stored, PaneOffsetToStored(stored, pos)), pos == 7 ? 6 : pos);
}

TEST(QtText, TrimBlanksRemovesOnlyTheSixBlanks) {
    EXPECT_EQ(TrimBlanks(QStringLiteral(" \t\n\v\f\rname \r")), QStringLiteral("name"));
    EXPECT_EQ(TrimBlanks(QString(QChar(0x00A0)) + u'x'), QString(QChar(0x00A0)) + u'x');
    EXPECT_TRUE(TrimBlanks(QStringLiteral("   ")).isEmpty());
}

TEST(FontConvert, LogFontSurvivesTheRoundTrip) {
    LOGFONT lf;
    lf.lfHeight = -13;
    lf.lfWeight = FW_BOLD;
    lf.lfItalic = 1;
    lf.SetFaceName("Courier");
    const QFont font = LogFontToQFont(lf, 96);
    EXPECT_EQ(font.family(), QStringLiteral("Courier"));
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    const LOGFONT back = QFontToLogFont(font, 96);
    EXPECT_EQ(back.lfHeight, -13);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_EQ(back.lfItalic, 1);
    EXPECT_STREQ(back.lfFaceName, "Courier");
    LOGFONT unterminated;
    std::memset(unterminated.lfFaceName, 'A', sizeof unterminated.lfFaceName);
    EXPECT_EQ(LogFontToQFont(unterminated, 96).family(), QString(LF_FACESIZE, u'A'));
}

TEST_F(PaneTest, EditPaneIsReadOnlyForFoldersUnlessFoldersHaveText) {
    HTREEITEM folder = Add(Root(), "folder", true);
    Idle();
    EXPECT_TRUE(edit->isReadOnly());
    settings.m_bFoldersHaveText = true;
    edit->ApplySettings();
    EXPECT_FALSE(edit->isReadOnly());
    settings.m_bFoldersHaveText = false;
    Add(folder, "textlet");
    Idle();
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_TRUE(edit->CanPaste() || QGuiApplication::clipboard()->text().isEmpty());
}

TEST_F(PaneTest, ChangedFlagAndStoredBytes) {
    Add(Root(), "t");
    Idle();
    EXPECT_FALSE(edit->IsTextChanged());
    Type(QString::fromUtf8("a\xc2\xa0"
                           "b\nc"));
    EXPECT_TRUE(edit->IsTextChanged());
    EXPECT_EQ(edit->GetWindowText(), "a\xc2\xa0"
                                     "b\r\nc");
    EXPECT_EQ(edit->GetWindowTextLength(), edit->GetWindowText().size());
    EXPECT_TRUE(edit->CanUndo());
}

TEST_F(PaneTest, WordWrapSwitchKeepsTextSelectionAndChangedFlag) {
    Add(Root(), "t");
    Idle();
    settings.m_lfScreenFont.lfHeight = -20;
    settings.m_bWordWrap = false;
    edit->ApplySettings(); // settings alone never mark the text changed
    EXPECT_FALSE(edit->IsTextChanged());
    settings.m_bWordWrap = true;
    edit->ApplySettings();
    Type("some text");
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
    settings.m_bWordWrap = false;
    edit->ApplySettings();
    EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(edit->toPlainText(), "some text");
    EXPECT_EQ(edit->textCursor().selectedText(), "me ");
    EXPECT_TRUE(edit->IsTextChanged());
    EXPECT_TRUE(edit->CanUndo());
    settings.m_nTabWidth = 4;
    edit->ApplySettings();
    EXPECT_NEAR(edit->tabStopDistance(), QFontMetricsF(edit->font()).averageCharWidth() * 4, 0.01);
}

TEST_F(PaneTest, QuickCopyCommitsAndCopiesTheWholeTextKeepingTheSelection) {
    HTREEITEM a = Add(Root(), "a");
    Idle();
    Type("line one\nline two");
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
    items->QuickCopy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "line one\nline two");
    EXPECT_EQ(edit->textCursor().selectedText(), "line");
    EXPECT_EQ(StoredText(a), "line one\r\nline two");
    EXPECT_TRUE(items->HasText());
}

TEST_F(PaneTest, KeyboardContextMenuOfTheEditPaneOpensAtTheTopLeftCorner) {
    QSignalSpy spy(edit.get(), &CEditPaneView::contextMenuRequested);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(-1, -1), QPoint(-1, -1));
    QApplication::sendEvent(edit->viewport(), &event);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toPoint(), edit->viewport()->mapToGlobal(QPoint(5, 5)));
}
