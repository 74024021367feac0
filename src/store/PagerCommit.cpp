// CPager: the end of an operation (its commit in named steps, or its rollback) and of the file.
#include "platform/FileSystem.h"
#include "store/Pager.h"

#include <algorithm>
#include <cstring>

using namespace nota;

// ---- ending an operation -------------------------------------------------------------------

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

void CPager::TakeOver(CPager& other) {
    if (IsOpen())
        Abort();
    m_journal.Abort();
    other.m_journal.Abort();
    other.m_file.MoveHandleTo(m_file);
    ++m_nChanges;
    ++m_nUndone;
    m_op = std::move(other.m_op);
    other.m_op = Operation{};
    SetJournaled(other.m_bJournaled);
    m_bRolledBack = other.m_bRolledBack;
    m_bRollbackPending = other.m_bRollbackPending;
    m_bReadOnly = other.m_bReadOnly;
    m_strStrayJournal = other.m_strStrayJournal;
    other.DropMap();
    DropMap();
    m_windows.Invalidate();
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

// ---- growth written ahead, taken back or summed -----------------------------------------------

// The checksum of the bytes from the old end to the new one, as the commit will leave them.
std::uint64_t CPager::GrowthChecksum() {
    journal::CTailSum sum(m_op.committedLength);
    if (m_op.bSumInOrder && m_op.growthSum.Position() <= m_op.length)
        sum = m_op.growthSum;
    std::uint64_t p = sum.Position();
    if (p < HEADER_SIZE && p < m_op.length) {
        const std::uint64_t end = std::min<std::uint64_t>(HEADER_SIZE, m_op.length);
        sum.Add(m_op.header.bytes + p, static_cast<std::size_t>(end - p));
        p = end;
    }
    std::vector<BYTE> buf;
    while (p < m_op.length) {
        buf.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWriteRun, m_op.length - p)));
        ReadAt(p, buf.data(), buf.size());
        sum.Add(buf.data(), buf.size());
        p += buf.size();
    }
    return sum.Value();
}

// Takes growth written ahead off the file again and retires the provisional journal. False
// when that fails: the journal stays, and the next operation or open finishes it.
bool CPager::CutSpilledGrowth() noexcept {
    DropMap();
    try {
        m_file.SetLength(m_op.committedLength);
        m_file.Flush();
        ClearJournal();
        return true;
    } catch (...) {
        return false;
    }
}

// Drops what the operation changed; with bTouchFile growth already written is cut off again
// (without, as when the file is abandoned, the provisional journal stays for the next open to
// finish that). To Idle, or to Stranded when a journal on the disk still answers for it.
void CPager::Drop(bool bTouchFile) noexcept {
    ++m_nUndone;
    bool bStranded = m_op.state == State::Stranded;
    if (m_op.state == State::Spilled && bTouchFile) {
        bStranded = !CutSpilledGrowth();
    } else if (m_op.state == State::Spilled) {
        bStranded = true; // the next open cuts the growth off
        DropMap();
    }
    ClearPages();
    m_windows.Invalidate();
    m_op.run.clear();
    m_op.header = m_op.committedHeader;
    m_op.depth = 0;
    m_op.state = bStranded ? State::Stranded : State::Idle;
    ResetGrowth();
    if (!m_bJournaled && IsOpen() && m_file.GetLength() != m_op.committedLength) {
        try {
            m_file.SetLength(m_op.committedLength);
        } catch (const CFileException&) {
        }
    }
    m_op.length = m_bJournaled ? m_op.committedLength : m_file.GetLength();
}

// ---- the commit ----------------------------------------------------------------------------

void CPager::Commit() {
    m_windows.Invalidate();
    if (!m_bJournaled) {
        CommitUnjournaled();
        return;
    }
    try {
        CommitJournaled();
    } catch (...) {
        Drop(true);
        throw;
    }
}

