// What other programs get as plain text from a copied item.

#include "app/PayloadText.h"
#include "store/DataFormat.h"
#include "store/Payload.h"

#include <gtest/gtest.h>

using namespace nota;
using payload::CPayloadWriter;
using payload::PlainText;

namespace {

void Text(CPayloadWriter& w, const std::string& text) {
    std::string stored = text;
    stored.push_back('\0');
    w.WriteText(static_cast<DWORD>(stored.size()), reinterpret_cast<const BYTE*>(stored.data()));
}

std::string Of(CPayloadWriter& w) {
    return PlainText(w.Data().data(), w.Data().size());
}

} // namespace

TEST(PayloadTextTest, ATextletGivesItsTextWithPlainLineBreaks) {
    CPayloadWriter w;
    w.BeginItem(KIND_TEXTLET, "abc");
    Text(w, "line one\r\nline two");
    w.EndList();
    w.EndList();
    EXPECT_EQ(Of(w), "line one\nline two\n");

    CPayloadWriter empty; // a textlet without stored text
    empty.BeginItem(KIND_TEXTLET, "blank");
    empty.WriteNoText();
    empty.EndList();
    empty.EndList();
    EXPECT_EQ(Of(empty), "");
}

TEST(PayloadTextTest, AFolderGivesTheTitlesBelowItAsAnIndentedOutline) {
    CPayloadWriter w;
    w.BeginItem(KIND_FOLDER, "Letters");
    Text(w, "a folder's own text is not part of the outline");
    w.BeginItem(KIND_TEXTLET, "Ann");
    Text(w, "not shown");
    w.EndList();
    w.BeginItem(KIND_FOLDER, "Old");
    w.WriteNoText();
    w.BeginItem(KIND_TEXTLET, "Caf\xE9"); // Windows-1252 from another machine
    w.WriteNoText();
    w.EndList();
    w.EndList();
    w.BeginItem(KIND_TEXTLET, "Zed");
    w.WriteNoText();
    w.EndList();
    w.EndList(); // Letters' children
    w.EndList(); // the top level
    EXPECT_EQ(Of(w), "Letters\n  Ann\n  Old\n    Caf\xC3\xA9\n  Zed\n");
}

TEST(PayloadTextTest, AMalformedPayloadGivesWhatWasReadBeforeTheFault) {
    CPayloadWriter w;
    w.BeginItem(KIND_FOLDER, "Top");
    w.WriteNoText();
    w.BeginItem(KIND_TEXTLET, "kept");
    w.WriteNoText();
    w.EndList();
    w.BeginItem(KIND_TEXTLET, "cut");
    std::vector<BYTE> bytes = w.Data();
    bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0x7F, 'x'}); // a text length far past the end
    EXPECT_EQ(PlainText(bytes.data(), bytes.size()), "Top\n  kept\n");
    EXPECT_EQ(PlainText(nullptr, 0), "");
    // A top-level textlet that has children (another program's) is an outline too.
    CPayloadWriter odd;
    odd.BeginItem(KIND_TEXTLET, "parent");
    Text(odd, "text");
    odd.BeginItem(KIND_TEXTLET, "child");
    odd.WriteNoText();
    odd.EndList();
    odd.EndList();
    odd.EndList();
    EXPECT_EQ(Of(odd), "parent\n  child\n");
}
