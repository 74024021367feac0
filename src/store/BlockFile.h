#pragma once
// Chains of 512-byte blocks over a data file: streams bytes into and out of them, allocates
// and frees blocks (free list first), and keeps the header's tree and free-list fields. The
// file below, its operations and the way they reach the disk are the pager's
// (store/Pager.h): every change happens inside an operation (CStoreOperation, or implicitly
// from the first change to the end of the write transfer that follows), and an operation
// reaches the file whole or not at all. A freed chain therefore never reaches the disk before
// the tree that drops its reference: both belong to the same commit.
//
// Damaged files are met safely: a chain link that is not a block of the file, a block
// length over 506, or a chain longer than the file has blocks (a loop) ends the transfer
// with a CFileException (end of file) instead of reading or writing outside the file. A
// rewrite whose old chain links back into itself ends the old chain there. Growth stays on
// the block grid: a partial block at the end of the file is overwritten, never named.
//
// The text-chain record (a length, the bytes, a NUL) laid over these chains is
// store/TextChain.h's.

#include "store/BlockSet.h"
#include "store/DataFormat.h"
#include "store/LinkMemo.h"
#include "store/Pager.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CBlockFile {
public:
    enum Mode { modeIdle = 0, modeReading = 1, modeWriting = 2 };

    CBlockFile();
    CBlockFile(const std::string& path, UINT flags);
    ~CBlockFile();
    CBlockFile(const CBlockFile&) = delete;
    CBlockFile& operator=(const CBlockFile&) = delete;

    // Opens the file (see CFile::Open; CPager::Open for the recovery at an exclusive open).
    // Throws CFileException, or reports it through `error`.
    void Open(const std::string& path, UINT flags);
    bool Open(const std::string& path, UINT flags, CFileException* error);
    // Commits a pending implicit operation, then closes. An explicit operation still open
    // is rolled back first. Removes an idle journal. Throws CFileException.
    void Close();
    // Closes without writing or reporting anything: what the operation in progress changed
    // is dropped.
    void Abort() noexcept;
    bool IsOpen() const { return m_pager.IsOpen(); }
    const std::string& GetFilePath() const { return m_pager.Path(); }
    // The open file itself, for its identity (CFileReplacement::Commit).
    const CFile& File() const { return m_pager.File(); }
    void SetFilePath(const std::string& path) { m_pager.File().SetFilePath(path); }
    bool IsStillAtPath() const { return m_pager.File().IsStillAtPath(); }
    // A hint that the range may go to the disk now (see CFile::StartWriteBack).
    void StartWriteBack(std::uint64_t offset, std::uint64_t length) noexcept {
        m_pager.File().StartWriteBack(offset, length);
    }

    // The header copy as the operation sees it. A file built afresh fills it in
    // (Header().SetNew()) before WriteHeader; the free list and the tree's offset change
    // through the calls below, which open an operation.
    nota::FileHeader& Header() { return m_pager.Header(); }
    DWORD GetTreeData() const { return m_pager.Header().TreeData(); }
    DWORD GetFreeList() const { return m_pager.Header().FreeList(); }
    void SetTreeData(DWORD offset);

    // Reads the header; true when the file has one with the signature. Starts the file's
    // bookkeeping (its length, its header) afresh.
    bool CheckSignature() { return m_pager.ReadHeader() && m_pager.Header().HasSignature(); }
    // Writes the header copy: at once in an unjournaled file, with the operation's commit in
    // a journaled one.
    void WriteHeader() { m_pager.WriteHeader(); }

    // Journaling is on for every file opened; a file built afresh turns it off before its
    // first write (see store/Pager.h).
    void SetJournaled(bool bJournaled) { m_pager.SetJournaled(bJournaled); }
    void SetSinglePass(bool bOn) { m_pager.SetSinglePass(bOn); } // see CPager
    bool IsJournaled() const { return m_pager.IsJournaled(); }

    // Rolls back or discards a journal left by a process that stopped in the middle of an
    // operation (see store/Journal.h). Call after opening with the exclusive lock and before
    // reading. True when the file was rolled back. Throws CFileException when it cannot be.
    bool RecoverJournal() { return m_pager.RecoverJournal(); }

    // Operations nest; only the outermost commits or rolls back. Commit throws
    // CFileException (the operation is then rolled back: the file, the header copy and the
    // length are as before it, and a transfer in progress is ended).
    void BeginOperation() { m_pager.Begin(); }
    void CommitOperation();
    void RollbackOperation() noexcept;
    bool InOperation() const { return m_pager.InOperation(); }
    // See CPager::ChangeCount: compared by readers that copy the file beside its changes.
    std::uint64_t ChangeCount() const { return m_pager.ChangeCount(); }
    // Called after every commit that changed the file (the document checks there that the
    // file still has its name). Must not throw.
    void SetOnCommitted(std::function<void()> callback) {
        m_pager.SetOnCommitted(std::move(callback));
    }

    // The file's length as the operation in progress sees it, and as the disk has it now.
    std::uint64_t Length() const { return m_pager.Length(); }
    std::uint64_t DiskLength() const { return m_pager.DiskLength(); }

    DWORD AllocBlock();
    void FreeChain(DWORD first);
    DWORD BeginNewChain();
    void BeginWrite(DWORD first);
    // As BeginWrite, for long chains in a journaled file: once kMovedRun blocks in a row
    // change (bytes inserted or taken out move everything after them), the rest of the chain
    // goes into new blocks (the free list's first, then growth), and EndTransfer frees the
    // old rest, in the same operation. The first block stays. Such new blocks, taken off the
    // free list in its order, need no journal (store/Pager.h): the moved part costs one
    // write of its bytes instead of a journal of the old ones and a write of the new. An
    // unjournaled file is rewritten in place.
    void BeginRewrite(DWORD first);
    // Starts reading the chain at first. With bRememberLinks the blocks' links are kept
    // (CLinkMemo) for a write that comes back to the chain: the tree stream's, which its
    // next save rewrites and frees in part.
    void BeginRead(DWORD first, bool bRememberLinks = false);
    void ReadData(void* buffer, std::size_t count);
    void WriteData(const void* buffer, std::size_t count);
    // Ends the transfer; a write transfer outside an explicit operation commits.
    void EndTransfer();
    // Ends a transfer that an exception interrupted, without writing anything; an implicit
    // operation it belonged to is rolled back.
    void AbandonTransfer() noexcept;

    // Takes over `other`'s open file and operation (a file built afresh that replaced this
    // one's); `other` is left closed.
    void TakeOver(CBlockFile& other);

    Mode GetMode() const { return m_nMode; }
    // True when the header copy differs from the header on the disk.
    bool IsHeaderDirty() const { return m_pager.HeaderDiffers(); }
    // True when the last open rolled back an operation that a stopped process left unfinished.
    bool WasRolledBack() const { return m_pager.WasRolledBack(); }
    const std::string& StrayJournal() const { return m_pager.StrayJournal(); }
    bool IsRollbackPending() const { return m_pager.IsRollbackPending(); }

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
    // The 512 bytes of the block at offset as the operation sees them, where they already lie
    // (the operation's page or a read window) or else read into scratch: for a reader that
    // looks at a chain without copying it out. Valid until the next read of this store.
    // Throws CFileException when offset is not a block of the file or the file is cut.
    const BYTE* PeekBlock(DWORD offset, BYTE* scratch) {
        CheckLink(offset);
        return m_pager.BlockBytes(offset, scratch);
    }
    // As PeekBlock for up to `count` bytes from block `offset` on (whole blocks): count is cut
    // at the end of their read window. Null when nothing the operation changed may be read
    // this way (then PeekBlock each block). Valid until the next read of this store.
    const BYTE* PeekSpan(DWORD offset, std::size_t& count) {
        CheckLink(offset);
        return m_pager.SpanBytes(offset, count);
    }

    // Positional access to the file's bytes as the operation sees them, for appenders that
    // lay out whole chains themselves (CChainWriter). Writes open an implicit operation when
    // none is open; the header is not written this way.
    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
        m_pager.ReadAt(offset, buffer, count);
    }
    void WriteAt(std::uint64_t offset, const void* buffer, std::size_t count);