// What is gathered goes to the file, then the header; the file is committed once.
void CPager::CommitUnjournaled() {
    m_op.state = State::Idle;
    FlushRun();
    if (HeaderDiffers()) {
        m_file.Seek(0, CFile::begin);
        m_file.Write(m_op.header.bytes, HEADER_SIZE);
        m_op.committedHeader = m_op.header;
    }
    m_file.Flush();
    m_op.committedLength = m_op.length = m_file.GetLength();
}

// The journal first, committed; then the data file, committed; then the journal is made
// invalid. See store/Journal.h for why the last step needs no commit of its own.
void CPager::CommitJournaled() {
    SettleFreeWrites();
    const Changes changes = CollectChanges();
    if (changes.blocks.empty() && !changes.bHeader && m_op.length == m_op.committedLength) {
        ClearPages();
        m_op.run.clear();
        m_op.state = State::Idle;
        return; // nothing changed: nothing to commit
    }
    RefuseIfReadOnly();
    JournalChanges(changes);
    bool bInPlace = false;
    try {
        ApplyChanges(changes, bInPlace);
    } catch (...) {
        UndoApplied(bInPlace);
        throw;
    }
    FinishCommit();
}

// Free blocks written ahead are made durable before the journal is written: from then on
// they are part of the file the operation found (still free, linked as before), and the
// journal's original bytes are the disk's. Too few to pay for that flush go back to the
// journal.
void CPager::SettleFreeWrites() {
    if (m_op.bFreeWritten || m_op.freeWrites.size() >= kMinFreeWrites) {
        WriteFreeBlocks();
        m_file.Flush();
        return;
    }
    for (DWORD at : m_op.freeWrites)
        if (Page* page = FindPage(at))
            page->bFreeWrite = false;
    m_op.freeWrites.clear();
}

// The changed blocks in offset order; blocks rewritten with the same bytes are left out.
CPager::Changes CPager::CollectChanges() {
    std::vector<std::pair<DWORD, const Page*>> order(m_op.pages.begin(), m_op.pages.end());
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    Changes changes;
    changes.blocks.reserve(order.size());
    changes.pages.reserve(order.size());
    BYTE original[BLOCK_SIZE];
    for (const auto& [at, pagePointer] : order) {
        const Page& page = *pagePointer;
        bool grows = std::uint64_t{at} + BLOCK_SIZE > m_op.committedLength;
        if (page.nOriginal > 0) {
            if (!page.bDiffers) {
                ReadDisk(at, original, page.nOriginal);
                if (!grows && std::memcmp(original, page.now.data(), BLOCK_SIZE) == 0)
                    continue;
            }
            ++changes.inPlace;
        }
        changes.blocks.push_back(at);
        changes.pages.push_back(&page);
    }
    changes.bHeader = HeaderDiffers();
    return changes;
}

// How many of the changed blocks from blocks[first] on (one that existed before) follow one
// another in the file and existed before, up to a run's worth.
std::size_t CPager::RunOfOriginals(const Changes& changes, std::size_t first) {
    const auto& blocks = changes.blocks;
    std::size_t n = 1;
    while (first + n < blocks.size() && n * BLOCK_SIZE < kWriteRun &&
           blocks[first + n] == blocks[first + n - 1] + BLOCK_SIZE &&
           changes.pages[first + n]->nOriginal > 0)
        ++n;
    return n;
}

// The journal: the header, then every block that changes in place, its bytes from the disk,
// which the commit has not touched yet. It replaces a provisional journal whole.
void CPager::JournalChanges(const Changes& changes) {
    journal::Record head;
    head.originalLength = m_op.committedLength;
    head.newLength = m_op.length;
    head.tailChecksum = GrowthChecksum();
    // The old bytes are read in runs of consecutive blocks, one read per run.
    std::vector<BYTE> originals;
    WriteJournal(
        [&](journal::CWriter::Sink sink) {
            journal::CWriter jw(head, changes.inPlace + 1, std::move(sink));
            jw.AddRegionOf(0, m_op.committedHeader.bytes, m_op.header.bytes, HEADER_SIZE);
            const auto& blocks = changes.blocks;
            for (std::size_t i = 0; i < blocks.size();) {
                if (changes.pages[i]->nOriginal == 0) {
                    ++i;
                    continue;
                }
                std::size_t n = RunOfOriginals(changes, i);
                originals.resize(n * BLOCK_SIZE);
                ReadDisk(blocks[i], originals.data(), originals.size());
                for (std::size_t k = 0; k < n; ++k) {
                    const Page& page = *changes.pages[i + k];
                    jw.AddRegionOf(blocks[i + k], originals.data() + k * BLOCK_SIZE,
                                   page.now.data(), page.nOriginal);
                }
                i += n;
            }
            jw.Finish();
        },
        m_op.state == State::Spilled);
    m_windows.Invalidate();
}

