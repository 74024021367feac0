#include "store/BlockFile.h"

#include <algorithm>
#include <cstring>

using namespace nota;

// ---- the file ------------------------------------------------------------------------------

CBlockFile::CBlockFile() = default;

CBlockFile::CBlockFile(const std::string& path, UINT flags) {
    Open(path, flags);
}

CBlockFile::~CBlockFile() = default;

// ---- opening, closing, operations ----------------------------------------------------------

void CBlockFile::Open(const std::string& path, UINT flags) {
    if (IsOpen())
        Close();
    EndCursor();
    m_pager.Open(path, flags);
}

bool CBlockFile::Open(const std::string& path, UINT flags, CFileException* error) {
    try {
        Open(path, flags);
        return true;
    } catch (const CFileException& e) {
        if (error)
            *error = e;
        return false;
    }
}

void CBlockFile::Close() {
    m_nMode = modeIdle;
    m_pager.Close();
}

void CBlockFile::Abort() noexcept {
    EndCursor();
    m_pager.Abort();
}

void CBlockFile::EndCursor() noexcept {
    m_nMode = modeIdle;
    m_bCurAllocated = false;
    m_bMayMove = false;
    m_nChangedRun = 0;
    m_dwOldRest = 0;
    m_bRememberLinks = false;
    m_written.Clear();
}

void CBlockFile::CommitOperation() {
    try {
        m_pager.CommitOperation();
    } catch (...) {
        EndCursor(); // rolled back: the transfer it belonged to is gone with it
        throw;
    }
}

void CBlockFile::RollbackOperation() noexcept {
    m_pager.RollbackOperation();
    if (!m_pager.InOperation())
        EndCursor();
}

void CBlockFile::SetTreeData(DWORD offset) {
    m_pager.Touch();
    m_pager.Header().SetTreeData(offset);
}

void CBlockFile::TakeOver(CBlockFile& other) {
    m_pager.TakeOver(other.m_pager);
    m_nMode = other.m_nMode;
    other.EndCursor();
}

// ---- geometry ------------------------------------------------------------------------------

DWORD CBlockFile::GetBlockCount() const {
    std::uint64_t len = Length();
    return len < HEADER_SIZE ? 0 : static_cast<DWORD>((len - HEADER_SIZE) / BLOCK_SIZE);
}

bool CBlockFile::IsValidBlock(DWORD offset) const {
    return IsBlockAligned(offset) && static_cast<std::uint64_t>(offset) + BLOCK_SIZE <= Length();
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

// ---- blocks and chains ---------------------------------------------------------------------

bool CBlockFile::PeekChainStart(DWORD first, void* out, std::size_t count) {
    CheckLink(first);
    BYTE block[BLOCK_HEADER + BLOCK_DATA];
    m_pager.ReadSmall(first, block, BLOCK_HEADER + std::min<std::size_t>(count, BLOCK_DATA));
    if (GetLE16(block + 4) < count || GetLE16(block + 4) > BLOCK_DATA)
        return false;
    std::memcpy(out, block + BLOCK_HEADER, count);
    return true;
}

// The memo as of the bytes the operation sees: forgotten whole once the pager changed them
// other than through this store's writes.
CLinkMemo& CBlockFile::Links() {
    if (m_nLinksAt != m_pager.UndoCount()) {
        m_links.Clear();
        m_nLinksAt = m_pager.UndoCount();
    }
    return m_links;
}

// The block at offset links to next now (after a read or a write of it).
void CBlockFile::NoteLink(DWORD offset, DWORD next) {
    if (m_bRememberLinks)
        Links().Remember(offset, next);
    else
        Links().Change(offset, next);
}

DWORD CBlockFile::ReadNext(DWORD offset) {
    CheckLink(offset);
    DWORD next = 0;
    if (Links().Find(offset, next))
        return next;
    BYTE link[4];
    ReadAt(offset, link, 4);
    next = GetLE32(link);
    NoteLink(offset, next);
    return next;
}

void CBlockFile::WriteNext(DWORD offset, DWORD next) {
    BYTE link[4];
    PutLE32(link, next);
    WriteAt(offset, link, 4);
}

void CBlockFile::WriteAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    PagerWrite([&] { m_pager.WriteAt(offset, buffer, count); });
    // Each block whose link the write covers links as written now; one it covers in part
    // is forgotten.
    const auto* in = static_cast<const BYTE*>(buffer);
    const std::uint64_t end = offset + count;
    CLinkMemo& links = Links();
    if (offset < HEADER_SIZE || count == 0)
        return;
    std::uint64_t block = HEADER_SIZE + (offset - HEADER_SIZE) / BLOCK_SIZE * BLOCK_SIZE;
    for (; block < end && block <= 0xFFFFFFFFull; block += BLOCK_SIZE) {
        if (block + 4 <= offset)
            continue; // the link lies before the write
        const auto at = static_cast<DWORD>(block);
        if (block >= offset && block + 4 <= end)
            links.Change(at, GetLE32(in + (block - offset)));
        else
            links.Forget(at);
    }
}

