#include "platform/TreeCtrl.h"

#include "platform/Encoding.h"
#include "platform/TreeArena.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

// An item: trivially destructible, so the arena drops items without visiting them, and 28
// bytes, so that a million of them fit in 28 MB. Links are record numbers in the item arena,
// the title an offset in the title arena; the narrow fields hold every value the tree is
// given (item data is a 32-bit file offset, images and state bits are small codes).
struct CTreeNode {
    std::uint32_t title = 0;  // offset of the title's bytes in the title arena
    std::uint32_t parent = 0; // record number of the parent (the invisible root: kNoItem)
    std::uint32_t param = 0;
    std::uint32_t list = 0;  // slot of the children's list, 0 for none
    std::uint32_t index = 0; // position among the parent's children
    std::int16_t image = 0;
    std::int16_t selectedImage = 0;
    std::uint16_t state = 0;
    // The title's length; kLongTitle: the length is the 4 bytes at `title`, the bytes follow.
    std::uint16_t titleLength = 0;
};
static_assert(std::is_trivially_destructible_v<CTreeNode>);
static_assert(sizeof(CTreeNode) <= 28 && alignof(CTreeNode) <= 4);

namespace {
constexpr std::uint32_t kNoItem = 0xFFFFFFFFu;
constexpr std::uint16_t kLongTitle = 0xFFFF;
} // namespace

struct CTreeCtrl::CArena {
    treearena::CRecords nodes{sizeof(CTreeNode)};
    treearena::CBytes titles;

    CTreeNode* NewNode() { return new (nodes.New()) CTreeNode(); }
};

CTreeCtrl::CTreeCtrl() {
    Clear();
}

CTreeCtrl::~CTreeCtrl() = default;

void CTreeCtrl::Clear() {
    m_arena.reset(); // drops every item and title at once
    m_arena = std::make_unique<CArena>();
    m_lists.clear();
    m_lists.emplace_back(); // slot 0: no list
    m_freeLists.clear();
    m_root = m_arena->NewNode();
    m_root->parent = kNoItem;
    StoreTitle(m_root, {});
}

CTreeNode* CTreeCtrl::NodeOf(HTREEITEM h) const {
    return (h == nullptr || h == TVI_ROOT) ? m_root : h;
}

CTreeNode* CTreeCtrl::Node(ItemId id) const {
    return static_cast<CTreeNode*>(m_arena->nodes.At(id));
}

CTreeCtrl::ItemId CTreeCtrl::Id(const CTreeNode* node) const {
    return m_arena->nodes.IdOf(node);
}

CTreeNode* CTreeCtrl::ParentOf(const CTreeNode* node) const {
    return node->parent == kNoItem ? nullptr : Node(node->parent);
}

CTreeCtrl::Kids& CTreeCtrl::KidsOf(const CTreeNode* node) const {
    return m_lists[node->list].ids; // slot 0 stays empty
}

CTreeNode* CTreeCtrl::KidAt(const CTreeNode* node, std::size_t index) const {
    return Node(KidsOf(node)[index]);
}

CTreeCtrl::Kids& CTreeCtrl::MakeKids(CTreeNode* node) {
    if (node->list == 0) {
        if (!m_freeLists.empty()) {
            node->list = m_freeLists.back();
            m_freeLists.pop_back();
        } else {
            node->list = static_cast<std::uint32_t>(m_lists.size());
            m_lists.emplace_back();
        }
    }
    return m_lists[node->list].ids;
}

void CTreeCtrl::Reindex(Kids& kids, std::size_t from) const {
    for (std::size_t i = from; i < kids.size(); ++i)
        Node(kids[i])->index = static_cast<std::uint32_t>(i);
}

bool CTreeCtrl::TitleLess(ItemId a, ItemId b) const {
    return enc::CompareTitles(TitleOf(Node(a)), TitleOf(Node(b))) < 0;
}

std::string_view CTreeCtrl::TitleOf(const CTreeNode* node) const {
    const char* p = m_arena->titles.At(node->title);
    if (node->titleLength != kLongTitle)
        return {p, node->titleLength};
    std::uint32_t length = 0;
    std::memcpy(&length, p, sizeof length);
    return {p + sizeof length, length};
}

