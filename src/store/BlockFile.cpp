#include "store/BlockFile.h"

#include <algorithm>
#include <cstring>

using namespace nota;

namespace {
constexpr DWORD kReadAheadBlocks = 128; // 64 KiB at a time along consecutive blocks
}

CBlockFile::CBlockFile() = default;

CBlockFile::CBlockFile(const std::string& path, UINT flags) {
    Open(path, flags);
}

CBlockFile::~CBlockFile() = default;

void CBlockFile::Close() {
    if (!IsOpen())
        return;
    if (m_bHeaderDirty) {
        WriteHeader();
        m_bHeaderDirty = false;
    }
    InvalidateReadAhead();
    CFile::Close();
}

DWORD CBlockFile::GetBlockCount() const {
    std::uint64_t len = GetLength();
    return len < HEADER_SIZE ? 0 : static_cast<DWORD>((len - HEADER_SIZE) / BLOCK_SIZE);
}

bool CBlockFile::IsValidBlock(DWORD offset) const {
    return IsBlockAligned(offset) && static_cast<std::uint64_t>(offset) + BLOCK_SIZE <= GetLength();
}

std::uint64_t CBlockFile::MaxChainBytes() const {
    return static_cast<std::uint64_t>(GetBlockCount()) * BLOCK_DATA;
}

void CBlockFile::ThrowCorrupt() const {
    throw CFileException(CFileException::endOfFile, GetFilePath());
}

void CBlockFile::CheckLink(DWORD offset) {
    if (!IsValidBlock(offset))
        ThrowCorrupt();
}

void CBlockFile::CountVisit() {
    if (++m_nBlocksVisited > GetBlockCount())
        ThrowCorrupt(); // the chain visits more blocks than the file has: a loop
}

bool CBlockFile::CheckSignature() {
    if (GetLength() < HEADER_SIZE)
        return false;
    SeekToBegin();
    if (Read(m_header.bytes, HEADER_SIZE) != HEADER_SIZE)
        return false;
    return m_header.HasSignature();
}

void CBlockFile::WriteHeader() {
    SeekToBegin();
    Write(m_header.bytes, HEADER_SIZE);
}

DWORD CBlockFile::ReadNext(DWORD offset) {
    CheckLink(offset);
    BYTE link[4];
    Seek(offset, begin);
    if (Read(link, 4) != 4)
        ThrowCorrupt();
    return GetLE32(link);
}

void CBlockFile::WriteNext(DWORD offset, DWORD next) {
    BYTE link[4];
    PutLE32(link, next);
    InvalidateReadAhead();
    Seek(offset, begin);
    Write(link, 4);
}

DWORD CBlockFile::AllocBlock() {
    DWORD result = GetFreeList();
    if (result != 0) {
        m_header.SetFreeList(ReadNext(result));
        m_bHeaderDirty = true;
    } else {
        std::uint64_t len = GetLength();
        // Blocks are addressed by 32-bit offsets: the file cannot grow past them.
        if (len + BLOCK_SIZE > 0xFFFFFFFFull)
            throw CFileException(CFileException::diskFull, GetFilePath());
        result = static_cast<DWORD>(len);
        SetLength(len + BLOCK_SIZE);
    }
    WriteNext(result, 0);
    return result;
}

void CBlockFile::FreeChain(DWORD first) {
    if (first == 0)
        return;
    DWORD last = first;
    DWORD steps = 0;
    for (DWORD next = ReadNext(first); next != 0; next = ReadNext(next)) {
        if (++steps > GetBlockCount())
            ThrowCorrupt();
        last = next;
    }
    WriteNext(last, GetFreeList());
    m_header.SetFreeList(first);
    if (m_nMode != modeIdle || m_bDeferHeader) {
        m_bHeaderDirty = true;
    } else {
        WriteHeader();
        m_bHeaderDirty = false;
        Flush();
    }
}

void CBlockFile::ResetBuffer() {
    m_nPosition = 0;
    std::memset(m_buffer, 0, BLOCK_SIZE); // no stale bytes of another chain reach the disk
    m_nBlocksVisited = 0;
}

DWORD CBlockFile::BeginNewChain() {
    DWORD first = AllocBlock();
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeWriting;
    return first;
}

void CBlockFile::BeginWrite(DWORD first) {
    CheckLink(first);
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeWriting;
}

void CBlockFile::BeginRead(DWORD first) {
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeReading;
}

