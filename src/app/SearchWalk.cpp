#include "app/SearchWalk.h"

#include "app/Bookmarks.h"
#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "store/TextChain.h"

#include <algorithm>
#include <cstring>

std::string_view CStoreTextReader::ReadText(const CTreeCtrl& tree, HTREEITEM h) {
    auto offset = static_cast<DWORD>(tree.GetItemData(h));
    if (offset == 0)
        return {};
    DWORD length = textchain::Read(m_store, offset, m_buffer);
    const char* text = reinterpret_cast<const char*>(m_buffer.data());
    std::size_t n = length == 0 ? 0 : length - 1; // without the terminating NUL
    if (n == 0)
        return {}; // the buffer may have no bytes at all: memchr must not see its null pointer
    if (const void* nul = std::memchr(text, 0, n))
        n = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    return {text, n};
}

bool CStoreTextReader::MayHold(const CTreeCtrl& tree, HTREEITEM h, const CStoredPattern& pattern,
                               std::size_t& bytes) {
    bytes = 0;
    auto offset = static_cast<DWORD>(tree.GetItemData(h));
    if (offset == 0)
        return false; // no text: nothing to find in it
    m_scan.Reset(pattern);
    const textchain::Scan scan = textchain::ScanInPlace(m_store, offset, m_scan);
    bytes = m_scan.Bytes();
    return scan != textchain::Scan::Done || m_scan.Finish();
}

void COccursScan::Reset(const CStoredPattern& pattern) {
    m_pattern = &pattern;
    m_nKeep = pattern.LongestBytes() > 0 ? pattern.LongestBytes() - 1 : 0;
    m_gather.resize(kGather);
    m_carry.resize(m_nKeep);
    m_seam.resize(2 * m_nKeep);
    m_nGathered = m_nCarry = m_nBytes = 0;
    m_bFound = false;
}

bool COccursScan::Segment(const BYTE* bytes, std::size_t count) noexcept {
    const auto* in = reinterpret_cast<const char*>(bytes);
    m_nBytes += count;
    if (count <= kGather - m_nGathered) {
        std::copy_n(in, count, m_gather.data() + m_nGathered);
        m_nGathered += count;
        return false;
    }
    return Finish() || Search(in, count);
}

bool COccursScan::Finish() noexcept {
    if (m_bFound || m_nGathered == 0)
        return m_bFound;
    const std::size_t n = m_nGathered;
    m_nGathered = 0;
    return Search(m_gather.data(), n);
}

bool COccursScan::Search(const char* in, std::size_t count) noexcept {
    if (m_nCarry > 0) {
        // An occurrence across the seam starts in the carried bytes and ends in the head.
        const std::size_t head = std::min(count, m_nKeep);
        std::copy_n(m_carry.data(), m_nCarry, m_seam.data());
        std::copy_n(in, head, m_seam.data() + m_nCarry);
        m_bFound = m_pattern->Occurs(m_seam.data(), m_nCarry + head);
    }
    if (!m_bFound)
        m_bFound = m_pattern->Occurs(in, count);
    if (m_bFound)
        return true;
    // Carry the last m_nKeep bytes of everything so far.
    if (count >= m_nKeep) {
        std::copy_n(in + (count - m_nKeep), m_nKeep, m_carry.data());
        m_nCarry = m_nKeep;
    } else {
        const std::size_t old = std::min(m_nCarry, m_nKeep - count);
        std::copy_n(m_carry.data() + (m_nCarry - old), old, m_seam.data());
        std::copy_n(m_seam.data(), old, m_carry.data());
        std::copy_n(in, count, m_carry.data() + old);
        m_nCarry = old + count;
    }
    return false;
}

bool CStopCheck::Tick(std::size_t bytes) {
    if (m_bStopped)
        return true;
    ++m_nItems;
    m_nBytes += bytes;
    if (m_nItems < kItemsPerPoll && m_nBytes < kBytesPerPoll)
        return false;
    m_nItems = 0;
    m_nBytes = 0;
    ++m_nPolls;
    m_bStopped = m_poll && m_poll();
    return m_bStopped;
}

