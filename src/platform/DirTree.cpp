#include "platform/DirTree.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dirtree {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

Kind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return Kind::file;
    if (S_ISDIR(mode))
        return Kind::directory;
    if (S_ISLNK(mode))
        return Kind::symlink;
    return Kind::other;
}

void Fill(Entry& e, const struct stat& st) {
    e.kind = KindOf(st.st_mode);
    e.size = e.kind == Kind::file ? static_cast<std::uint64_t>(st.st_size) : 0;
    e.device = static_cast<std::uint64_t>(st.st_dev);
    e.inode = static_cast<std::uint64_t>(st.st_ino);
}

// Reads to the end, but never more than limit + 1 bytes (a file that keeps growing).
int ReadAll(int fd, std::uint64_t size, std::uint64_t limit, std::string& bytes) {
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    for (;;) {
        if (done > limit)
            break;
        if (done == bytes.size())
            bytes.resize(done + 4096); // the file may have grown since fstat
        ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return 0;
}

} // namespace

CHandle& CHandle::operator=(CHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void CHandle::Reset() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int StatPath(const std::string& path, Entry& entry) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    Fill(entry, st);
    auto slash = path.find_last_of('/', path.find_last_not_of('/'));
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    return 0;
}

int OpenDir(const std::string& path, CHandle& dir) {
    int fd = ::open(path.c_str(), kDirFlags);
    if (fd < 0)
        return errno;
    dir = CHandle(fd);
    return 0;
}

int OpenSubdir(const CHandle& dir, const std::string& name, CHandle& sub) {
    int fd = ::openat(dir.Get(), name.c_str(), kDirFlags | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    sub = CHandle(fd);
    return 0;
}

int Identify(const CHandle& dir, std::uint64_t& device, std::uint64_t& inode) {
    struct stat st {};
    if (::fstat(dir.Get(), &st) != 0)
        return errno;
    device = static_cast<std::uint64_t>(st.st_dev);
    inode = static_cast<std::uint64_t>(st.st_ino);
    return 0;
}

int OpenParent(const CHandle& dir, std::uint64_t device, std::uint64_t inode, CHandle& parent) {
    CHandle up;
    if (int err = OpenSubdir(dir, "..", up))
        return err;
    std::uint64_t d = 0, i = 0;
    if (int err = Identify(up, d, i))
        return err;
    if (d != device || i != inode)
        return ESTALE;
    parent = std::move(up);
    return 0;
}

int List(const CHandle& dir, std::vector<Entry>& entries) {
    entries.clear();
    int fd = ::dup(dir.Get());
    if (fd < 0)
        return errno;
    DIR* d = ::fdopendir(fd);
    if (!d) {
        int err = errno;
        ::close(fd);
        return err;
    }
    ::rewinddir(d);
    int err = 0;
    for (;;) {
        errno = 0;
        struct dirent* de = ::readdir(d);
        if (!de) {
            err = errno;
            break;
        }
        std::string name = de->d_name;
        if (name == "." || name == "..")
            continue;
        Entry e;
        e.name = std::move(name);
        struct stat st {};
        if (::fstatat(dir.Get(), e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since it was listed
        Fill(e, st);
        entries.push_back(std::move(e));
    }
    ::closedir(d);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return err;
}

int ReadFile(const CHandle* dir, const std::string& name, std::uint64_t maxBytes,
             std::string& bytes) {
    // Non-blocking, so a named pipe cannot hang the open; refused below anyway.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (dir ? O_NOFOLLOW : 0);
    int fd = dir ? ::openat(dir->Get(), name.c_str(), flags) : ::open(name.c_str(), flags);
    if (fd < 0)
        return errno;
    CHandle file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return EFBIG;
    int err = ReadAll(fd, static_cast<std::uint64_t>(st.st_size), maxBytes, bytes);
    if (err == 0 && bytes.size() > maxBytes)
        return EFBIG;
    return err;
}

int MakeSubdir(const CHandle& dir, const std::string& name, CHandle& sub) {
    if (::mkdirat(dir.Get(), name.c_str(), 0777) != 0)
        return errno;
    return OpenSubdir(dir, name, sub);
}

int CreateNewFile(const CHandle& dir, const std::string& name, CHandle& file) {
    int fd = ::openat(dir.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0666);
    if (fd < 0)
        return errno;
    file = CHandle(fd);
    return 0;
}

int WriteAll(const CHandle& file, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int WriteNewFile(const CHandle& dir, const std::string& name, const std::string& bytes) {
    CHandle file;
    if (int err = CreateNewFile(dir, name, file))
        return err;
    return WriteAll(file, bytes);
}

int RemoveAll(const CHandle& dir, const std::string& name) {
    if (::unlinkat(dir.Get(), name.c_str(), 0) == 0)
        return 0;
    if (errno != EISDIR && errno != EPERM)
        return errno == ENOENT ? 0 : errno;
    CHandle sub;
    if (int err = OpenSubdir(dir, name, sub))
        return err;
    std::vector<Entry> entries;
    if (int err = List(sub, entries))
        return err;
    for (const Entry& e : entries)
        if (int err = RemoveAll(sub, e.name))
            return err;
    sub.Reset();
    return ::unlinkat(dir.Get(), name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

int MakeTempDirBeside(const std::string& path, std::string& made) {
    std::string base = path;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string tmpl = base + ".partXXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return errno;
    made = buf.data();
    return 0;
}

bool IsAbsentOrEmptyDir(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return false;
    CHandle dir;
    std::vector<Entry> entries;
    return OpenDir(path, dir) == 0 && List(dir, entries) == 0 && entries.empty();
}

} // namespace dirtree
