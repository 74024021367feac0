#include "platform/FileSystem.h"

#include "platform/File.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs_util {

namespace {

std::string DirOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SyncDir(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

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

bool SafeCopyFile(const std::string& from, const std::string& to) {
    if (!Hooked(CFile::Op::Copy, to))
        return false;
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string dir = DirOf(to);
    std::string tmp;
    if (!GetTempFileName(dir + "/", "." + BaseOf(to) + ".", tmp)) {
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
    bool ok =
        out >= 0 && CopyContents(in, out, to) && Hooked(CFile::Op::Flush, to) && ::fsync(out) == 0;
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
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    SyncDir(DirOf(to));
    return true;
}

bool DeleteFile(const std::string& path) {
    if (!Hooked(CFile::Op::Remove, path))
        return false;
    return ::unlink(path.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string SystemErrorText(int err) {
    return std::strerror(err);
}

} // namespace fs_util
