#include "store/Pager.h"

#include "platform/FileSystem.h"
#include "platform/LargeBuffer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <stdexcept>

using namespace nota;

namespace {
constexpr std::size_t kWriteRun = 1 << 20; // bytes gathered before they go to the file

DWORD PageOf(std::uint64_t offset) {
    return static_cast<DWORD>(HEADER_SIZE + (offset - HEADER_SIZE) / BLOCK_SIZE * BLOCK_SIZE);
}

// The first chunk of pages is small and stays for the next operation; a large operation (a
// paste of 100 MB changes 200,000 blocks) goes on in chunks of 4 MB, which ask for huge pages
// before they are touched, since a page fault per 4 KiB would cost more than the copying.
std::size_t ChunkPages(std::size_t chunk) {
    return chunk == 0 ? 256 : 8192;
}
} // namespace

CPager::CPager() = default;

CPager::~CPager() = default;

// ---- opening, closing, recovery ------------------------------------------------------------

void CPager::Open(const std::string& path, UINT flags) {
    if (IsOpen())
        Close();
    m_file.Open(path, flags);
    OnOpened(flags); // a recovery that fails leaves the file open, unread
}

bool CPager::Open(const std::string& path, UINT flags, CFileException* error) {
    try {
        Open(path, flags);
        return true;
    } catch (const CFileException& e) {
        if (error)
            *error = e;
        return false;
    }
}

void CPager::OnOpened(UINT flags) {
    m_op = Operation{};
    ClearPages();
    SetJournaled(true);
    m_bRolledBack = false;
    m_journal.Abort();
    DropMap();
    m_op.length = m_op.committedLength = m_file.GetLength();
    ResetGrowth();
    // Whoever holds a data file exclusively for writing first finishes what a stopped
    // process left: an operation cut short is rolled back before anything reads the file.
    if ((flags & 0x70) == CFile::shareExclusive && (flags & 0x3) == CFile::modeReadWrite)
        m_bRolledBack = RecoverJournal();
}

bool CPager::RecoverJournal() {
    m_journal.Abort();
    m_windows.Invalidate();
    const std::string path = journal::PathFor(Path());
    // A replacement journal that was not renamed into place never counted.
    if (fs_util::FileExists(path + ".new"))
        fs_util::DeleteFile(path + ".new");
    auto outcome = journal::Recover(m_file, path);
    if (m_op.state == State::Stranded)
        m_op.state = State::Idle;
    m_op.length = m_op.committedLength = m_file.GetLength();
    if (outcome == journal::Outcome::RolledBack && m_file.GetLength() >= HEADER_SIZE) {
        m_file.Seek(0, CFile::begin);
        if (m_file.Read(m_op.header.bytes, HEADER_SIZE) == HEADER_SIZE)
            m_op.committedHeader = m_op.header;
    }
    return outcome == journal::Outcome::RolledBack;
}

void CPager::Close() {
    if (!IsOpen())
        return;
    if (m_op.depth > 0) {
        m_op.depth = 1;
        RollbackOperation();
    }
    if (IsImplicit() || (!m_bJournaled && HeaderDiffers()))
        Commit();
    DropJournal();
    DropMap();
    m_file.Close();
}

void CPager::Abort() noexcept {
    Drop(false);
    DropMap();
    DropJournal();
    m_file.Abort();
}

void CPager::DropJournal() noexcept {
    if (!m_journal.IsOpen())
        return;
    std::string path = m_journal.GetFilePath();
    m_journal.Abort();
    if (m_op.state != State::Stranded)
        fs_util::DeleteFile(path);
}

void CPager::DropMap() noexcept {
    m_map.Unmap();
    m_bNoMap = false;
}

void CPager::SetJournaled(bool bJournaled) {
    m_bJournaled = bJournaled;
    m_windows.SetCapacity(bJournaled ? CReadWindows::kWindows : 2);
}

void CPager::ThrowCorrupt() const {
    throw CFileException(CFileException::endOfFile, Path());
}

