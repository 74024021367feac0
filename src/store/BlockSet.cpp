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
    m_bits[n / 64] |= std::uint64_t{1} << (n % 64);
    m_members.push_back(offset);
}

void CBlockSet::Clear() noexcept {
    for (DWORD offset : m_members) {
        const std::size_t n = BlockNumber(offset);
        m_bits[n / 64] &= ~(std::uint64_t{1} << (n % 64));
    }
    m_members.clear();
}