// A new copy of the title in the arena; a title of kLongTitle bytes or more is kept behind its
// 32-bit length.
void CTreeCtrl::StoreTitle(CTreeNode* node, std::string_view text) {
    if (text.size() < kLongTitle) {
        node->title = m_arena->titles.Store(text);
        node->titleLength = static_cast<std::uint16_t>(text.size());
        return;
    }
    if (text.size() > 0xFFFFFFF0u)
        throw std::bad_alloc();
    auto length = static_cast<std::uint32_t>(text.size());
    char prefix[sizeof length];
    std::memcpy(prefix, &length, sizeof length);
    node->title = m_arena->titles.Store({prefix, sizeof prefix});
    m_arena->titles.Store(text); // right behind its length: the arena is one range
    node->titleLength = kLongTitle;
}

void CTreeCtrl::SetTitle(CTreeNode* node, std::string_view text) {
    if (node->titleLength != kLongTitle && text.size() <= node->titleLength) {
        char* p = m_arena->titles.At(node->title); // fits in place
        std::copy(text.begin(), text.end(), p);
        node->titleLength = static_cast<std::uint16_t>(text.size());
    } else {
        StoreTitle(node, text);
    }
}

// Gives back the items of a subtree, and the lists of its parents, without recursion.
// Returns the number of items.
UINT CTreeCtrl::DestroySubtree(CTreeNode* node) {
    UINT count = 0;
    std::vector<ItemId> stack{Id(node)};
    while (!stack.empty()) {
        CTreeNode* top = Node(stack.back());
        stack.pop_back();
        if (top->list != 0) {
            CKidList& list = m_lists[top->list];
            stack.insert(stack.end(), list.ids.begin(), list.ids.end());
            Kids().swap(list.ids);
            list.pendingFrom = 0;
            m_freeLists.push_back(top->list);
        }
        m_arena->nodes.Delete(top);
        ++count;
    }
    return count;
}

// One pass over the items appended by sorted insertion: they stay where they are as long as
// each is in order after the one before it; from the first that is not, the rest are sorted
// stably and merged in (an earlier item comes first among equal titles).
void CTreeCtrl::Normalize(CTreeNode* parent) const {
    if (parent->list == 0)
        return;
    CKidList& list = m_lists[parent->list];
    auto& kids = list.ids;
    auto less = [this](ItemId a, ItemId b) { return TitleLess(a, b); };
    std::size_t i = std::max<std::size_t>(list.pendingFrom, 1);
    while (i < kids.size() && !less(kids[i], kids[i - 1]))
        ++i;
    if (i < kids.size()) {
        auto mid = kids.begin() + static_cast<std::ptrdiff_t>(i);
        std::stable_sort(mid, kids.end(), less);
        std::inplace_merge(kids.begin(), mid, kids.end(), less);
        Reindex(kids, 0);
    }
    list.pendingFrom = static_cast<std::uint32_t>(kids.size());
}

template <typename F> void CTreeCtrl::Notify(F&& f) {
    auto observers = m_observers; // an observer may remove itself
    for (ITreeObserver* o : observers)
        f(o);
}

template <typename F> void CTreeCtrl::NotifyItem(F&& f) {
    if (m_nLock > 0) {
        m_bResetPending = true;
        return;
    }
    Notify(std::forward<F>(f));
}

HTREEITEM CTreeCtrl::InsertItem(const TVINSERTSTRUCT& ins) {
    return Insert(ins, (ins.item.mask & TVIF_TEXT) ? std::string_view(ins.item.strText)
                                                   : std::string_view());
}

HTREEITEM CTreeCtrl::InsertItem(TVINSERTSTRUCT&& ins) {
    return InsertItem(static_cast<const TVINSERTSTRUCT&>(ins));
}