void CPager::TakeOver(CPager& other) {
    if (IsOpen())
        Abort();
    m_journal.Abort();
    other.m_journal.Abort();
    other.m_file.MoveHandleTo(m_file);
    m_op = std::move(other.m_op);
    other.m_op = Operation{};
    SetJournaled(other.m_bJournaled);
    m_bRolledBack = other.m_bRolledBack;
    other.DropMap();
    DropMap();
    m_windows.Invalidate();
}

// ---- header --------------------------------------------------------------------------------

bool CPager::HeaderDiffers() const {
    return std::memcmp(m_op.header.bytes, m_op.committedHeader.bytes, HEADER_SIZE) != 0;
}

bool CPager::ReadHeader() {
    m_op.length = m_op.committedLength = m_file.GetLength();
    if (m_file.GetLength() < HEADER_SIZE)
        return false;
    m_file.Seek(0, CFile::begin);
    if (m_file.Read(m_op.header.bytes, HEADER_SIZE) != HEADER_SIZE)
        return false;
    m_op.committedHeader = m_op.header;
    return true;
}

void CPager::WriteHeader() {
    Touch();
    if (m_bJournaled)
        return; // the commit writes it
    m_windows.Invalidate();
    m_file.Seek(0, CFile::begin);
    m_file.Write(m_op.header.bytes, HEADER_SIZE);
    m_op.committedHeader = m_op.header;
    if (m_op.length < HEADER_SIZE)
        m_op.length = HEADER_SIZE;
}

// ---- the operation's state -----------------------------------------------------------------

// Idle or Stranded to Open: a journal a failed undo left is dealt with first.
void CPager::Start() {
    if (m_op.state == State::Stranded)
        RecoverJournal();
    m_op.state = State::Open;
    ResetGrowth();
}

void CPager::Touch() {
    if (!InOperation())
        Start();
    CheckInvariants();
}

void CPager::Begin() {
    if (!InOperation())
        Start();
    ++m_op.depth;
    CheckInvariants();
}

void CPager::CommitOperation() {
    if (m_op.depth == 0)
        return;
    if (--m_op.depth > 0)
        return;
    Commit();
}

void CPager::RollbackOperation() noexcept {
    if (m_op.depth > 1) {
        --m_op.depth;
        return;
    }
    m_op.depth = 0;
    Discard();
}

void CPager::Discard() noexcept {
    Drop(true);
}

void CPager::SetLength(std::uint64_t length) {
    Touch();
    if (!m_bJournaled && length < m_op.length) {
        FlushRun();
        m_file.SetLength(length);
        m_op.committedLength = length;
    }
    m_op.length = length; // a journaled file gets it at the commit
}

void CPager::CheckInvariants() const {
#ifndef NDEBUG
    const Operation& op = m_op;
    assert(op.depth >= 0);
    assert(op.depth == 0 || op.state == State::Open || op.state == State::Spilled);
    assert(op.state != State::Spilled || m_bJournaled);
    if (op.state == State::Idle || op.state == State::Stranded) {
        assert(op.pages.empty() && op.run.empty());
        assert(!m_bJournaled || op.length == op.committedLength);
    }
    if (!op.run.empty())
        assert(op.runStart + op.run.size() <= std::max(op.length, op.committedLength));
#endif
}

// ---- pages ---------------------------------------------------------------------------------

CPager::Page& CPager::PageAt(DWORD offset) {
    auto it = m_op.pages.find(offset);
    if (it != m_op.pages.end())
        return *it->second;
    Page& page = NewPage();
    m_op.pages.emplace(offset, &page);
    page.nOriginal = 0;
    if (offset < m_op.committedLength) {
        auto n = std::min<std::uint64_t>(BLOCK_SIZE, m_op.committedLength - offset);
        ReadDisk(offset, page.now.data(), BLOCK_SIZE);
        page.nOriginal = static_cast<WORD>(n);
    } else {
        page.now.fill(0);
    }
    return page;
}

const CPager::Page* CPager::FindPage(DWORD offset) const {
    auto it = m_op.pages.find(offset);
    return it == m_op.pages.end() ? nullptr : it->second;
}