void CBlockFile::LoadBlock(DWORD offset) {
    CheckLink(offset);
    CountVisit();
    const BYTE* src = nullptr;
    if (!m_readAhead.empty() && offset >= m_dwReadAheadStart &&
        offset - m_dwReadAheadStart + BLOCK_SIZE <= m_readAhead.size()) {
        src = m_readAhead.data() + (offset - m_dwReadAheadStart);
    } else if (m_dwLastLoaded != 0 && offset == m_dwLastLoaded + BLOCK_SIZE) {
        // Consecutive blocks: read a run of them in one call.
        std::uint64_t avail = (GetLength() - offset) / BLOCK_SIZE;
        DWORD n = static_cast<DWORD>(std::min<std::uint64_t>(avail, kReadAheadBlocks));
        m_readAhead.resize(static_cast<std::size_t>(n) * BLOCK_SIZE);
        Seek(offset, begin);
        if (Read(m_readAhead.data(), static_cast<UINT>(m_readAhead.size())) != m_readAhead.size()) {
            InvalidateReadAhead();
            ThrowCorrupt();
        }
        m_dwReadAheadStart = offset;
        src = m_readAhead.data();
    }
    if (src) {
        std::memcpy(m_buffer, src, BLOCK_SIZE);
    } else {
        Seek(offset, begin);
        if (Read(m_buffer, BLOCK_SIZE) != BLOCK_SIZE)
            ThrowCorrupt();
    }
    m_dwLastLoaded = offset;
    if (GetLE16(m_buffer + 4) > BLOCK_DATA)
        ThrowCorrupt();
}

void CBlockFile::ReadData(void* buffer, std::size_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    while (count > 0) {
        if (m_nPosition >= GetLE16(m_buffer + 4)) {
            if (m_dwCurBlock == 0)
                ThrowCorrupt(); // the chain ended before the data did
            LoadBlock(m_dwCurBlock);
            m_dwCurBlock = GetLE32(m_buffer);
            m_nPosition = 0;
            continue;
        }
        std::size_t n = std::min<std::size_t>(GetLE16(m_buffer + 4) - m_nPosition, count);
        std::memcpy(out, m_buffer + BLOCK_HEADER + m_nPosition, n);
        m_nPosition = static_cast<WORD>(m_nPosition + n);
        out += n;
        count -= n;
    }
}

void CBlockFile::WriteData(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const BYTE*>(buffer);
    while (count > 0) {
        if (m_nPosition >= BLOCK_DATA)
            FlushBlock(true);
        std::size_t n = std::min<std::size_t>(BLOCK_DATA - m_nPosition, count);
        std::memcpy(m_buffer + BLOCK_HEADER + m_nPosition, in, n);
        m_nPosition = static_cast<WORD>(m_nPosition + n);
        in += n;
        count -= n;
    }
}

void CBlockFile::FlushBlock(bool more) {
    CountVisit();
    DWORD oldNext = ReadNext(m_dwCurBlock);
    if (oldNext != 0 && !IsValidBlock(oldNext))
        oldNext = 0; // a damaged link is not followed: the chain is cut here instead
    DWORD successor = 0;
    if (more) {
        successor = oldNext != 0 ? oldNext : AllocBlock();
    } else if (oldNext != 0) {
        FreeChain(oldNext);
    }
    PutLE16(m_buffer + 4, m_nPosition);
    PutLE32(m_buffer, successor);
    InvalidateReadAhead();
    Seek(m_dwCurBlock, begin);
    Write(m_buffer, BLOCK_SIZE);
    m_dwCurBlock = successor;
    m_nPosition = 0;
    std::memset(m_buffer, 0, BLOCK_SIZE);
}

void CBlockFile::EndTransfer() {
    Mode mode = m_nMode;
    if (mode == modeWriting && m_nPosition != 0)
        FlushBlock(false);
    if (!m_bDeferHeader) {
        if (m_bHeaderDirty) {
            WriteHeader();
            m_bHeaderDirty = false;
        }
        if (mode == modeWriting)
            Flush();
    }
    m_nMode = modeIdle;
}

void CBlockFile::TakeOver(CBlockFile& other) {
    if (IsOpen())
        Abort();
    other.MoveHandleTo(*this);
    m_nMode = other.m_nMode;
    m_bHeaderDirty = other.m_bHeaderDirty;
    m_header = other.m_header;
    other.m_bHeaderDirty = false;
    InvalidateReadAhead();
    m_dwLastLoaded = 0;
}
