#pragma once
// The open database: owns the data file's store and the in-memory item tree, and moves data
// between the file, the tree and the edit pane. Windows and the command line only observe and
// drive the tree (ITreeObserver). Items, titles, texts and moves reach the file at once, each
// in one store operation. The tree's state (expansion, selection, bookmarks) reaches it with
// the next write of the tree stream (any of those operations, SaveTree, SaveModified).
//
// The document also owns the edit pane's pending text: it holds the pane (ITextPane) and the
// item whose text the pane shows, and stores the pane's changed text into that item at the
// start of every operation that reads or changes the tree or its texts, and when the
// selection moves. No command has to remember to do it.

#include "app/Settings.h"
#include "app/TextPane.h"
#include "platform/TreeCtrl.h"
#include "platform/UiServices.h"
#include "store/BlockFile.h"

#include <string>
#include <vector>

class CNotariumDoc : private ITreeObserver {
public:
    CNotariumDoc(IUiServices& ui, CAppSettings& settings);
    ~CNotariumDoc() override;
    CNotariumDoc(const CNotariumDoc&) = delete;
    CNotariumDoc& operator=(const CNotariumDoc&) = delete;

    // How a file is opened: for changes (the exclusive lock; a change that a stopped writer
    // left unfinished is rolled back first) or only to read it (a shared lock, so it works
    // on files, folders and mounts that cannot be written and beside other readers).
    enum class OpenMode { ReadWrite, ReadOnly };

    // Creates a new data file (bCreate) or checks that an existing one is a data file.
    // Failures are shown to the user and give false. A rollback or a journal set aside on
    // the way is told the user here (the open that follows finds nothing more to do).
    static bool PrepareDataFile(const std::string& path, bool bCreate, IUiServices& ui,
                                OpenMode mode = OpenMode::ReadWrite);

    // Opens path exclusively and adopts it; on failure the previous file stays open.
    bool OnOpenDocument(const std::string& path, OpenMode mode = OpenMode::ReadWrite);
    // Opened only to read: nothing is written, not even the tree at the close.
    bool IsReadOnly() const { return m_bReadOnly; }
    // Closes the open file (a pending header is written first).
    void DeleteContents();
    // Stores the pending text and the tree before the window closes or another file opens;
    // false (nothing more written) when either fails.
    bool SaveModified();

    bool IsOpen() const { return m_store.IsOpen(); }
    const std::string& GetPathName() const { return m_strPathName; }
    // The data file, for whole-file work beside the document's operations (find, import,
    // checks): the pending text is stored first, so that what is read is what the user sees.
    CBlockFile& Store();
    // The data file as it is, the pending text left in the pane: for looking only.
    const CBlockFile& StoreAsIs() const { return m_store; }
    IUiServices& Ui() { return m_ui; }
    CAppSettings& Settings() { return m_settings; }
    // The item tree of the open file: emptied and refilled by ReloadTree after every open.
    CTreeCtrl& Tree() { return m_tree; }
    const CTreeCtrl& Tree() const { return m_tree; }

    bool ReloadTree();
    bool LoadTree();
    bool SaveTree();

    // ---- the edit pane's pending text (PendingText.cpp)
    // The pane that shows and edits the shown item's text; null for none (`nota`, tests). The
    // pane must outlive its registration: set null before it goes.
    void SetTextPane(ITextPane* pane);
    // Loads hItem's text into the text pane and makes hItem the shown item. Needs a text
    // pane. Throws CFileException or std::bad_alloc; the pane then shows no item.
    void ShowItemText(HTREEITEM hItem);
    // The pane's text belongs to no item from now on (a selection on its way, a new file):
    // nothing is stored from it until the next ShowItemText.
    void ForgetShownItem() { m_hShown = nullptr; }
    HTREEITEM ShownItem() const { return m_hShown; }
    // Stores the pane's changed text as the shown item's text. True when there was nothing
    // to store or it was stored; on failure the user is told why (the file's message or
    // "Out of memory.") and false comes back. Either way the pane counts as unchanged
    // afterwards, so that one failure is reported once and not again by every following
    // operation; the text stays in the pane and the next edit tries again. Every operation of
    // the document calls this itself; a command calls it only to refuse to go on when it
    // fails (Cut, Export, Import, Collapse All) or to report a failure before a drag starts.
    bool StorePendingText();
    // After a failed store, when the window must close or open another file all the same:
    // saves the pane's text to a recovery file in the user's data folder and tells the user
    // its name. True when there was nothing unstored or it was saved; false (the user told
    // why) when even that failed, and the caller must not drop the pane's text.
    bool KeepUnstoredText();

