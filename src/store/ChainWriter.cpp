#include "store/ChainWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using namespace nota;

CChainWriter::CChainWriter(CBlockFile& file, std::size_t bufferBlocks)
    : m_file(file), m_nMaxBuffer(std::max<std::size_t>(bufferBlocks, 1) * BLOCK_SIZE) {
    m_buffer.resize(std::min<std::size_t>(m_nMaxBuffer, 16 * BLOCK_SIZE));
}

DWORD CChainWriter::Begin(std::uint64_t total) {
    if (m_bActive)
        throw std::logic_error("CChainWriter: chain already begun");
    std::uint64_t end = EndOffset();
    if (end < HEADER_SIZE || (end - HEADER_SIZE) % BLOCK_SIZE != 0)
        throw std::logic_error("CChainWriter: file does not end on a block boundary");
    if (total == 0)
        return 0;
    std::uint64_t blocks = (total + BLOCK_DATA - 1) / BLOCK_DATA;
    if (end + blocks * BLOCK_SIZE > 0xFFFFFFFFull) // beyond what a block offset can name
        throw CFileException(CFileException::diskFull, m_file.GetFilePath());
    m_nRemaining = total;
    m_bActive = true;
    AddBlock();
    return static_cast<DWORD>(end);
}

// Opens a new block at the end of the buffer, first making room. CloseBlock fills in its
// header and zeroes what its data leave unused.
void CChainWriter::AddBlock() {
    if (m_nBuffered == m_buffer.size()) {
        if (m_buffer.size() < m_nMaxBuffer) // grows with the work, up to its limit
            m_buffer.resize(std::min(m_buffer.size() * 2, m_nMaxBuffer));
        else
            WriteOut(m_nBuffered); // every buffered block is complete here
    }
    m_nBuffered += BLOCK_SIZE;
    m_nInBlock = 0;
}

void CChainWriter::Write(const void* data, std::size_t count) {
    if (!m_bActive || count > m_nRemaining)
        throw std::logic_error("CChainWriter: more bytes than announced");
    const BYTE* p = static_cast<const BYTE*>(data);
    while (count > 0) {
        if (m_nInBlock == BLOCK_DATA) {
            CloseBlock();
            AddBlock();
        }
        std::size_t n = std::min<std::size_t>(BLOCK_DATA - m_nInBlock, count);
        BYTE* block = m_buffer.data() + m_nBuffered - BLOCK_SIZE;
        std::memcpy(block + BLOCK_HEADER + m_nInBlock, p, n);
        m_nInBlock += n;
        m_nRemaining -= n;
        p += n;
        count -= n;
    }
}

// Fills in the header of the block being filled: linked to the next one while bytes remain.
void CChainWriter::CloseBlock() {
    BYTE* block = m_buffer.data() + m_nBuffered - BLOCK_SIZE;
    PutLE32(block, m_nRemaining > 0 ? static_cast<DWORD>(EndOffset()) : 0);
    PutLE16(block + 4, static_cast<WORD>(m_nInBlock));
    std::memset(block + BLOCK_HEADER + m_nInBlock, 0, BLOCK_DATA - m_nInBlock);
}

void CChainWriter::End() {
    if (!m_bActive)
        return;
    m_bActive = false;
    if (m_nRemaining != 0)
        throw std::logic_error("CChainWriter: chain ended early");
    CloseBlock();
}

void CChainWriter::Flush() {
    // A chain in progress keeps the block being filled in the buffer.
    WriteOut(m_nBuffered - (m_bActive ? BLOCK_SIZE : 0));
}

// Writes the first n buffered bytes at the end of the file; keeps the rest.
void CChainWriter::WriteOut(std::size_t n) {
    if (n == 0)
        return;
    std::uint64_t at = m_file.Length();
    m_file.WriteAt(at, m_buffer.data(), n);
    // Let the disk work while the next chains are gathered: the commit at the end then
    // waits for little.
    m_file.StartWriteBack(at, n);
    std::memmove(m_buffer.data(), m_buffer.data() + n, m_nBuffered - n);
    m_nBuffered -= n;
}