HTREEITEM CTreeCtrl::Insert(const TVINSERTSTRUCT& ins, std::string_view text) {
    CTreeNode* parent = NodeOf(ins.hParent);
    auto& kids = MakeKids(parent);
    CTreeNode* node = m_arena->NewNode();
    try {
        StoreTitle(node, text);
    } catch (...) {
        m_arena->nodes.Delete(node);
        throw;
    }
    const TVITEM& it = ins.item;
    if (it.mask & TVIF_IMAGE)
        node->image = static_cast<std::int16_t>(it.iImage);
    if (it.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = static_cast<std::int16_t>(it.iSelectedImage);
    if (it.mask & TVIF_PARAM)
        node->param = static_cast<std::uint32_t>(it.lParam);
    if (it.mask & TVIF_STATE)
        node->state = static_cast<std::uint16_t>((it.state & it.stateMask) & ~TVIS_SELECTED);
    node->parent = Id(parent);
    const ItemId id = Id(node);
    HTREEITEM after = ins.hInsertAfter;
    if (after == TVI_SORT) {
        // Checked in one pass with its neighbours at the next look at the list.
        node->index = static_cast<std::uint32_t>(kids.size());
        kids.push_back(id);
    } else {
        Normalize(parent);
        std::size_t pos = kids.size();
        if (after == TVI_FIRST)
            pos = 0;
        else if (after != TVI_LAST && after != nullptr && after->parent == node->parent)
            pos = after->index + 1;
        kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(pos), id);
        Reindex(kids, pos);
        m_lists[parent->list].pendingFrom = static_cast<std::uint32_t>(kids.size());
    }
    ++m_nCount;
    NotifyItem([node](ITreeObserver* o) { o->OnItemInserted(node); });
    return node;
}

HTREEITEM CTreeCtrl::InsertItem(UINT mask, const std::string& text, int image, int selectedImage,
                                UINT state, UINT stateMask, LPARAM param, HTREEITEM hParent,
                                HTREEITEM hInsertAfter) {
    TVINSERTSTRUCT ins;
    ins.hParent = hParent;
    ins.hInsertAfter = hInsertAfter;
    ins.item.mask = mask;
    ins.item.strText = text;
    ins.item.iImage = image;
    ins.item.iSelectedImage = selectedImage;
    ins.item.state = state;
    ins.item.stateMask = stateMask;
    ins.item.lParam = param;
    return InsertItem(ins);
}

HTREEITEM CTreeCtrl::InsertItem(const std::string& text, int image, int selectedImage,
                                HTREEITEM hParent, HTREEITEM hInsertAfter) {
    return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, text, image, selectedImage, 0, 0,
                      0, hParent, hInsertAfter);
}

bool CTreeCtrl::IsInSubtree(CTreeNode* node, CTreeNode* top) const {
    for (CTreeNode* n = node; n != nullptr; n = ParentOf(n))
        if (n == top)
            return true;
    return false;
}

HTREEITEM CTreeCtrl::SuccessorAfterDelete(CTreeNode* node) const {
    CTreeNode* parent = ParentOf(node);
    Normalize(parent);
    if (node->index + 1 < KidsOf(parent).size())
        return KidAt(parent, node->index + 1);
    if (node->index > 0)
        return KidAt(parent, node->index - 1);
    return parent == m_root ? nullptr : parent;
}

bool CTreeCtrl::DeleteItem(HTREEITEM hItem) {
    if (hItem == nullptr || hItem == TVI_ROOT)
        return DeleteAllItems();
    CTreeNode* node = hItem;
    CTreeNode* parent = ParentOf(node);
    bool caretInside = m_hCaret && IsInSubtree(m_hCaret, node);
    HTREEITEM newCaret = caretInside ? SuccessorAfterDelete(node) : nullptr;
    if (caretInside) {
        // The selected item goes away: observers see no old item, so nothing is saved into it.
        Notify([&](ITreeObserver* o) { o->OnSelChanging(nullptr, newCaret); });
        m_hCaret = nullptr;
    }
    NotifyItem([node](ITreeObserver* o) { o->OnItemDeleting(node); });
    Normalize(parent);
    std::size_t pos = node->index;
    auto& kids = KidsOf(parent);
    kids.erase(kids.begin() + static_cast<std::ptrdiff_t>(pos));
    Reindex(kids, pos);
    m_lists[parent->list].pendingFrom = static_cast<std::uint32_t>(kids.size());
    m_nCount -= DestroySubtree(node);
    HTREEITEM hParent = parent == m_root ? nullptr : parent;
    NotifyItem([hParent](ITreeObserver* o) { o->OnItemDeleted(hParent); });
    if (caretInside) {
        m_hCaret = newCaret;
        if (newCaret)
            newCaret->state |= TVIS_SELECTED;
        Notify([&](ITreeObserver* o) { o->OnSelChanged(nullptr, newCaret); });
    }
    return true;
}