    // How path should be opened: to read only when it exists and it or its folder cannot be
    // written (a journal is made beside the file), else for changes.
    static OpenMode ModeToOpen(const std::string& path);

    // Text of one item of the tree. These throw CFileException for the calling pane to report.
    void LoadText(HTREEITEM hItem, ITextPane& pane);
    // Stores the pane's text as hItem's text; a new or freed chain changes its item data.
    void SaveText(HTREEITEM hItem, ITextPane& pane);
    // The item's text without its NUL into text; returns dwTextLength (0: no text).
    DWORD ReadText(HTREEITEM hItem, std::string& text);

    // Inserts a new folder or textlet without text under parent (sorted), selects it and
    // saves the tree. Returns the new item, or null when the tree could not be saved.
    HTREEITEM InsertNewItem(HTREEITEM hParent, const std::string& title, bool bFolder);

    // Subtree operations. Move and Delete report file errors themselves; Copy and Insert
    // pass them on to the caller.
    HTREEITEM MoveItem(HTREEITEM hItem, HTREEITEM hNewParent);
    bool DeleteItem(HTREEITEM hItem);
    // The payload of the item's subtree; empty for a null item.
    std::vector<BYTE> CopyItems(HTREEITEM hItem);
    HTREEITEM InsertItems(HTREEITEM hParent, const BYTE* data, std::size_t size);

    // Compact: rebuilds the file without free space, every chain in consecutive blocks.
    // bAsk shows the question first. True when the file was compacted.
    bool OnCompact(bool bAsk = true);

private:
    IUiServices& m_ui;
    CAppSettings& m_settings;
    ITextPane* m_pTextPane = nullptr;
    HTREEITEM m_hShown = nullptr; // the item whose text m_pTextPane shows; null: none
    bool m_bTextUnstored = false; // the last store of the pane's text failed
    CBlockFile m_store;
    bool m_bReadOnly = false;
    CTreeCtrl m_tree;
    std::string m_strPathName;

    bool m_bOrphanReported = false; // told the user the file lost its name and stayed lost

    // Every expansion, whoever asks for it, shows in the item's open picture.
    void OnItemExpanded(HTREEITEM hItem, UINT action) override;
    // The selection leaves the shown item: its pending text is stored (not when the item is
    // being deleted: the tree then names no old item).
    void OnSelChanging(HTREEITEM hOld, HTREEITEM hNew) override;
    void OnItemDeleting(HTREEITEM hItem) override;
    // After every commit: a data file that lost its name is written back at its path.
    void CheckFileIdentity() noexcept;
    void AdjustParent(HTREEITEM hItem);
    HTREEITEM CopySubtree(HTREEITEM hSource, HTREEITEM hNewParent);
    // The stored length of the text chain at offset (its dwTextLength); throws on damage.
    DWORD ReadTextLength(DWORD offset);
    // The bytes CopyItems makes of hItem's subtree, so that the payload is allocated once.
    std::size_t PayloadSize(HTREEITEM hItem);
    static void CollectSubtreeText(const CTreeCtrl& tree, HTREEITEM hItem,
                                   std::vector<DWORD>& chains);
};
