#pragma once
// The data file below its chains: its bytes as the operation in progress sees them, and the
// operation's way to the disk. CBlockFile lays chains over it; nothing else in the store
// reads or writes the file's handle.
//
// Operations. Every change happens inside an operation, and an operation reaches the file
// whole or not at all:
//   - journaled files (the default, for a data file in use): the blocks the operation
//     changes stay in memory as pages, with the header copy and the length, until it
//     commits; then the rollback journal (store/Journal.h) is written and committed, the
//     data file is written and committed, and the journal is invalidated. A failure anywhere
//     leaves the file as it was before the operation (also on the disk), and the in-memory
//     copy (header, length) with it. Growth past the file's old end is the exception to "in
//     memory": it is gathered in runs, and once more than 1 MiB of it is waiting, written to
//     the file ahead of the commit, under a provisional journal that says to cut the file
//     back to its old length (written and committed before the first such write). So a paste
//     or an import of gigabytes holds about 1 MiB, and its commit writes little more than its
//     journal. The commit then replaces the provisional journal by the full one through a
//     rename, so that one of the two is always whole on the disk.
//     Blocks that were free when the operation began are a second exception: their bytes
//     mean nothing but their link to the next free block. A chain written into them in the
//     free list's order keeps those links, so such blocks need no journal: once an
//     operation has many of them (a tree stream rewritten into the blocks of the one before
//     it), they are written to the file ahead of the commit, 1 MiB at a time, and the commit
//     makes them durable before any journaled byte changes. A rollback leaves them free,
//     with their links as they were.
//   - unjournaled files (a file being built afresh beside its target, which nobody reads
//     before it is complete): writes are gathered in runs of up to 1 MiB and go to the file
//     in order, which grows with them (no set-length call per block); the header is written
//     and the file committed when the operation commits. Reads see what is gathered.
//
// The operation's state (State below) moves:
//   Idle ──Begin / Touch──> Open ──first growth written ahead──> Spilled
//   Open, Spilled ──commit or rollback──> Idle
//   Open, Spilled ──a failed commit or rollback whose undo failed too──> Stranded
//   Stranded ──the next Begin / Touch, or RecoverJournal──> (recovered) Idle / Open
// Operations nest (Begin counts); only the outermost commits or rolls back. An operation
// opened by Touch outside any Begin is implicit: its holder commits it (CBlockFile, at the
// end of the write transfer).
//
// Reading. Blocks come from the operation's own pages first, then from windows of 64 KiB of
// the file kept in memory (store/ReadWindows.h: one positional read per window). A walk that
// jumps all over a large file reads its blocks from a read-only view of the file in memory
// instead (platform/FileMap.h). A file that shrinks under the store (another program
// truncating it) ends the read with a CFileException (end of file), never with a signal.
//
// Failures: file errors are CFileException naming the data file (also for its journal).

