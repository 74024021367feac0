#include "store/TreeStream.h"

#include "platform/Encoding.h"
#include "platform/PreorderWalk.h"

#include <cstring>

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

// Collects bytes and hands them to a sink in large pieces.
template <typename Sink> class CStreamWriter {
public:
    explicit CStreamWriter(Sink& sink) : m_sink(sink) { m_buf.reserve(kChunk + 128); }
    ~CStreamWriter() = default;
    void Word(WORD w) {
        BYTE b[2];
        PutLE16(b, w);
        Put(b, 2);
    }
    void Dword(DWORD d) {
        BYTE b[4];
        PutLE32(b, d);
        Put(b, 4);
    }
    void Put(const void* p, std::size_t n) {
        auto* bytes = static_cast<const BYTE*>(p);
        m_buf.insert(m_buf.end(), bytes, bytes + n);
        if (m_buf.size() >= kChunk)
            Drain();
    }
    void Drain() {
        if (!m_buf.empty())
            m_sink(m_buf.data(), m_buf.size());
        m_buf.clear();
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    Sink& m_sink;
    std::vector<BYTE> m_buf;
};

template <typename Sink>
void WriteItems(const CTreeCtrl& tree, Sink& sink, HTREEITEM hSkip = nullptr) {
    CStreamWriter<Sink> w(sink);
    TVITEM item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_STATE;
    item.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
    item.cchTextMax = TITLE_BUFFER;
    treewalk::WalkNested(
        tree, tree.GetRootItem(), true,
        [&](HTREEITEM h) {
            item.hItem = h;
            tree.GetItem(item);
            w.Word(static_cast<WORD>(item.iImage));
            w.Word(static_cast<WORD>(item.strText.size() + 1));
            w.Put(item.strText.data(), item.strText.size());
            w.Put("", 1);
            w.Dword(static_cast<DWORD>(item.lParam));
        },
        [&] { w.Word(0xFFFF); },
        [&](HTREEITEM done) { w.Dword(tree.GetItemState(done, TVIS_SELECTED | TVIS_EXPANDED)); },
        hSkip);
    w.Drain();
}

} // namespace

void ReadTree(CBlockFile& store, CTreeCtrl& tree, bool bRememberState, LoadResult& result) {
    CStreamReader r(store);
    store.BeginRead(store.GetTreeData());
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
    if (store.GetTreeData() == 0)
        store.SetTreeData(store.BeginNewChain());
    else
        store.BeginWrite(store.GetTreeData());
    auto sink = [&store](const BYTE* p, std::size_t n) { store.WriteData(p, n); };
    WriteItems(tree, sink, hSkip);
    store.EndTransfer();
}

std::vector<BYTE> Serialize(const CTreeCtrl& tree) {
    std::vector<BYTE> out;
    auto sink = [&out](const BYTE* p, std::size_t n) { out.insert(out.end(), p, p + n); };
    WriteItems(tree, sink);
    return out;
}

} // namespace treestream