CPager::Page& CPager::NewPage() {
    auto& op = m_op;
    if (op.chunk < op.chunks.size() && op.chunkUsed == ChunkPages(op.chunk)) {
        ++op.chunk;
        op.chunkUsed = 0;
    }
    if (op.chunk == op.chunks.size()) {
        const std::size_t n = ChunkPages(op.chunk);
        auto chunk = std::make_unique_for_overwrite<Page[]>(n);
        membuf::AdviseLargeBuffer(chunk.get(), n * sizeof(Page));
        op.chunks.push_back(std::move(chunk));
    }
    return op.chunks[op.chunk][op.chunkUsed++];
}

void CPager::ClearPages() noexcept {
    m_op.pages.clear();
    m_op.chunk = 0;
    m_op.chunkUsed = 0;
    if (m_op.chunks.size() > 1)
        m_op.chunks.resize(1); // a large operation's memory goes back
}

// ---- reading -------------------------------------------------------------------------------

// Reads the disk's bytes (zeros past its end), then what is still gathered in memory. Small
// reads (blocks, links) go through the windows, or the view when the windows decline; larger
// ones straight to the file.
void CPager::ReadDisk(std::uint64_t offset, BYTE* out, std::size_t count) {
    const std::uint64_t onDisk = m_file.GetLength();
    std::size_t have = 0;
    if (offset < onDisk)
        have = static_cast<std::size_t>(std::min<std::uint64_t>(count, onDisk - offset));
    if (have > 0 && count <= BLOCK_SIZE && offset >= HEADER_SIZE) {
        if (!m_windows.Read(m_file, offset, out, have, !m_bNoMap) && !ReadMapped(offset, out, have))
            m_windows.Read(m_file, offset, out, have, false);
    } else if (have > 0) {
        m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
        have = m_file.Read(out, static_cast<UINT>(have));
    }
    std::memset(out + have, 0, count - have);
    if (!m_op.run.empty())
        OverlayRun(offset, out, count);
}

// Copies from the view, mapping the file (again, when it grew) as needed. False when there is
// no view to read from; throws when the file shrank under it.
bool CPager::ReadMapped(std::uint64_t offset, BYTE* out, std::size_t count) {
    if (offset + count > m_map.Length()) {
        if (m_bNoMap)
            return false;
        if (!m_map.Map(m_file.Handle(), m_file.GetLength())) {
            m_bNoMap = true;
            return false;
        }
    }
    if (!m_map.Copy(offset, out, count))
        ThrowCorrupt(); // the file is shorter than it was: another program cut it
    return true;
}

void CPager::OverlayRun(std::uint64_t offset, BYTE* out, std::size_t count) const {
    const auto& run = m_op.run;
    const std::uint64_t from = std::max(offset, m_op.runStart);
    const std::uint64_t to = std::min<std::uint64_t>(offset + count, m_op.runStart + run.size());
    if (from < to)
        std::memcpy(out + (from - offset), run.data() + (from - m_op.runStart),
                    static_cast<std::size_t>(to - from));
}

bool CPager::InRun(std::uint64_t offset, std::size_t count) const {
    return !m_op.run.empty() && offset < m_op.runStart + m_op.run.size() &&
           offset + count > m_op.runStart;
}

void CPager::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    auto* out = static_cast<BYTE*>(buffer);
    ReadDisk(offset, out, count);
    if (m_op.pages.empty() || offset + count <= HEADER_SIZE)
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

const BYTE* CPager::BlockBytes(DWORD offset, BYTE* scratch) {
    if (const Page* page = FindPage(offset))
        return page->now.data();
    if (!InRun(offset, BLOCK_SIZE) && std::uint64_t{offset} + BLOCK_SIZE <= m_file.GetLength())
        if (const BYTE* p = m_windows.Peek(m_file, offset, BLOCK_SIZE, !m_bNoMap))
            return p;
    ReadDisk(offset, scratch, BLOCK_SIZE);
    return scratch;
}

void CPager::ReadSmall(std::uint64_t offset, BYTE* out, std::size_t count) {
    const bool bChanged = FindPage(PageOf(offset)) != nullptr ||
                          (!m_op.run.empty() && offset + BLOCK_SIZE > m_op.runStart);
    if (bChanged || offset + BLOCK_SIZE > m_file.GetLength()) {
        ReadAt(offset, out, count);
        return;
    }
    m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    if (m_file.Read(out, static_cast<UINT>(count)) != count)
        ThrowCorrupt(); // the file is shorter than it was: another program cut it
}