bool CTreeCtrl::DeleteAllItems() {
    HTREEITEM old = m_hCaret;
    if (old)
        Notify([](ITreeObserver* o) { o->OnSelChanging(nullptr, nullptr); });
    m_hCaret = nullptr;
    Clear(); // no item is visited: the arena goes whole, an empty tree gives its memory back
    m_nCount = 0;
    if (m_nLock > 0)
        m_bResetPending = true;
    else
        Notify([](ITreeObserver* o) { o->OnTreeReset(); });
    if (old)
        Notify([](ITreeObserver* o) { o->OnSelChanged(nullptr, nullptr); });
    return true;
}

CTreeNode* CTreeCtrl::LastVisibleIn(CTreeNode* node) const {
    while ((node->state & TVIS_EXPANDED) && !KidsOf(node).empty()) {
        Normalize(node);
        node = Node(KidsOf(node).back());
    }
    return node;
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT code) const {
    switch (code) {
    case TVGN_ROOT:
    case TVGN_FIRSTVISIBLE:
        Normalize(m_root);
        return KidsOf(m_root).empty() ? nullptr : KidAt(m_root, 0);
    case TVGN_CARET:
        return m_hCaret;
    case TVGN_LASTVISIBLE:
        Normalize(m_root);
        return KidsOf(m_root).empty() ? nullptr : LastVisibleIn(Node(KidsOf(m_root).back()));
    default:
        break;
    }
    if (hItem == nullptr || hItem == TVI_ROOT)
        return code == TVGN_CHILD ? GetNextItem(nullptr, TVGN_ROOT) : nullptr;
    CTreeNode* node = hItem;
    CTreeNode* parent = ParentOf(node);
    switch (code) {
    case TVGN_NEXT:
        Normalize(parent);
        return node->index + 1 < KidsOf(parent).size() ? KidAt(parent, node->index + 1) : nullptr;
    case TVGN_PREVIOUS:
        Normalize(parent);
        return node->index > 0 ? KidAt(parent, node->index - 1) : nullptr;
    case TVGN_PARENT:
        return parent == m_root ? nullptr : parent;
    case TVGN_CHILD:
        Normalize(node);
        return KidsOf(node).empty() ? nullptr : KidAt(node, 0);
    case TVGN_NEXTVISIBLE: {
        if ((node->state & TVIS_EXPANDED) && !KidsOf(node).empty()) {
            Normalize(node);
            return KidAt(node, 0);
        }
        for (CTreeNode* n = node; n != m_root; n = ParentOf(n)) {
            CTreeNode* up = ParentOf(n);
            Normalize(up);
            if (n->index + 1 < KidsOf(up).size())
                return KidAt(up, n->index + 1);
        }
        return nullptr;
    }
    case TVGN_PREVIOUSVISIBLE:
        Normalize(parent);
        if (node->index > 0)
            return LastVisibleIn(KidAt(parent, node->index - 1));
        return parent == m_root ? nullptr : parent;
    default:
        return nullptr;
    }
}

bool CTreeCtrl::GetItem(TVITEM& item) const {
    CTreeNode* node = item.hItem;
    if (node == nullptr || node == TVI_ROOT)
        return false;
    if (item.mask & TVIF_TEXT)
        item.strText =
            item.cchTextMax > 0
                ? enc::CutToBytes(TitleOf(node), static_cast<std::size_t>(item.cchTextMax - 1))
                : std::string(TitleOf(node));
    if (item.mask & TVIF_IMAGE)
        item.iImage = node->image;
    if (item.mask & TVIF_SELECTEDIMAGE)
        item.iSelectedImage = node->selectedImage;
    if (item.mask & TVIF_PARAM)
        item.lParam = node->param;
    if (item.mask & TVIF_STATE)
        item.state = node->state & item.stateMask;
    if (item.mask & TVIF_CHILDREN)
        item.cChildren = KidsOf(node).empty() ? 0 : 1;
    return true;
}

