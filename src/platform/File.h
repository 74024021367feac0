#pragma once
// An open file with the operations the data file store builds on. Reads and writes are
// positional (one system call each); the position and the length are kept here, since an
// open data file is held exclusively and nothing else changes it.

#include "platform/FileException.h"
#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <string>

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x2000,
        // Only a regular file: a link is not followed and a pipe never waits; anything but a
        // regular file at the path throws notRegularFile.
        modeRegularOnly = 0x4000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    // Points where a test can make the file layer fail, to prove that a crash at that
    // moment loses nothing. The hook may throw CFileException (or anything else).
    enum class Op { Open, Write, SetLength, Flush, Rename, Copy, Remove };
    using FaultHook = std::function<void(Op, const std::string& path)>;
    static void SetFaultHook(FaultHook hook);
    static void CallFaultHook(Op op, const std::string& path);

    // What a change to the disk is about to do, for a test that simulates a power cut: it
    // needs the open handle (fd, -1 for a rename or remove) and the range a write or a new
    // length (offset) concerns. Called after the fault hook let the change go ahead.
    struct IoEvent {
        Op op;
        const std::string& path;
        int fd;
        std::uint64_t offset;
        std::uint64_t size;
        const std::string* to; // a rename's new name
    };
    using IoObserver = std::function<void(const IoEvent&)>;
    static void SetIoObserver(IoObserver observer);
    static void CallIoObserver(const IoEvent& event);

    // The file a handle or a path names (device and inode).
    struct FileId {
        std::uint64_t dev = 0, ino = 0;
        bool operator==(const FileId&) const = default;
    };

    CFile() = default;
    CFile(const std::string& path, UINT flags) { Open(path, flags); }
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the file; throws CFileException on failure. With shareExclusive the file is
    // locked (flock) for as long as it stays open here; a second exclusive open anywhere
    // fails with the sharing-violation cause. Once locked, the path must still name the
    // locked file (another process may have renamed a new file over it in between); if not,
    // the open starts again on the file the path names now.
    void Open(const std::string& path, UINT flags);
    // As Open, but reports failure through the result and `error` instead of throwing.
    bool Open(const std::string& path, UINT flags, CFileException* error);
    virtual void Close();
    // Closes without reporting errors.
    void Abort() noexcept;

    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    void SeekToBegin() { Seek(0, begin); }
    std::uint64_t GetPosition() const { return m_nPosition; }
    // Reads up to count bytes at the position; returns the number read (less at the end).
    UINT Read(void* buffer, UINT count);
    // Reads the bytes from offset into `count` (at most kMaxScatter) buffers of `each` bytes
    // in turn, in one system call where it can, and leaves the position after them. Returns
    // the bytes read in all: less than count * each at the end of the file.
    static constexpr std::size_t kMaxScatter = 8;
    std::size_t ReadScatter(std::uint64_t offset, BYTE* const* buffers, std::size_t count,
                            std::size_t each);
    void Write(const void* buffer, UINT count);
    void SetLength(std::uint64_t length);
    std::uint64_t GetLength() const { return m_nLength; }
    // Commits the file's data to the disk.
    void Flush();
    // Asks the system to start writing the given range to the disk without waiting, so that
    // a later Flush has less left to do. Only a hint: failures are ignored.
    void StartWriteBack(std::uint64_t offset, std::uint64_t length) noexcept;

    bool IsOpen() const { return m_hFile >= 0; }
    // The system's handle of the open file (-1 when closed): for a view of it in memory, or
    // for copying the whole file by the system's own means (a clone, copy_file_range). Whoever
    // uses it must not move the file's length.
    int Handle() const { return m_hFile; }
    // Hands the open handle and its bookkeeping to `to` (closed first); this object is left
    // closed.
    void MoveHandleTo(CFile& to);
    // The open file's identity; false (errno set) when it cannot be had.
    bool GetFileId(FileId& id) const;
    // True when the path still names the open file (a deleted or replaced file does not).
    bool IsStillAtPath() const;
    const std::string& GetFilePath() const { return m_strFileName; }
    // The path the open file has now, after it was renamed.
    void SetFilePath(const std::string& path) { m_strFileName = path; }

protected:
    // Called at the end of every successful Open, with its flags.
    virtual void OnOpened(UINT /*flags*/) {}

    int m_hFile = -1;
    bool m_bCloseOnDelete = false;
    std::string m_strFileName;
    std::uint64_t m_nPosition = 0;
    std::uint64_t m_nLength = 0;
};
