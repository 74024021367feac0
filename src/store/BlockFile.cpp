#include "store/BlockFile.h"

#include "platform/FileSystem.h"
#include "platform/LargeBuffer.h"
#include "store/Journal.h"

#include <algorithm>
#include <cstring>

using namespace nota;

namespace {
constexpr std::size_t kWriteRun = 1 << 20; // bytes per write when a commit writes blocks

DWORD PageOf(std::uint64_t offset) {
    return static_cast<DWORD>(HEADER_SIZE + (offset - HEADER_SIZE) / BLOCK_SIZE * BLOCK_SIZE);
}

bool OnGrid(std::uint64_t offset) {
    return offset >= HEADER_SIZE && (offset - HEADER_SIZE) % BLOCK_SIZE == 0;
}

// The end of the journal's checksum piece that holds p: the header, then block by block.
std::uint64_t PieceEnd(std::uint64_t p) {
    return p < HEADER_SIZE ? HEADER_SIZE : std::uint64_t{PageOf(p)} + BLOCK_SIZE;
}

// A provisional journal's new length: no file has it, so recovery always cuts the file back.
constexpr std::uint64_t kNoLength = ~std::uint64_t{0};
} // namespace

CBlockFile::CBlockFile() = default;

CBlockFile::CBlockFile(const std::string& path, UINT flags) {
    Open(path, flags);
}

CBlockFile::~CBlockFile() = default;

// ---- opening, closing, recovery ------------------------------------------------------------

void CBlockFile::OnOpened(UINT flags) {
    ClearPages();
    m_written.clear();
    m_nDepth = 0;
    m_bImplicit = false;
    SetJournaled(true);
    m_bHotJournal = false;
    m_bRolledBack = false;
    m_nMode = modeIdle;
    m_header = {};
    m_committedHeader = {};
    m_journal.Abort();
    DropMap();
    m_run.clear();
    InvalidateClean();
    SyncLengthFromFile();
    ResetGrowth();
    // Whoever holds a data file exclusively for writing first finishes what a stopped
    // process left: an operation cut short is rolled back before anything reads the file.
    if ((flags & 0x70) == shareExclusive && (flags & 0x3) == modeReadWrite)
        m_bRolledBack = RecoverJournal();
}

void CBlockFile::SyncLengthFromFile() {
    m_nDataLength = m_nCommittedLength = CFile::GetLength();
}

bool CBlockFile::RecoverJournal() {
    m_journal.Abort();
    InvalidateClean();
    const std::string path = journal::PathFor(GetFilePath());
    // A replacement journal that was not renamed into place never counted.
    if (fs_util::FileExists(path + ".new"))
        fs_util::DeleteFile(path + ".new");
    auto outcome = journal::Recover(*this, path);
    m_bHotJournal = false;
    SyncLengthFromFile();
    if (outcome == journal::Outcome::RolledBack && CFile::GetLength() >= HEADER_SIZE) {
        CFile::Seek(0, begin);
        if (CFile::Read(m_header.bytes, HEADER_SIZE) == HEADER_SIZE)
            m_committedHeader = m_header;
    }
    return outcome == journal::Outcome::RolledBack;
}

void CBlockFile::Close() {
    if (!IsOpen())
        return;
    if (m_nDepth > 0)
        RollbackOperation();
    m_nDepth = 0;
    if (m_bImplicit || (!m_bJournaled && HeaderDiffers())) {
        m_nMode = modeIdle;
        Commit();
    }
    DropJournal();
    DropMap();
    CFile::Close();
}

void CBlockFile::Abort() noexcept {
    Discard(false);
    InvalidateClean();
    DropMap();
    m_nDepth = 0;
    DropJournal();
    CFile::Abort();
}

void CBlockFile::DropJournal() noexcept {
    if (!m_journal.IsOpen())
        return;
    std::string path = m_journal.GetFilePath();
    m_journal.Abort();
    if (!m_bHotJournal)
        fs_util::DeleteFile(path);
}

// ---- geometry ------------------------------------------------------------------------------

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

// ---- header --------------------------------------------------------------------------------

bool CBlockFile::HeaderDiffers() const {
    return std::memcmp(m_header.bytes, m_committedHeader.bytes, HEADER_SIZE) != 0;
}

