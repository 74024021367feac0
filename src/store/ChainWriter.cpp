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
    std::uint64_t length = m_file.GetLength();
    if (length < HEADER_SIZE || (length - HEADER_SIZE) % BLOCK_SIZE != 0)
        throw std::logic_error("CChainWriter: file does not end on a block boundary");
    if (total == 0)
        return 0;
    std::uint64_t blocks = (total + BLOCK_DATA - 1) / BLOCK_DATA;
    if (length + blocks * BLOCK_SIZE > 0xFFFFFFFFull)
        throw CFileException(CFileException::diskFull, m_file.GetFilePath());
    m_nRemaining = total;
    m_nBlockStart = length;
    m_nBuffered = 0;
    m_nInBlock = 0;
    m_bActive = true;
    std::memset(m_buffer.data(), 0, BLOCK_SIZE);
    m_nBuffered = BLOCK_SIZE;
    return static_cast<DWORD>(length);
}

void CChainWriter::Write(const void* data, std::size_t count) {
    if (!m_bActive || count > m_nRemaining)
        throw std::logic_error("CChainWriter: more bytes than announced");
    const BYTE* p = static_cast<const BYTE*>(data);
    while (count > 0) {
        if (m_nInBlock == BLOCK_DATA)
            CloseBlock();
        std::size_t n = std::min<std::size_t>(BLOCK_DATA - m_nInBlock, count);
        BYTE* block = m_buffer.data() + m_nBuffered - BLOCK_SIZE;
        std::memcpy(block + BLOCK_HEADER + m_nInBlock, p, n);
        m_nInBlock += n;
        m_nRemaining -= n;
        p += n;
        count -= n;
    }
}

// Finishes the block being filled; opens the next one when more bytes are to come.
void CChainWriter::CloseBlock() {
    BYTE* block = m_buffer.data() + m_nBuffered - BLOCK_SIZE;
    DWORD next = m_nRemaining > 0 ? static_cast<DWORD>(m_nBlockStart + BLOCK_SIZE) : 0;
    PutLE32(block, next);
    PutLE16(block + 4, static_cast<WORD>(m_nInBlock));
    if (m_nRemaining == 0)
        return;
    if (m_nBuffered == m_buffer.size()) {
        if (m_buffer.size() < m_nMaxBuffer) // grows with long chains, up to its limit
            m_buffer.resize(std::min(m_buffer.size() * 2, m_nMaxBuffer));
        else
            WriteOut();
    }
    m_nBlockStart += BLOCK_SIZE;
    m_nInBlock = 0;
    std::memset(m_buffer.data() + m_nBuffered, 0, BLOCK_SIZE);
    m_nBuffered += BLOCK_SIZE;
}

void CChainWriter::WriteOut() {
    if (m_nBuffered == 0)
        return;
    m_file.Seek(0, CFile::end);
    m_file.Write(m_buffer.data(), static_cast<UINT>(m_nBuffered));
    m_nBuffered = 0;
}

void CChainWriter::End() {
    if (!m_bActive)
        return;
    m_bActive = false;
    if (m_nRemaining != 0)
        throw std::logic_error("CChainWriter: chain ended early");
    CloseBlock();
    WriteOut();
}
