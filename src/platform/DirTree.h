#pragma once
// Directory trees on disk for export and import, opened relative to a directory handle so
// that a name is never resolved through a symbolic link: every open refuses to follow one.
// Errors come back as errno values (0: success); nothing here throws.

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dirtree {

// An open directory (or file) descriptor, closed with the object.
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(int fd) : m_fd(fd) {}
    ~CHandle() { Reset(); }
    CHandle(CHandle&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    CHandle& operator=(CHandle&& other) noexcept;
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    void Reset();

private:
    int m_fd = -1;
};

enum class Kind { file, directory, symlink, other };

struct Entry {
    std::string name; // one path component, never "." or ".."
    Kind kind = Kind::other;
    std::uint64_t size = 0; // files only
    std::uint64_t device = 0, inode = 0;
};

// What a path given by the user names (the path itself may pass through links: the user
// chose it). Returns errno.
int StatPath(const std::string& path, Entry& entry);
// Opens the directory at path (following links in the user's path). Returns errno.
int OpenDir(const std::string& path, CHandle& dir);

// Opens the subdirectory `name` of dir without following a link. Returns errno (ELOOP or
// ENOTDIR for a link).
int OpenSubdir(const CHandle& dir, const std::string& name, CHandle& sub);
// The entries of dir sorted by name bytes, with their kind as they are (links not
// followed). Returns errno.
int List(const CHandle& dir, std::vector<Entry>& entries);
// Reads the regular file `name` of dir (dir null: the path itself) whole, refusing links
// and anything that is not a regular file; files over maxBytes give EFBIG, unread. Returns
// errno.
int ReadFile(const CHandle* dir, const std::string& name, std::uint64_t maxBytes,
             std::string& bytes);

// The device and inode of an open directory. Returns errno.
int Identify(const CHandle& dir, std::uint64_t& device, std::uint64_t& inode);
// Opens the parent of dir, which must be the directory (device, inode): deep walks keep
// only the nearest levels open and find their way back up by it. Returns errno (ESTALE
// when the parent is another directory now).
int OpenParent(const CHandle& dir, std::uint64_t device, std::uint64_t inode, CHandle& parent);

// Deep walks: a stack of levels, each with `CHandle dir` and the directory's `device` and
// `inode`. Only the nearest levels stay open, so any depth fits the descriptor limit.
inline constexpr std::size_t kOpenLevels = 64;

// After a push: closes the level that has just fallen out of the open window.
template <typename Level> void CloseFarLevel(std::vector<Level>& stack) {
    if (stack.size() > kOpenLevels)
        stack[stack.size() - 1 - kOpenLevels].dir.Reset();
}

// Pops the top level and makes sure the one below is open again. Returns errno (that
// level's directory could not be found again; it stays closed).
template <typename Level> int PopLevel(std::vector<Level>& stack) {
    CHandle below = std::move(stack.back().dir);
    stack.pop_back();
    if (stack.empty() || stack.back().dir.IsOpen())
        return 0;
    if (!below.IsOpen())
        return EBADF;
    return OpenParent(below, stack.back().device, stack.back().inode, stack.back().dir);
}

// Creates the directory `name` in dir and opens it. Returns errno (EEXIST when it exists).
int MakeSubdir(const CHandle& dir, const std::string& name, CHandle& sub);
// A new file `name` in dir (never one that exists, never through a link), open for writing;
// returns errno.
int CreateNewFile(const CHandle& dir, const std::string& name, CHandle& file);
// All of bytes to file, retrying short writes; returns errno.
int WriteAll(const CHandle& file, std::string_view bytes);
// Creates the new file `name` in dir with the bytes. Returns errno (EEXIST when it exists).
int WriteNewFile(const CHandle& dir, const std::string& name, const std::string& bytes);
// Removes `name` in dir with everything in it, never following links. Returns errno.
int RemoveAll(const CHandle& dir, const std::string& name);

// A new, empty directory beside `path` named "<path>.partXXXXXX"; returns errno.
int MakeTempDirBeside(const std::string& path, std::string& made);
// True when path does not exist or is an empty directory.
bool IsAbsentOrEmptyDir(const std::string& path);

} // namespace dirtree