bool CBlockFile::CheckSignature() {
    SyncLengthFromFile();
    if (CFile::GetLength() < HEADER_SIZE)
        return false;
    CFile::Seek(0, begin);
    if (CFile::Read(m_header.bytes, HEADER_SIZE) != HEADER_SIZE)
        return false;
    m_committedHeader = m_header;
    return m_header.HasSignature();
}

void CBlockFile::SetTreeData(DWORD offset) {
    Touch();
    m_header.SetTreeData(offset);
}

void CBlockFile::WriteHeader() {
    Touch();
    if (m_bJournaled)
        return; // the commit writes it
    InvalidateClean();
    CFile::Seek(0, begin);
    CFile::Write(m_header.bytes, HEADER_SIZE);
    m_committedHeader = m_header;
    if (m_nDataLength < HEADER_SIZE)
        m_nDataLength = HEADER_SIZE;
}

// ---- the bytes as the operation sees them ----------------------------------------------------

CBlockFile::Page& CBlockFile::PageAt(DWORD offset) {
    auto it = m_pages.find(offset);
    if (it != m_pages.end())
        return *it->second;
    Page& page = NewPage();
    m_pages.emplace(offset, &page);
    page.nOriginal = 0;
    if (offset < m_nCommittedLength) {
        auto n =
            static_cast<UINT>(std::min<std::uint64_t>(BLOCK_SIZE, m_nCommittedLength - offset));
        ReadDisk(offset, page.now.data(), BLOCK_SIZE);
        page.nOriginal = static_cast<WORD>(n);
    } else {
        page.now.fill(0);
    }
    return page;
}

// The first chunk is small and stays for the next operation; a large operation (a paste of
// 100 MB changes 200,000 blocks) goes on in chunks of 4 MB, which ask for huge pages before
// they are touched, since a page fault per 4 KiB would cost more than the copying.
std::size_t CBlockFile::ChunkPages(std::size_t chunk) {
    return chunk == 0 ? 256 : 8192;
}

CBlockFile::Page& CBlockFile::NewPage() {
    if (m_nChunk < m_pageChunks.size() && m_nChunkUsed == ChunkPages(m_nChunk)) {
        ++m_nChunk;
        m_nChunkUsed = 0;
    }
    if (m_nChunk == m_pageChunks.size()) {
        const std::size_t n = ChunkPages(m_nChunk);
        auto chunk = std::make_unique_for_overwrite<Page[]>(n);
        membuf::AdviseLargeBuffer(chunk.get(), n * sizeof(Page));
        m_pageChunks.push_back(std::move(chunk));
    }
    return m_pageChunks[m_nChunk][m_nChunkUsed++];
}

void CBlockFile::ClearPages() noexcept {
    m_pages.clear();
    m_nChunk = 0;
    m_nChunkUsed = 0;
    if (m_pageChunks.size() > 1)
        m_pageChunks.resize(1); // a large operation's memory goes back
}

// Reads the disk's bytes (zeros past its end) as this object wrote them, then what an
// unjournaled file still gathers in memory. Small reads (blocks, links) go through the
// windows, or the view when the windows decline; larger ones straight to the file.
void CBlockFile::ReadDisk(std::uint64_t offset, BYTE* out, std::size_t count) {
    const std::uint64_t onDisk = CFile::GetLength();
    std::size_t have = 0;
    if (offset < onDisk)
        have = static_cast<std::size_t>(std::min<std::uint64_t>(count, onDisk - offset));
    if (have > 0 && count <= BLOCK_SIZE && offset >= HEADER_SIZE) {
        if (!m_windows.Read(*this, offset, out, have, !m_bNoMap) && !ReadMapped(offset, out, have))
            m_windows.Read(*this, offset, out, have, false);
    } else if (have > 0) {
        CFile::Seek(static_cast<std::int64_t>(offset), begin);
        have = CFile::Read(out, static_cast<UINT>(have));
    }
    std::memset(out + have, 0, count - have);
    if (!m_run.empty())
        OverlayRun(offset, out, count);
}

// Copies from the view, mapping the file (again, when it grew) as needed. False when there is
// no view to read from; throws when the file shrank under it.
bool CBlockFile::ReadMapped(std::uint64_t offset, BYTE* out, std::size_t count) {
    if (offset + count > m_map.Length()) {
        if (m_bNoMap)
            return false;
        if (!m_map.Map(m_hFile, CFile::GetLength())) {
            m_bNoMap = true;
            return false;
        }
    }
    if (!m_map.Copy(offset, out, count))
        ThrowCorrupt(); // the file is shorter than it was: another program cut it
    return true;
}