namespace {

template <bool Backward> HTREEITEM Walk(SearchContext& ctx, SEARCHWALK& walk) {
    walk.bEscaped = false;
    if (walk.hStart == walk.hStop)
        return nullptr;
    for (HTREEITEM h = walk.hStart; h;) {
        std::size_t tested = 0;
        if (!walk.bTitlesOnly && ctx.reader.MayHold(ctx.tree, h, ctx.pattern, tested)) {
            std::string_view text = ctx.reader.ReadText(ctx.tree, h);
            tested = text.size();
            if (PatternMatch m = ctx.pattern.Find(text, Backward)) {
                walk.nFoundPos = m.nPos;
                walk.nFoundLength = m.nLength;
                return h;
            }
        }
        if (PatternMatch m = ctx.pattern.Find(ctx.tree.GetItemTitle(h), Backward)) {
            walk.nFoundPos = -1;
            walk.nFoundLength = m.nLength;
            return h;
        }
        if (ctx.stop.Tick(tested)) {
            walk.bEscaped = true;
            return nullptr;
        }
        h = Backward ? treewalk::PrevPreorder(ctx.tree, h) : treewalk::NextPreorder(ctx.tree, h);
        if (h == walk.hStop)
            return nullptr;
    }
    return nullptr;
}

ItemHit HitOf(HTREEITEM h, const SEARCHWALK& walk) {
    ItemHit hit;
    hit.hItem = h;
    hit.bEscaped = walk.bEscaped;
    if (h) {
        hit.nPos = walk.nFoundPos;
        hit.nLength = walk.nFoundLength;
    }
    return hit;
}

} // namespace

HTREEITEM WalkForward(SearchContext& ctx, SEARCHWALK& walk) {
    return Walk<false>(ctx, walk);
}
HTREEITEM WalkBackward(SearchContext& ctx, SEARCHWALK& walk) {
    return Walk<true>(ctx, walk);
}

ItemHit FindAcrossItems(SearchContext& ctx, HTREEITEM hSelected, bool backward, bool titlesOnly) {
    const CTreeCtrl& tree = ctx.tree;
    SEARCHWALK walk;
    walk.bTitlesOnly = titlesOnly;
    auto run = [&] { return backward ? WalkBackward(ctx, walk) : WalkForward(ctx, walk); };
    HTREEITEM after = backward ? treewalk::PrevPreorder(tree, hSelected)
                               : treewalk::NextPreorder(tree, hSelected);
    // Pass 1: from the item after the selection to the end of the tree.
    walk.hStart = after;
    walk.hStop = nullptr;
    HTREEITEM h = run();
    if (h || walk.bEscaped)
        return HitOf(h, walk);
    // Pass 2: from the other end round to the selection, which is tested again in whole.
    walk.hStart = backward ? treewalk::LastPreorder(tree) : tree.GetRootItem();
    walk.hStop = after;
    return HitOf(run(), walk);
}

std::size_t ForEachMatch(SearchContext& ctx, bool titlesOnly,
                         const std::function<void(const ItemHit&)>& visit, bool& escaped) {
    std::size_t hits = 0;
    escaped = false;
    SEARCHWALK walk;
    walk.bTitlesOnly = titlesOnly;
    walk.hStart = ctx.tree.GetRootItem();
    while (walk.hStart) {
        HTREEITEM h = WalkForward(ctx, walk);
        if (walk.bEscaped) {
            escaped = true;
            break;
        }
        if (!h)
            break;
        ++hits;
        visit(HitOf(h, walk));
        // A hit counts as a tested item, so a run of hits polls the stop check too.
        if (ctx.stop.Tick(0)) {
            escaped = true;
            break;
        }
        walk.hStart = treewalk::NextPreorder(ctx.tree, h);
    }
    return hits;
}

MarkAllResult MarkAll(CTreeCtrl& tree, SearchContext& ctx, bool titlesOnly) {
    MarkAllResult result;
    result.nHits = ForEachMatch(
        ctx, titlesOnly, [&](const ItemHit& hit) { bookmarks::Set(tree, hit.hItem, true); },
        result.bEscaped);
    return result;
}
