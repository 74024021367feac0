#pragma once
// Appends whole chains to the end of a block file in consecutive blocks, many blocks per
// write. Used where a file is built afresh chain after chain (compaction, repair), so the
// layout is known in advance: a chain of n bytes takes the next ceil(n / 506) blocks, every
// block full but the last, the unused data bytes zero. The bytes are the same as those of
// BeginNewChain / WriteData / EndTransfer on a file without free blocks.

#include "store/BlockFile.h"

#include <cstdint>
#include <vector>

class CChainWriter {
public:
    explicit CChainWriter(CBlockFile& file, std::size_t bufferBlocks = 2048);

    // Starts a chain of exactly `total` bytes at the end of the file; returns its first
    // block (0 when total is 0). The file length must be 32 + a multiple of 512.
    DWORD Begin(std::uint64_t total);
    void Write(const void* data, std::size_t count);
    // Writes what is buffered. Every announced byte must have been written.
    void End();

private:
    CBlockFile& m_file;
    std::size_t m_nMaxBuffer;
    std::vector<BYTE> m_buffer;
    std::size_t m_nBuffered = 0;     // bytes of m_buffer in use (whole blocks and the one begun)
    std::uint64_t m_nRemaining = 0;  // bytes of the chain still to come
    std::uint64_t m_nBlockStart = 0; // file offset of the block being filled
    std::size_t m_nInBlock = 0;      // data bytes in the block being filled
    bool m_bActive = false;

    void CloseBlock();
    void WriteOut();
};
