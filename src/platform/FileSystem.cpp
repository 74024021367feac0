#include "platform/FileSystem.h"

#include "platform/File.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs_util {

namespace {

// Calls the fault hook; a throw from it becomes a failure with errno EIO.
bool Hooked(CFile::Op op, const std::string& path) {
    try {
        CFile::CallFaultHook(op, path);
        return true;
    } catch (...) {
        errno = EIO;
        return false;
    }
}

bool CopyContents(int in, int out, const std::string& to) {
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!Hooked(CFile::Op::Write, to))
            return false;
        off_t at = ::lseek(out, 0, SEEK_CUR);
        CFile::CallIoObserver({CFile::Op::Write, to, out, static_cast<std::uint64_t>(at),
                               static_cast<std::uint64_t>(n), nullptr});
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return false;
            done += w;
        }
    }
}

} // namespace

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ResolveLinks(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    auto real = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : real.string();
}

bool SyncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

bool GetPathId(const std::string& path, CFile::FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

std::string WorkFilePath(const std::string& target, const std::string& prefix) {
    // FNV-1a of the target's name: stable across runs, distinct per target in one folder.
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : FileNameOf(target)) {
        hash ^= c;
        hash *= 16777619u;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", hash);
    return DirectoryOf(target) + prefix + hex + ".tmp";
}

bool GetTempPath(std::string& dir) {
    const char* env = std::getenv("TMPDIR");
    dir = (env && *env) ? env : "/tmp";
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    if (dir.back() != '/')
        dir += '/';
    return true;
}

bool GetTempFileName(const std::string& dir, const std::string& prefix, std::string& path) {
    if (!Hooked(CFile::Op::Open, dir))
        return false;
    std::string base = dir.empty() ? std::string("./") : dir;
    if (base.back() != '/')
        base += '/';
    std::string tmpl = base + prefix + "XXXXXX.tmp";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    int fd = ::mkstemps(buf.data(), 4);
    if (fd < 0)
        return false;
    ::close(fd);
    path = buf.data();
    return true;
}

mode_t CurrentUmask() {
    // /proc reports it without the race of setting and restoring it.
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[128];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found)
            return static_cast<mode_t>(mask);
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool ApplyCreationMode(const std::string& path, mode_t mode) {
    return ::chmod(path.c_str(), mode & ~CurrentUmask() & 07777) == 0;
}

bool SafeCopyFile(const std::string& from, const std::string& to) {
    if (!Hooked(CFile::Op::Copy, to))
        return false;
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string tmp;
    if (!GetTempFileName(DirectoryOf(to), "." + FileNameOf(to) + ".", tmp)) {
        int err = errno;
        ::close(in);
        errno = err;
        return false;
    }
    int out = ::open(tmp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    // Keep the permissions the target (or else the source) had.
    struct stat st {};
    if (out >= 0 && (::stat(to.c_str(), &st) == 0 || ::fstat(in, &st) == 0))
        ::fchmod(out, st.st_mode & 07777);
    bool ok = out >= 0 && CopyContents(in, out, to) && Hooked(CFile::Op::Flush, to);
    if (ok) {
        CFile::CallIoObserver({CFile::Op::Flush, to, out, 0, 0, nullptr});
        ok = ::fsync(out) == 0;
    }
    int err = errno;
    if (out >= 0)
        ::close(out);
    ::close(in);
    if (ok)
        ok = SafeReplaceFile(tmp, to);
    else
        errno = err;
    if (!ok) {
        err = errno;
        ::unlink(tmp.c_str());
        errno = err;
    }
    return ok;
}

bool SafeReplaceFile(const std::string& from, const std::string& to) {
    if (!Hooked(CFile::Op::Rename, to))
        return false;
    CFile::CallIoObserver({CFile::Op::Rename, from, -1, 0, 0, &to});
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    SyncDirectory(DirectoryOf(to));
    return true;
}

bool PlaceNewFile(const std::string& from, const std::string& to) {
    if (!Hooked(CFile::Op::Rename, to))
        return false;
    CFile::CallIoObserver({CFile::Op::Rename, from, -1, 0, 0, &to});
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS)
            return false;
        // A file system without the flag: a hard link is refused as well where a name exists.
        if (::link(from.c_str(), to.c_str()) != 0)
            return false;
        ::unlink(from.c_str());
    }
    SyncDirectory(DirectoryOf(to));
    return true;
}

bool DeleteFile(const std::string& path) {
    if (!Hooked(CFile::Op::Remove, path))
        return false;
    CFile::CallIoObserver({CFile::Op::Remove, path, -1, 0, 0, nullptr});
    return ::unlink(path.c_str()) == 0;
}

std::string UserDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/Notarium";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : "/tmp") + "/.local/share/Notarium";
}

bool CanChangeFile(const std::string& path) {
    const std::string real = ResolveLinks(path);
    return ::access(real.c_str(), R_OK | W_OK) == 0 &&
           ::access(DirectoryOf(real).c_str(), W_OK) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string SystemErrorText(int err) {
    return std::strerror(err);
}

} // namespace fs_util

CFileReplacement::CFileReplacement(const std::string& target, const std::string& prefix)
    : m_strTarget(fs_util::ResolveLinks(target)),
      m_strWork(fs_util::WorkFilePath(m_strTarget, prefix)) {}

CFileReplacement::~CFileReplacement() {
    if (m_bCreated && !m_bCommitted)
        fs_util::DeleteFile(m_strWork);
}

void CFileReplacement::Commit(const CFile* held) {
    namespace fs = std::filesystem;
    CFile lock;
    CFile::FileId heldId, targetId;
    bool bHeld = held && held->GetFileId(heldId) && fs_util::GetPathId(m_strTarget, targetId) &&
                 heldId == targetId;
    if (!bHeld && fs_util::FileExists(m_strTarget))
        lock.Open(m_strTarget, CFile::modeRead | CFile::shareExclusive); // throws when held
    std::error_code ec;
    fs::file_status status = fs::status(m_strTarget, ec);
    fs::perms perms = fs::exists(status) ? status.permissions()
                                         : fs::perms::owner_read | fs::perms::owner_write |
                                               fs::perms::group_read | fs::perms::others_read;
    fs::permissions(m_strWork, perms, ec);
    if (!fs_util::SafeReplaceFile(m_strWork, m_strTarget)) {
        int err = errno;
        CFileException::ThrowOsError(err, m_strTarget);
    }
    m_bCommitted = true;
}

bool CFileReplacement::CommitAsNew(const std::string& path) {
    fs_util::ApplyCreationMode(m_strWork, 0644);
    if (!fs_util::PlaceNewFile(m_strWork, path)) {
        int err = errno;
        if (err == EEXIST)
            return false;
        CFileException::ThrowOsError(err, path);
    }
    m_bCommitted = true;
    return true;
}
