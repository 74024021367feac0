// The document's operations on whole subtrees: add, move, delete, copy to a payload and
// insert a payload.

#include "app/NotariumDoc.h"

#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "platform/Strings.h"
#include "store/Payload.h"
#include "store/TextChain.h"
#include "store/TreeStream.h"

#include <algorithm>
#include <deque>
#include <memory>

using namespace nota;

namespace {

// Transfers at least this big show the status bar's progress bar; smaller ones are over before
// it could be read.
constexpr std::size_t kProgressItems = 200;
constexpr std::size_t kProgressBytes = 1u << 20;

// The status text of a transfer, with the progress bar when the transfer is big; the bar
// counts in percent and is moved only when the percentage changes.
class CTransferStatus {
public:
    CTransferStatus(IUiServices& ui, const char* text, std::uint64_t total, bool bShowBar)
        : m_total(total) {
        if (bShowBar && total > 0)
            m_status = std::make_unique<CStatusProgress>(ui, text, 0, 100);
        else
            m_status = std::make_unique<CStatusMessage>(ui, text);
    }
    void Set(std::uint64_t done) {
        auto* bar = dynamic_cast<CStatusProgress*>(m_status.get());
        if (!bar)
            return;
        const int percent =
            static_cast<int>(std::min<std::uint64_t>(done, m_total) * 100 / m_total);
        if (percent != m_nPercent) {
            m_nPercent = percent;
            bar->SetPos(percent);
        }
    }

private:
    std::unique_ptr<CStatusMessage> m_status;
    std::uint64_t m_total;
    int m_nPercent = 0;
};

std::size_t SubtreeSize(const CTreeCtrl& tree, HTREEITEM hItem) {
    std::size_t n = 0;
    treewalk::WalkNested(
        tree, hItem, false, [&](HTREEITEM) { ++n; }, [] {}, [](HTREEITEM) {});
    return n;
}

} // namespace

HTREEITEM CNotariumDoc::InsertNewItem(HTREEITEM hParent, const std::string& title, bool bFolder) {
    StorePendingText();
    CTreeCtrl& tree = m_tree;
    int image = bFolder ? IMAGE_FOLDER : IMAGE_TEXTLET;
    HTREEITEM h = tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM,
                                  enc::CutToBytes(title, MAX_TITLE), image, image, 0, 0, 0,
                                  hParent ? hParent : TVI_ROOT, TVI_SORT);
    if (!h)
        return nullptr;
    tree.SelectItem(h);
    if (!SaveTree()) {
        tree.DeleteItem(h); // the file does not have it: neither does the tree
        return nullptr;
    }
    return h;
}

void CNotariumDoc::AdjustParent(HTREEITEM hItem) {
    CTreeCtrl& tree = m_tree;
    if (tree.GetNextSiblingItem(hItem) || tree.GetPrevSiblingItem(hItem))
        return;
    HTREEITEM parent = tree.GetParentItem(hItem);
    if (!parent)
        return;
    tree.Expand(parent, TVE_COLLAPSE);
    int image = 0, selected = 0;
    tree.GetItemImage(parent, image, selected);
    tree.SetItemImage(parent, image & ~IMAGE_OPEN, selected & ~IMAGE_OPEN);
}

HTREEITEM CNotariumDoc::CopySubtree(HTREEITEM hSource, HTREEITEM hNewParent) {
    CTreeCtrl& tree = m_tree;
    HTREEITEM result = nullptr;
    std::deque<std::pair<HTREEITEM, HTREEITEM>> work{{hSource, hNewParent}};
    TVITEM item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    item.cchTextMax = TITLE_BUFFER;
    while (!work.empty()) {
        auto [src, dstParent] = work.front();
        work.pop_front();
        item.hItem = src;
        tree.GetItem(item);
        // The copies arrive collapsed, so they show the closed picture.
        HTREEITEM h = tree.InsertItem(item.mask, item.strText, item.iImage & ~IMAGE_OPEN,
                                      item.iSelectedImage & ~IMAGE_OPEN, 0, 0, item.lParam,
                                      dstParent, TVI_SORT);
        if (!h)
            continue;
        if (!result)
            result = h;
        for (HTREEITEM c = tree.GetChildItem(src); c; c = tree.GetNextSiblingItem(c))
            work.emplace_back(c, h);
    }
    return result;
}

