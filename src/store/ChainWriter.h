#pragma once
// Appends whole chains to the end of a block file in consecutive blocks, many blocks and
// many chains per write, where the layout is known in advance: a chain of n bytes takes the
// next ceil(n / 506) blocks, every block full but the last, the unused data bytes zero. The
// bytes are the same as those of BeginNewChain / WriteData / EndTransfer on a file without
// free blocks.
//
// Used on files built afresh (compaction, repair), and on the data file in use once its free
// blocks are used up (paste and import, through textchain::CTextAppender): there its writes
// belong to the caller's operation and are growth, which the pager gathers and writes ahead
// of the commit (store/Pager.h).
//
// Finished chains may still be in the buffer: Flush before anything else touches the file.
// Begin throws CFileException (disk full) for a chain that would carry the file past what a
// block offset can name, and std::logic_error when the file does not end on the block grid.

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
    // Ends the chain; every announced byte must have been written.
    void End();
    // Writes what is buffered to the file.
    void Flush();

private:
    CBlockFile& m_file;
    std::size_t m_nMaxBuffer;
    std::vector<BYTE> m_buffer;     // whole blocks that follow the file's end
    std::size_t m_nBuffered = 0;    // bytes of m_buffer in use, the block being filled included
    std::uint64_t m_nRemaining = 0; // bytes of the chain still to come
    std::size_t m_nInBlock = 0;     // data bytes in the block being filled
    bool m_bActive = false;

    std::uint64_t EndOffset() const { return m_file.Length() + m_nBuffered; }
    void AddBlock();
    void CloseBlock();
    void WriteOut(std::size_t n);
};
