// Items through the clipboard and by drag and drop inside one window: Cut, Copy and Paste with
// their enable rules and messages, what other programs get as text, payloads from elsewhere
// that are malformed, and the drop rules, highlight and scrolling of a drag. Drags are driven
// with the events a real drag delivers; the flows across processes run under Xvfb
// (tools/e2e-two-instances.sh).

#include "TreePaneFixture.h"

#include "app/TreeWalk.h"
#include "platform/Strings.h"
#include "store/Payload.h"
#include "support/DataDump.h"
#include "ui/common/CommandIds.h"
#include "ui/common/CommandRouter.h"
#include "ui/tree/ClipboardCommands.h"
#include "ui/tree/DragScroller.h"
#include "ui/tree/ItemDrag.h"
#include "ui/tree/ItemMimeData.h"

#include <QClipboard>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QScrollBar>

#include <filesystem>

#include <unistd.h>

namespace {

QByteArray Bytes(std::initializer_list<int> bytes) {
    QByteArray out;
    for (int b : bytes)
        out.append(static_cast<char>(b));
    return out;
}

} // namespace

class ItemClipboardTest : public PaneTest {
protected:
    std::unique_ptr<CClipboardCommands> clip;
    CCommandRouter router;
    HTREEITEM letters = nullptr, ann = nullptr, bob = nullptr, archive = nullptr, old = nullptr;

