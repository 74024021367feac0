#pragma once
// Searches across items: the walks of Find Next, Find Previous and Mark All over the item
// tree in pre-order (children of collapsed folders too), each item's stored text tested
// before its title. The window adds the edit pane's own search in front, the status text
// and the selection; everything here runs without a window.

#include "app/StoredPattern.h"
#include "platform/TreeCtrl.h"
#include "store/TextChain.h"

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

class CBlockFile;

// One item's stored text for the walks.
class ITextReader {
public:
    virtual ~ITextReader() = default;
    // The item's stored text without its terminating NUL; empty for an item without text.
    // The bytes stay valid until the next call. File errors throw CFileException.
    virtual std::string_view ReadText(const CTreeCtrl& tree, HTREEITEM h) = 0;
    // Whether the item's text may hold the pattern: false only when it certainly does not,
    // which a reader may tell without reading the text out (the walk then skips ReadText).
    // `bytes` is set to the bytes looked at. Without a way to tell: true, 0 bytes.
    virtual bool MayHold(const CTreeCtrl& tree, HTREEITEM h, const CStoredPattern& pattern,
                         std::size_t& bytes) {
        (void)tree, (void)h, (void)pattern;
        bytes = 0;
        return true;
    }
};

// Looks for a pattern in a text handed over piece by piece. Pieces are gathered into a buffer
// of kGather bytes, which is searched when the next piece would not fit (a short text, the
// most common kind, is one search instead of one per block and seam); the bytes on both sides
// of each gathered stretch are searched in a buffer of their own. Finds every occurrence the
// whole text holds (and no more than the pattern's bytes, in either encoding, anywhere in it).
class COccursScan final : public textchain::ISegmentSink {
public:
    static constexpr std::size_t kGather = 8192;

    // Starts over for a new text. Allocates; Segment and Finish do not.
    void Reset(const CStoredPattern& pattern);
    bool Segment(const BYTE* bytes, std::size_t count) noexcept override;
    // After the last piece: searches what is still gathered. Whether the pattern was found.
    bool Finish() noexcept;
    std::size_t Bytes() const { return m_nBytes; }

private:
    const CStoredPattern* m_pattern = nullptr;
    std::vector<char> m_gather;        // pieces not searched yet
    std::vector<char> m_carry, m_seam; // the last m_nKeep bytes searched; a seam's bytes
    std::size_t m_nGathered = 0, m_nKeep = 0, m_nCarry = 0, m_nBytes = 0;
    bool m_bFound = false;

    bool Search(const char* in, std::size_t count) noexcept; // one stretch, after the last
};

// Reads texts from the data file into one buffer that every call reuses. A text ends at its
// first NUL, as the edit pane shows it.
class CStoreTextReader : public ITextReader {
public:
    explicit CStoreTextReader(CBlockFile& store) : m_store(store) {}
    std::string_view ReadText(const CTreeCtrl& tree, HTREEITEM h) override;
    // Looks at the text where its blocks lie in the file, without copying it.
    bool MayHold(const CTreeCtrl& tree, HTREEITEM h, const CStoredPattern& pattern,
                 std::size_t& bytes) override;

private:
    CBlockFile& m_store;
    std::vector<unsigned char> m_buffer;
    COccursScan m_scan;
};

// Lets the user stop a walk. The walk counts what it tests and asks poll every
// kItemsPerPoll items or kBytesPerPoll bytes of text, whichever comes first; once poll has
// said true the walk ends as escaped. A caller that polls the keyboard keeps poll cheap (or
// limits it by the clock itself).
class CStopCheck {
public:
    static constexpr unsigned kItemsPerPoll = 30;
    static constexpr std::size_t kBytesPerPoll = 4u << 20;

    explicit CStopCheck(std::function<bool()> poll = {}) : m_poll(std::move(poll)) {}
    // Counts one tested item with `bytes` bytes of text; true when the walk must stop.
    bool Tick(std::size_t bytes);
    bool Stopped() const { return m_bStopped; }
    unsigned Polls() const { return m_nPolls; }

private:
    std::function<bool()> m_poll;
    unsigned m_nItems = 0;
    std::size_t m_nBytes = 0;
    unsigned m_nPolls = 0;
    bool m_bStopped = false;
};

// One walk: from start item (tested first) to stop item (not tested; null = to the end).
struct SEARCHWALK {
    HTREEITEM hStart = nullptr;
    HTREEITEM hStop = nullptr;
    bool bTitlesOnly = false;
    std::ptrdiff_t nFoundPos = 0; // byte offset of the match in the stored text; -1 the title
    std::size_t nFoundLength = 0; // stored bytes matched
    bool bEscaped = false;        // the stop check ended the walk
};

// What a walk needs: the tree, the pattern, where texts come from and the stop check.
struct SearchContext {
    const CTreeCtrl& tree;
    const CStoredPattern& pattern;
    ITextReader& reader;
    CStopCheck& stop;
};

// The first item from walk.hStart on (pre-order, forward or backward) whose text or title
// matches, or null (also when escaped, or when start equals stop). Fills nFoundPos/Length.
// File errors from the reader pass to the caller.
HTREEITEM WalkForward(SearchContext& ctx, SEARCHWALK& walk);
HTREEITEM WalkBackward(SearchContext& ctx, SEARCHWALK& walk);

struct ItemHit {
    HTREEITEM hItem = nullptr; // null: nothing found (or escaped)
    std::ptrdiff_t nPos = -1;  // stored byte offset of the match; -1 a title match
    std::size_t nLength = 0;   // stored bytes matched
    bool bEscaped = false;
};

// Find Next (backward: Find Previous) across items after the caller found nothing in the
// edit pane: pass 1 from the item after hSelected to the end of the tree, pass 2 from the
// top up to and including hSelected (backward: from the last item down to hSelected).
ItemHit FindAcrossItems(SearchContext& ctx, HTREEITEM hSelected, bool backward, bool titlesOnly);

// Every matching item in pre-order from the root, each reported to visit once (at its first
// match). Returns the number of hits; escaped tells whether the stop check ended it.
std::size_t ForEachMatch(SearchContext& ctx, bool titlesOnly,
                         const std::function<void(const ItemHit&)>& visit, bool& escaped);

// Mark All: sets the bookmark bit of every matching item (items already bookmarked count
// too). tree is ctx's tree, writable. Bookmarks set before an escape stay set.
struct MarkAllResult {
    std::size_t nHits = 0;
    bool bEscaped = false;
};
MarkAllResult MarkAll(CTreeCtrl& tree, SearchContext& ctx, bool titlesOnly);
