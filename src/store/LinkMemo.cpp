#include "store/LinkMemo.h"

#include "store/DataFormat.h"

using namespace nota;

namespace {
bool OnGrid(DWORD offset) {
    return offset >= HEADER_SIZE && IsBlockAligned(offset);
}
std::size_t BlockNumber(DWORD offset) {
    return (offset - HEADER_SIZE) / BLOCK_SIZE;
}
} // namespace

bool CLinkMemo::Find(DWORD offset, DWORD& next) const {
    if (!OnGrid(offset))
        return false;
    const std::size_t n = BlockNumber(offset);
    if (n / kLeaf >= m_leaves.size() || !m_leaves[n / kLeaf])
        return false;
    const DWORD entry = m_leaves[n / kLeaf][n % kLeaf];
    if (entry == 0)
        return false;
    next = entry - 1;
    return true;
}

void CLinkMemo::Remember(DWORD offset, DWORD next) {
    if (!OnGrid(offset))
        return;
    if (next == 0xFFFFFFFF) {
        Forget(offset);
        return;
    }
    const std::size_t n = BlockNumber(offset);
    if (n / kLeaf >= m_leaves.size())
        m_leaves.resize(n / kLeaf + 1);
    auto& leaf = m_leaves[n / kLeaf];
    if (!leaf)
        leaf = std::make_unique<DWORD[]>(kLeaf);
    leaf[n % kLeaf] = next + 1;
}

void CLinkMemo::Change(DWORD offset, DWORD next) noexcept {
    if (!OnGrid(offset))
        return;
    const std::size_t n = BlockNumber(offset);
    if (n / kLeaf < m_leaves.size() && m_leaves[n / kLeaf])
        m_leaves[n / kLeaf][n % kLeaf] = next == 0xFFFFFFFF ? 0 : next + 1;
}

void CLinkMemo::Forget(DWORD offset) noexcept {
    if (!OnGrid(offset))
        return;
    const std::size_t n = BlockNumber(offset);
    if (n / kLeaf < m_leaves.size() && m_leaves[n / kLeaf])
        m_leaves[n / kLeaf][n % kLeaf] = 0;
}

void CLinkMemo::Clear() noexcept {
    m_leaves.clear();
}
