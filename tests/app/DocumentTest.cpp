#include "platform/Strings.h"
#include "store/TreeStream.h"
#include "support/DataDump.h"
#include "support/DocFixture.h"
#include "support/FakeTextPane.h"
#include "support/FileBuilder.h"

#include <cstdio>
#include <filesystem>
#include <set>

using namespace nota;

using DocumentTest = DocFixture;

TEST_F(DocumentTest, AFreshFileShowsTheSelectedRootWithNoText) {
    CreateAndOpen();
    EXPECT_EQ(tree.GetCount(), 1u);
    HTREEITEM root = Root();
    EXPECT_EQ(tree.GetItemText(root), "Notarium");
    EXPECT_EQ(tree.GetSelectedItem(), root);
    EXPECT_EQ(Chain(root), 0u);
    EXPECT_EQ(settings.m_strLastFile, path);
    CMemoryTextPane pane;
    pane.m_text = "old";
    doc.LoadText(root, pane);
    EXPECT_EQ(pane.m_text, "");
}

TEST_F(DocumentTest, RememberedStateComesBackOrIsDroppedWhenSwitchedOff) {
    CreateAndOpen();
    HTREEITEM f = Add(Root(), "Folder", true);
    HTREEITEM t = Add(f, "Textlet", false);
    tree.SetItemImage(t, 10, 10); // bookmarked
    tree.SelectItem(t);
    ASSERT_TRUE(doc.SaveTree());

    Reopen();
    HTREEITEM f2 = Child(Root(), "Folder");
    ASSERT_NE(f2, nullptr);
    EXPECT_TRUE(tree.GetItemState(f2, TVIS_EXPANDED));
    EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), "Textlet");
    int image = 0, sel = 0;
    tree.GetItemImage(tree.GetSelectedItem(), image, sel);
    EXPECT_EQ(image, 10);

    settings.m_bRememberTreeState = false;
    Reopen();
    EXPECT_EQ(tree.GetSelectedItem(), Root());
    f2 = Child(Root(), "Folder");
    EXPECT_FALSE(tree.GetItemState(f2, TVIS_EXPANDED));
    tree.GetItemImage(tree.GetChildItem(f2), image, sel);
    EXPECT_EQ(image, 8); // the bookmark is gone, and leaves the file with the next save
}

TEST_F(DocumentTest, CommittingTextAllocatesRewritesInPlaceOrFrees) {
    CreateAndOpen();
    HTREEITEM t = Add(Root(), "T", false);
    std::vector<BYTE> before = ReadFileBytes(path);
    SetText(t, "first text");
    DWORD chain = Chain(t);
    EXPECT_NE(chain, 0u);
    doc.DeleteContents(); // check what is on disk
    EXPECT_NE(ReadFileBytes(path), before);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(doc.ReloadTree());
    t = Child(Root(), "T");
    EXPECT_EQ(Chain(t), chain); // the tree stream knows the new chain
    EXPECT_EQ(GetText(t), "first text");

    // Changing the text rewrites the chain in place: the tree stream's block stays the same.
    std::vector<BYTE> image = ReadFileBytes(path);
    std::vector<BYTE> treeBlock(image.begin() + 32, image.begin() + 544);
    SetText(t, std::string(1500, 'z'));
    EXPECT_EQ(Chain(t), chain);
    std::vector<BYTE> after = ReadFileBytes(path);
    EXPECT_EQ(std::vector<BYTE>(after.begin() + 32, after.begin() + 544), treeBlock);
    EXPECT_EQ(GetText(t), std::string(1500, 'z'));

    // An empty text frees the chain and rewrites the tree.
    SetText(t, "");
    EXPECT_EQ(Chain(t), 0u);
    EXPECT_EQ(doc.Store().GetFreeList(), chain);
    Reopen();
    EXPECT_EQ(Chain(Child(Root(), "T")), 0u);
}