    void SetUp() override {
        PaneTest::SetUp();
        Wire();
        QGuiApplication::clipboard()->clear();
        letters = Add(Root(), "Letters", true);
        ann = Add(letters, "Ann");
        bob = Add(letters, "Bob");
        archive = Add(Root(), "Archive", true);
        old = Add(archive, "old");
        SetText(ann, "Dear Ann,\r\nsee you.");
        SetText(bob, "Hi Bob");
        Select(Root());
    }
    void SetText(HTREEITEM h, const std::string& text) {
        Select(h);
        Type(QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        ASSERT_TRUE(doc.StorePendingText());
    }
    QByteArray ClipboardPayload() {
        const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
        return mime ? mime->data(ItemFormatName()) : QByteArray();
    }
    void SetClipboardPayload(const QByteArray& bytes) {
        auto* mime = new QMimeData;
        mime->setData(ItemFormatName(), bytes);
        QGuiApplication::clipboard()->setMimeData(mime);
    }
    // The commands as the frame wires them: the title editor's first, then the items'.
    void Wire() {
        clip = std::make_unique<CClipboardCommands>(doc, *pane);
        clip->Register(*items);
        pane->RegisterTitleCommands(router, [this](UINT id) { return items->PaneCommand(id); });
    }
    // Closes the file, checks it as NotaFix would and looks for texts in it, then opens it
    // again (item handles from before are gone).
    void ExpectSoundFile(const std::vector<std::string>& mustHold) {
        ASSERT_TRUE(doc.SaveModified());
        clip.reset();
        idle.reset();
        items.reset();
        pane.reset();
        doc.DeleteContents();
        EXPECT_EQ(CheckDataFile(path), 0);
        const std::string dump = DumpDataFile(path);
        for (const std::string& s : mustHold)
            EXPECT_NE(dump.find(s), std::string::npos) << s << "\n" << dump;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        Open();
        Wire();
    }
    // A drag of h as the pane starts it: the model's data for the item's index.
    CItemMimeData* BeginDrag(HTREEITEM h) {
        return static_cast<CItemMimeData*>(pane->Model().mimeData({pane->Model().IndexOf(h)}));
    }
    HTREEITEM Child(HTREEITEM parent, const std::string& title) {
        for (HTREEITEM h = Tree().GetChildItem(parent); h; h = Tree().GetNextSiblingItem(h))
            if (Title(h) == title)
                return h;
        return nullptr;
    }
};

TEST_F(ItemClipboardTest, ATextletIsTheKnown19BytesWithItsTextForOtherPrograms) {
    HTREEITEM abc = Add(Root(), "abc");
    SetText(abc, "hi");
    Select(abc);
    ASSERT_TRUE(clip->Copy());
    EXPECT_EQ(ClipboardPayload(), Bytes({8, 0, 4, 0, 'a', 'b', 'c', 0, 3, 0, 0, 0, 'h', 'i', 0,
                                         0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("hi\n"));
    EXPECT_EQ(ui.statusTexts.front(), str::kCopyingItem);
    // The clipboard's own copy: a textlet's text with the edit pane's line breaks.
    Select(ann);
    ASSERT_TRUE(clip->Copy());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Dear Ann,\nsee you.\n"));
}

TEST_F(ItemClipboardTest, AFolderIsOfferedToOtherProgramsAsAnIndentedOutline) {
    Add(archive, "deep", true);
    Select(Root());
    ASSERT_TRUE(clip->Copy());
    EXPECT_EQ(
        QGuiApplication::clipboard()->text(),
        QStringLiteral("Notarium\n  Archive\n    deep\n    old\n  Letters\n    Ann\n    Bob\n"));
}

TEST_F(ItemClipboardTest, PasteGoesIntoTheSelectedFolderOrTheTextletsFolderSortedAndSelected) {
    Select(ann);
    ASSERT_TRUE(clip->Copy());
    Select(archive); // a folder: into it
    clip->Paste();
    HTREEITEM pasted = Tree().GetSelectedItem();
    EXPECT_EQ(Tree().GetParentItem(pasted), archive);
    EXPECT_EQ(ChildTitles(archive), (std::vector<std::string>{"Ann", "old"}));
    EXPECT_EQ(StoredText(pasted), "Dear Ann,\r\nsee you.");
    EXPECT_NE(Tree().GetItemData(pasted), Tree().GetItemData(ann)); // a chain of its own

    Select(old); // a textlet: into its folder
    clip->Paste();
    EXPECT_EQ(ChildTitles(archive), (std::vector<std::string>{"Ann", "Ann", "old"}));
    EXPECT_EQ(Tree().GetParentItem(Tree().GetSelectedItem()), archive);
    Idle();
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("Dear Ann,\nsee you.")); // loaded when idle
    ExpectSoundFile({"Dear Ann,"});
    EXPECT_EQ(ChildTitles(Child(Root(), "Archive")),
              (std::vector<std::string>{"Ann", "Ann", "old"}));
}

TEST_F(ItemClipboardTest, TheRootPastesAsAPlainFolderWithoutBookmarksOrExpansion) {
    Tree().SetItemImage(letters, 4 | nota::IMAGE_BOOKMARK, 4 | nota::IMAGE_BOOKMARK);
    HTREEITEM blank = Add(letters, "blank"); // no text, no chain
    Select(Root());
    ASSERT_TRUE(clip->Copy());
    HTREEITEM extra = Add(Root(), "added later"); // not in the copy taken before
    (void)extra;
    Select(old);
    clip->Paste();
    HTREEITEM copy = Tree().GetSelectedItem();
    EXPECT_EQ(Title(copy), "Notarium");
    EXPECT_EQ(Image(copy), nota::KIND_FOLDER);
    EXPECT_EQ(ChildTitles(copy), (std::vector<std::string>{"Archive", "Letters"}));
    HTREEITEM copiedLetters = Child(copy, "Letters");
    EXPECT_EQ(Image(copiedLetters), nota::KIND_FOLDER);
    EXPECT_FALSE(Tree().GetItemState(copiedLetters, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(Tree().GetItemData(Child(copiedLetters, "blank")), 0u);
    (void)blank;
    ExpectSoundFile({"Hi Bob"});
}

TEST_F(ItemClipboardTest, CutOfTheRootIsRefusedAndCutThenPasteMovesWithTextsIntact) {
    Select(Root());
    EXPECT_FALSE(router.IsEnabled(ID_EDIT_CUT));
    EXPECT_TRUE(router.IsEnabled(ID_EDIT_COPY));
    clip->Cut();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "You cannot Cut the root folder. Use Copy instead.");
    EXPECT_NE(Root(), nullptr);

    settings.m_bConfirmDelete = true; // Cut never asks
    Select(letters);
    EXPECT_TRUE(router.IsEnabled(ID_EDIT_CUT));
    ASSERT_TRUE(router.Execute(ID_EDIT_CUT));
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(Child(Root(), "Letters"), nullptr);
    Select(archive);
    ASSERT_TRUE(router.Execute(ID_EDIT_PASTE));
    HTREEITEM moved = Child(archive, "Letters");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(StoredText(Child(moved, "Bob")), "Hi Bob");
    ExpectSoundFile({"Dear Ann,", "Hi Bob"});
}

TEST_F(ItemClipboardTest, CutKeepsTheItemWhenTheCopyFails) {
    Select(bob);
    const DWORD chain = static_cast<DWORD>(Tree().GetItemData(bob));
    Tree().SetItemData(bob, 0x7FFFFE00); // its text cannot be read
    clip->Cut();
    ASSERT_EQ(ui.boxes.size(), 1u); // the read error, with its own message
    EXPECT_NE(Child(letters, "Bob"), nullptr);
    EXPECT_FALSE(clip->CanPaste()); // nothing reached the clipboard
    Tree().SetItemData(bob, chain);
    ExpectSoundFile({"Hi Bob"});
}

TEST_F(ItemClipboardTest, PasteIsEnabledOnlyForItemsAndTheTitleEditorKeepsItsCommands) {
    QGuiApplication::clipboard()->setText(QStringLiteral("plain words"));
    Select(letters);
    EXPECT_FALSE(router.IsEnabled(ID_EDIT_PASTE));
    const std::size_t before = Tree().GetCount();
    EXPECT_FALSE(router.Execute(ID_EDIT_PASTE));
    EXPECT_EQ(Tree().GetCount(), before);

    ASSERT_TRUE(router.Execute(ID_EDIT_COPY));
    EXPECT_TRUE(router.IsEnabled(ID_EDIT_PASTE));

    pane->Rename(); // the title editor now takes Cut, Copy and Paste
    QLineEdit* editor = pane->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    ASSERT_TRUE(router.Execute(ID_EDIT_COPY));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Letters"));
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat(ItemFormatName()));
    EXPECT_EQ(Tree().GetCount(), before);
}

TEST_F(ItemClipboardTest, MalformedPayloadsAreReadOnlyAsFarAsTheyAreSound) {
    Select(archive);
    // Text length past the end, a missing terminator, a kind that is neither 4 nor 8.
    const QByteArray bad[] = {
        Bytes({8, 0, 2, 0, 'x', 0, 0xFF, 0xFF, 0xFF, 0x7F, 'x'}),
        Bytes({4, 0, 2, 0, 'f', 0, 0, 0, 0, 0}),
        Bytes({5, 0, 2, 0, 'k', 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
        Bytes({0xFF}),
    };
    for (const QByteArray& bytes : bad) {
        SetClipboardPayload(bytes);
        EXPECT_TRUE(clip->CanPaste());
        clip->Paste();
    }
    EXPECT_EQ(ui.boxes.size(), 0u);
    EXPECT_EQ(ui.beeps, 3); // nothing readable in three of them
    // The folder without its terminator was sound as far as its title and empty text.
    EXPECT_EQ(ChildTitles(archive), (std::vector<std::string>{"f", "old"}));

    // A sound textlet followed by a bad kind: the textlet arrives, the rest does not.
    QByteArray mixed = Bytes(
        {4, 0, 4, 0, 'b', 'o', 'x', 0, 0, 0, 0, 0, 8, 0, 2, 0, 't', 0, 3, 0, 0, 0, 'o', 'k', 0});
    mixed += Bytes({0xFF, 0xFF, 9, 0, 2, 0, 'z', 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    SetClipboardPayload(mixed);
    Select(archive);
    clip->Paste();
    HTREEITEM box = Child(archive, "box");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(StoredText(Child(box, "t")), "ok");
    EXPECT_EQ(ChildTitles(box), (std::vector<std::string>{"t"}));
    ExpectSoundFile({"ok"});
}

// ---- drag and drop ---------------------------------------------------------------------------

class ItemDragTest : public ItemClipboardTest {
protected:
    QPoint At(HTREEITEM h) {
        pane->scrollTo(pane->Model().IndexOf(h));
        return pane->visualRect(pane->Model().IndexOf(h)).center();
    }
    // Hovers over target and drops there, as a drag delivers it; the drop's result.
    Qt::DropAction DragTo(const QMimeData* mime, HTREEITEM target,
                          Qt::KeyboardModifiers keys = Qt::NoModifier) {
        const QPoint pos = target ? At(target) : QPoint(5, pane->viewport()->height() - 5);
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(pos, offered, mime, Qt::LeftButton, keys);
        QApplication::sendEvent(pane->viewport(), &enter);
        QDragMoveEvent move(pos, offered, mime, Qt::LeftButton, keys);
        QApplication::sendEvent(pane->viewport(), &move);
        hovered = pane->DropHighlight();
        hoverAccepted = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
        QDropEvent drop(QPointF(pos), offered, mime, Qt::LeftButton, keys);
        QApplication::sendEvent(pane->viewport(), &drop);
        EXPECT_EQ(pane->DropHighlight(), nullptr);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    }
    // A drag of h from this pane to target; the drag's end as the source sees it.
    Qt::DropAction Drag(HTREEITEM h, HTREEITEM target,
                        Qt::KeyboardModifiers keys = Qt::NoModifier) {
        std::unique_ptr<CItemMimeData> data(BeginDrag(h));
        EXPECT_TRUE(data);
        const Qt::DropAction result = DragTo(data.get(), target, keys);
        pane->Model().DragEnded(result);
        renders = data->RenderCount();
        return result;
    }
    HTREEITEM hovered = nullptr;
    Qt::DropAction hoverAccepted = Qt::IgnoreAction;
    int renders = 0;
};

TEST_F(ItemDragTest, WithoutCtrlAnItemMovesOntoAFolderOrIntoATextletsFolder) {
    EXPECT_EQ(Drag(bob, archive), Qt::IgnoreAction); // moved here: the source deletes nothing
    EXPECT_EQ(hovered, archive);
    EXPECT_EQ(hoverAccepted, Qt::MoveAction);
    EXPECT_EQ(renders, 0); // a move needs no payload
    EXPECT_EQ(ChildTitles(letters), (std::vector<std::string>{"Ann"}));
    HTREEITEM moved = Child(archive, "Bob");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(Tree().GetSelectedItem(), moved);

    Drag(moved, ann); // onto a textlet of another folder: into that folder
    EXPECT_EQ(ChildTitles(letters), (std::vector<std::string>{"Ann", "Bob"}));
    EXPECT_EQ(ChildTitles(archive), (std::vector<std::string>{"old"}));
    ExpectSoundFile({"Hi Bob", "Dear Ann,"});
}

TEST_F(ItemDragTest, DropsThatChangeNothingAndAFolderIntoItself) {
    HTREEITEM sub = Add(letters, "sub", true);
    Drag(ann, bob);                                  // onto a sibling textlet
    Drag(letters, ann);                              // a folder onto its own textlet
    Drag(letters, letters);                          // onto itself
    Drag(letters, Root());                           // onto the folder it lies in
    EXPECT_EQ(Drag(ann, nullptr), Qt::IgnoreAction); // empty space
    EXPECT_EQ(ui.boxes.size(), 0u);
    EXPECT_EQ(Tree().GetParentItem(letters), Root());
    EXPECT_EQ(ChildTitles(letters), (std::vector<std::string>{"Ann", "Bob", "sub"}));

    Drag(letters, sub); // onto its own subfolder
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "You cannot move a folder into itself.");
    EXPECT_EQ(Tree().GetParentItem(sub), letters);
    EXPECT_EQ(Tree().GetParentItem(letters), Root());
    ExpectSoundFile({"Hi Bob", "Dear Ann,"});
}

TEST_F(ItemDragTest, CtrlCopiesAndTheRootIsAlwaysCopied) {
    EXPECT_EQ(Drag(bob, archive, Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(hoverAccepted, Qt::CopyAction);
    EXPECT_EQ(renders, 1);                     // made once, when the drop read it
    EXPECT_NE(Child(letters, "Bob"), nullptr); // the source keeps its item
    EXPECT_EQ(StoredText(Child(archive, "Bob")), "Hi Bob");

    EXPECT_EQ(Drag(Root(), old), Qt::CopyAction);
    HTREEITEM copy = Child(archive, "Notarium");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Image(copy), nota::KIND_FOLDER);
    EXPECT_EQ(Tree().GetSelectedItem(), copy);
    ExpectSoundFile({"Hi Bob"});
}

TEST_F(ItemDragTest, ADragFromElsewhereCopiesAndForeignDataIsRefused) {
    Select(bob);
    ASSERT_TRUE(clip->Copy()); // another instance's payload, as it arrives
    auto* foreign = new QMimeData;
    foreign->setData(ItemFormatName(), ClipboardPayload());
    std::unique_ptr<QMimeData> owner(foreign);
    EXPECT_EQ(DragTo(foreign, archive), Qt::CopyAction);
    EXPECT_EQ(hoverAccepted, Qt::CopyAction);
    EXPECT_EQ(StoredText(Child(archive, "Bob")), "Hi Bob");

    QMimeData text;
    text.setText(QStringLiteral("words"));
    const std::size_t count = Tree().GetCount();
    EXPECT_EQ(DragTo(&text, archive), Qt::IgnoreAction);
    EXPECT_EQ(hoverAccepted, Qt::IgnoreAction);
    EXPECT_EQ(hovered, nullptr); // no highlight for what cannot drop
    EXPECT_EQ(Tree().GetCount(), count);
}

TEST_F(ItemDragTest, AMoveReportedByAnotherProgramDeletesOnlyAfterThePayloadIsMade) {
    std::unique_ptr<CItemMimeData> data(BeginDrag(letters));
    pane->Model().DragEnded(Qt::MoveAction);
    EXPECT_EQ(Child(Root(), "Letters"), nullptr);
    // The reader gets the items as they were when the drag ended.
    const QByteArray bytes = data->data(ItemFormatName());
    EXPECT_EQ(data->RenderCount(), 1);
    SetClipboardPayload(bytes);
    Select(archive);
    clip->Paste();
    EXPECT_EQ(StoredText(Child(Child(archive, "Letters"), "Bob")), "Hi Bob");

    // A drag dropped nowhere makes nothing and leaves the data without a link to the tree.
    std::unique_ptr<CItemMimeData> unused(BeginDrag(archive));
    pane->Model().DragEnded(Qt::IgnoreAction);
    EXPECT_TRUE(unused->data(ItemFormatName()).isEmpty());
    EXPECT_EQ(unused->RenderCount(), 0);
    ExpectSoundFile({"Hi Bob", "Dear Ann,"});
}

TEST_F(ItemDragTest, NearTheEdgesTheTreeScrollsOnlyWhileMoreItemsLieThatWay) {
    for (int i = 0; i < 60; ++i)
        Add(archive, "item " + std::to_string(100 + i));
    Select(Root());
    pane->resize(200, 150);
    QApplication::processEvents();
    QScrollBar* bar = pane->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    CDragScroller& scroller = *pane->findChild<CDragScroller*>();
    const int h = pane->viewport()->height();

    scroller.Hover(QPoint(30, 2)); // the top border, already at the top
    EXPECT_FALSE(scroller.IsActive());
    scroller.Hover(QPoint(30, h / 2)); // the middle
    EXPECT_FALSE(scroller.IsActive());
    scroller.Hover(QPoint(30, h - 2)); // the bottom border
    EXPECT_TRUE(scroller.IsActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() >= 3; }, 3000));
    bar->setValue(bar->maximum() - 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !scroller.IsActive(); }, 3000));
    EXPECT_EQ(bar->value(), bar->maximum()); // it stops at the last item

    scroller.Hover(QPoint(30, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() < bar->maximum() - 2; }, 3000));
    scroller.Stop();
    const int stopped = bar->value();
    QTest::qWait(3 * CDragScroller::kInterval);
    EXPECT_EQ(bar->value(), stopped);

    EXPECT_EQ(CDragScroller::Request(5, 100, 20), -1);
    EXPECT_EQ(CDragScroller::Request(50, 100, 20), 0);
    EXPECT_EQ(CDragScroller::Request(95, 100, 20), 1);
}

TEST_F(ItemDragTest, TheDragPictureShowsTheItemsRow) {
    const QPixmap picture = pane->DragPicture(letters);
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(picture.width(), 16);
    EXPECT_LE(picture.height(), pane->visualRect(pane->Model().IndexOf(letters)).height() + 1);
}

// ---- items through a file between instances -------------------------------------------------

class ItemsFileClipboardTest : public ItemDragTest {
protected:
    CTempDir runtime; // the runtime directory of this "user" (made 0700)
    QByteArray savedRuntime;
    bool hadRuntime = false;

