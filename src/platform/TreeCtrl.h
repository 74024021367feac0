#pragma once
// The item store behind every tree of the system: the document's item tree, the repair
// engine's hidden tree and the model the tree pane draws. It keeps titles, image codes,
// item data and state per item, inserts in title order, walks, expands, selects, and tells
// observers what changed.
//
// Items live in one arena and their titles in another (platform/TreeArena), each one range of
// memory that never moves, so an item names its parent, its title and its children by 32-bit
// numbers: an item is 28 bytes and a child costs 4 more. Loading a tree allocates nothing per
// item, and clearing or dropping it visits no item. Children are kept in a list per parent,
// so the position of an item among its siblings is O(1) both ways. Sorted insertion appends;
// the next look at the sibling list checks the appended items in one pass and, only where one
// is out of order, merges the rest in one stable sort. Files are written sorted, so a load
// costs one title comparison per item and a batch of n unsorted insertions O(n log n), never
// O(n^2).

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CTreeNode;
using HTREEITEM = CTreeNode*;

// Special insert-after and parent values.
inline const HTREEITEM TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x10000));
inline const HTREEITEM TVI_FIRST =
    reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFF));
inline const HTREEITEM TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFE));
inline const HTREEITEM TVI_SORT = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFD));

// Item record masks.
constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
constexpr UINT TVIF_CHILDREN = 0x0040;

// Item states.
constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_CUT = 0x0004;
constexpr UINT TVIS_BOLD = 0x0010;
constexpr UINT TVIS_EXPANDED = 0x0020;

// GetNextItem codes.
constexpr UINT TVGN_ROOT = 0x0000;
constexpr UINT TVGN_NEXT = 0x0001;
constexpr UINT TVGN_PREVIOUS = 0x0002;
constexpr UINT TVGN_PARENT = 0x0003;
constexpr UINT TVGN_CHILD = 0x0004;
constexpr UINT TVGN_FIRSTVISIBLE = 0x0005;
constexpr UINT TVGN_NEXTVISIBLE = 0x0006;
constexpr UINT TVGN_PREVIOUSVISIBLE = 0x0007;
constexpr UINT TVGN_CARET = 0x0009;
constexpr UINT TVGN_LASTVISIBLE = 0x000A;

// Expand actions.
constexpr UINT TVE_COLLAPSE = 0x0001;
constexpr UINT TVE_EXPAND = 0x0002;
constexpr UINT TVE_TOGGLE = 0x0003;

// An item record: which fields count is said by mask.
struct TVITEM {
    UINT mask = 0;
    HTREEITEM hItem = nullptr;
    UINT state = 0;
    UINT stateMask = 0;
    std::string strText; // the title's bytes
    int cchTextMax = 0;  // on GetItem with TVIF_TEXT: the buffer size, NUL included (0 = no limit)
    int iImage = 0;
    int iSelectedImage = 0;
    int cChildren = 0;
    LPARAM lParam = 0;
};

struct TVINSERTSTRUCT {
    HTREEITEM hParent = TVI_ROOT;
    HTREEITEM hInsertAfter = TVI_LAST;
    TVITEM item;
};

// Notifications. Selection and expansion are always reported; insertions, deletions, item
// changes and sorts are reported one by one unless updates are locked (CTreeUpdateLock),
// in which case observers get one OnTreeReset when the last lock ends.
class ITreeObserver {
public:
    virtual ~ITreeObserver() = default;
    // hOld is null when there was no selection or the selected item is being deleted.
    virtual void OnSelChanging(HTREEITEM /*hOld*/, HTREEITEM /*hNew*/) {}
    virtual void OnSelChanged(HTREEITEM /*hOld*/, HTREEITEM /*hNew*/) {}
    virtual void OnItemExpanded(HTREEITEM /*hItem*/, UINT /*action*/) {}
    virtual void OnItemInserted(HTREEITEM /*hItem*/) {}
    // Before the item and its subtree leave the tree.
    virtual void OnItemDeleting(HTREEITEM /*hItem*/) {}
    virtual void OnItemDeleted(HTREEITEM /*hParent*/) {}
    virtual void OnItemChanged(HTREEITEM /*hItem*/, UINT /*mask*/) {}
    virtual void OnChildrenReordered(HTREEITEM /*hParent*/) {}
    virtual void OnTreeReset() {}
};