void CBlockFile::OverlayRun(std::uint64_t offset, BYTE* out, std::size_t count) const {
    const std::uint64_t from = std::max(offset, m_nRunStart);
    const std::uint64_t to = std::min<std::uint64_t>(offset + count, m_nRunStart + m_run.size());
    if (from < to)
        std::memcpy(out + (from - offset), m_run.data() + (from - m_nRunStart),
                    static_cast<std::size_t>(to - from));
}

void CBlockFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    ReadDisk(offset, out, count);
    if (m_pages.empty() || offset + count <= HEADER_SIZE)
        return;
    // Blocks the operation changed replace what the disk holds.
    std::uint64_t end = offset + count;
    for (std::uint64_t at = PageOf(std::max<std::uint64_t>(offset, HEADER_SIZE)); at < end;
         at += BLOCK_SIZE) {
        const Page* page = FindPage(static_cast<DWORD>(at));
        if (!page)
            continue;
        std::uint64_t from = std::max(offset, at);
        std::uint64_t to = std::min<std::uint64_t>(end, at + BLOCK_SIZE);
        std::memcpy(out + (from - offset), page->now.data() + (from - at),
                    static_cast<std::size_t>(to - from));
    }
}

void CBlockFile::WriteAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    Touch();
    const auto* in = static_cast<const BYTE*>(buffer);
    if (!m_bJournaled) {
        Gather(offset, in, count);
        return;
    }
    if (offset < HEADER_SIZE)
        throw std::logic_error("CBlockFile: the header is written through m_header");
    const std::uint64_t end = offset + count;
    // Blocks that existed before the operation change as pages; growth is gathered.
    const std::uint64_t growth =
        m_nCommittedLength < HEADER_SIZE ? end : std::clamp(GrowthStart(), offset, end);
    while (offset < growth) {
        DWORD page = PageOf(offset);
        std::uint64_t to = std::min<std::uint64_t>(growth, std::uint64_t{page} + BLOCK_SIZE);
        std::memcpy(PageAt(page).now.data() + (offset - page), in,
                    static_cast<std::size_t>(to - offset));
        in += to - offset;
        offset = to;
    }
    if (growth < end)
        Gather(growth, in, static_cast<std::size_t>(end - growth));
    m_nDataLength = std::max(m_nDataLength, end);
}

// The first block wholly past the file's old end: growth starts there (a partial block at
// the old end changes in place, as a page).
std::uint64_t CBlockFile::GrowthStart() const {
    if (m_nCommittedLength <= HEADER_SIZE)
        return HEADER_SIZE;
    return PieceEnd(m_nCommittedLength - 1);
}

// Gathers a write that continues (or overlaps) the run in memory; anything else goes to the
// file first. A run that reached 1 MiB is written but for its last blocks, which a chain
// being written comes back to (its current block is written after the next is allocated).
void CBlockFile::Gather(std::uint64_t offset, const BYTE* in, std::size_t count) {
    bool joins = !m_run.empty() && offset >= m_nRunStart && offset <= m_nRunStart + m_run.size();
    // A large write that would carry the run past its size goes by itself: the run stays
    // within about 1 MiB of memory.
    if (joins && count >= kWriteRun / 2 && offset + count - m_nRunStart > kWriteRun) {
        FlushRun();
        joins = false;
    }
    if (!joins) {
        FlushRun();
        if (count >= kWriteRun / 2) {
            PassToFile(offset, in, count);
            m_nDataLength = std::max<std::uint64_t>(m_nDataLength, offset + count);
            return;
        }
        m_nRunStart = offset;
        m_run.reserve(kWriteRun + 4 * BLOCK_SIZE);
    }
    const std::size_t at = static_cast<std::size_t>(offset - m_nRunStart);
    if (at + count > m_run.size())
        m_run.resize(at + count);
    std::memcpy(m_run.data() + at, in, count);
    m_nDataLength = std::max<std::uint64_t>(m_nDataLength, offset + count);
    if (m_run.size() >= kWriteRun)
        FlushRun(2 * BLOCK_SIZE);
}