// Writes the changes and commits the data file. The growth first: a full disk shows there,
// before any byte in place has changed, and undoing it is a truncation, which needs no space.
// bInPlace turns true once a byte that existed before may have changed.
void CPager::ApplyChanges(const Changes& changes, bool& bInPlace) {
    std::vector<BYTE> run;
    std::uint64_t runStart = 0;
    auto writeRun = [&] {
        if (run.empty())
            return;
        bInPlace = bInPlace || runStart < m_op.committedLength;
        m_file.Seek(static_cast<std::int64_t>(runStart), CFile::begin);
        m_file.Write(run.data(), static_cast<UINT>(run.size()));
        m_file.StartWriteBack(runStart, run.size()); // the commit's flush then waits for less
        run.clear();
    };
    if (!m_op.run.empty() && m_op.runStart < m_op.length) {
        m_file.Seek(static_cast<std::int64_t>(m_op.runStart), CFile::begin);
        m_file.Write(m_op.run.data(), static_cast<UINT>(std::min<std::uint64_t>(
                                          m_op.run.size(), m_op.length - m_op.runStart)));
    }
    run.reserve(kWriteRun + BLOCK_SIZE);
    for (bool bGrowth : {true, false}) {
        for (std::size_t i = 0; i < changes.blocks.size(); ++i) {
            const DWORD at = changes.blocks[i];
            if ((at >= m_op.committedLength) != bGrowth)
                continue;
            if (!run.empty() && (runStart + run.size() != at || run.size() >= kWriteRun))
                writeRun();
            if (run.empty())
                runStart = at;
            const Page& page = *changes.pages[i];
            std::uint64_t keep = std::min<std::uint64_t>(BLOCK_SIZE, m_op.length - at);
            run.insert(run.end(), page.now.begin(), page.now.begin() + keep);
        }
        writeRun();
    }
    if (changes.bHeader) {
        bInPlace = true;
        m_file.Seek(0, CFile::begin);
        m_file.Write(m_op.header.bytes, HEADER_SIZE);
    }
    if (m_file.GetLength() != m_op.length)
        m_file.SetLength(m_op.length);
    m_file.Flush();
}

// The journal is on the disk: the original bytes go back at once. When even that fails, the
// journal stays (Stranded) and the next operation or open finishes the rollback. The
// provisional journal was replaced: it no longer answers for the growth.
void CPager::UndoApplied(bool bInPlace) noexcept {
    bool bUndone = true;
    try {
        if (bInPlace) {
            journal::Record record;
            if (!journal::ReadJournal(m_journal.GetFilePath(), record))
                throw CFileException(CFileException::invalidFile, m_journal.GetFilePath());
            journal::RollBack(m_file, record);
        } else {
            m_file.SetLength(m_op.committedLength);
            m_file.Flush();
        }
    } catch (...) {
        bUndone = false;
    }
    m_op.state = bUndone ? State::Open : State::Stranded;
    if (bUndone)
        DropJournal();
}

void CPager::FinishCommit() {
    try {
        ClearJournal();
    } catch (const CFileException&) {
    }
    ClearPages();
    m_op.run.clear();
    m_op.committedHeader = m_op.header;
    m_op.committedLength = m_op.length;
    m_op.state = State::Idle;
    ResetGrowth();
    if (m_onCommitted)
        m_onCommitted();
}