class CTreeCtrl {
public:
    CTreeCtrl();
    ~CTreeCtrl();
    CTreeCtrl(const CTreeCtrl&) = delete;
    CTreeCtrl& operator=(const CTreeCtrl&) = delete;

    // Insertion. hParent TVI_ROOT or null means the top level. hInsertAfter: TVI_FIRST,
    // TVI_LAST, TVI_SORT or a sibling. Returns the new item, or null for a bad parent.
    HTREEITEM InsertItem(const TVINSERTSTRUCT& ins);
    // As above, taking the title's bytes from ins.item.strText.
    HTREEITEM InsertItem(TVINSERTSTRUCT&& ins);
    // As above, the title's bytes from title (ins.item.strText and TVIF_TEXT are not looked at):
    // a loader that holds titles in its own buffer makes no string per item.
    HTREEITEM InsertItem(const TVINSERTSTRUCT& ins, std::string_view title) {
        return Insert(ins, title);
    }
    HTREEITEM InsertItem(UINT mask, const std::string& text, int image, int selectedImage,
                         UINT state, UINT stateMask, LPARAM param, HTREEITEM hParent,
                         HTREEITEM hInsertAfter);
    HTREEITEM InsertItem(const std::string& text, int image, int selectedImage,
                         HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);

    // Deletes the item with its subtree (TVI_ROOT or null: everything).
    bool DeleteItem(HTREEITEM hItem);
    bool DeleteAllItems();

    HTREEITEM GetNextItem(HTREEITEM hItem, UINT code) const;
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM h) const { return GetNextItem(h, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_NEXT); }
    HTREEITEM GetPrevSiblingItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PREVIOUS); }
    HTREEITEM GetParentItem(HTREEITEM h) const { return GetNextItem(h, TVGN_PARENT); }
    HTREEITEM GetSelectedItem() const { return m_hCaret; }

    // Reads the fields named by item.mask (and item.stateMask) of item.hItem.
    bool GetItem(TVITEM& item) const;
    // Writes the fields named by item.mask of item.hItem.
    bool SetItem(const TVITEM& item);

    std::string GetItemText(HTREEITEM h) const;
    // The title's bytes without a copy ("" for null or TVI_ROOT): valid until the item's
    // title changes or the item is deleted.
    std::string_view GetItemTitle(HTREEITEM h) const;
    bool SetItemText(HTREEITEM h, const std::string& text);
    bool GetItemImage(HTREEITEM h, int& image, int& selectedImage) const;
    bool SetItemImage(HTREEITEM h, int image, int selectedImage);
    // Item data holds 32 bits (a text chain's offset in the data file).
    LPARAM GetItemData(HTREEITEM h) const;
    bool SetItemData(HTREEITEM h, LPARAM data);
    UINT GetItemState(HTREEITEM h, UINT stateMask) const;
    bool SetItemState(HTREEITEM h, UINT state, UINT stateMask);
    bool ItemHasChildren(HTREEITEM h) const;

    UINT GetCount() const { return m_nCount; }
    // Children of h (null or TVI_ROOT: the top level) by position.
    std::size_t GetChildCount(HTREEITEM h) const;
    HTREEITEM GetChildAt(HTREEITEM h, std::size_t index) const;
    // Position of h among its siblings.
    std::size_t GetIndexInParent(HTREEITEM h) const;
    // Number of ancestors of h (0 for a top-level item).
    std::size_t GetDepth(HTREEITEM h) const;

    // For walks that visit every item (the tree-data writer), without a call per sibling and
    // without copying titles. The children of h (null or TVI_ROOT: the top level) in order, as
    // numbers that ItemOf turns into items: valid until the tree changes.
    using ItemId = std::uint32_t;
    std::span<const ItemId> GetChildIds(HTREEITEM h) const;
    HTREEITEM ItemOf(ItemId id) const;
    // An item's stored fields; the title is the stored bytes, valid until the item's title
    // changes or the item is deleted. h must be an item of this tree.
    struct ItemFields {
        std::string_view title;
        int image = 0;
        LPARAM param = 0;
        UINT state = 0; // every state bit (selected, expanded, ...)
        bool bHasChildren = false;
    };
    ItemFields GetItemFields(HTREEITEM h) const;

    // Expand, collapse or toggle. Expanding an item without children does nothing and
    // returns false. Observers hear OnItemExpanded when the state changed.
    bool Expand(HTREEITEM h, UINT action);

    // TVGN_CARET: makes h the selected item (null: none), with OnSelChanging and
    // OnSelChanged around the change. Other codes do nothing and give false.
    bool Select(HTREEITEM h, UINT code);
    bool SelectItem(HTREEITEM h) { return Select(h, TVGN_CARET); }

    // Re-sorts the children of h (null or TVI_ROOT: the top level) by title, stably.
    bool SortChildren(HTREEITEM h);

    void AddObserver(ITreeObserver* observer);
    void RemoveObserver(ITreeObserver* observer);

    // Bulk changes: while locked, per-item notifications are held back and one OnTreeReset
    // follows the end of the outermost lock.
    void LockUpdates();
    void UnlockUpdates();
    bool IsUpdateLocked() const { return m_nLock > 0; }