TEST_F(DocumentTest, TextsOnBlockBoundariesRoundTrip) {
    CreateAndOpen();
    HTREEITEM t = Add(Root(), "T", false);
    for (std::size_t n : {1u, 501u, 502u, 1012u, 5000u}) {
        SetText(t, std::string(n, 'q'));
        EXPECT_EQ(GetText(t).size(), n);
    }
    // 501 characters: a 506-byte stream in exactly one full block.
    SetText(t, "");
    SetText(t, std::string(501, 'q'));
    std::vector<BYTE> bytes = ReadFileBytes(path);
    EXPECT_EQ(GetLE16(bytes.data() + Chain(t) + 4), 506);
    EXPECT_EQ(GetLE32(bytes.data() + Chain(t)), 0u);
}

TEST_F(DocumentTest, LongLabelsAreStoredAsTheirFirst64Characters) {
    CreateAndOpen();
    HTREEITEM t = Add(Root(), "short", false);
    tree.SetItemText(t, std::string(80, 'L'));
    ASSERT_TRUE(doc.SaveTree());
    Reopen();
    EXPECT_EQ(Titles(Root()), std::vector<std::string>{std::string(64, 'L')});
}

TEST_F(DocumentTest, AFileHeldElsewhereOrNotADataFileKeepsTheCurrentDatabase) {
    CreateAndOpen();
    std::string other = dir.File("other.Nota");
    ASSERT_TRUE(CNotariumDoc::PrepareDataFile(other, true, ui));
    {
        CFile holder(other, CFile::modeReadWrite | CFile::shareExclusive);
        EXPECT_FALSE(doc.OnOpenDocument(other));
        EXPECT_EQ(ui.LastBox(), "A sharing violation occurred while accessing " + other + ".");
    }
    std::string junk = dir.File("junk.txt");
    WriteFileBytes(junk, std::vector<BYTE>(100, 'x'));
    EXPECT_FALSE(doc.OnOpenDocument(junk));
    EXPECT_EQ(ui.LastBox(),
              "Unable to open " + junk + ". File is corrupt or is not a valid Notarium data file.");
    EXPECT_FALSE(CNotariumDoc::PrepareDataFile(junk, false, ui));
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_TRUE(doc.SaveTree()); // still open and writable

    // The open database itself cannot be checked again while it is held.
    EXPECT_FALSE(CNotariumDoc::PrepareDataFile(path, false, ui));
    EXPECT_EQ(ui.LastBox(), "A sharing violation occurred while accessing " + path + ".");
}

TEST_F(DocumentTest, AnEmptyTreeReferenceLoadsNothingAndGetsAChainAtTheNextSave) {
    CFileBuilder b;
    b.WriteTo(path);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(doc.ReloadTree());
    EXPECT_EQ(tree.GetCount(), 0u);
    tree.InsertItem("Notarium", 0, 0);
    ASSERT_TRUE(doc.SaveTree());
    EXPECT_EQ(doc.Store().GetTreeData(), 32u);
    Reopen();
    EXPECT_EQ(tree.GetCount(), 1u);
}

TEST_F(DocumentTest, ADamagedTreeStreamKeepsWhatWasReadAndSelectsAnItem) {
    CFileBuilder b;
    CTreeStreamBuilder s;
    s.Item(0, "Notarium").Leaf(8, "kept");
    std::vector<BYTE> stream = s.bytes; // the stream breaks off here
    DWORD first = b.AddChain(stream);
    b.SetTreeData(first);
    b.SetNext(first, 999999); // and its chain leaves the file
    b.WriteTo(path);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.ReloadTree());
    EXPECT_EQ(tree.GetCount(), 2u);
    EXPECT_EQ(tree.GetSelectedItem(), Root());
    EXPECT_EQ(ui.LastBox(), "An attempt was made to access " + path + " past its end.");
}

TEST_F(DocumentTest, AbsurdTextLengthsAreRefusedNotAllocated) {
    CreateAndOpen();
    HTREEITEM t = Add(Root(), "T", false);
    SetText(t, "abc");
    doc.DeleteContents();
    std::vector<BYTE> bytes = ReadFileBytes(path);
    PutLE32(bytes.data() + Chain(t) + 6, 0xFFFFFFF0u); // dwTextLength
    WriteFileBytes(path, bytes);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    std::string text;
    EXPECT_THROW(doc.ReadText(t, text), CFileException);
    EXPECT_EQ(doc.Store().GetMode(), CBlockFile::modeIdle);
}

