#pragma once
// A set of blocks of one file: a bit per block, and the words of bits in use, so that emptying
// it costs what filling it did (a chain of consecutive blocks uses a word per 64 of them). Holds
// the blocks a rewrite has written so far (CBlockFile) and those an operation took off the free
// list (CPager).

#include "platform/Types.h"

#include <cstdint>
#include <vector>

class CBlockSet {
public:
    bool Contains(DWORD offset) const;
    // offset: a block of the file (32 + a multiple of 512).
    void Insert(DWORD offset);
    void Clear() noexcept;

private:
    std::vector<std::uint64_t> m_bits; // by block number; grows with the blocks inserted
    std::vector<std::uint32_t> m_used; // indexes of the words with a bit set
};