private:
    struct CArena;
    using Kids = std::vector<ItemId>;
    struct CKidList { // the children of one parent
        Kids ids;
        std::uint32_t pendingFrom = 0; // appended by sorted insertion from here on, unchecked
    };
    std::unique_ptr<CArena> m_arena; // items and titles; replaced whole when the tree is cleared
    CTreeNode* m_root;               // invisible parent of the top-level items, in the arena
    mutable std::deque<CKidList> m_lists; // slot 0 unused: a node's list 0 means no children
    std::vector<std::uint32_t> m_freeLists;
    HTREEITEM m_hCaret = nullptr;
    UINT m_nCount = 0;
    int m_nLock = 0;
    bool m_bResetPending = false;
    std::vector<ITreeObserver*> m_observers;

    HTREEITEM Insert(const TVINSERTSTRUCT& ins, std::string_view text);
    void Clear();                         // a fresh arena with an empty root
    CTreeNode* NodeOf(HTREEITEM h) const; // TVI_ROOT / null -> the invisible root
    CTreeNode* Node(ItemId id) const;
    ItemId Id(const CTreeNode* node) const;
    CTreeNode* ParentOf(const CTreeNode* node) const; // null for the invisible root
    Kids& KidsOf(const CTreeNode* node) const;        // empty for a leaf
    CTreeNode* KidAt(const CTreeNode* node, std::size_t index) const;
    Kids& MakeKids(CTreeNode* node);
    void Reindex(Kids& kids, std::size_t from) const;
    bool TitleLess(ItemId a, ItemId b) const;
    void Normalize(CTreeNode* parent) const;
    std::string_view TitleOf(const CTreeNode* node) const;
    void StoreTitle(CTreeNode* node, std::string_view text);
    void SetTitle(CTreeNode* node, std::string_view text);
    UINT DestroySubtree(CTreeNode* node); // returns the number of items
    HTREEITEM SuccessorAfterDelete(CTreeNode* node) const;
    bool IsInSubtree(CTreeNode* node, CTreeNode* top) const;
    void EnsureVisible(CTreeNode* node);
    CTreeNode* LastVisibleIn(CTreeNode* node) const;
    template <typename F> void Notify(F&& f);
    template <typename F> void NotifyItem(F&& f);
};

// Holds the tree's updates locked for a scope.
class CTreeUpdateLock {
public:
    explicit CTreeUpdateLock(CTreeCtrl& tree) : m_tree(tree) { m_tree.LockUpdates(); }
    ~CTreeUpdateLock() { m_tree.UnlockUpdates(); }
    CTreeUpdateLock(const CTreeUpdateLock&) = delete;
    CTreeUpdateLock& operator=(const CTreeUpdateLock&) = delete;

private:
    CTreeCtrl& m_tree;
};
