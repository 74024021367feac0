// CPager: opening, the header, the operation's state, and writing (gathered runs, growth
// written ahead under the provisional journal).
#include "store/Pager.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <stdexcept>

using namespace nota;

namespace {
// A provisional journal's new length: no file has it, so recovery always cuts the file back.
constexpr std::uint64_t kNoLength = ~std::uint64_t{0};

} // namespace

CPager::CPager() = default;

CPager::~CPager() = default;

// ---- opening ------------------------------------------------------------------------------

void CPager::Open(const std::string& path, UINT flags) {
    if (IsOpen())
        throw std::logic_error("CPager: open already");
    m_file.Open(path, flags);
    OnOpened(flags); // a recovery that fails leaves the file open, unread
}

void CPager::OnOpened(UINT flags) {
    ++m_nChanges;
    ++m_nUndone;
    m_op = Operation{};
    ClearPages();
    SetJournaled(true);
    m_bRolledBack = false;
    m_bRollbackPending = false;
    m_bReadOnly = (flags & 0x3) == CFile::modeRead;
    m_strStrayJournal.clear();
    m_journal.Abort();
    DropMap();
    m_op.length = m_op.committedLength = m_file.GetLength();
    ResetGrowth();
    // Whoever holds a data file exclusively for writing first finishes what a stopped
    // process left: an operation cut short is rolled back before anything reads the file.
    if ((flags & 0x70) == CFile::shareExclusive && (flags & 0x3) == CFile::modeReadWrite)
        m_bRolledBack = RecoverJournal();
    else if ((flags & 0x70) == CFile::shareDenyWrite)
        // A reader that keeps writers out may read only a whole state: it looks whether a
        // stopped writer left a change that must be rolled back first.
        m_bRollbackPending =
            journal::Inspect(m_file, journal::PathFor(Path())) == journal::Outcome::Pending;
}

void CPager::DropMap() noexcept {
    m_map.Unmap();
    m_bNoMap = false;
}

void CPager::SetJournaled(bool bJournaled) {
    m_bJournaled = bJournaled;
    m_windows.SetCapacity(bJournaled ? CReadWindows::kWindows : 2);
}