// ---- writing -------------------------------------------------------------------------------

void CPager::WriteAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    Touch();
    const auto* in = static_cast<const BYTE*>(buffer);
    if (!m_bJournaled) {
        Gather(offset, in, count);
        return;
    }
    if (offset < HEADER_SIZE)
        throw std::logic_error("CPager: the header is written through Header()");
    const std::uint64_t end = offset + count;
    // Blocks that existed before the operation change as pages; growth is gathered.
    const std::uint64_t growth =
        m_op.committedLength < HEADER_SIZE ? end : std::clamp(GrowthStart(), offset, end);
    while (offset < growth) {
        DWORD page = PageOf(offset);
        std::uint64_t to = std::min<std::uint64_t>(growth, std::uint64_t{page} + BLOCK_SIZE);
        std::memcpy(PageAt(page).now.data() + (offset - page), in,
                    static_cast<std::size_t>(to - offset));
        in += to - offset;
        offset = to;
    }
    // Growth already written ahead and summed changes again: the commit sums it afresh.
    if (growth < end && growth < m_op.growthSum.Position())
        m_op.bSumInOrder = false;
    if (growth < end)
        Gather(growth, in, static_cast<std::size_t>(end - growth));
    m_op.length = std::max(m_op.length, end);
}

// Gathers a write that continues (or overlaps) the run in memory; anything else goes to the
// file first. A run that reached 1 MiB is written but for its last blocks, which a chain
// being written comes back to (its current block is written after the next is allocated).
void CPager::Gather(std::uint64_t offset, const BYTE* in, std::size_t count) {
    auto& run = m_op.run;
    bool joins = !run.empty() && offset >= m_op.runStart && offset <= m_op.runStart + run.size();
    // A large write that would carry the run past its size goes by itself: the run stays
    // within about 1 MiB of memory.
    if (joins && count >= kWriteRun / 2 && offset + count - m_op.runStart > kWriteRun) {
        FlushRun();
        joins = false;
    }
    if (!joins) {
        FlushRun();
        if (count >= kWriteRun / 2) {
            PassToFile(offset, in, count);
            m_op.length = std::max<std::uint64_t>(m_op.length, offset + count);
            return;
        }
        m_op.runStart = offset;
        run.reserve(kWriteRun + 4 * BLOCK_SIZE);
    }
    const std::size_t at = static_cast<std::size_t>(offset - m_op.runStart);
    if (at + count > run.size())
        run.resize(at + count);
    std::memcpy(run.data() + at, in, count);
    m_op.length = std::max<std::uint64_t>(m_op.length, offset + count);
    if (run.size() >= kWriteRun)
        FlushRun(2 * BLOCK_SIZE);
}

void CPager::FlushRun() {
    FlushRun(0);
}

// Passes the gathered run but its last `keep` bytes to the file (one write).
void CPager::FlushRun(std::size_t keep) {
    auto& run = m_op.run;
    if (run.size() <= keep)
        return;
    const std::size_t n = run.size() - keep;
    try {
        PassToFile(m_op.runStart, run.data(), n);
    } catch (...) {
        run.clear(); // the operation fails as a whole: its bytes are dropped
        throw;
    }
    std::memmove(run.data(), run.data() + n, keep);
    run.resize(keep);
    m_op.runStart += n;
}

// One write of gathered bytes; the windows of the disk's bytes keep up. In a journaled file
// these are growth written ahead of the commit: the provisional journal goes first.
void CPager::PassToFile(std::uint64_t offset, const BYTE* in, std::size_t count) {
    if (m_bJournaled) {
        if (m_op.state != State::Spilled)
            BeginSpill();
        SumGrowth(offset, in, count);
    }
    m_windows.Update(offset, in, count);
    m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
    m_file.Write(in, static_cast<UINT>(count));
    if (!m_bJournaled)
        m_op.committedLength = m_file.GetLength();
}
