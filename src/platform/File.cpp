#include "platform/File.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
CFile::FaultHook& Hook() {
    static CFile::FaultHook hook;
    return hook;
}

CFile::IoObserver& Observer() {
    static CFile::IoObserver observer;
    return observer;
}

// Opening a path and locking what it names are two steps; a file renamed over the path in
// between is met by trying again, a few times at most.
constexpr int kOpenAttempts = 8;
} // namespace

void CFile::SetIoObserver(IoObserver observer) {
    Observer() = std::move(observer);
}

void CFile::CallIoObserver(const IoEvent& event) {
    if (Observer())
        Observer()(event);
}

bool CFile::GetFileId(FileId& id) const {
    struct stat st {};
    if (m_hFile < 0 || ::fstat(m_hFile, &st) != 0)
        return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

bool CFile::IsStillAtPath() const {
    FileId mine;
    struct stat st {};
    if (!GetFileId(mine) || ::stat(m_strFileName.c_str(), &st) != 0)
        return false;
    return mine ==
           FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

namespace {
bool NamesSameFile(int fd, const std::string& path) {
    struct stat a {
    }, b{};
    if (::fstat(fd, &a) != 0 || ::stat(path.c_str(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
} // namespace

void CFile::SetFaultHook(FaultHook hook) {
    Hook() = std::move(hook);
}

void CFile::CallFaultHook(Op op, const std::string& path) {
    if (Hook())
        Hook()(op, path);
}

CFile::~CFile() {
    if (m_hFile >= 0 && m_bCloseOnDelete)
        Abort();
}

bool CFile::Open(const std::string& path, UINT flags, CFileException* error) {
    try {
        Open(path, flags);
        return true;
    } catch (const CFileException& e) {
        if (error)
            *error = e;
        return false;
    }
}

void CFile::Open(const std::string& path, UINT flags) {
    if (m_hFile >= 0)
        Close();
    CallFaultHook(Op::Open, path);
    int access = O_RDONLY;
    if ((flags & 0x3) == modeWrite)
        access = O_WRONLY;
    else if ((flags & 0x3) == modeReadWrite)
        access = O_RDWR;
    int oflags = access | O_CLOEXEC;
    if (flags & modeCreate)
        oflags |= O_CREAT;
    if (flags & modeRegularOnly)
        oflags |= O_NOFOLLOW | O_NONBLOCK;
    UINT share = flags & 0x70;
    int lock = 0;
    if (share == shareExclusive)
        lock = LOCK_EX;
    else if (share == shareDenyWrite || share == shareDenyRead)
        lock = LOCK_SH;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        do {
            fd = ::open(path.c_str(), oflags, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && (flags & modeRegularOnly) && (errno == ELOOP || errno == ENXIO))
            throw CFileException(CFileException::notRegularFile, path, errno);
        if (fd < 0)
            CFileException::ThrowOsError(errno, path);
        if (flags & modeRegularOnly) {
            struct stat kind {};
            if (::fstat(fd, &kind) != 0 || !S_ISREG(kind.st_mode)) {
                ::close(fd);
                throw CFileException(CFileException::notRegularFile, path);
            }
        }
        // Take the lock before truncating, so that creating over a file that another process
        // holds never destroys it.
        if (lock && ::flock(fd, lock | LOCK_NB) != 0) {
            int err = errno;
            ::close(fd);
            throw CFileException(err == EWOULDBLOCK ? CFileException::sharingViolation
                                                    : CFileException::OsErrorToCause(err),
                                 path, err);
        }
        if (lock)
            CallIoObserver({Op::Open, path, fd, 0, 0, nullptr}); // locked, not yet checked
        if (lock && !NamesSameFile(fd, path)) {
            // The file we locked lost its name (a compaction or repair put a new file in its
            // place before we got the lock): whatever we wrote would be lost. Open again.
            ::close(fd);
            fd = -1;
            if (attempt + 1 == kOpenAttempts)
                throw CFileException(CFileException::sharingViolation, path, EWOULDBLOCK);
        }
    }
    if ((flags & modeCreate) && !(flags & modeNoTruncate))
        CallIoObserver({Op::SetLength, path, fd, 0, 0, nullptr});
    if ((flags & modeCreate) && !(flags & modeNoTruncate) && ::ftruncate(fd, 0) != 0) {
        int err = errno;
        ::close(fd);
        CFileException::ThrowOsError(err, path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        CFileException::ThrowOsError(err, path);
    }
    m_hFile = fd;
    m_bCloseOnDelete = true;
    m_strFileName = path;
    m_nPosition = 0;
    m_nLength = static_cast<std::uint64_t>(st.st_size);
    OnOpened(flags);
}

void CFile::Close() {
    if (m_hFile < 0)
        return;
    int fd = m_hFile;
    m_hFile = -1;
    m_bCloseOnDelete = false;
    if (::close(fd) != 0 && errno != EINTR)
        CFileException::ThrowOsError(errno, m_strFileName);
}

void CFile::Abort() noexcept {
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_hFile = -1;
    m_bCloseOnDelete = false;
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, m_strFileName);
    std::int64_t base = 0;
    if (from == current)
        base = static_cast<std::int64_t>(m_nPosition);
    else if (from == end)
        base = static_cast<std::int64_t>(m_nLength);
    std::int64_t pos = base + offset;
    if (pos < 0)
        throw CFileException(CFileException::badSeek, m_strFileName, EINVAL);
    m_nPosition = static_cast<std::uint64_t>(pos);
    return m_nPosition;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, m_strFileName);
    auto* p = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n =
            ::pread(m_hFile, p + done, count - done, static_cast<off_t>(m_nPosition + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        if (n == 0)
            break;
        done += static_cast<UINT>(n);
    }
    m_nPosition += done;
    return done;
}

std::size_t CFile::ReadScatter(std::uint64_t offset, BYTE* const* buffers, std::size_t count,
                               std::size_t each) {
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, m_strFileName);
    if (count > kMaxScatter)
        throw std::logic_error("CFile::ReadScatter: too many buffers");
    const std::size_t total = count * each;
    std::size_t done = 0;
    while (done < total) {
        iovec parts[kMaxScatter];
        int n = 0;
        for (std::size_t i = done / each; i < count; ++i, ++n) {
            const std::size_t skip = i == done / each ? done % each : 0;
            parts[n].iov_base = buffers[i] + skip;
            parts[n].iov_len = each - skip;
        }
        const ssize_t got = ::preadv(m_hFile, parts, n, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    m_nPosition = offset + done;
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, m_strFileName);
    CallFaultHook(Op::Write, m_strFileName);
    CallIoObserver({Op::Write, m_strFileName, m_hFile, m_nPosition, count, nullptr});
    auto* p = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n =
            ::pwrite(m_hFile, p + done, count - done, static_cast<off_t>(m_nPosition + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        done += static_cast<UINT>(n);
    }
    m_nPosition += done;
    if (m_nPosition > m_nLength)
        m_nLength = m_nPosition;
}

void CFile::SetLength(std::uint64_t length) {
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, m_strFileName);
    CallFaultHook(Op::SetLength, m_strFileName);
    CallIoObserver({Op::SetLength, m_strFileName, m_hFile, length, 0, nullptr});
    if (::ftruncate(m_hFile, static_cast<off_t>(length)) != 0)
        CFileException::ThrowOsError(errno, m_strFileName);
    m_nLength = length;
}

void CFile::Flush() {
    if (m_hFile < 0)
        return;
    CallFaultHook(Op::Flush, m_strFileName);
    CallIoObserver({Op::Flush, m_strFileName, m_hFile, 0, 0, nullptr});
    if (::fdatasync(m_hFile) != 0 && errno != EINVAL)
        CFileException::ThrowOsError(errno, m_strFileName);
}

void CFile::StartWriteBack(std::uint64_t offset, std::uint64_t length) noexcept {
#ifdef __linux__
    if (m_hFile >= 0)
        ::sync_file_range(m_hFile, static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
#else
    (void)offset;
    (void)length;
#endif
}

void CFile::MoveHandleTo(CFile& to) {
    if (to.m_hFile >= 0)
        to.Abort();
    to.m_hFile = m_hFile;
    to.m_bCloseOnDelete = m_bCloseOnDelete;
    to.m_strFileName = m_strFileName;
    to.m_nPosition = m_nPosition;
    to.m_nLength = m_nLength;
    m_hFile = -1;
    m_bCloseOnDelete = false;
}
