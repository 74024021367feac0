#include "store/BlockSet.h"

#include "store/DataFormat.h"

#include <algorithm>

using namespace nota;

namespace {
std::size_t BlockNumber(DWORD offset) {
    return (offset - HEADER_SIZE) / BLOCK_SIZE;
}
} // namespace

bool CBlockSet::Contains(DWORD offset) const {
    if (offset < HEADER_SIZE)
        return false;
    const std::size_t n = BlockNumber(offset);
    return n / 64 < m_bits.size() && (m_bits[n / 64] >> (n % 64) & 1) != 0 &&
           IsBlockAligned(offset);
}

void CBlockSet::Insert(DWORD offset) {
    const std::size_t n = BlockNumber(offset);
    if (n / 64 >= m_bits.size())
        m_bits.resize(std::max(n / 64 + 1, m_bits.size() * 2));
    std::uint64_t& word = m_bits[n / 64];
    if (word == 0)
        m_used.push_back(static_cast<std::uint32_t>(n / 64));
    word |= std::uint64_t{1} << (n % 64);
}

void CBlockSet::Clear() noexcept {
    for (std::uint32_t w : m_used)
        m_bits[w] = 0;
    m_used.clear();
}
