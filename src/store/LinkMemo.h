#pragma once
// The links of blocks that the store has read or written itself, by block: a chain walked
// once (the tree stream at the open, a chain just written, one just freed) is walked again
// without reading its blocks. Holds at most four bytes per block of the file, in leaves of
// 1,024 blocks made as they are needed.
//
// It is a cache with one rule for its holder (CBlockFile): a link it holds is the block's
// link as the operation in progress sees it. The holder sets or forgets a block's entry with
// every change of its link, and clears the whole memo whenever bytes change behind it (a
// rollback, a recovery, another open).

#include "platform/Types.h"

#include <memory>
#include <vector>

class CLinkMemo {
public:
    // True with the link of the block at offset in `next` when it is known.
    bool Find(DWORD offset, DWORD& next) const;
    // The block at offset links to next now: held from now on. An offset off the block grid
    // is not held.
    void Remember(DWORD offset, DWORD next);
    // As Remember where the memo holds blocks near offset already; otherwise forgotten (it
    // was not held): a change to a block the memo may hold, without growing it.
    void Change(DWORD offset, DWORD next) noexcept;
    void Forget(DWORD offset) noexcept;
    void Clear() noexcept;

private:
    static constexpr std::size_t kLeaf = 1024;
    // Each entry holds the link + 1; 0 is unknown (a link of 0xFFFFFFFF is never held).
    std::vector<std::unique_ptr<DWORD[]>> m_leaves;
};