TEST_F(DocumentTest, SaveModifiedCommitsThePaneFirstAndStopsWhenItFails) {
    CFakeTextPane pane;
    CreateAndOpen();
    doc.SetTextPane(&pane);
    doc.ShowItemText(Root());
    pane.m_bChanged = true;
    EXPECT_TRUE(doc.SaveModified());
    pane.bFail = true;
    pane.m_bChanged = true;
    EXPECT_FALSE(doc.SaveModified());
    EXPECT_EQ(pane.stores, 2);
    doc.SetTextPane(nullptr);
    doc.DeleteContents();
    EXPECT_FALSE(doc.SaveModified());
}

TEST_F(DocumentTest, ThePendingTextIsStoredOnceIntoTheShownItemAndNeverIntoAnotherOrAGoneOne) {
    CreateAndOpen();
    HTREEITEM a = Add(Root(), "a", false);
    HTREEITEM b = Add(Root(), "b", false);
    CFakeTextPane pane;
    doc.SetTextPane(&pane);
    tree.SelectItem(a);
    doc.ShowItemText(a);

    // Leaving the item stores its text; the next item's text is not its until shown.
    pane.m_text = "for a";
    pane.m_bChanged = true;
    tree.SelectItem(b);
    EXPECT_EQ(pane.stores, 1);
    EXPECT_EQ(doc.ShownItem(), nullptr);
    std::string text;
    doc.ReadText(a, text);
    EXPECT_EQ(text, "for a");
    pane.m_text = "not for b";
    pane.m_bChanged = true;
    EXPECT_TRUE(doc.SaveTree());
    EXPECT_EQ(doc.ReadText(b, text), 0u); // no text
    EXPECT_EQ(pane.stores, 1);

    // A failure is told once; the text counts as handled and nothing retries it unasked.
    doc.ShowItemText(b);
    pane.m_text = "lost?";
    pane.m_bChanged = true;
    pane.bFail = true;
    EXPECT_FALSE(doc.StorePendingText());
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_FALSE(pane.m_bChanged);
    EXPECT_TRUE(doc.SaveTree());
    EXPECT_EQ(pane.stores, 2);
    EXPECT_EQ(ui.boxes.size(), 1u);

    // The shown item deleted: its pending text goes with it, unstored and unreported.
    pane.m_bChanged = true;
    EXPECT_TRUE(doc.DeleteItem(b));
    EXPECT_EQ(pane.stores, 2);
    EXPECT_EQ(doc.ShownItem(), nullptr);
    EXPECT_EQ(ui.boxes.size(), 1u);

    // Another file: the pane's text belongs to none of its items.
    tree.SelectItem(a);
    doc.ShowItemText(a);
    pane.bFail = false;
    pane.m_bChanged = true;
    doc.DeleteContents();
    ASSERT_TRUE(doc.OnOpenDocument(path)); // its tree is not loaded yet
    EXPECT_EQ(doc.ShownItem(), nullptr);
    EXPECT_TRUE(doc.StorePendingText());
    EXPECT_EQ(pane.stores, 2);
    doc.SetTextPane(nullptr);
}

// A file opened to read only never pretends a change was stored: every change is refused
// with the access message, the tree keeps nothing new, and the file's bytes stay.
TEST_F(DocumentTest, AFileOpenedToReadRefusesEveryChangeAndSaysSo) {
    CreateAndOpen();
    HTREEITEM note = Add(Root(), "note", false);
    SetText(note, "kept");
    doc.DeleteContents();
    const std::vector<BYTE> before = ReadFileBytes(path);
    ASSERT_TRUE(doc.OnOpenDocument(path, CNotariumDoc::OpenMode::ReadOnly));
    ASSERT_TRUE(doc.ReloadTree());
    ASSERT_TRUE(doc.IsReadOnly());
    const std::string denied = CFileException(CFileException::accessDenied, path).GetErrorMessage();
    ui.boxes.clear();
    EXPECT_EQ(Add(Root(), "new", false), nullptr);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, denied);
    EXPECT_EQ(Titles(Root()), std::vector<std::string>{"note"});
    EXPECT_THROW(SetText(Child(Root(), "note"), "changed"), CFileException);
    EXPECT_FALSE(doc.DeleteItem(Child(Root(), "note")));
    EXPECT_TRUE(doc.SaveModified()); // nothing waits to be stored
    doc.DeleteContents();
    EXPECT_EQ(ReadFileBytes(path), before);
}