void CBlockFile::DropPartialBlock() {
    std::uint64_t grid = HEADER_SIZE + std::uint64_t{GetBlockCount()} * BLOCK_SIZE;
    if (Length() > grid)
        m_pager.SetLength(grid);
}

DWORD CBlockFile::AllocBlock() {
    m_pager.Touch();
    // The block starts empty: no stale bytes of another chain remain in it.
    if (const DWORD result = GetFreeList(); result != 0) {
        const DWORD next = ReadNext(result);
        m_pager.Header().SetFreeList(next);
        PagerWrite([&] { m_pager.ClaimFreeBlock(result, next); });
        NoteLink(result, 0);
        return result;
    }
    // The next whole block: a partial block at the end is not content and is overwritten.
    std::uint64_t grid = HEADER_SIZE + std::uint64_t{GetBlockCount()} * BLOCK_SIZE;
    // Blocks are addressed by 32-bit offsets: the file cannot grow past them.
    if (grid + BLOCK_SIZE > 0xFFFFFFFFull)
        throw CFileException(CFileException::diskFull, GetFilePath());
    const auto result = static_cast<DWORD>(grid);
    // The file itself grows with the write of the empty block below (a partial block at the
    // end is overwritten by it).
    m_pager.SetLength(grid + BLOCK_SIZE);
    static const BYTE empty[BLOCK_SIZE] = {};
    WriteAt(result, empty, BLOCK_SIZE);
    return result;
}

void CBlockFile::FreeChain(DWORD first) {
    if (first == 0)
        return;
    m_pager.Touch();
    // Find the chain's last block; a link back into the chain, or into the chain being
    // written, ends it there.
    CBlockSet& seen = m_freeSeen;
    seen.Clear();
    seen.Insert(first);
    DWORD last = first;
    for (DWORD next = ReadNext(first);
         next != 0 && !seen.Contains(next) && !m_written.Contains(next); next = ReadNext(next)) {
        seen.Insert(next);
        last = next;
    }
    seen.Clear();
    WriteNext(last, GetFreeList());
    m_pager.Header().SetFreeList(first);
}

void CBlockFile::ResetBuffer() {
    m_nPosition = 0;
    std::memset(m_buffer, 0, BLOCK_SIZE); // no stale bytes of another chain reach the disk
    m_nBlocksVisited = 0;
    m_bCurAllocated = false;
    m_written.Clear();
}

DWORD CBlockFile::BeginNewChain() {
    DWORD first = AllocBlock();
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeWriting;
    m_bCurAllocated = true;
    return first;
}

void CBlockFile::BeginWrite(DWORD first) {
    CheckLink(first);
    m_pager.Touch();
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeWriting;
}

void CBlockFile::BeginRewrite(DWORD first) {
    BeginWrite(first);
    m_bMayMove = m_pager.IsJournaled();
    m_bRememberLinks = true;
}

