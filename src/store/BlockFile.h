#pragma once
// The one class that touches a data file's bytes: streams bytes into and out of block
// chains, allocates and frees blocks, and keeps the header on disk in step with its copy.
//
// Operations. Every change happens inside an operation (CStoreOperation, or implicitly from
// the first change to the end of the write transfer that follows), and an operation reaches
// the file whole or not at all:
//   - journaled files (the default, for a data file in use): the operation's blocks, header
//     and length stay in memory until the operation commits; then the rollback journal
//     (store/Journal.h) is written and committed, the data file is written and committed,
//     and the journal is invalidated. A failure anywhere leaves the file as it was before
//     the operation (also on the disk), and the in-memory copy (header, length) with it.
//     Growth past the file's old end is the exception to "in memory": it is gathered in
//     runs, and once more than 1 MiB of it is waiting, written to the file ahead of the
//     commit, under a provisional journal that says to cut the file back to its old length
//     (written and committed before the first such write). So a paste or an import of
//     gigabytes holds about 1 MiB, and its commit writes little more than its journal. The
//     commit then replaces the provisional journal by the full one through a rename, so
//     that one of the two is always whole on the disk.
//   - unjournaled files (a file being built afresh beside its target, which nobody reads
//     before it is complete): writes go straight to the file; the header is written and the
//     file committed when the operation commits.
// A freed chain therefore never reaches the disk before the tree that drops its reference:
// both belong to the same commit.
//
// Reading. Blocks come from the operation's own pages first, then from windows of 64 KiB of
// the file kept in memory (store/ReadWindows.h: one positional read per window), so that a
// walk along consecutive or interleaved chains reads each window once. A walk that jumps
// all over a large file reads its blocks from a read-only view of the file in memory instead
// (platform/FileMap.h): no system call per block on any layout. A file that shrinks under
// the store (another program truncating it) ends the read with a CFileException (end of
// file), never with a signal.
//
// Writing an unjournaled file gathers consecutive writes in memory and writes them in runs
// of up to 1 MiB, so that a file built afresh grows in few large steps; the file's length
// grows with those writes (no set-length call per block). Reads see what is gathered.
//
// Damaged files are met safely: a chain link that is not a block of the file, a block
// length over 506, or a chain longer than the file has blocks (a loop) ends the transfer
// with a CFileException (end of file) instead of reading or writing outside the file. A
// rewrite whose old chain links back into itself ends the old chain there. Growth stays on
// the block grid: a partial block at the end of the file is overwritten, never named.