// Passes the gathered run but its last `keep` bytes to the file (one write). The windows of
// the disk's bytes keep up.
void CBlockFile::FlushRun(std::size_t keep) {
    if (m_run.size() <= keep)
        return;
    const std::size_t n = m_run.size() - keep;
    try {
        PassToFile(m_nRunStart, m_run.data(), n);
    } catch (...) {
        m_run.clear(); // the operation fails as a whole: its bytes are dropped
        throw;
    }
    std::memmove(m_run.data(), m_run.data() + n, keep);
    m_run.resize(keep);
    m_nRunStart += n;
}

// One write of gathered bytes. In a journaled file these are growth written ahead of the
// commit: the provisional journal goes first.
void CBlockFile::PassToFile(std::uint64_t offset, const BYTE* in, std::size_t count) {
    if (m_bJournaled) {
        if (!m_bSpilled)
            BeginSpill();
        SumGrowth(offset, in, count);
    }
    m_windows.Update(offset, in, count);
    CFile::Seek(static_cast<std::int64_t>(offset), begin);
    CFile::Write(in, static_cast<UINT>(count));
    if (!m_bJournaled)
        m_nCommittedLength = CFile::GetLength();
}

// ---- growth written ahead of the commit (journaled files) ------------------------------------

void CBlockFile::ResetGrowth() noexcept {
    m_bSpilled = false;
    m_bSumInOrder = true;
    m_nSummedTo = m_nCommittedLength;
    m_nGrowthSum = journal::kSeed;
}

// The provisional journal: the header as it is and the old length, with a new length no file
// has, so that whoever finds it cuts the file back to where it was.
void CBlockFile::BeginSpill() {
    journal::Record head;
    head.originalLength = m_nCommittedLength;
    head.newLength = kNoLength;
    WriteJournal([&](journal::CWriter::Sink sink) {
        journal::CWriter jw(head, 1, std::move(sink));
        jw.AddRegion(0, m_committedHeader.bytes, HEADER_SIZE, 0);
        jw.Finish();
    });
    m_bSpilled = true;
}

// Continues the growth's checksum over bytes written in order, block by block as the journal
// takes it; anything else leaves it to the commit to read the growth back.
void CBlockFile::SumGrowth(std::uint64_t offset, const BYTE* in, std::size_t count) {
    const std::uint64_t end = offset + count;
    if (!m_bSumInOrder || offset != m_nSummedTo || !OnGrid(offset) || !OnGrid(end)) {
        m_bSumInOrder = false;
        return;
    }
    for (std::uint64_t p = offset; p < end; p += BLOCK_SIZE)
        m_nGrowthSum = journal::Checksum(in + (p - offset), BLOCK_SIZE, m_nGrowthSum);
    m_nSummedTo = end;
}

// The checksum of the bytes from the old end to the new one, as the commit will leave them.
std::uint64_t CBlockFile::GrowthChecksum() {
    std::uint64_t sum = journal::kSeed;
    std::uint64_t p = m_nCommittedLength;
    if (m_bSumInOrder && m_nSummedTo <= m_nDataLength) {
        sum = m_nGrowthSum;
        p = m_nSummedTo;
    }
    if (p < HEADER_SIZE && p < m_nDataLength) {
        const std::uint64_t end = std::min<std::uint64_t>(HEADER_SIZE, m_nDataLength);
        sum = journal::Checksum(m_header.bytes + p, static_cast<std::size_t>(end - p), sum);
        p = end;
    }
    std::vector<BYTE> buf;
    while (p < m_nDataLength) {
        std::uint64_t end = p;
        while (end < m_nDataLength && end - p < kWriteRun)
            end = std::min(PieceEnd(end), m_nDataLength);
        buf.resize(static_cast<std::size_t>(end - p));
        ReadAt(p, buf.data(), buf.size());
        for (std::uint64_t q = p; q < end;) {
            const std::uint64_t e = std::min(PieceEnd(q), end);
            sum = journal::Checksum(buf.data() + (q - p), static_cast<std::size_t>(e - q), sum);
            q = e;
        }
        p = end;
    }
    return sum;
}

// Takes growth written ahead off the file again and retires the provisional journal; when
// that fails, the journal stays and the next operation or open finishes it.
void CBlockFile::CutSpilledGrowth() noexcept {
    if (!m_bSpilled)
        return;
    m_bSpilled = false;
    DropMap();
    try {
        CFile::SetLength(m_nCommittedLength);
        CFile::Flush();
        static const BYTE cleared[8] = {};
        m_journal.Seek(0, begin);
        m_journal.Write(cleared, sizeof cleared);
    } catch (...) {
        m_bHotJournal = true;
    }
}