#include "platform/File.h"
#include "platform/FileMap.h"
#include "store/BlockSet.h"
#include "store/DataFormat.h"
#include "store/Journal.h"
#include "store/ReadWindows.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPager {
public:
    enum class State {
        Idle,     // no operation: the copies (header, length) are the disk's
        Open,     // an operation is open; its changes are in memory
        Spilled,  // as Open, and some of its growth is in the file under the provisional journal
        Stranded, // no operation, but a journal on the disk still answers for one whose undo
                  // failed: the next operation recovers first
    };

    CPager();
    ~CPager();
    CPager(const CPager&) = delete;
    CPager& operator=(const CPager&) = delete;

    // Opens the file (throws CFileException); the pager must be closed. Whoever opens it
    // exclusively for writing first recovers what a stopped process left (RecoverJournal);
    // when that fails the file stays open, unread. A reader under a shared lock only looks
    // (IsRollbackPending); a file opened to read refuses every change.
    void Open(const std::string& path, UINT flags);
    // Rolls back an explicit operation still open, commits an implicit one, then closes and
    // removes an idle journal. Throws CFileException: a failed commit is rolled back and the
    // file stays open.
    void Close();
    // Closes without writing or reporting anything: the operation in progress is dropped;
    // growth it wrote ahead is left to the next open's recovery.
    void Abort() noexcept;
    bool IsOpen() const { return m_file.IsOpen(); }
    CFile& File() { return m_file; }
    const CFile& File() const { return m_file; }
    const std::string& Path() const { return m_file.GetFilePath(); }

    // Journaling is on for every file opened; a file built afresh turns it off before its
    // first write (and reads back little: two windows do).
    void SetJournaled(bool bJournaled);
    bool IsJournaled() const { return m_bJournaled; }
    // While on, reads keep two windows: a pass that reads a long stretch once (the tree's
    // load at open) then leaves the other windows' memory untouched. Either way the windows
    // are forgotten (they are a cache); nothing else changes.
    void SetSinglePass(bool bOn);

    // Rolls back or discards a journal left by a process that stopped in the middle of an
    // operation (see store/Journal.h). True when the file was rolled back. Throws
    // CFileException when it cannot be.
    bool RecoverJournal();
    // True when the last open rolled back an operation that a stopped process left unfinished.
    bool WasRolledBack() const { return m_bRolledBack; }
    // The name a journal that did not fit the file was set aside under by the last
    // recovery; empty when none was.
    const std::string& StrayJournal() const { return m_strStrayJournal; }
    // True when a reader's open (shared lock) found a journal whose change must be rolled
    // back before the file shows a whole state; the reader must not read it.
    bool IsRollbackPending() const { return m_bRollbackPending; }

    // The header copy as the operation sees it. Change it only inside an operation (Touch).
    nota::FileHeader& Header() { return m_op.header; }
    const nota::FileHeader& Header() const { return m_op.header; }
    bool HeaderDiffers() const;
    // Reads the header from the disk into both copies; false when the file has none whole.
    // Starts the length afresh from the disk's.
    bool ReadHeader();
    // Writes the header copy: at once in an unjournaled file, with the commit in a journaled one.
    void WriteHeader();

    // Opens an operation (or joins the one open).
    void Begin();
    // Ends one Begin; the outermost commits. Throws CFileException: the operation is then
    // rolled back (the file, the header copy and the length are as before it).
    void CommitOperation();
    // Ends one Begin; the outermost rolls back (an inner one leaves that to the outermost,
    // which the exception passes through).
    void RollbackOperation() noexcept;
    // Opens an implicit operation unless one is open.
    void Touch();
    // Commits the operation open (the implicit one); throws as CommitOperation.
    void Commit();
    // Drops what the operation changed: rolled back, growth written ahead cut off again.
    void Discard() noexcept;
    State GetState() const { return m_op.state; }
    bool InOperation() const { return m_op.state == State::Open || m_op.state == State::Spilled; }
    // Moves on at every open, take-over and start of an operation (every write to the file
    // starts one): equal counts at two moments with no operation in progress at either mean
    // that nothing wrote to the file between them.
    std::uint64_t ChangeCount() const { return m_nChanges; }
    // Moves on whenever the bytes the operation sees change other than through its writes: an
    // open, a take-over, a rollback or recovery, the file cut shorter. Whoever remembers
    // bytes it read or wrote (CBlockFile's links) forgets them then.
    std::uint64_t UndoCount() const { return m_nUndone; }
    // An operation is open that no Begin holds.
    bool IsImplicit() const { return InOperation() && m_op.depth == 0; }
    // Called after every commit that changed the file. Must not throw.
    void SetOnCommitted(std::function<void()> callback) { m_onCommitted = std::move(callback); }

    // The file's length as the operation sees it, and as the disk has it now.
    std::uint64_t Length() const { return m_op.length; }
    std::uint64_t DiskLength() const { return m_file.GetLength(); }
    // Sets the operation's length; growth comes into being with its writes. Inside an
    // operation only.
    void SetLength(std::uint64_t length);

    // The bytes from offset as the operation sees them (zeros past the disk's end). Throws
    // CFileException.
    void ReadAt(std::uint64_t offset, void* buffer, std::size_t count);
    // Changes bytes (offset >= 32: the header goes through Header()); opens an implicit
    // operation if none is open. Throws CFileException (an unjournaled file's gathered run is
    // dropped then: the operation fails whole).
    void WriteAt(std::uint64_t offset, const void* buffer, std::size_t count);
    // The whole block at offset (a block of the file, or growth) becomes `bytes`: as WriteAt,
    // except that a block the operation sees with these bytes already is left alone (neither
    // journaled nor rewritten by the commit), and a block that existed before the operation
    // gets its page without its old bytes being read into it. For writers that rewrite long
    // chains of which only some blocks change. Throws as WriteAt.
    void WriteBlock(DWORD offset, const BYTE* bytes);
    // CBlockFile took the block at offset off the free list, whose link it read as `next`:
    // the block becomes 512 zero bytes, as WriteAt would make it. When it was on the free
    // list as the operation began (the list then is the disk's), later WriteBlock calls that
    // keep `next` as its link need no journal (see above).
    void ClaimFreeBlock(DWORD offset, DWORD next);
    // The 512 bytes of the block at offset (a block of the file) as the operation sees them:
    // its page, its window, or `scratch` read into; valid until the next call on this pager.
    const BYTE* BlockBytes(DWORD offset, BYTE* scratch);
    // The disk's bytes at offset where a read window holds them, `count` of them cut at the
    // window's end, when the operation has changed nothing (no pages, no gathered run) and
    // they lie within the file; null otherwise, having read nothing or loaded the window.
    // Valid until the next read. Throws as reads do.
    const BYTE* SpanBytes(std::uint64_t offset, std::size_t& count);
    // The first count bytes at offset, read without loading a window (one small positional
    // read) when neither the operation nor a gathered run changed them.
    void ReadSmall(std::uint64_t offset, BYTE* out, std::size_t count);
    // Gathered writes go to the file now (an unjournaled file's, before it changes length).
    void FlushRun();

    // Takes over `other`'s open file and operation; this one's is aborted first, and
    // `other` is left closed.
    void TakeOver(CPager& other);

    // Checks the operation's bookkeeping against its state (debug builds; nothing otherwise).
    void CheckInvariants() const;

