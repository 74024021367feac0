#include "platform/TreeCtrl.h"

#include "platform/Encoding.h"

#include <algorithm>
#include <new>
#include <sys/mman.h>

struct CTreeNode {
    std::string text;
    LPARAM param = 0;
    CTreeNode* parent = nullptr; // the invisible root for top-level items
    std::vector<CTreeNode*> children;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;
    std::uint32_t index = 0;       // position among the parent's children
    std::uint32_t pendingFrom = 0; // children from here on were sort-inserted and await merging
};

// Items are many and small: they live in chunks, and freed ones are reused. Chunks grow to
// 2 MiB, which the system may back with huge pages (fewer page faults for big trees).
struct CTreeCtrl::CNodePool {
    static constexpr std::size_t kSmallChunk = 1024;
    static constexpr std::size_t kHugeBytes = 2u << 20;
    struct Chunk {
        void* memory;
        std::size_t bytes;
    };
    std::vector<Chunk> chunks;
    std::size_t capacity = 0; // nodes in the newest chunk
    std::size_t used = 0;
    void* freeList = nullptr;

    ~CNodePool() {
        for (const Chunk& c : chunks)
            ::munmap(c.memory, c.bytes);
    }
    void Grow() {
        bool huge = chunks.size() >= 4;
        std::size_t bytes = huge ? kHugeBytes : kSmallChunk * sizeof(CTreeNode);
        void* memory =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            throw std::bad_alloc();
        if (huge)
            ::madvise(memory, bytes, MADV_HUGEPAGE);
        chunks.push_back({memory, bytes});
        capacity = bytes / sizeof(CTreeNode);
        used = 0;
    }
#if defined(__SANITIZE_ADDRESS__)
    // Under the address sanitizer every item is its own allocation, so that a handle used
    // after its item was deleted is caught.
    CTreeNode* New() {
        return new CTreeNode();
    }
    void Delete(CTreeNode* node) {
        delete node;
    }
#else
    CTreeNode* New() {
        void* p;
        if (freeList) {
            p = freeList;
            freeList = *static_cast<void**>(p);
        } else {
            if (used == capacity)
                Grow();
            p = static_cast<std::byte*>(chunks.back().memory) + used++ * sizeof(CTreeNode);
        }
        return new (p) CTreeNode();
    }
    void Delete(CTreeNode* node) {
        node->~CTreeNode();
        *reinterpret_cast<void**>(node) = freeList;
        freeList = node;
    }
#endif
};

namespace {

bool TitleLess(const CTreeNode* a, const CTreeNode* b) {
    return enc::CompareTitles(a->text, b->text) < 0;
}

void Reindex(CTreeNode* parent, std::size_t from) {
    for (std::size_t i = from; i < parent->children.size(); ++i)
        parent->children[i]->index = static_cast<std::uint32_t>(i);
}

UINT CountSubtree(const CTreeNode* node) {
    UINT n = 1;
    std::vector<const CTreeNode*> stack{node};
    while (!stack.empty()) {
        const CTreeNode* top = stack.back();
        stack.pop_back();
        for (const CTreeNode* c : top->children) {
            ++n;
            stack.push_back(c);
        }
    }
    return n;
}

} // namespace

CTreeCtrl::CTreeCtrl()
    : m_pool(std::make_unique<CNodePool>()), m_root(std::make_unique<CTreeNode>()) {}

CTreeCtrl::~CTreeCtrl() {
    for (CTreeNode* c : m_root->children)
        DestroySubtree(c);
}

// Destroys a subtree without recursion, so a deep tree cannot exhaust the stack.
void CTreeCtrl::DestroySubtree(CTreeNode* node) {
    std::vector<CTreeNode*> stack{node};
    while (!stack.empty()) {
        CTreeNode* top = stack.back();
        stack.pop_back();
        stack.insert(stack.end(), top->children.begin(), top->children.end());
        m_pool->Delete(top);
    }
}

CTreeNode* CTreeCtrl::NodeOf(HTREEITEM h) const {
    return (h == nullptr || h == TVI_ROOT) ? m_root.get() : h;
}

