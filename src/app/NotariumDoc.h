#pragma once
// The open database: owns the data file's store and moves data between the file, the item
// tree and the edit pane. Every change is written through at once; there is no save step.

#include "app/Settings.h"
#include "app/TextPane.h"
#include "platform/TreeCtrl.h"
#include "platform/UiServices.h"
#include "store/BlockFile.h"

#include <string>
#include <vector>

class CNotariumDoc {
public:
    CNotariumDoc(IUiServices& ui, CAppSettings& settings);
    ~CNotariumDoc();
    CNotariumDoc(const CNotariumDoc&) = delete;
    CNotariumDoc& operator=(const CNotariumDoc&) = delete;

    // Creates a new data file (bCreate) or checks that an existing one is a data file.
    // Failures are shown to the user and give false.
    static bool PrepareDataFile(const std::string& path, bool bCreate, IUiServices& ui);

    // Opens path exclusively and adopts it; on failure the previous file stays open.
    bool OnOpenDocument(const std::string& path);
    // Closes the open file (a pending header is written first).
    void DeleteContents();
    // Commits pending edits and the tree before the window closes or another file opens.
    bool SaveModified(CTreeCtrl& tree);

    bool IsOpen() const { return m_store.IsOpen(); }
    const std::string& GetPathName() const { return m_strPathName; }
    CBlockFile& Store() { return m_store; }
    IUiServices& Ui() { return m_ui; }
    CAppSettings& Settings() { return m_settings; }
    void SetTreePane(ITreePane* pane) { m_pTreePane = pane; }

    bool ReloadTree(CTreeCtrl& tree);
    bool LoadTree(CTreeCtrl& tree);
    bool SaveTree(CTreeCtrl& tree);

    // Text of one item. These throw CFileException for the calling pane to report.
    void LoadText(CTreeCtrl& tree, const TVITEM& item, ITextPane& pane);
    void SaveText(CTreeCtrl& tree, TVITEM& item, ITextPane& pane);
    // The item's text without its NUL into text; returns dwTextLength (0: no text).
    DWORD ReadText(const TVITEM& item, std::string& text);

    // Inserts a new folder or textlet without text under parent (sorted), selects it and
    // saves the tree. Returns the new item, or null when the tree could not be saved.
    HTREEITEM InsertNewItem(CTreeCtrl& tree, HTREEITEM hParent, const std::string& title,
                            bool bFolder);

    // Subtree operations. Move and Delete report file errors themselves; Copy and Insert
    // pass them on to the caller.
    HTREEITEM MoveItem(CTreeCtrl& tree, HTREEITEM hItem, HTREEITEM hNewParent);
    bool DeleteItem(CTreeCtrl& tree, HTREEITEM hItem);
    // The payload of the item's subtree; empty for a null item.
    std::vector<BYTE> CopyItems(CTreeCtrl& tree, HTREEITEM hItem);
    HTREEITEM InsertItems(CTreeCtrl& tree, HTREEITEM hParent, const BYTE* data, std::size_t size);

    // Compact: rebuilds the file without free space, every chain in consecutive blocks.
    // bAsk shows the question first. True when the file was compacted.
    bool OnCompact(CTreeCtrl& tree, bool bAsk = true);

    // The item being dragged out of this window (drag and drop tells own drags by it).
    HTREEITEM m_hDragItem = nullptr;

private:
    IUiServices& m_ui;
    CAppSettings& m_settings;
    ITreePane* m_pTreePane = nullptr;
    CBlockFile m_store;
    std::string m_strPathName;

    void AdjustParent(CTreeCtrl& tree, HTREEITEM hItem);
    HTREEITEM CopySubtree(CTreeCtrl& tree, HTREEITEM hSource, HTREEITEM hNewParent);
    static void CollectSubtreeText(const CTreeCtrl& tree, HTREEITEM hItem,
                                   std::vector<DWORD>& chains);
    DWORD ReadTextLength();
};

// Loads the text chain at offset into bytes (text and NUL, as stored). Throws on damage.
DWORD ReadTextStream(CBlockFile& store, DWORD offset, std::vector<BYTE>& bytes);