// ---- operations ----------------------------------------------------------------------------

void CBlockFile::Touch() {
    if (m_nDepth > 0 || m_bImplicit)
        return;
    if (m_bHotJournal)
        RecoverJournal();
    m_bImplicit = true;
    ResetGrowth();
}

void CBlockFile::BeginOperation() {
    if (m_nDepth == 0 && !m_bImplicit) {
        if (m_bHotJournal)
            RecoverJournal();
        ResetGrowth();
    }
    ++m_nDepth;
}

void CBlockFile::CommitOperation() {
    if (m_nDepth == 0)
        return;
    if (--m_nDepth > 0)
        return;
    m_bImplicit = false;
    Commit();
}

void CBlockFile::RollbackOperation() noexcept {
    if (m_nDepth > 1) {
        // An inner scope failed: the outermost one decides, and it rolls back too, because
        // the exception passes through it.
        --m_nDepth;
        return;
    }
    m_nDepth = 0;
    Discard();
}

void CBlockFile::Discard(bool bTouchFile) noexcept {
    ClearPages();
    InvalidateClean();
    m_run.clear();
    m_written.clear();
    m_header = m_committedHeader;
    if (m_bSpilled && bTouchFile) {
        CutSpilledGrowth();
    } else if (m_bSpilled) {
        m_bHotJournal = true; // the next open cuts the growth off
        DropMap();
    }
    ResetGrowth();
    if (!m_bJournaled && IsOpen() && CFile::GetLength() != m_nCommittedLength) {
        try {
            CFile::SetLength(m_nCommittedLength);
        } catch (const CFileException&) {
        }
    }
    m_nDataLength = m_bJournaled ? m_nCommittedLength : CFile::GetLength();
    m_bImplicit = false;
    m_nMode = modeIdle;
}

void CBlockFile::Commit() {
    m_bImplicit = false;
    InvalidateClean();
    if (!m_bJournaled) {
        FlushRun();
        if (HeaderDiffers()) {
            CFile::Seek(0, begin);
            CFile::Write(m_header.bytes, HEADER_SIZE);
            m_committedHeader = m_header;
        }
        Flush();
        m_nCommittedLength = m_nDataLength = CFile::GetLength();
        return;
    }
    try {
        CommitJournaled();
    } catch (...) {
        Discard();
        throw;
    }
}