void CTreeCtrl::Normalize(CTreeNode* parent) const {
    auto& kids = parent->children;
    if (parent->pendingFrom >= kids.size()) {
        parent->pendingFrom = static_cast<std::uint32_t>(kids.size());
        return;
    }
    auto mid = kids.begin() + static_cast<std::ptrdiff_t>(parent->pendingFrom);
    std::stable_sort(mid, kids.end(), TitleLess);
    std::inplace_merge(kids.begin(), mid, kids.end(), TitleLess);
    Reindex(parent, 0);
    parent->pendingFrom = static_cast<std::uint32_t>(kids.size());
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
    return Insert(ins, (ins.item.mask & TVIF_TEXT) ? std::string(ins.item.strText) : std::string());
}

HTREEITEM CTreeCtrl::InsertItem(TVINSERTSTRUCT&& ins) {
    return Insert(ins, (ins.item.mask & TVIF_TEXT) ? std::move(ins.item.strText) : std::string());
}

HTREEITEM CTreeCtrl::Insert(const TVINSERTSTRUCT& ins, std::string&& text) {
    CTreeNode* parent = NodeOf(ins.hParent);
    CTreeNode* node = m_pool->New();
    const TVITEM& it = ins.item;
    node->text = std::move(text);
    if (it.mask & TVIF_IMAGE)
        node->image = it.iImage;
    if (it.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = it.iSelectedImage;
    if (it.mask & TVIF_PARAM)
        node->param = it.lParam;
    if (it.mask & TVIF_STATE)
        node->state = (it.state & it.stateMask) & ~TVIS_SELECTED;
    node->parent = parent;
    CTreeNode* raw = node;
    auto& kids = parent->children;
    HTREEITEM after = ins.hInsertAfter;

    bool clean = parent->pendingFrom >= kids.size();
    if (after == TVI_SORT && clean &&
        (kids.empty() || enc::CompareTitles(kids.back()->text, raw->text) <= 0)) {
        after = TVI_LAST; // lands at the end: the common case
    }
    if (after == TVI_SORT) {
        if (clean)
            parent->pendingFrom = static_cast<std::uint32_t>(kids.size());
        raw->index = static_cast<std::uint32_t>(kids.size());
        kids.push_back(node);
    } else {
        Normalize(parent);
        std::size_t pos = kids.size();
        if (after == TVI_FIRST)
            pos = 0;
        else if (after != TVI_LAST && after != nullptr && after->parent == parent)
            pos = after->index + 1;
        kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(pos), node);
        Reindex(parent, pos);
        parent->pendingFrom = static_cast<std::uint32_t>(kids.size());
    }
    ++m_nCount;
    NotifyItem([raw](ITreeObserver* o) { o->OnItemInserted(raw); });
    return raw;
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
    for (CTreeNode* n = node; n != nullptr; n = n->parent)
        if (n == top)
            return true;
    return false;
}

HTREEITEM CTreeCtrl::SuccessorAfterDelete(CTreeNode* node) const {
    CTreeNode* parent = node->parent;
    Normalize(parent);
    if (node->index + 1 < parent->children.size())
        return parent->children[node->index + 1];
    if (node->index > 0)
        return parent->children[node->index - 1];
    return parent == m_root.get() ? nullptr : parent;
}

