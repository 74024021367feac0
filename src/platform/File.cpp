#include "platform/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
CFile::FaultHook& Hook() {
    static CFile::FaultHook hook;
    return hook;
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
    int fd;
    do {
        fd = ::open(path.c_str(), oflags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        CFileException::ThrowOsError(errno, path);

    // Take the lock before truncating, so that creating over a file that another process
    // holds never destroys it.
    UINT share = flags & 0x70;
    int lock = 0;
    if (share == shareExclusive)
        lock = LOCK_EX;
    else if (share == shareDenyWrite || share == shareDenyRead)
        lock = LOCK_SH;
    if (lock && ::flock(fd, lock | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        throw CFileException(err == EWOULDBLOCK ? CFileException::sharingViolation
                                                : CFileException::OsErrorToCause(err),
                             path, err);
    }
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

void CFile::Write(const void* buffer, UINT count) {
    if (m_hFile < 0)
        throw CFileException(CFileException::invalidFile, m_strFileName);
    CallFaultHook(Op::Write, m_strFileName);
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
    if (::ftruncate(m_hFile, static_cast<off_t>(length)) != 0)
        CFileException::ThrowOsError(errno, m_strFileName);
    m_nLength = length;
}

void CFile::Flush() {
    if (m_hFile < 0)
        return;
    CallFaultHook(Op::Flush, m_strFileName);
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