#include "platform/File.h"
#include "platform/FileMap.h"
#include "store/DataFormat.h"
#include "store/Journal.h"
#include "store/ReadWindows.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CBlockFile : public CFile {
public:
    enum Mode { modeIdle = 0, modeReading = 1, modeWriting = 2 };

    CBlockFile();
    CBlockFile(const std::string& path, UINT flags);
    ~CBlockFile() override;

    // Commits a pending implicit operation, then closes. An explicit operation still open
    // is rolled back first. Removes an idle journal.
    void Close() override;
    // Closes without writing or reporting anything: what the operation in progress changed
    // is dropped.
    void Abort() noexcept;

    // The header copy; callers set dwTreeData and dwFreeList through it.
    nota::FileHeader m_header;
    DWORD GetTreeData() const { return m_header.TreeData(); }
    DWORD GetFreeList() const { return m_header.FreeList(); }
    void SetTreeData(DWORD offset);

    // Reads the header; true when the file has one with the signature. Starts the file's
    // bookkeeping (its length, its header) afresh.
    bool CheckSignature();
    // Writes the header copy: at once in an unjournaled file, with the operation's commit in
    // a journaled one.
    void WriteHeader();

    // Journaling is on for every file opened; a file built afresh turns it off before its
    // first write. Such a file is written front to back and read back little (links of a
    // chain it rewrites): two windows do for its reads.
    void SetJournaled(bool bJournaled) {
        m_bJournaled = bJournaled;
        m_windows.SetCapacity(bJournaled ? CReadWindows::kWindows : 2);
    }
    bool IsJournaled() const { return m_bJournaled; }

    // Rolls back or discards a journal left by a process that stopped in the middle of an
    // operation (see store/Journal.h). Call after opening with the exclusive lock and before
    // reading. True when the file was rolled back. Throws CFileException when it cannot be.
    bool RecoverJournal();

    // Operations nest; only the outermost commits or rolls back. Commit throws
    // CFileException (the operation is then rolled back: the file, the header copy and the
    // length are as before it).
    void BeginOperation();
    void CommitOperation();
    void RollbackOperation() noexcept;
    bool InOperation() const { return m_nDepth > 0 || m_bImplicit; }
    // Called after every commit that changed the file (the document checks there that the
    // file still has its name). Must not throw.
    std::function<void()> m_onCommitted;

    // The file's length as the operation in progress sees it.
    std::uint64_t GetLength() const { return m_nDataLength; }

    DWORD AllocBlock();
    void FreeChain(DWORD first);
    DWORD BeginNewChain();
    void BeginWrite(DWORD first);
    void BeginRead(DWORD first);
    void ReadData(void* buffer, std::size_t count);
    void WriteData(const void* buffer, std::size_t count);
    // Ends the transfer; a write transfer outside an explicit operation commits.
    void EndTransfer();
    // Ends a transfer that an exception interrupted, without writing anything; an implicit
    // operation it belonged to is rolled back.
    void AbandonTransfer() noexcept;

    void TakeOver(CBlockFile& other);

    Mode GetMode() const { return m_nMode; }
    // True when the header copy differs from the header on the disk.
    bool IsHeaderDirty() const { return HeaderDiffers(); }
    // True when the last open rolled back an operation that a stopped process left unfinished.
    bool WasRolledBack() const { return m_bRolledBack; }

    // Number of whole blocks in the file.
    DWORD GetBlockCount() const;
    // True when offset names a whole block of the file.
    bool IsValidBlock(DWORD offset) const;
    // Bytes a chain can hold at most in this file (a bound for length fields).
    std::uint64_t MaxChainBytes() const;

    // Drops a partial block at the end of the file (it is not content), so that what is
    // appended next starts on the block grid.
    void DropPartialBlock();

    // The first `count` (at most 506) data bytes of the chain starting at `first`, when its
    // first block holds them: one small positional read, without loading a window, for a
    // walk that wants a few bytes of many chains (their text lengths). False when the block
    // holds fewer; throws CFileException when `first` is not a block of the file.
    bool PeekChainStart(DWORD first, void* out, std::size_t count);

    // Positional access to the file's bytes as the operation sees them (for appenders that
    // lay out whole chains themselves, such as CChainWriter on an unjournaled file).
    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count);
    void WriteAt(std::uint64_t offset, const void* buffer, std::size_t count);

protected:
    void OnOpened(UINT flags) override;