bool CTreeCtrl::SetItem(const TVITEM& item) {
    CTreeNode* node = item.hItem;
    if (node == nullptr || node == TVI_ROOT)
        return false;
    if (item.mask & TVIF_TEXT)
        SetTitle(node, item.strText);
    if (item.mask & TVIF_IMAGE)
        node->image = static_cast<std::int16_t>(item.iImage);
    if (item.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = static_cast<std::int16_t>(item.iSelectedImage);
    if (item.mask & TVIF_PARAM)
        node->param = static_cast<std::uint32_t>(item.lParam);
    if (item.mask & TVIF_STATE) {
        UINT mask = item.stateMask & ~TVIS_SELECTED; // the selection moves only by Select
        node->state = static_cast<std::uint16_t>((node->state & ~mask) | (item.state & mask));
    }
    UINT mask = item.mask;
    NotifyItem([node, mask](ITreeObserver* o) { o->OnItemChanged(node, mask); });
    return true;
}

std::string CTreeCtrl::GetItemText(HTREEITEM h) const {
    CTreeNode* node = NodeOf(h);
    return std::string(TitleOf(node)); // the root's title is empty
}

std::string_view CTreeCtrl::GetItemTitle(HTREEITEM h) const {
    return TitleOf(NodeOf(h));
}

bool CTreeCtrl::SetItemText(HTREEITEM h, const std::string& text) {
    TVITEM item;
    item.mask = TVIF_TEXT;
    item.hItem = h;
    item.strText = text;
    return SetItem(item);
}

bool CTreeCtrl::GetItemImage(HTREEITEM h, int& image, int& selectedImage) const {
    if (h == nullptr || h == TVI_ROOT)
        return false;
    image = h->image;
    selectedImage = h->selectedImage;
    return true;
}

bool CTreeCtrl::SetItemImage(HTREEITEM h, int image, int selectedImage) {
    TVITEM item;
    item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = h;
    item.iImage = image;
    item.iSelectedImage = selectedImage;
    return SetItem(item);
}

LPARAM CTreeCtrl::GetItemData(HTREEITEM h) const {
    return (h == nullptr || h == TVI_ROOT) ? 0 : h->param;
}

bool CTreeCtrl::SetItemData(HTREEITEM h, LPARAM data) {
    TVITEM item;
    item.mask = TVIF_PARAM;
    item.hItem = h;
    item.lParam = data;
    return SetItem(item);
}

UINT CTreeCtrl::GetItemState(HTREEITEM h, UINT stateMask) const {
    return (h == nullptr || h == TVI_ROOT) ? 0 : (h->state & stateMask);
}

bool CTreeCtrl::SetItemState(HTREEITEM h, UINT state, UINT stateMask) {
    TVITEM item;
    item.mask = TVIF_STATE;
    item.hItem = h;
    item.state = state;
    item.stateMask = stateMask;
    return SetItem(item);
}

bool CTreeCtrl::ItemHasChildren(HTREEITEM h) const {
    return !KidsOf(NodeOf(h)).empty();
}

std::size_t CTreeCtrl::GetChildCount(HTREEITEM h) const {
    return KidsOf(NodeOf(h)).size();
}

HTREEITEM CTreeCtrl::GetChildAt(HTREEITEM h, std::size_t index) const {
    CTreeNode* node = NodeOf(h);
    Normalize(node);
    return index < KidsOf(node).size() ? KidAt(node, index) : nullptr;
}

std::size_t CTreeCtrl::GetIndexInParent(HTREEITEM h) const {
    if (h == nullptr || h == TVI_ROOT)
        return 0;
    Normalize(ParentOf(h));
    return h->index;
}

std::span<const CTreeCtrl::ItemId> CTreeCtrl::GetChildIds(HTREEITEM h) const {
    CTreeNode* node = NodeOf(h);
    Normalize(node);
    return KidsOf(node);
}

HTREEITEM CTreeCtrl::ItemOf(ItemId id) const {
    return Node(id);
}

CTreeCtrl::ItemFields CTreeCtrl::GetItemFields(HTREEITEM h) const {
    return {TitleOf(h), h->image, h->param, h->state, h->list != 0 && !KidsOf(h).empty()};
}

std::size_t CTreeCtrl::GetDepth(HTREEITEM h) const {
    std::size_t depth = 0;
    for (CTreeNode* n = NodeOf(h); ParentOf(n) && ParentOf(n) != m_root; n = ParentOf(n))
        ++depth;
    return depth;
}

void CTreeCtrl::EnsureVisible(CTreeNode* node) {
    std::vector<CTreeNode*> ancestors;
    for (CTreeNode* n = ParentOf(node); n && n != m_root; n = ParentOf(n))
        if (!(n->state & TVIS_EXPANDED))
            ancestors.push_back(n);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        Expand(*it, TVE_EXPAND);
}

bool CTreeCtrl::Expand(HTREEITEM h, UINT action) {
    if (h == nullptr || h == TVI_ROOT)
        return false;
    CTreeNode* node = h;
    bool expanded = node->state & TVIS_EXPANDED;
    bool expand = action == TVE_EXPAND || (action == TVE_TOGGLE && !expanded);
    if (action != TVE_EXPAND && action != TVE_COLLAPSE && action != TVE_TOGGLE)
        return false;
    if (expand) {
        if (KidsOf(node).empty())
            return false;
        if (expanded)
            return true;
        node->state |= TVIS_EXPANDED;
        Notify([node](ITreeObserver* o) { o->OnItemExpanded(node, TVE_EXPAND); });
        return true;
    }
    if (!expanded)
        return true;
    // A selection hidden by the collapse moves up to the collapsed item.
    if (m_hCaret && m_hCaret != node && IsInSubtree(m_hCaret, node))
        Select(node, TVGN_CARET);
    node->state &= ~TVIS_EXPANDED;
    Notify([node](ITreeObserver* o) { o->OnItemExpanded(node, TVE_COLLAPSE); });
    return true;
}

bool CTreeCtrl::Select(HTREEITEM h, UINT code) {
    if (h == TVI_ROOT)
        h = nullptr;
    if (code != TVGN_CARET)
        return false;
    if (h)
        EnsureVisible(h);
    HTREEITEM old = m_hCaret;
    if (old == h)
        return true;
    Notify([old, h](ITreeObserver* o) { o->OnSelChanging(old, h); });
    if (old)
        old->state &= ~TVIS_SELECTED;
    m_hCaret = h;
    if (h)
        h->state |= TVIS_SELECTED;
    Notify([old, h](ITreeObserver* o) { o->OnSelChanged(old, h); });
    return true;
}

bool CTreeCtrl::SortChildren(HTREEITEM h) {
    CTreeNode* node = NodeOf(h);
    auto& kids = KidsOf(node);
    std::stable_sort(kids.begin(), kids.end(),
                     [this](ItemId a, ItemId b) { return TitleLess(a, b); });
    Reindex(kids, 0);
    m_lists[node->list].pendingFrom = static_cast<std::uint32_t>(kids.size());
    HTREEITEM hParent = node == m_root ? nullptr : node;
    NotifyItem([hParent](ITreeObserver* o) { o->OnChildrenReordered(hParent); });
    return true;
}

void CTreeCtrl::AddObserver(ITreeObserver* observer) {
    m_observers.push_back(observer);
}

void CTreeCtrl::RemoveObserver(ITreeObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                      m_observers.end());
}

void CTreeCtrl::LockUpdates() {
    ++m_nLock;
}

void CTreeCtrl::UnlockUpdates() {
    if (m_nLock > 0 && --m_nLock == 0 && m_bResetPending) {
        m_bResetPending = false;
        Notify([](ITreeObserver* o) { o->OnTreeReset(); });
    }
}