    void SetUp() override {
        hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
        ItemDragTest::SetUp();
        ASSERT_EQ(ItemsFileDirectory(), runtime.Path());
    }
    void TearDown() override {
        QGuiApplication::clipboard()->clear();
        if (hadRuntime)
            qputenv("XDG_RUNTIME_DIR", savedRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(runtime.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
    // What another instance offers: a record naming a file, and the payload as the contract.
    static std::unique_ptr<QMimeData> Foreign(const QByteArray& record, const QByteArray& payload) {
        auto mime = std::make_unique<QMimeData>();
        mime->setData(ItemFormatName(), payload);
        mime->setData(ItemsFileFormatName(), record);
        return mime;
    }
    // Another instance's file holding payload; its record.
    QByteArray SendFile(const std::vector<BYTE>& payload, std::string* name = nullptr) {
        std::string written;
        EXPECT_TRUE(itemsfile::WriteFile(runtime.Path(), payload.data(), payload.size(), written));
        if (name)
            *name = written;
        return QByteArray::fromStdString(
            itemsfile::EncodeRecord({itemsfile::BootId(), payload.size(), written}));
    }
    QByteArray AsBytes(const std::vector<BYTE>& v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()),
                          static_cast<qsizetype>(v.size()));
    }
};

TEST_F(ItemsFileClipboardTest, AFileIsWrittenOnceWhenAnotherProcessAsksAndGoesWithItsData) {
    Select(letters);
    ASSERT_TRUE(clip->Copy());
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(mime->formats(),
              (QStringList{ItemFormatName(), ItemsFileFormatName(), QStringLiteral("text/plain")}));
    Select(archive);
    clip->Paste(); // in this process the payload is read where it lies
    EXPECT_NE(Child(archive, "Letters"), nullptr);
    EXPECT_TRUE(Files().empty());

    const QByteArray record = mime->data(ItemsFileFormatName());
    itemsfile::CRecord decoded;
    ASSERT_TRUE(itemsfile::DecodeRecord(record.toStdString(), decoded));
    ASSERT_EQ(Files(), (std::vector<std::string>{decoded.name}));
    const std::vector<BYTE> onDisk = ReadFileBytes(runtime.File(decoded.name));
    EXPECT_EQ(AsBytes(onDisk), ClipboardPayload());
    EXPECT_EQ(mime->data(ItemsFileFormatName()), record); // asked again: the same file
    EXPECT_EQ(Files().size(), 1u);

    ASSERT_TRUE(clip->Copy()); // the clipboard's new data replaces and destroys the old
    EXPECT_TRUE(Files().empty());
    QGuiApplication::clipboard()->mimeData()->data(ItemsFileFormatName());
    EXPECT_EQ(Files().size(), 1u);
    QGuiApplication::clipboard()->clear(); // ownership lost
    EXPECT_TRUE(Files().empty());
}

TEST_F(ItemsFileClipboardTest, ADragsFileStaysAfterTheDragUntilItsDataIsDeleted) {
    std::unique_ptr<CItemMimeData> data(BeginDrag(bob));
    pane->Model().DragEnded(Qt::CopyAction); // on X11 the other side may read only now
    const QByteArray record = data->data(ItemsFileFormatName());
    EXPECT_FALSE(record.isEmpty());
    EXPECT_EQ(Files().size(), 1u);
    EXPECT_EQ(data->RenderCount(), 1);
    data.reset();
    EXPECT_TRUE(Files().empty());

    // Dropped nowhere: nothing to hand over, so no file either.
    std::unique_ptr<CItemMimeData> unused(BeginDrag(archive));
    pane->Model().DragEnded(Qt::IgnoreAction);
    EXPECT_TRUE(unused->data(ItemsFileFormatName()).isEmpty());
    EXPECT_TRUE(Files().empty());
}

TEST_F(ItemsFileClipboardTest, PasteAndDropPreferTheFileAndFallBackOnAnythingUnsound) {
    const std::vector<BYTE> viaFile = doc.CopyItems(ann);
    const QByteArray viaSelection = AsBytes(doc.CopyItems(bob));
    const auto expectFrom = [&](const QByteArray& record, CFetchedItems::Source source) {
        const std::unique_ptr<QMimeData> mime = Foreign(record, viaSelection);
        const CFetchedItems items = FetchItemData(mime.get());
        EXPECT_EQ(items.From(), source) << record.toStdString();
        const QByteArray got(reinterpret_cast<const char*>(items.Data()),
                             static_cast<qsizetype>(items.Size()));
        EXPECT_EQ(got, source == CFetchedItems::Source::File ? AsBytes(viaFile) : viaSelection);
    };
    std::string name;
    const QByteArray good = SendFile(viaFile, &name);
    expectFrom(good, CFetchedItems::Source::File);

    // Paste and a drop from another instance both go this way.
    QGuiApplication::clipboard()->setMimeData(Foreign(good, viaSelection).release());
    Select(archive);
    clip->Paste();
    EXPECT_EQ(StoredText(Child(archive, "Ann")), "Dear Ann,\r\nsee you.");
    const std::unique_ptr<QMimeData> dropped = Foreign(good, viaSelection);
    EXPECT_EQ(DragTo(dropped.get(), old), Qt::CopyAction);
    EXPECT_EQ(ChildTitles(archive), (std::vector<std::string>{"Ann", "Ann", "old"}));

    // Every way a file can be refused is covered by the file's own tests; here: each falls back.
    std::string longName;
    SendFile(std::vector<BYTE>(viaFile.size() + 1, 0), &longName);
    const std::string linkName = "notarium-items-1-1-00000000000000aa";
    ASSERT_EQ(::symlink(runtime.File(name).c_str(), runtime.File(linkName).c_str()), 0);
    const QByteArray unsound[] = {
        QByteArray::fromStdString(
            itemsfile::EncodeRecord({itemsfile::BootId(), viaFile.size(), longName})),
        QByteArray::fromStdString(
            itemsfile::EncodeRecord({itemsfile::BootId(), viaFile.size(), linkName})),
        QByteArray("\xff\xfe garbage \x00 of another kind", 30), // another format's bytes
        QByteArray("file://") + runtime.File(name).c_str(),      // a path, as other programs say
    };
    for (const QByteArray& record : unsound)
        expectFrom(record, CFetchedItems::Source::Selection);

    // The file is gone when the fallback is taken: still the items, from the selection.
    ::unlink(runtime.File(name).c_str());
    QGuiApplication::clipboard()->setMimeData(Foreign(good, viaSelection).release());
    Select(letters);
    clip->Paste();
    EXPECT_EQ(ChildTitles(letters), (std::vector<std::string>{"Ann", "Bob", "Bob"}));
    EXPECT_EQ(ui.boxes.size(), 0u);
    ExpectSoundFile({"Dear Ann,", "Hi Bob"});
}