bool CTreeCtrl::DeleteItem(HTREEITEM hItem) {
    if (hItem == nullptr || hItem == TVI_ROOT)
        return DeleteAllItems();
    CTreeNode* node = hItem;
    CTreeNode* parent = node->parent;
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
    parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(pos));
    Reindex(parent, pos);
    parent->pendingFrom = static_cast<std::uint32_t>(parent->children.size());
    m_nCount -= CountSubtree(node);
    DestroySubtree(node);
    HTREEITEM hParent = parent == m_root.get() ? nullptr : parent;
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
    auto kids = std::move(m_root->children);
    m_root->children.clear();
    m_root->pendingFrom = 0;
    for (CTreeNode* c : kids)
        DestroySubtree(c);
    m_pool = std::make_unique<CNodePool>(); // an empty tree gives its memory back
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
    while ((node->state & TVIS_EXPANDED) && !node->children.empty()) {
        Normalize(node);
        node = node->children.back();
    }
    return node;
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT code) const {
    switch (code) {
    case TVGN_ROOT:
    case TVGN_FIRSTVISIBLE:
        Normalize(m_root.get());
        return m_root->children.empty() ? nullptr : m_root->children.front();
    case TVGN_CARET:
        return m_hCaret;
    case TVGN_LASTVISIBLE:
        Normalize(m_root.get());
        return m_root->children.empty() ? nullptr : LastVisibleIn(m_root->children.back());
    default:
        break;
    }
    if (hItem == nullptr || hItem == TVI_ROOT)
        return code == TVGN_CHILD ? GetNextItem(nullptr, TVGN_ROOT) : nullptr;
    CTreeNode* node = hItem;
    CTreeNode* parent = node->parent;
    switch (code) {
    case TVGN_NEXT:
        Normalize(parent);
        return node->index + 1 < parent->children.size() ? parent->children[node->index + 1]
                                                         : nullptr;
    case TVGN_PREVIOUS:
        Normalize(parent);
        return node->index > 0 ? parent->children[node->index - 1] : nullptr;
    case TVGN_PARENT:
        return parent == m_root.get() ? nullptr : parent;
    case TVGN_CHILD:
        Normalize(node);
        return node->children.empty() ? nullptr : node->children.front();
    case TVGN_NEXTVISIBLE: {
        if ((node->state & TVIS_EXPANDED) && !node->children.empty()) {
            Normalize(node);
            return node->children.front();
        }
        for (CTreeNode* n = node; n != m_root.get(); n = n->parent) {
            Normalize(n->parent);
            if (n->index + 1 < n->parent->children.size())
                return n->parent->children[n->index + 1];
        }
        return nullptr;
    }
    case TVGN_PREVIOUSVISIBLE:
        Normalize(parent);
        if (node->index > 0)
            return LastVisibleIn(parent->children[node->index - 1]);
        return parent == m_root.get() ? nullptr : parent;
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
                ? enc::CutToBytes(node->text, static_cast<std::size_t>(item.cchTextMax - 1))
                : node->text;
    if (item.mask & TVIF_IMAGE)
        item.iImage = node->image;
    if (item.mask & TVIF_SELECTEDIMAGE)
        item.iSelectedImage = node->selectedImage;
    if (item.mask & TVIF_PARAM)
        item.lParam = node->param;
    if (item.mask & TVIF_STATE)
        item.state = node->state & item.stateMask;
    if (item.mask & TVIF_CHILDREN)
        item.cChildren = node->children.empty() ? 0 : 1;
    return true;
}

bool CTreeCtrl::SetItem(const TVITEM& item) {
    CTreeNode* node = item.hItem;
    if (node == nullptr || node == TVI_ROOT)
        return false;
    if (item.mask & TVIF_TEXT)
        node->text = item.strText;
    if (item.mask & TVIF_IMAGE)
        node->image = item.iImage;
    if (item.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = item.iSelectedImage;
    if (item.mask & TVIF_PARAM)
        node->param = item.lParam;
    if (item.mask & TVIF_STATE) {
        UINT mask = item.stateMask & ~TVIS_SELECTED; // the selection moves only by Select
        node->state = (node->state & ~mask) | (item.state & mask);
    }
    UINT mask = item.mask;
    NotifyItem([node, mask](ITreeObserver* o) { o->OnItemChanged(node, mask); });
    return true;
}

std::string CTreeCtrl::GetItemText(HTREEITEM h) const {
    CTreeNode* node = NodeOf(h);
    return node == m_root.get() ? std::string() : node->text;
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
    return !NodeOf(h)->children.empty();
}

std::size_t CTreeCtrl::GetChildCount(HTREEITEM h) const {
    return NodeOf(h)->children.size();
}

HTREEITEM CTreeCtrl::GetChildAt(HTREEITEM h, std::size_t index) const {
    CTreeNode* node = NodeOf(h);
    Normalize(node);
    return index < node->children.size() ? node->children[index] : nullptr;
}

std::size_t CTreeCtrl::GetIndexInParent(HTREEITEM h) const {
    if (h == nullptr || h == TVI_ROOT)
        return 0;
    Normalize(h->parent);
    return h->index;
}

std::size_t CTreeCtrl::GetDepth(HTREEITEM h) const {
    std::size_t depth = 0;
    for (CTreeNode* n = NodeOf(h); n->parent && n->parent != m_root.get(); n = n->parent)
        ++depth;
    return depth;
}

void CTreeCtrl::EnsureVisible(CTreeNode* node) {
    std::vector<CTreeNode*> ancestors;
    for (CTreeNode* n = node->parent; n && n != m_root.get(); n = n->parent)
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
        if (node->children.empty())
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
    auto& kids = node->children;
    std::stable_sort(kids.begin(), kids.end(), TitleLess);
    Reindex(node, 0);
    node->pendingFrom = static_cast<std::uint32_t>(kids.size());
    HTREEITEM hParent = node == m_root.get() ? nullptr : node;
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