// Items added early in a large tree move the stream's bytes: the moved part goes into new
// blocks and the old ones are freed, which the next save takes back. The file grows by one
// stream's worth once, not with every change, and the tree stays where it starts.
TEST_F(DocumentTest, ALargeTreeWhoseBytesMoveTakesTurnsWithItsFreeBlocks) {
    CreateAndOpenWithTextlets(20000);
    ASSERT_FALSE(HasFatalFailure());
    const DWORD start = doc.Store().GetTreeData();
    std::vector<std::uintmax_t> lengths;
    for (const char* added : {"A", "B", "C", "D"}) { // each sorts first
        ASSERT_TRUE(Add(Root(), added, false));
        lengths.push_back(std::filesystem::file_size(path));
        EXPECT_EQ(doc.Store().GetTreeData(), start);
    }
    for (std::size_t i = 1; i < lengths.size(); ++i) // a block for a grown stream at most
        EXPECT_LE(lengths[i], lengths[i - 1] + BLOCK_SIZE) << i;

    Reopen();
    EXPECT_EQ(tree.GetCount(), 20005u);
    for (const char* added : {"A", "B", "C", "D"})
        EXPECT_TRUE(Child(Root(), added)) << added;
    doc.DeleteContents();
    EXPECT_EQ(CheckDataFile(path), 0);
    EXPECT_TRUE(FreeListIsDisjoint(path));
}

// One session of moved saves with other work between them: a text that takes free blocks
// (relinking blocks the last save freed), an item deleted with its text, and an add whose
// commit fails (rolled back). Every save lands on the file's true links.
TEST_F(DocumentTest, MovedSavesBetweenTextsDeletesAndAFailedCommitKeepTheFileSound) {
    CreateAndOpenWithTextlets(20000);
    ASSERT_FALSE(HasFatalFailure());
    char title[32];
    std::vector<std::string> kept;
    for (int round = 0; round < 3; ++round) {
        const std::string a(1, static_cast<char>('a' + 2 * round)); // each sorts first
        ASSERT_TRUE(Add(Root(), a, false));
        kept.push_back(a);
        HTREEITEM t = Child(Root(), "Textlet 00007");
        SetText(t, std::string(40000 + round, static_cast<char>('k' + round)));
        CFile::SetFaultHook([this](CFile::Op op, const std::string& at) {
            if (op == CFile::Op::Flush && at == path)
                throw CFileException(CFileException::diskFull, at);
        });
        EXPECT_FALSE(Add(Root(), "0 dropped", false));
        CFile::SetFaultHook(nullptr);
        const std::string b(1, static_cast<char>('b' + 2 * round));
        ASSERT_TRUE(Add(Root(), b, false));
        kept.push_back(b);
        std::snprintf(title, sizeof title, "Textlet %05d", 100 + round);
        HTREEITEM gone = Child(Root(), title);
        SetText(gone, std::string(30000, 'g'));
        ASSERT_TRUE(doc.DeleteItem(gone));
    }
    Reopen();
    EXPECT_EQ(tree.GetCount(), 20001u + kept.size() - 3);
    for (const std::string& t : kept)
        EXPECT_TRUE(Child(Root(), t)) << t;
    EXPECT_FALSE(Child(Root(), "0 dropped"));
    EXPECT_EQ(GetText(Child(Root(), "Textlet 00007")), std::string(40002, 'm'));
    doc.DeleteContents();
    EXPECT_EQ(CheckDataFile(path), 0);
    EXPECT_TRUE(FreeListIsDisjoint(path));
}