void CPager::SetSinglePass(bool bOn) {
    m_windows.SetCapacity(bOn || !m_bJournaled ? 2 : CReadWindows::kWindows);
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
    RefuseIfReadOnly();
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
    ++m_nChanges;
    m_op.state = State::Open;
    m_op.freeCursor = m_op.committedHeader.FreeList();
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

void CPager::RefuseIfReadOnly() const {
    if (m_bReadOnly)
        throw CFileException(CFileException::accessDenied, Path(), EBADF);
}

void CPager::SetLength(std::uint64_t length) {
    RefuseIfReadOnly();
    Touch();
    if (length < m_op.length)
        ++m_nUndone;
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

// ---- writing -------------------------------------------------------------------------------

void CPager::WriteAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    RefuseIfReadOnly();
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
        Page& target = PageAt(page);
        std::memcpy(target.now.data() + (offset - page), in, static_cast<std::size_t>(to - offset));
        target.bDiffers = false;   // the commit compares again
        target.bFreeWrite = false; // and journals it
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

void CPager::WriteBlock(DWORD offset, const BYTE* bytes) {
    const bool bInPlace = m_bJournaled && offset >= HEADER_SIZE &&
                          std::uint64_t{offset} + BLOCK_SIZE <= m_op.committedLength;
    if (!bInPlace) {
        WriteAt(offset, bytes, BLOCK_SIZE);
        return;
    }
    RefuseIfReadOnly();
    Touch();
    if (Page* page = FindPage(offset)) {
        if (page->bWasFree) {
            std::memcpy(page->now.data(), bytes, BLOCK_SIZE);
            page->bDiffers = false;
            page->bFreeWrite = false;
            if (GetLE32(bytes) == page->origNext)
                QueueFreeWrite(offset, *page);
            return;
        }
        if (std::memcmp(page->now.data(), bytes, BLOCK_SIZE) != 0)
            WriteAt(offset, bytes, BLOCK_SIZE);
        return;
    }
    // No page: the operation sees the disk's bytes, which are the block's original ones.
    BYTE scratch[BLOCK_SIZE];
    if (std::memcmp(BlockBytes(offset, scratch), bytes, BLOCK_SIZE) == 0)
        return;
    Page& page = NewPage();
    std::memcpy(page.now.data(), bytes, BLOCK_SIZE);
    page.nOriginal = BLOCK_SIZE;
    page.bDiffers = true;
    page.bWasFree = page.bFreeWrite = false;
    m_op.pages.emplace(offset, &page);
}

void CPager::ClaimFreeBlock(DWORD offset, DWORD next) {
    static const BYTE empty[BLOCK_SIZE] = {};
    RefuseIfReadOnly();
    Touch();
    // Only a block of the disk's free list, taken in its order and for the first time: a
    // damaged list that loops, or a block the operation changed already, ends the tracking.
    const bool bWasFree = m_bJournaled && offset == m_op.freeCursor && IsBlockAligned(offset) &&
                          std::uint64_t{offset} + BLOCK_SIZE <= m_op.committedLength &&
                          !m_op.claimed.Contains(offset) && !FindPage(offset);
    if (offset == m_op.freeCursor)
        m_op.freeCursor = bWasFree ? next : 0;
    if (!bWasFree) {
        WriteAt(offset, empty, BLOCK_SIZE);
        return;
    }
    m_op.claimed.Insert(offset);
    Page& page = NewPage();
    page.now.fill(0);
    page.nOriginal = BLOCK_SIZE;
    page.bDiffers = false;
    page.bWasFree = true;
    page.bFreeWrite = false;
    page.origNext = next;
    m_op.pages.emplace(offset, &page);
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
    // Over what the run holds from `at` (at most its end), then appended: no byte is cleared
    // first only to be overwritten.
    const std::size_t at = static_cast<std::size_t>(offset - m_op.runStart);
    const std::size_t over = std::min(count, run.size() - at);
    std::memcpy(run.data() + at, in, over);
    run.insert(run.end(), in + over, in + count);
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
    if (m_bJournaled)
        m_file.StartWriteBack(offset, count); // the commit's flush then waits for less
    else
        m_op.committedLength = m_file.GetLength();
}

// ---- growth written ahead of the commit (journaled files) ------------------------------------

// The first block wholly past the file's old end: growth starts there (a partial block at
// the old end changes in place, as a page).
std::uint64_t CPager::GrowthStart() const {
    if (m_op.committedLength <= HEADER_SIZE)
        return HEADER_SIZE;
    return journal::PieceEnd(m_op.committedLength - 1);
}

void CPager::ResetGrowth() noexcept {
    m_op.growthSum = journal::CTailSum(m_op.committedLength);
    m_op.bSumInOrder = true;
}

// The provisional journal: the header as it is and the old length, with a new length no file
// has, so that whoever finds it cuts the file back to where it was. Beside the header it
// keeps, unchanged, the first block of the tree and the last whole block before the old end:
// none of them reaches the disk before the full journal replaces this one, so a file at the
// path that differs in any of them is not the file this journal was written for. Open to
// Spilled.
void CPager::BeginSpill() {
    journal::Record head;
    head.originalLength = m_op.committedLength;
    head.newLength = kNoLength;
    const std::uint64_t end =
        m_op.committedLength < HEADER_SIZE
            ? 0
            : m_op.committedLength - (m_op.committedLength - HEADER_SIZE) % BLOCK_SIZE;
    std::vector<DWORD> anchors;
    const DWORD tree = m_op.committedHeader.TreeData();
    if (IsBlockAligned(tree) && tree + BLOCK_SIZE <= end)
        anchors.push_back(tree);
    if (end >= HEADER_SIZE + BLOCK_SIZE && end - BLOCK_SIZE != tree)
        anchors.push_back(static_cast<DWORD>(end - BLOCK_SIZE));
    BYTE original[BLOCK_SIZE];
    WriteJournal([&](journal::CWriter::Sink sink) {
        journal::CWriter jw(head, static_cast<DWORD>(1 + anchors.size()), std::move(sink));
        jw.AddRegion(0, m_op.committedHeader.bytes, HEADER_SIZE, 0);
        for (DWORD at : anchors) {
            ReadDisk(at, original, BLOCK_SIZE);
            jw.AddRegion(at, original, BLOCK_SIZE, 0);
        }
        jw.Finish();
    });
    m_op.state = State::Spilled;
}

// Continues the growth's checksum over bytes written in order; a write anywhere else leaves
// it to the commit to read the growth back.
void CPager::SumGrowth(std::uint64_t offset, const BYTE* in, std::size_t count) {
    if (!m_op.bSumInOrder || offset != m_op.growthSum.Position()) {
        m_op.bSumInOrder = false;
        return;
    }
    m_op.growthSum.Add(in, count);
}

// ---- free blocks written ahead of the commit (journaled files) -------------------------------

// A block that was free as the operation began now holds bytes that keep its link: it waits
// to be written ahead with others, 1 MiB at a time.
void CPager::QueueFreeWrite(DWORD offset, Page& page) {
    page.bFreeWrite = true;
    m_op.freeWrites.push_back(offset);
    if (m_op.freeWrites.size() >= kWriteRun / BLOCK_SIZE)
        WriteFreeBlocks();
}

// The waiting free blocks go to the file in runs of consecutive blocks; their pages are given
// back, so that reads see the disk's (and the windows') bytes from now on.
void CPager::WriteFreeBlocks() {
    auto& queue = m_op.freeWrites;
    std::sort(queue.begin(), queue.end());
    queue.erase(std::unique(queue.begin(), queue.end()), queue.end());
    auto& run = m_freeRun;
    std::uint64_t runStart = 0;
    auto writeRun = [&] {
        if (run.empty())
            return;
        m_op.bFreeWritten = true;
        m_windows.Update(runStart, run.data(), run.size());
        m_file.Seek(static_cast<std::int64_t>(runStart), CFile::begin);
        m_file.Write(run.data(), static_cast<UINT>(run.size()));
        m_file.StartWriteBack(runStart, run.size());
        run.clear();
    };
    run.reserve(kWriteRun);
    for (DWORD at : queue) {
        Page* page = FindPage(at);
        if (!page || !page->bFreeWrite)
            continue; // written since with another link: journaled
        if (!run.empty() && runStart + run.size() != at)
            writeRun();
        if (run.empty())
            runStart = at;
        run.insert(run.end(), page->now.begin(), page->now.end());
        m_op.pages.erase(at);
        m_op.spare.push_back(page);
    }
    queue.clear();
    writeRun();
}