HTREEITEM CNotariumDoc::MoveItem(HTREEITEM hItem, HTREEITEM hNewParent) {
    CTreeCtrl& tree = m_tree;
    CStatusMessage status(m_ui, str::kMovingItem);
    if (!hItem)
        return nullptr;
    StorePendingText(); // unsaved edits of the shown item travel with it
    AdjustParent(hItem);
    HTREEITEM hOldParent = tree.GetParentItem(hItem);
    HTREEITEM result;
    {
        CTreeUpdateLock lock(tree);
        result = CopySubtree(hItem, hNewParent);
        tree.DeleteItem(hItem);
    }
    if (!SaveTree()) {
        // The file still has the item where it was: so has the tree again.
        CTreeUpdateLock lock(tree);
        if (result) {
            CopySubtree(result, hOldParent ? hOldParent : TVI_ROOT);
            tree.DeleteItem(result);
        }
        return nullptr;
    }
    return result;
}

void CNotariumDoc::CollectSubtreeText(const CTreeCtrl& tree, HTREEITEM hItem,
                                      std::vector<DWORD>& chains) {
    // Children first, in order, then the item itself.
    struct Frame {
        HTREEITEM item;
        HTREEITEM nextChild;
    };
    std::vector<Frame> stack{{hItem, tree.GetChildItem(hItem)}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.nextChild) {
            HTREEITEM child = top.nextChild;
            top.nextChild = tree.GetNextSiblingItem(child);
            stack.push_back({child, tree.GetChildItem(child)});
            continue;
        }
        if (DWORD chain = static_cast<DWORD>(tree.GetItemData(top.item)))
            chains.push_back(chain);
        stack.pop_back();
    }
}

bool CNotariumDoc::DeleteItem(HTREEITEM hItem) {
    CTreeCtrl& tree = m_tree;
    CStatusMessage status(m_ui, str::kDeletingItem);
    if (!hItem)
        return false;
    // The pending text of an item that goes away with the subtree goes with it.
    if (!m_hShown || !treewalk::IsSameOrAncestor(tree, m_hShown, hItem))
        StorePendingText();
    AdjustParent(hItem);
    try {
        // One operation: the tree stream without the subtree and the freed chains reach the
        // file together, so a free list never holds a chain that the file's tree still uses.
        CStoreOperation op(m_store);
        CTransferScope transfer(m_store);
        std::vector<DWORD> chains;
        CollectSubtreeText(tree, hItem, chains);
        treestream::WriteTree(m_store, tree, hItem);
        for (DWORD chain : chains)
            m_store.FreeChain(chain);
        op.Commit();
    } catch (const CFileException& e) {
        m_ui.ReportError(e); // the file and the tree still have the item
        return false;
    }
    CTreeUpdateLock lock(tree);
    tree.DeleteItem(hItem);
    return true;
}

DWORD CNotariumDoc::ReadTextLength(DWORD offset) {
    // A few bytes of many chains: one small read each, rather than a window of the file.
    return textchain::ReadLength(m_store, offset);
}

std::size_t CNotariumDoc::PayloadSize(HTREEITEM hItem) {
    const CTreeCtrl& tree = m_tree;
    std::size_t size = 0;
    treewalk::WalkNested(
        tree, hItem, false,
        [&](HTREEITEM h) {
            size += 8 + std::min<std::size_t>(tree.GetItemText(h).size(), MAX_TITLE) + 1;
            if (DWORD chain = static_cast<DWORD>(tree.GetItemData(h)))
                size += ReadTextLength(chain);
        },
        [&] { size += 2; }, [](HTREEITEM) {});
    return size;
}

