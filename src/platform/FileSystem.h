#pragma once
// File-system services beyond one open file: paths, temporary and work files, crash-safe
// replacement of a file.

#include "platform/File.h"

#include <string>
#include <sys/types.h>

namespace fs_util {

// The folder of a path, with a trailing '/': "./" for a bare name, "/" for a file in the
// root folder.
std::string DirectoryOf(const std::string& path);
// The last part of a path (after the last '/').
std::string FileNameOf(const std::string& path);
// The file a path finally names when it is a symbolic link (the links followed, the last
// part need not exist); any other path unchanged. Replacing a file means replacing this one,
// never the link.
std::string ResolveLinks(const std::string& path);

// The directory for temporary files ($TMPDIR, else /tmp), with a trailing '/'.
// Returns false (errno set) when it cannot be used.
bool GetTempPath(std::string& dir);

// Creates a new, empty, uniquely named file "<dir><prefix>XXXXXX.tmp" and returns its path.
// Returns false (errno set) on failure.
bool GetTempFileName(const std::string& dir, const std::string& prefix, std::string& path);

// The work file for building a new version of `target` beside it: "<prefix><8 hex>.tmp" in
// the target's folder, the same name every time for the same target, so that a run that was
// killed leaves at most one such file, which the next run for that target reuses.
std::string WorkFilePath(const std::string& target, const std::string& prefix);

// Copies `from` over `to` so that a crash at any moment leaves `to` either as it was or
// complete: the copy is written beside `to`, committed to disk, then renamed over it.
// Returns false with errno set on failure; `to` is then unchanged.
bool SafeCopyFile(const std::string& from, const std::string& to);

// Puts `from` in place of `to` atomically (rename) and commits the directory.
bool SafeReplaceFile(const std::string& from, const std::string& to);

// Renames from to `to` only while nothing is at `to` (no file, folder or link): false with
// errno EEXIST when something is, or with the rename's errno. Never replaces anything.
bool PlaceNewFile(const std::string& from, const std::string& to);

// Commits a folder's entries (names created, renamed or removed) to the disk.
bool SyncDirectory(const std::string& dir);

bool DeleteFile(const std::string& path);
// The user's data folder for this program's own files: $XDG_DATA_HOME/Notarium when that is
// an absolute path, else ~/.local/share/Notarium. No slash at the end.
std::string UserDataFolder();
// True when this process may change the file at path in place and make files beside it (a
// journal): the file and its folder can be written.
bool CanChangeFile(const std::string& path);
bool FileExists(const std::string& path);
// The identity of the file a path names; false (errno set) when there is none.
bool GetPathId(const std::string& path, CFile::FileId& id);

// The process's file-creation mask, read without changing it.
mode_t CurrentUmask();
// Gives a file or folder made private (mkstemp, mkdtemp) the permissions a plain create
// would have given it: `mode` (0666 for files, 0777 for folders) less the umask. False
// (errno set) when the permissions cannot be changed.
bool ApplyCreationMode(const std::string& path, mode_t mode);

// The text of an errno value, for messages that quote the system's own words.
std::string SystemErrorText(int err);

} // namespace fs_util

// Builds a new version of a file beside it and puts it in place with one rename, so that a
// crash at any moment leaves the target either as it was or new. A file that another process
// holds (its exclusive lock) is never replaced: its holder would go on writing into the
// unlinked old file and lose what it writes.
//
//   CFileReplacement r(target, "NOTA");
//   r.Create(file);            // the work file, opened exclusively
//   ... write, file.Flush() ...
//   r.Commit(file);            // throws CFileException; the target is unchanged then
class CFileReplacement {
public:
    // target: the path to replace (links followed, see ResolveLinks); prefix: of the work
    // file's name (see WorkFilePath).
    CFileReplacement(const std::string& target, const std::string& prefix);
    // Removes the work file unless it was committed.
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    const std::string& TargetPath() const { return m_strTarget; }
    const std::string& WorkPath() const { return m_strWork; }

    // Creates (or empties a leftover of) the work file and opens `file` on it with read-write
    // access and the exclusive lock. Throws CFileException (a second run for the same target
    // gets the sharing violation).
    // `file` is a CFile or anything opened as one (Open(path, flags)). The lock comes before
    // the truncation: a second run for the same target cannot empty the file this one is
    // building.
    template <class File> void Create(File& file) {
        file.Open(m_strWork, kWorkFlags);
        m_bCreated = true;
    }
    // Puts the work file in place of the target. The caller has committed the work file's
    // contents (Flush). The target keeps its permissions (a new one gets 0644). The target's
    // lock is taken for the rename unless `held` already holds it (the caller's own open
    // data file); another process holding it gives sharingViolation. Throws CFileException
    // on failure, with the target unchanged.
    void Commit(const CFile* held = nullptr);
    // Puts the work file at `path` (the target or another name beside it) only while nothing
    // is there; the new file gets 0644 less the umask. False when something is at the path;
    // throws CFileException on any other failure.
    bool CommitAsNew(const std::string& path);
    bool IsCommitted() const { return m_bCommitted; }

private:
    static constexpr UINT kWorkFlags =
        CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive;
    std::string m_strTarget;
    std::string m_strWork;
    bool m_bCreated = false;
    bool m_bCommitted = false;
};