void CBlockFile::BeginRead(DWORD first, bool bRememberLinks) {
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeReading;
    m_bRememberLinks = bRememberLinks;
}

void CBlockFile::ReadData(void* buffer, std::size_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    while (count > 0) {
        if (m_nPosition >= GetLE16(m_buffer + 4)) {
            if (m_dwCurBlock == 0)
                ThrowCorrupt(); // the chain ended before the data did
            CheckLink(m_dwCurBlock);
            CountVisit();
            const BYTE* block = m_pager.BlockBytes(m_dwCurBlock, m_buffer);
            const WORD length = GetLE16(block + 4);
            if (length > BLOCK_DATA)
                ThrowCorrupt();
            if (m_bRememberLinks)
                Links().Remember(m_dwCurBlock, GetLE32(block));
            if (block != m_buffer && length > 0 && count >= length) {
                // All of the block's data goes out: copied once, from where it lies.
                std::memcpy(out, block + BLOCK_HEADER, length);
                std::memcpy(m_buffer, block, BLOCK_HEADER);
                m_dwCurBlock = GetLE32(block);
                m_nPosition = length;
                out += length;
                count -= length;
                continue;
            }
            if (block != m_buffer)
                std::memcpy(m_buffer, block, BLOCK_SIZE);
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
    m_written.Insert(m_dwCurBlock);
    // A block this transfer allocated starts empty: it has no old successor to read.
    DWORD oldNext = m_bCurAllocated ? 0 : ReadNext(m_dwCurBlock);
    if (oldNext != 0 && (!IsValidBlock(oldNext) || m_written.Contains(oldNext)))
        oldNext = 0; // a damaged link or one back into this chain: the old chain ends here
    PutLE16(m_buffer + 4, m_nPosition);
    if (m_bMayMove && more && oldNext != 0 && MovesOn()) {
        // The bytes moved: the rest of the chain goes into new blocks, and the old rest
        // is freed at the end.
        m_bMayMove = false;
        m_dwOldRest = oldNext;
        oldNext = 0;
    }
    DWORD successor = 0;
    m_bCurAllocated = more && oldNext == 0;
    if (more) {
        successor = oldNext != 0 ? oldNext : AllocBlock();
    } else if (oldNext != 0) {
        FreeChain(oldNext);
    }
    PutLE32(m_buffer, successor);
    // A block that keeps its bytes is left alone: a rewrite of a long chain changes only
    // the blocks from its first changed byte on (and those only when the bytes move).
    PagerWrite([&] { m_pager.WriteBlock(m_dwCurBlock, m_buffer); });
    NoteLink(m_dwCurBlock, successor);
    m_dwCurBlock = successor;
    m_nPosition = 0;
    std::memset(m_buffer, 0, BLOCK_SIZE);
}

// True once kMovedRun blocks in a row, this one the last, change their bytes (length and
// data; the link is not set yet).
bool CBlockFile::MovesOn() {
    BYTE scratch[BLOCK_SIZE];
    const BYTE* old = m_pager.BlockBytes(m_dwCurBlock, scratch);
    const bool bChanged = std::memcmp(old + 4, m_buffer + 4, BLOCK_SIZE - 4) != 0;
    m_nChangedRun = bChanged ? m_nChangedRun + 1 : 0;
    return m_nChangedRun >= kMovedRun;
}

void CBlockFile::EndTransfer() {
    Mode mode = m_nMode;
    if (mode == modeWriting && m_nPosition != 0)
        FlushBlock(false);
    if (const DWORD rest = m_dwOldRest) {
        m_dwOldRest = 0;
        FreeChain(rest); // the chain's own blocks are still in m_written
    }
    EndCursor();
    if (mode == modeWriting && m_pager.IsImplicit())
        m_pager.Commit();
}

void CBlockFile::AbandonTransfer() noexcept {
    EndCursor();
    if (m_pager.IsImplicit())
        m_pager.Discard();
}