// The journal first, committed; then the data file, committed; then the journal is made
// invalid. See store/Journal.h for why the last step needs no commit of its own.
void CBlockFile::CommitJournaled() {
    std::vector<DWORD> order;
    order.reserve(m_pages.size());
    for (const auto& [at, page] : m_pages)
        order.push_back(at);
    std::sort(order.begin(), order.end());

    // What changes: blocks rewritten with the same bytes are left out.
    std::vector<DWORD> changed;
    changed.reserve(order.size());
    DWORD inPlace = 0; // blocks whose original bytes go into the journal
    BYTE original[BLOCK_SIZE];
    for (DWORD at : order) {
        const Page& page = *m_pages[at];
        bool grows = std::uint64_t{at} + BLOCK_SIZE > m_nCommittedLength;
        if (page.nOriginal > 0) {
            ReadDisk(at, original, page.nOriginal);
            if (!grows && std::memcmp(original, page.now.data(), BLOCK_SIZE) == 0)
                continue;
            ++inPlace;
        }
        changed.push_back(at);
    }
    const bool headerChanged = HeaderDiffers();
    if (changed.empty() && !headerChanged && m_nDataLength == m_nCommittedLength) {
        ClearPages();
        m_run.clear();
        return; // nothing changed: nothing to commit
    }
    journal::Record head;
    head.originalLength = m_nCommittedLength;
    head.newLength = m_nDataLength;
    head.tailChecksum = GrowthChecksum();

    // The journal: the header, then every block that changes in place, its bytes from the
    // disk, which the commit has not touched yet.
    WriteJournal(
        [&](journal::CWriter::Sink sink) {
            journal::CWriter jw(head, inPlace + 1, std::move(sink));
            jw.AddRegion(0, m_committedHeader.bytes, HEADER_SIZE,
                         journal::Checksum(m_header.bytes, HEADER_SIZE));
            for (DWORD at : changed) {
                const Page& page = *m_pages[at];
                if (page.nOriginal == 0)
                    continue;
                ReadDisk(at, original, page.nOriginal);
                jw.AddRegion(at, original, page.nOriginal,
                             journal::Checksum(page.now.data(), page.nOriginal));
            }
            jw.Finish();
        },
        m_bSpilled);
    InvalidateClean();

    // The growth first: a full disk shows there, before any byte in place has changed, and
    // undoing it is a truncation, which needs no space.
    bool bInPlace = false;
    try {
        std::vector<BYTE> run;
        std::uint64_t runStart = 0;
        auto writeRun = [&] {
            if (run.empty())
                return;
            bInPlace = bInPlace || runStart < m_nCommittedLength;
            CFile::Seek(static_cast<std::int64_t>(runStart), begin);
            CFile::Write(run.data(), static_cast<UINT>(run.size()));
            run.clear();
        };
        if (!m_run.empty() && m_nRunStart < m_nDataLength) {
            CFile::Seek(static_cast<std::int64_t>(m_nRunStart), begin);
            CFile::Write(m_run.data(), static_cast<UINT>(std::min<std::uint64_t>(
                                           m_run.size(), m_nDataLength - m_nRunStart)));
        }
        run.reserve(kWriteRun + BLOCK_SIZE);
        for (bool bGrowth : {true, false}) {
            for (DWORD at : changed) {
                if ((at >= m_nCommittedLength) != bGrowth)
                    continue;
                if (!run.empty() && (runStart + run.size() != at || run.size() >= kWriteRun))
                    writeRun();
                if (run.empty())
                    runStart = at;
                const Page& page = *m_pages[at];
                std::uint64_t keep = std::min<std::uint64_t>(BLOCK_SIZE, m_nDataLength - at);
                run.insert(run.end(), page.now.begin(), page.now.begin() + keep);
            }
            writeRun();
        }
        if (headerChanged) {
            bInPlace = true;
            CFile::Seek(0, begin);
            CFile::Write(m_header.bytes, HEADER_SIZE);
        }
        if (CFile::GetLength() != m_nDataLength)
            CFile::SetLength(m_nDataLength);
        Flush();
    } catch (...) {
        // The journal is on the disk: put the original bytes back at once. When even that
        // fails, the journal stays and the next operation or open finishes the rollback.
        try {
            if (bInPlace) {
                journal::Record record;
                if (!journal::ReadJournal(m_journal.GetFilePath(), record))
                    throw CFileException(CFileException::invalidFile, m_journal.GetFilePath());
                journal::RollBack(*this, record);
            } else {
                CFile::SetLength(m_nCommittedLength);
                Flush();
            }
            m_bHotJournal = false;
        } catch (...) {
            m_bHotJournal = true;
        }
        m_bSpilled = false; // the journal on the disk answers for the growth now
        if (!m_bHotJournal)
            DropJournal();
        throw;
    }

    // Invalidate the journal. No commit is needed: should this not reach the disk, recovery
    // finds the data file in the journal's new state and discards the journal.
    try {
        static const BYTE cleared[8] = {};
        m_journal.Seek(0, begin);
        m_journal.Write(cleared, sizeof cleared);
    } catch (const CFileException&) {
    }
    ClearPages();
    m_run.clear();
    m_committedHeader = m_header;
    m_nCommittedLength = m_nDataLength;
    ResetGrowth();
    if (m_onCommitted)
        m_onCommitted();
}

void CBlockFile::WriteJournal(const std::function<void(journal::CWriter::Sink)>& produce,
                              bool bReplace) {
    bool bCreated = false;
    const std::string path = journal::PathFor(GetFilePath());
    const std::string next = path + ".new";
    CFile replacement;
    CFile& out = bReplace ? replacement : m_journal;
    try {
        if (bReplace) {
            replacement.Open(next, CFile::modeCreate | CFile::modeReadWrite);
        } else if (!m_journal.IsOpen()) {
            bCreated = !fs_util::FileExists(path);
            m_journal.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
        }
        std::uint64_t at = 0;
        produce([&](const BYTE* p, std::size_t n) {
            out.Seek(static_cast<std::int64_t>(at), begin);
            out.Write(p, static_cast<UINT>(n));
            at += n;
        });
        out.Flush();
        if (bReplace) {
            // The rename commits the folder: from here on the new journal is the journal.
            if (!fs_util::SafeReplaceFile(next, path))
                CFileException::ThrowOsError(errno, path);
            replacement.Close();
            m_journal.Abort();
            m_journal.Open(path, CFile::modeReadWrite);
        } else if (bCreated &&
                   !fs_util::SyncDirectory(fs_util::DirectoryOf(m_journal.GetFilePath()))) {
            CFileException::ThrowOsError(errno, m_journal.GetFilePath());
        }
    } catch (const CFileException& e) {
        // A journal that did not reach the disk whole is worthless; it is written afresh. A
        // replacement that did not is removed, and the journal it was to replace stays.
        if (bReplace) {
            replacement.Abort();
            fs_util::DeleteFile(next);
        } else {
            m_journal.Abort();
            if (bCreated)
                fs_util::DeleteFile(path);
        }
        // The user knows the data file, not its journal: the error names the data file.
        throw CFileException(e.m_cause, GetFilePath(), e.m_lOsError);
    }
}

