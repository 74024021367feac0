#include "store/TreeStream.h"

#include "platform/Encoding.h"

#include <cstring>
#include <memory>
#include <string>

using namespace nota;

namespace treestream {

namespace {

class CStreamReader {
public:
    explicit CStreamReader(CBlockFile& store) : m_store(store) {}
    WORD Word() {
        BYTE b[2];
        m_store.ReadData(b, 2);
        return GetLE16(b);
    }
    DWORD Dword() {
        BYTE b[4];
        m_store.ReadData(b, 4);
        return GetLE32(b);
    }
    std::string Title(std::size_t length) {
        m_scratch.resize(length);
        if (length)
            m_store.ReadData(m_scratch.data(), length);
        std::size_t end = 0;
        while (end < length && m_scratch[end] != '\0')
            ++end;
        return enc::CutToBytes(std::string_view(m_scratch.data(), end), MAX_TITLE);
    }

private:
    CBlockFile& m_store;
    std::string m_scratch;
};

// Collects the stream's bytes in a buffer of its own and hands them to a sink in pieces of
// about kChunk bytes. Each record is stored with plain stores after one check for room.
template <typename Sink> class CStreamWriter {
public:
    // The most bytes one step of the walk adds: an item's record (a title is cut to
    // TITLE_BUFFER - 1 bytes) with, for an item without children, its empty list's end and
    // its state.
    static constexpr std::size_t kMaxStep = 2 + 2 + TITLE_BUFFER + 4 + 2 + 4;

    explicit CStreamWriter(Sink& sink)
        : m_sink(sink), m_buf(std::make_unique_for_overwrite<BYTE[]>(kChunk + kMaxStep)) {}
    // Room for kMaxStep more bytes; the next record goes at the pointer returned.
    BYTE* Room() {
        if (m_used >= kChunk)
            Drain();
        return m_buf.get() + m_used;
    }
    void Advance(std::size_t n) { m_used += n; }
    void Drain() {
        if (m_used != 0)
            m_sink(m_buf.get(), m_used);
        m_used = 0;
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    Sink& m_sink;
    std::unique_ptr<BYTE[]> m_buf;
    std::size_t m_used = 0;
};

// One item's record: image code, title length with its NUL, title, NUL, item data.
BYTE* PutItem(BYTE* p, const CTreeCtrl::ItemFields& item) {
    std::string_view title = item.title;
    std::string cut;
    if (title.size() > static_cast<std::size_t>(TITLE_BUFFER - 1)) { // as a title buffer holds it
        cut = enc::CutToBytes(title, TITLE_BUFFER - 1);
        title = cut;
    }
    PutLE16(p, static_cast<WORD>(item.image));
    PutLE16(p + 2, static_cast<WORD>(title.size() + 1));
    std::memcpy(p + 4, title.data(), title.size());
    p += 4 + title.size();
    *p++ = 0;
    PutLE32(p, static_cast<DWORD>(item.param));
    return p + 4;
}

// The stream in pre-order: each item's record, then its children's list, each list ended by
// 0xFFFF, and after an item's list its selected and expanded bits. hSkip, with its subtree,
// is left out. The walk reads the tree's lists in place and needs no recursion.
template <typename Sink>
void WriteItems(const CTreeCtrl& tree, Sink& sink, HTREEITEM hSkip = nullptr) {
    CStreamWriter<Sink> w(sink);
    struct Level {
        const CTreeCtrl::ItemId* next;
        const CTreeCtrl::ItemId* end;
        HTREEITEM owner; // null for the top level
    };
    std::vector<Level> open;
    open.reserve(64);
    auto top = tree.GetChildIds(nullptr);
    open.push_back({top.data(), top.data() + top.size(), nullptr});
    while (!open.empty()) {
        Level& level = open.back();
        if (level.next == level.end) {
            const HTREEITEM done = level.owner;
            open.pop_back();
            BYTE* p = w.Room();
            PutLE16(p, 0xFFFF);
            if (done)
                PutLE32(p + 2, tree.GetItemFields(done).state & (TVIS_SELECTED | TVIS_EXPANDED));
            w.Advance(done ? 6 : 2);
            continue;
        }
        const HTREEITEM h = tree.ItemOf(*level.next++);
        if (h == hSkip)
            continue;
        const CTreeCtrl::ItemFields item = tree.GetItemFields(h);
        BYTE* p = w.Room();
        BYTE* end = PutItem(p, item);
        if (!item.bHasChildren) { // its empty list and its state at once
            PutLE16(end, 0xFFFF);
            PutLE32(end + 2, item.state & (TVIS_SELECTED | TVIS_EXPANDED));
            end += 6;
        }
        w.Advance(static_cast<std::size_t>(end - p));
        if (item.bHasChildren) {
            auto kids = tree.GetChildIds(h);
            open.push_back({kids.data(), kids.data() + kids.size(), h});
        }
    }
    w.Drain();
}

// Two read windows for a pass along the stream's chain (see CBlockFile::SetSinglePass).
class CSinglePass {
public:
    explicit CSinglePass(CBlockFile& store) : m_store(store) { m_store.SetSinglePass(true); }
    ~CSinglePass() { m_store.SetSinglePass(false); }
    CSinglePass(const CSinglePass&) = delete;
    CSinglePass& operator=(const CSinglePass&) = delete;

private:
    CBlockFile& m_store;
};

} // namespace

void ReadTree(CBlockFile& store, CTreeCtrl& tree, bool bRememberState, LoadResult& result) {
    // The stream is read once, front to back: two read windows carry it, and the memory of
    // the others is not touched while the tree grows.
    CSinglePass singlePass(store);
    CStreamReader r(store);
    store.BeginRead(store.GetTreeData(), true);
    std::vector<HTREEITEM> parents{TVI_ROOT};
    TVINSERTSTRUCT ins;
    ins.hInsertAfter = TVI_SORT;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    for (;;) {
        WORD w = r.Word();
        if (w == 0xFFFF) {
            if (parents.size() == 1)
                break;
            HTREEITEM item = parents.back();
            parents.pop_back();
            DWORD state = r.Dword();
            if (bRememberState) {
                if (state & STATE_EXPANDED)
                    tree.Expand(item, TVE_EXPAND);
                if (state & STATE_SELECTED)
                    result.hSelect = item;
            }
            continue;
        }
        int image = static_cast<std::int16_t>(w);
        if (!bRememberState)
            image &= ~(IMAGE_OPEN | IMAGE_BOOKMARK);
        auto length = static_cast<std::int16_t>(r.Word());
        if (length < 0)
            throw CFileException(CFileException::endOfFile, store.GetFilePath());
        ins.item.strText = r.Title(static_cast<std::size_t>(length));
        ins.item.lParam = r.Dword();
        ins.item.iImage = ins.item.iSelectedImage = image;
        ins.hParent = parents.back();
        HTREEITEM h = tree.InsertItem(std::move(ins));
        ++result.nItems;
        parents.push_back(h);
    }
    store.EndTransfer();
}

void WriteTree(CBlockFile& store, const CTreeCtrl& tree, HTREEITEM hSkip) {
    // The rewrite reads along the old chain, then along the free list, then along the old
    // rest (its links, to free it): each in order, so two windows carry them too.
    CSinglePass singlePass(store);
    if (store.GetTreeData() == 0)
        store.SetTreeData(store.BeginNewChain());
    else
        store.BeginRewrite(store.GetTreeData());
    auto sink = [&store](const BYTE* p, std::size_t n) { store.WriteData(p, n); };
    WriteItems(tree, sink, hSkip);
    store.EndTransfer();
}

std::vector<BYTE> Serialize(const CTreeCtrl& tree, HTREEITEM hSkip) {
    std::vector<BYTE> out;
    auto sink = [&out](const BYTE* p, std::size_t n) { out.insert(out.end(), p, p + n); };
    WriteItems(tree, sink, hSkip);
    return out;
}

} // namespace treestream