private:
    CPager m_pager;
    // The transfer in progress.
    DWORD m_dwCurBlock = 0;
    WORD m_nPosition = 0;
    BYTE m_buffer[nota::BLOCK_SIZE] = {};
    Mode m_nMode = modeIdle;
    DWORD m_nBlocksVisited = 0;   // blocks loaded or written by this transfer: stops loops
    bool m_bCurAllocated = false; // the current block was allocated by this transfer
    CBlockSet m_written;          // blocks of the chain being written
    // A rewrite that may move on into new blocks (BeginRewrite): the blocks in a row whose
    // bytes changed, and once it moved, the old rest to free.
    static constexpr int kMovedRun = 4;
    bool m_bMayMove = false;
    int m_nChangedRun = 0;
    DWORD m_dwOldRest = 0;
    // The transfer keeps its blocks' links (the tree stream's, read or rewritten); other
    // transfers only keep the links the memo holds right.
    bool m_bRememberLinks = false;
    // Links known without a read, as of the pager's UndoCount m_nLinksAt (see Links()).
    CLinkMemo m_links;
    std::uint64_t m_nLinksAt = 0;
    CBlockSet m_freeSeen; // FreeChain's walk, kept for its memory

    void EndCursor() noexcept;
    void ResetBuffer();
    void FlushBlock(bool more);
    bool MovesOn();
    void CheckLink(DWORD offset);
    CLinkMemo& Links();
    void NoteLink(DWORD offset, DWORD next);
    // Runs a write of the pager's; when it throws, the memo is forgotten (whatever part of
    // the write took).
    template <typename F> void PagerWrite(F&& write) {
        try {
            write();
        } catch (...) {
            m_links.Clear();
            throw;
        }
    }
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