// ---- blocks and chains ---------------------------------------------------------------------

bool CBlockFile::PeekChainStart(DWORD first, void* out, std::size_t count) {
    CheckLink(first);
    BYTE block[BLOCK_HEADER + BLOCK_DATA];
    const std::size_t n = BLOCK_HEADER + std::min<std::size_t>(count, BLOCK_DATA);
    const bool bChanged = FindPage(first) != nullptr ||
                          (!m_run.empty() && first + std::uint64_t{BLOCK_SIZE} > m_nRunStart);
    if (bChanged || first + std::uint64_t{BLOCK_SIZE} > CFile::GetLength()) {
        ReadAt(first, block, n);
    } else {
        CFile::Seek(first, begin);
        if (CFile::Read(block, static_cast<UINT>(n)) != n)
            ThrowCorrupt(); // the file is shorter than it was: another program cut it
    }
    if (GetLE16(block + 4) < count || GetLE16(block + 4) > BLOCK_DATA)
        return false;
    std::memcpy(out, block + BLOCK_HEADER, count);
    return true;
}

DWORD CBlockFile::ReadNext(DWORD offset) {
    CheckLink(offset);
    BYTE link[4];
    ReadAt(offset, link, 4);
    return GetLE32(link);
}

void CBlockFile::WriteNext(DWORD offset, DWORD next) {
    BYTE link[4];
    PutLE32(link, next);
    WriteAt(offset, link, 4);
}

void CBlockFile::DropPartialBlock() {
    std::uint64_t grid = HEADER_SIZE + std::uint64_t{GetBlockCount()} * BLOCK_SIZE;
    if (GetLength() <= grid)
        return;
    Touch();
    if (!m_bJournaled) {
        FlushRun();
        CFile::SetLength(grid);
        m_nDataLength = m_nCommittedLength = grid;
    } else {
        m_nDataLength = grid; // the commit sets the file's length
    }
}

DWORD CBlockFile::AllocBlock() {
    Touch();
    DWORD result = GetFreeList();
    if (result != 0) {
        m_header.SetFreeList(ReadNext(result));
    } else {
        // The next whole block: a partial block at the end is not content and is overwritten.
        std::uint64_t grid = HEADER_SIZE + std::uint64_t{GetBlockCount()} * BLOCK_SIZE;
        // Blocks are addressed by 32-bit offsets: the file cannot grow past them.
        if (grid + BLOCK_SIZE > 0xFFFFFFFFull)
            throw CFileException(CFileException::diskFull, GetFilePath());
        result = static_cast<DWORD>(grid);
        // The file itself grows with the write of the empty block below (a partial block at
        // the end is overwritten by it).
        m_nDataLength = grid + BLOCK_SIZE;
    }
    // The block starts empty: no stale bytes of another chain remain in it.
    static const BYTE empty[BLOCK_SIZE] = {};
    WriteAt(result, empty, BLOCK_SIZE);
    return result;
}

void CBlockFile::FreeChain(DWORD first) {
    if (first == 0)
        return;
    Touch();
    // Find the chain's last block; a link back into the chain ends it there.
    std::unordered_set<DWORD> seen{first};
    DWORD last = first;
    for (DWORD next = ReadNext(first); next != 0 && !seen.count(next) && !m_written.count(next);
         next = ReadNext(next)) {
        seen.insert(next);
        last = next;
    }
    WriteNext(last, GetFreeList());
    m_header.SetFreeList(first);
}

void CBlockFile::ResetBuffer() {
    m_nPosition = 0;
    std::memset(m_buffer, 0, BLOCK_SIZE); // no stale bytes of another chain reach the disk
    m_nBlocksVisited = 0;
    m_written.clear();
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
    Touch();
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeWriting;
}

