// The document owns the edit pane's pending text: a command written without a thought for it
// still finds what the user typed in the file, whichever document operation it runs.

#include "TreePaneFixture.h"

#include "app/SearchWalk.h"
#include "ui/common/CommandRouter.h"

#include <algorithm>
#include <functional>

namespace {

constexpr UINT kNewCommand = 0xE7F0; // a command of a later version, not in any menu yet

} // namespace

class PendingTextTest : public PaneTest {
protected:
    CCommandRouter router;

    // Registers run as a new command of the frame and runs it as the menu would.
    void RunNewCommand(std::function<void()> run) {
        router.Set(CommandLevel::Frame, kNewCommand, std::move(run));
        ASSERT_TRUE(router.Execute(kNewCommand));
    }
    // Whether the data file on disk holds text, read past the document.
    bool FileHolds(const std::string& text) {
        const std::vector<BYTE> bytes = ReadFileBytes(path);
        return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
    }
    // Types text into the selected item; nothing of it is in the file yet.
    void TypeUnstored(const std::string& text) {
        Type(QString::fromStdString(text));
        ASSERT_TRUE(edit->IsTextChanged());
        ASSERT_FALSE(FileHolds(text));
    }
};

TEST_F(PendingTextTest, ANewCommandThatNeverStoresThePendingTextStillKeepsTheTypedText) {
    HTREEITEM note = Add(Root(), "note");
    HTREEITEM folder = Add(Root(), "folder", true);
    HTREEITEM other = Add(Root(), "other");
    Select(note);

    // One that reads the item's subtree: the payload has what the pane shows.
    TypeUnstored("typed before a copy");
    std::vector<BYTE> payload;
    RunNewCommand([&] { payload = doc.CopyItems(note); });
    const std::string copied(payload.begin(), payload.end());
    EXPECT_NE(copied.find("typed before a copy"), std::string::npos);
    EXPECT_TRUE(FileHolds("typed before a copy"));
    EXPECT_FALSE(edit->IsTextChanged());

    // One that walks the file's texts, as find does.
    TypeUnstored(", and a search");
    std::string found;
    RunNewCommand([&] {
        CStoreTextReader reader(doc.Store());
        found = std::string(reader.ReadText(doc.Tree(), note));
    });
    EXPECT_NE(found.find(", and a search"), std::string::npos);

    // One that changes the tree somewhere else, without touching the selection.
    TypeUnstored(", and a move");
    RunNewCommand([&] { doc.MoveItem(other, folder); });
    EXPECT_TRUE(FileHolds("typed before a copy, and a search, and a move"));
    EXPECT_EQ(Tree().GetSelectedItem(), note);
    EXPECT_EQ(ui.boxes.size(), 0u);

    // The text is the item's, also after the file is closed and opened again.
    Reopen();
    HTREEITEM again = Tree().GetChildItem(Root());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Title(again), "folder");
    while (again && Title(again) != "note")
        again = Tree().GetNextSiblingItem(again);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(StoredText(again), "typed before a copy, and a search, and a move");
}

TEST_F(PendingTextTest, TextTypedWhileASelectionIsOnItsWayIsNeverStoredIntoAnItem) {
    HTREEITEM a = Add(Root(), "a");
    HTREEITEM b = Add(Root(), "b");
    Select(a);
    Type("kept for a");
    Tree().SelectItem(b); // stores a's text; b's text comes at the next idle step
    ASSERT_TRUE(pane->IsSelChangePending());
    EXPECT_EQ(doc.ShownItem(), nullptr);
    Type(" typed too early");
    RunNewCommand([&] { doc.InsertNewItem(Root(), "c", false); });
    EXPECT_EQ(StoredText(a), "kept for a");
    EXPECT_EQ(StoredText(b), "");
    EXPECT_FALSE(FileHolds("typed too early"));
}