private:
    // A block changed by the operation in progress (journaled files only).
    // (Its bytes before the operation stay on the disk; the commit reads them from there.)
    struct Page {
        std::array<BYTE, nota::BLOCK_SIZE> now;
        WORD nOriginal; // bytes of the block that existed before the operation
    };

    DWORD m_dwCurBlock = 0;
    WORD m_nPosition = 0;
    BYTE m_buffer[nota::BLOCK_SIZE] = {};
    Mode m_nMode = modeIdle;
    DWORD m_nBlocksVisited = 0;          // blocks loaded or written by this transfer: stops loops
    std::unordered_set<DWORD> m_written; // blocks of the chain being rewritten

    // The file's bytes in memory; m_bNoMap once the system refused a view of this file.
    CFileMap m_map;
    bool m_bNoMap = false;
    // Bytes written but not yet passed to the file, from m_nRunStart on: everything an
    // unjournaled file writes, and the growth of a journaled one.
    std::vector<BYTE> m_run;
    std::uint64_t m_nRunStart = 0;
    // Journaled growth already in the file (see the top): the provisional journal is on the
    // disk. The growth's checksum is kept up while it is written in order, from the old end
    // up to m_nSummedTo; a write out of order makes the commit read the growth back.
    bool m_bSpilled = false;
    bool m_bSumInOrder = true;
    std::uint64_t m_nSummedTo = 0;
    std::uint64_t m_nGrowthSum = 0;

    bool m_bJournaled = true;
    int m_nDepth = 0;
    bool m_bImplicit = false;
    std::uint64_t m_nDataLength = 0;      // as the operation sees it
    std::uint64_t m_nCommittedLength = 0; // on the disk
    nota::FileHeader m_committedHeader;   // on the disk
    std::unordered_map<DWORD, Page*> m_pages;
    std::vector<std::unique_ptr<Page[]>> m_pageChunks; // where the pages live
    std::size_t m_nChunk = 0;                          // the chunk new pages come from
    std::size_t m_nChunkUsed = 0;                      // its pages in use
    // The disk's bytes around recent small reads.
    CReadWindows m_windows;
    CFile m_journal; // kept open while the data file is: created once, rewritten per commit
    bool m_bHotJournal = false; // a failed rollback left a valid journal on the disk
    bool m_bRolledBack = false;

    bool HeaderDiffers() const;
    void SyncLengthFromFile();
    void ReadDisk(std::uint64_t offset, BYTE* out, std::size_t count);
    bool ReadMapped(std::uint64_t offset, BYTE* out, std::size_t count);
    void InvalidateClean() { m_windows.Invalidate(); }
    void DropMap() noexcept {
        m_map.Unmap();
        m_bNoMap = false;
    }
    void Gather(std::uint64_t offset, const BYTE* in, std::size_t count);
    void FlushRun(std::size_t keep = 0);
    void PassToFile(std::uint64_t offset, const BYTE* in, std::size_t count);
    std::uint64_t GrowthStart() const;
    void ResetGrowth() noexcept;
    void BeginSpill();
    void SumGrowth(std::uint64_t offset, const BYTE* in, std::size_t count);
    std::uint64_t GrowthChecksum();
    void CutSpilledGrowth() noexcept;
    void OverlayRun(std::uint64_t offset, BYTE* out, std::size_t count) const;
    void Touch(); // starts an implicit operation when none is open
    Page& PageAt(DWORD offset);
    const Page* FindPage(DWORD offset) const {
        auto it = m_pages.find(offset);
        return it == m_pages.end() ? nullptr : it->second;
    }
    static std::size_t ChunkPages(std::size_t chunk);
    Page& NewPage(); // uninitialised
    void ClearPages() noexcept;
    void Commit();
    void CommitJournaled();
    // Writes and commits the journal; with bReplace into a new file that is then renamed
    // over the journal, so that the journal on the disk (a provisional one) stays whole
    // until its replacement is.
    void WriteJournal(const std::function<void(journal::CWriter::Sink)>& produce,
                      bool bReplace = false);
    void DropJournal() noexcept;
    // Drops what the operation changed; with bTouchFile growth already written is cut off
    // again (without, as when the file is abandoned, the provisional journal stays for the
    // next open to finish that).
    void Discard(bool bTouchFile = true) noexcept;

    void ResetBuffer();
    void FlushBlock(bool more);
    const BYTE* BlockBytes(DWORD offset);
    void CheckLink(DWORD offset);
    DWORD ReadNext(DWORD offset);
    void WriteNext(DWORD offset, DWORD next);
    [[noreturn]] void ThrowCorrupt() const;
    void CountVisit();
};

// One operation on the store for a scope: commits with Commit(), rolls back when the scope
// ends without it (an exception). Nested scopes join the outermost one. Replaces every
// "defer the header" flag: an operation writes its header once, at its commit.
class CStoreOperation {
public:
    explicit CStoreOperation(CBlockFile& store) : m_store(store) { m_store.BeginOperation(); }
    ~CStoreOperation() {
        if (!m_bDone)
            m_store.RollbackOperation();
    }
    // Throws CFileException; the operation is rolled back then.
    void Commit() {
        m_bDone = true;
        m_store.CommitOperation();
    }
    CStoreOperation(const CStoreOperation&) = delete;
    CStoreOperation& operator=(const CStoreOperation&) = delete;

private:
    CBlockFile& m_store;
    bool m_bDone = false;
};

// Ends an interrupted transfer when its scope ends (an exception between BeginRead or
// BeginWrite and EndTransfer), so that no caller needs AbandonTransfer on its error paths.
class CTransferScope {
public:
    explicit CTransferScope(CBlockFile& store) : m_store(store) {}
    ~CTransferScope() {
        if (m_store.GetMode() != CBlockFile::modeIdle)
            m_store.AbandonTransfer();
    }
    CTransferScope(const CTransferScope&) = delete;
    CTransferScope& operator=(const CTransferScope&) = delete;

private:
    CBlockFile& m_store;
};