std::vector<BYTE> CNotariumDoc::CopyItems(HTREEITEM hItem) {
    CTreeCtrl& tree = m_tree;
    if (!hItem)
        return {};
    StorePendingText();
    const std::size_t count = SubtreeSize(tree, hItem);
    CTransferStatus status(m_ui, str::kCopyingItem, count, count >= kProgressItems);
    std::size_t done = 0;
    payload::CPayloadWriter out;
    out.Reserve(PayloadSize(hItem));
    TVITEM item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM;
    item.cchTextMax = TITLE_BUFFER;
    // The top level holds only the copied item, not its siblings.
    treewalk::WalkNested(
        tree, hItem, false,
        [&](HTREEITEM h) {
            item.hItem = h;
            tree.GetItem(item);
            out.BeginItem(IsTextletImage(item.iImage) ? KIND_TEXTLET : KIND_FOLDER, item.strText);
            if (item.lParam != 0) {
                // Straight from the file into the payload.
                CTransferScope transfer(m_store);
                const DWORD length = textchain::BeginRead(m_store, static_cast<DWORD>(item.lParam));
                m_store.ReadData(out.AddText(length), length);
                m_store.EndTransfer();
            } else {
                out.WriteNoText();
            }
            status.Set(++done);
        },
        [&] { out.EndList(); }, [](HTREEITEM) {});
    return std::move(out.Data());
}

namespace {

// The items an insertion added to the tree, taken out again unless the insertion is kept:
// whatever stops it (a file error, memory running out), the store rolls its chains back and
// the tree must not keep items that point at them.
class CInsertedItems {
public:
    explicit CInsertedItems(CTreeCtrl& tree) : m_tree(tree) {}
    ~CInsertedItems() {
        if (m_bKept || m_items.empty())
            return;
        CTreeUpdateLock lock(m_tree);
        for (HTREEITEM h : m_items)
            m_tree.DeleteItem(h);
    }
    CInsertedItems(const CInsertedItems&) = delete;
    CInsertedItems& operator=(const CInsertedItems&) = delete;

    // Records a top-level item just inserted; when even that fails, the item goes at once.
    void Add(HTREEITEM h) {
        try {
            m_items.push_back(h);
        } catch (...) {
            m_tree.DeleteItem(h);
            throw;
        }
    }
    void Keep() { m_bKept = true; }

private:
    CTreeCtrl& m_tree;
    std::vector<HTREEITEM> m_items;
    bool m_bKept = false;
};

} // namespace

HTREEITEM CNotariumDoc::InsertItems(HTREEITEM hParent, const BYTE* data, std::size_t size) {
    CTreeCtrl& tree = m_tree;
    if (!data)
        return nullptr;
    StorePendingText();
    CTransferStatus status(m_ui, str::kInsertingItem, size, size >= kProgressBytes);
    HTREEITEM result = nullptr;
    CInsertedItems inserted(tree); // declared first: it outlives the operation's rollback
    {
        CStoreOperation op(m_store);
        CTransferScope transfer(m_store);
        CTreeUpdateLock lock(tree);
        // Texts fill free blocks first, one chain at a time; once none are left the rest goes
        // to the end of the file in consecutive blocks, written in large pieces.
        textchain::CTextAppender appender(m_store);
        payload::CPayloadReader reader(data, size);
        payload::CPayloadReader::Item it;
        std::vector<HTREEITEM> parents{hParent ? hParent : TVI_ROOT};
        for (;;) {
            if (!reader.NextItem(it)) {
                if (reader.Failed() || parents.size() == 1)
                    break; // a damaged payload ends here; what was read stays
                parents.pop_back();
                continue;
            }
            status.Set(reader.Position());
            const DWORD chain = appender.Append(it.text, it.textLength);
            // The reader passes only plain folders (4) and textlets (8).
            const int kind = it.kind;
            HTREEITEM h =
                tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, it.title,
                                kind, kind, 0, 0, chain, parents.back(), TVI_SORT);
            if (parents.size() == 1) {
                inserted.Add(h);
                result = h;
            }
            parents.push_back(h);
        }
        appender.Flush();
        treestream::WriteTree(m_store, tree);
        op.Commit();
    }
    inserted.Keep();
    return result;
}