void CBlockFile::BeginRead(DWORD first) {
    m_dwCurBlock = first;
    ResetBuffer();
    m_nMode = modeReading;
}

// The block's bytes as the operation sees them: its page, its window (both valid until the
// next read), or m_buffer, read into.
const BYTE* CBlockFile::BlockBytes(DWORD offset) {
    if (const Page* page = FindPage(offset))
        return page->now.data();
    const bool inRun = !m_run.empty() && offset < m_nRunStart + m_run.size() &&
                       std::uint64_t{offset} + BLOCK_SIZE > m_nRunStart;
    if (!inRun && std::uint64_t{offset} + BLOCK_SIZE <= CFile::GetLength())
        if (const BYTE* p = m_windows.Peek(*this, offset, BLOCK_SIZE, !m_bNoMap))
            return p;
    ReadDisk(offset, m_buffer, BLOCK_SIZE);
    return m_buffer;
}

void CBlockFile::ReadData(void* buffer, std::size_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    while (count > 0) {
        if (m_nPosition >= GetLE16(m_buffer + 4)) {
            if (m_dwCurBlock == 0)
                ThrowCorrupt(); // the chain ended before the data did
            CheckLink(m_dwCurBlock);
            CountVisit();
            const BYTE* block = BlockBytes(m_dwCurBlock);
            const WORD length = GetLE16(block + 4);
            if (length > BLOCK_DATA)
                ThrowCorrupt();
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
    m_written.insert(m_dwCurBlock);
    DWORD oldNext = ReadNext(m_dwCurBlock);
    if (oldNext != 0 && (!IsValidBlock(oldNext) || m_written.count(oldNext)))
        oldNext = 0; // a damaged link or one back into this chain: the old chain ends here
    DWORD successor = 0;
    if (more) {
        successor = oldNext != 0 ? oldNext : AllocBlock();
    } else if (oldNext != 0) {
        FreeChain(oldNext);
    }
    PutLE16(m_buffer + 4, m_nPosition);
    PutLE32(m_buffer, successor);
    WriteAt(m_dwCurBlock, m_buffer, BLOCK_SIZE);
    m_dwCurBlock = successor;
    m_nPosition = 0;
    std::memset(m_buffer, 0, BLOCK_SIZE);
}

void CBlockFile::EndTransfer() {
    Mode mode = m_nMode;
    if (mode == modeWriting && m_nPosition != 0)
        FlushBlock(false);
    m_nMode = modeIdle;
    m_written.clear();
    if (mode == modeWriting && m_nDepth == 0 && m_bImplicit)
        Commit();
}

void CBlockFile::AbandonTransfer() noexcept {
    m_nMode = modeIdle;
    m_written.clear();
    if (m_nDepth == 0 && m_bImplicit)
        Discard();
}

void CBlockFile::TakeOver(CBlockFile& other) {
    if (IsOpen())
        Abort();
    m_journal.Abort();
    other.m_journal.Abort();
    other.MoveHandleTo(*this);
    m_nMode = other.m_nMode;
    m_header = other.m_header;
    m_committedHeader = other.m_committedHeader;
    m_nDataLength = other.m_nDataLength;
    m_nCommittedLength = other.m_nCommittedLength;
    m_pages = std::move(other.m_pages);
    m_pageChunks = std::move(other.m_pageChunks);
    m_nChunk = other.m_nChunk;
    m_nChunkUsed = other.m_nChunkUsed;
    m_nDepth = other.m_nDepth;
    m_bImplicit = other.m_bImplicit;
    SetJournaled(other.m_bJournaled);
    m_bHotJournal = other.m_bHotJournal;
    m_bRolledBack = other.m_bRolledBack;
    other.m_pages.clear();
    other.m_pageChunks.clear();
    other.m_nChunk = 0;
    other.m_nChunkUsed = 0;
    other.m_nDepth = 0;
    other.m_bImplicit = false;
    m_run.swap(other.m_run);
    m_nRunStart = other.m_nRunStart;
    other.m_run.clear();
    m_bSpilled = other.m_bSpilled;
    m_bSumInOrder = other.m_bSumInOrder;
    m_nSummedTo = other.m_nSummedTo;
    m_nGrowthSum = other.m_nGrowthSum;
    other.ResetGrowth();
    other.DropMap();
    DropMap();
    InvalidateClean();
}