private:
    // Gathered growth and gathered writes go to the file, and the commit writes blocks, in
    // runs of this many bytes.
    static constexpr std::size_t kWriteRun = std::size_t{1} << 20;
    // Free blocks written without a journal only once an operation writes at least this many
    // (below it, the journal costs less than the commit's extra flush).
    static constexpr std::size_t kMinFreeWrites = 128;

    // A block changed by the operation in progress (journaled files only). Its bytes before
    // the operation stay on the disk; the commit reads them from there.
    struct Page {
        std::array<BYTE, nota::BLOCK_SIZE> now;
        WORD nOriginal; // bytes of the block that existed before the operation
        // Known to differ from the block's bytes before the operation (WriteBlock compared
        // them); otherwise the commit compares.
        bool bDiffers;
        // On the free list as the operation began, linked to origNext: then bytes that keep
        // that link may go to the file without a journal (bFreeWrite, queued in freeWrites).
        bool bWasFree;
        bool bFreeWrite;
        DWORD origNext;
    };
    struct FreeChunk {
        void operator()(void* p) const noexcept;
    };
    // Everything an operation is: what TakeOver hands on whole.
    struct Operation {
        State state = State::Idle;
        int depth = 0;                          // Begin calls not yet ended
        nota::FileHeader header;                // as the operation sees it
        nota::FileHeader committedHeader;       // on the disk
        std::uint64_t length = 0;               // as the operation sees it
        std::uint64_t committedLength = 0;      // on the disk
        std::unordered_map<DWORD, Page*> pages; // changed blocks, in chunks below
        std::vector<std::unique_ptr<Page[], FreeChunk>> chunks;
        std::size_t chunk = 0;     // the chunk new pages come from
        std::size_t chunkUsed = 0; // its pages in use
        std::vector<Page*> spare;  // pages given back (written ahead), taken before new ones
        // Free blocks: the disk's free list as far as the operation has not taken it yet,
        // the blocks taken off it, those waiting to be written ahead (see ClaimFreeBlock),
        // and whether any were (the commit then makes them durable first).
        DWORD freeCursor = 0;
        CBlockSet claimed;
        std::vector<DWORD> freeWrites;
        bool bFreeWritten = false;
        // Bytes written but not yet passed to the file, from runStart on: everything an
        // unjournaled file writes, and the growth of a journaled one.
        std::vector<BYTE> run;
        std::uint64_t runStart = 0;
        // The growth's checksum, kept up while the growth is written ahead in order; a
        // write out of order (bSumInOrder false) makes the commit read the growth back.
        journal::CTailSum growthSum{0};
        bool bSumInOrder = true;
    };
    // What a commit changes: the blocks in offset order, how many of them existed before
    // (their old bytes go into the journal), and whether the header changes.
    struct Changes {
        std::vector<DWORD> blocks;
        std::vector<const Page*> pages; // blocks[i]'s page
        DWORD inPlace = 0;
        bool bHeader = false;
    };

    CFile m_file;
    Operation m_op;
    bool m_bJournaled = true;
    bool m_bRolledBack = false;
    std::uint64_t m_nChanges = 0; // see ChangeCount
    std::uint64_t m_nUndone = 0;  // see UndoCount
    std::string m_strStrayJournal;
    bool m_bRollbackPending = false;
    bool m_bReadOnly = false; // opened to read: every change throws accessDenied
    std::function<void()> m_onCommitted;
    CFile m_journal; // kept open while the data file is: created once, rewritten per commit
    // The disk's bytes around recent small reads; the view of the whole file, and
    // m_bNoMap once the system refused one.
    CReadWindows m_windows;
    CFileMap m_map;
    bool m_bNoMap = false;
    std::vector<BYTE> m_freeRun; // free blocks on their way to the file (WriteFreeBlocks)

    // The block that holds offset (offset >= 32).
    static DWORD PageOf(std::uint64_t offset) {
        return static_cast<DWORD>(nota::HEADER_SIZE + (offset - nota::HEADER_SIZE) /
                                                          nota::BLOCK_SIZE * nota::BLOCK_SIZE);
    }
    void OnOpened(UINT flags);
    [[noreturn]] void ThrowCorrupt() const;
    void DropMap() noexcept;
    void DropJournal() noexcept;
    void ClearJournal();
    void Start();

    // Pages.
    Page& PageAt(DWORD offset);
    const Page* FindPage(DWORD offset) const;
    Page* FindPage(DWORD offset);
    Page& NewPage(); // uninitialised
    void ClearPages() noexcept;

    // The disk, the windows, the view and the gathered run.
    void ReadDisk(std::uint64_t offset, BYTE* out, std::size_t count);
    bool ReadMapped(std::uint64_t offset, BYTE* out, std::size_t count);
    void OverlayRun(std::uint64_t offset, BYTE* out, std::size_t count) const;
    bool InRun(std::uint64_t offset, std::size_t count) const;
    void Gather(std::uint64_t offset, const BYTE* in, std::size_t count);
    void FlushRun(std::size_t keep);
    void PassToFile(std::uint64_t offset, const BYTE* in, std::size_t count);

    // Growth written ahead of the commit.
    std::uint64_t GrowthStart() const;
    void ResetGrowth() noexcept;
    void BeginSpill();
    void SumGrowth(std::uint64_t offset, const BYTE* in, std::size_t count);
    std::uint64_t GrowthChecksum();
    bool CutSpilledGrowth() noexcept;
    void Drop(bool bTouchFile) noexcept;
    void RefuseIfReadOnly() const;

    // Free blocks written ahead of the commit.
    void QueueFreeWrite(DWORD offset, Page& page);
    void WriteFreeBlocks();
    void SettleFreeWrites();

    // The commit's steps (PagerCommit.cpp).
    void CommitUnjournaled();
    void CommitJournaled();
    Changes CollectChanges();
    void JournalChanges(const Changes& changes);
    static std::size_t RunOfOriginals(const Changes& changes, std::size_t first);
    void ApplyChanges(const Changes& changes, bool& bInPlace);
    void UndoApplied(bool bInPlace) noexcept;
    void FinishCommit();
    // Writes and commits the journal; with bReplace into a new file that is then renamed
    // over the journal, so that the journal on the disk (a provisional one) stays whole
    // until its replacement is.
    void WriteJournal(const std::function<void(journal::CWriter::Sink)>& produce,
                      bool bReplace = false);
};
