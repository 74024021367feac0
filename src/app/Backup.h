#pragma once
// Backups of a data file, each checked before it counts.
//
// Where: one folder per data file, "$XDG_DATA_HOME/Notarium/backups/<file name>-<hash>/"
// (~/.local/share when XDG_DATA_HOME is unset or not absolute), the hash a short one of the
// file's absolute path with links followed, so that two files of one name stay apart. Each
// backup is "<UTC time>.Nota" ("20261208T063201Z.Nota"; "-2", "-3", ... after the time when
// two fall in one second).
//
// How: a backup is taken between operations, while the file's exclusive lock is held (the
// open document's, or taken here for a closed file), so it is one consistent state of the
// file. It is built beside its final name under a fixed work name (a copy-on-write clone
// where the file system offers one, else a copy inside the kernel), committed to the disk,
// checked by the repair engine (no error, and as many items as the file), and only then
// renamed to its final name, never over anything. A backup that fails the check is removed.
// A stop at any moment therefore leaves at most the work file, which never counts as a
// backup and which the next backup of that file reuses.

#include "app/NotariumDoc.h"
#include "platform/FileSystem.h"
#include "platform/TreeCtrl.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace backup {

// How many backups rotation keeps: the newest of each of the last `daily` days, `weekly`
// weeks (Monday to Sunday) and `monthly` months that have backups (UTC), together.
struct Retention {
    int daily = 7;
    int weekly = 4;
    int monthly = 6;
};

struct Options {
    std::string folder;  // the backups folder; empty: FolderFor(the file's path)
    std::time_t now = 0; // the backup's time; 0: the system clock
    Retention keep;      // rotation after a backup was made
    bool bRotate = true;
    // The bytes free for new files in a folder; false when unknown (then no guard). Empty:
    // statvfs.
    std::function<bool(const std::string& folder, std::uint64_t& freeBytes)> freeSpace;
};

enum class Outcome {
    Made,    // the backup is at `path`, checked
    Skipped, // not made, for the reason in `message` (busy, too little disk space)
    Damaged, // made but refused by the check: removed; the message says why
    Failed,  // an error (the message says which); nothing was left behind
};

// The message of a backup refused because a change is being written (try again soon).
constexpr const char* kBusy = "Backup skipped: a change is being written.";

struct Result {
    Outcome outcome = Outcome::Failed;
    std::string path;                 // the backup made
    std::string message;              // why it was not made, for the user
    std::string method;               // "clone" or "copy"
    std::vector<std::string> removed; // backups rotation removed
};

// The backups root: "$XDG_DATA_HOME/Notarium/backups/" (with its fallback), trailing '/'.
std::string RootFolder();
// The backups folder of a data file, under root (empty: RootFolder()), trailing '/'.
std::string FolderFor(const std::string& filePath, const std::string& root = "");
// The name of a backup taken at t (UTC), with the n-th suffix when n > 1.
std::string NameFor(std::time_t t, int n = 1);
// The time of a backup's name; false for a name that is not a backup's.
bool ParseName(const std::string& name, std::time_t& t);

// Backs up the open document (CBackupJob's steps at once): the file as it is, without a text
// still pending in an edit pane. Needs a document open with its tree loaded; refuses (Skipped)
// while a store operation is in progress or the header has changes not on the disk. Never throws
// for file errors: they come back as Failed with their message.
Result BackUpDocument(CNotariumDoc& doc, const Options& options);
// A backup in steps, for a window that must not wait for the copy or the check. Copy takes the
// file's state between operations on the document's thread (a clone costs next to nothing, a
// copy runs at disk speed). A window that must not wait even for a copy splits it: Start (on the
// document's thread, cheap: the checks, the work file, a handle of its own on the file) and
// CopyData (on any thread), after which IsCurrent, back on the document's thread, tells whether
// the copy is of one state; when it is not the job is dropped and a new one started. Finish
// commits, checks and names the copy and rotates the folder; it touches only the backups folder,
// so it may run on another thread while the document goes on changing. A job destroyed before
// Finish leaves nothing behind. No step throws for file errors.
class CBackupJob {
public:
    explicit CBackupJob(Options options);
    ~CBackupJob();
    CBackupJob(const CBackupJob&) = delete;
    CBackupJob& operator=(const CBackupJob&) = delete;

    // Made: copied, Finish next; anything else is the final result. Start then CopyData.
    Result Copy(CNotariumDoc& doc);
    // Made: ready for CopyData; anything else is the final result.
    Result Start(CNotariumDoc& doc);
    // Copies the file's bytes as Start found them. Made: IsCurrent next, then Finish; Skipped
    // when `stop` was set while it ran (nothing is left behind once the job goes).
    Result CopyData(const std::atomic<bool>* stop = nullptr);
    // True while nothing has written to the document's file since Start and no operation is
    // in progress: a copy made meanwhile is of the state Start saw. On the document's thread.
    bool IsCurrent(const CNotariumDoc& doc) const;
    Result Finish();

private:
    Options m_options;
    std::string m_strFile, m_strFolder, m_strMethod;
    std::size_t m_nItems = 0;
    std::uint64_t m_nSize = 0, m_nChanges = 0;
    std::uint64_t m_nDevice = 0, m_nInode = 0;
    int m_source = -1; // the file, opened anew for reading: closing it never touches its lock
    std::unique_ptr<CFileReplacement> m_work;
    CFile m_out; // the copy, open until Finish commits it

    void CloseSource() noexcept;
};

// Backs up a data file that no window has open: opens it as `nota` does (its lock, an
// unfinished change rolled back), then as BackUpDocument. Messages of the open go to ui.
Result BackUpFile(const std::string& path, IUiServices& ui, const Options& options);

// What the check of a backup found.
struct Verdict {
    bool bSound = false;    // no error at all
    std::size_t nItems = 0; // items of its tree
    std::string reason;     // the first error, when not sound
};
// Checks a data file with the repair engine, writing nothing. Never throws.
Verdict Check(const std::string& path);

struct Entry {
    std::string path;
    std::time_t time = 0;
    std::uint64_t size = 0;
    bool bChecked = false; // the two below are known
    bool bSound = false;
    std::size_t nItems = 0;
};
// The backups in a folder, oldest first; with bCheck each is checked (slow for large files).
// Work files and anything else in the folder are left out.
std::vector<Entry> List(const std::string& folder, bool bCheck);

// Which of the backups (times, any order) rotation keeps: a flag per backup. The newest backup
// whose flag in `sound` is set is always kept (sound may be empty: none known).
std::vector<bool> SelectKept(const std::vector<std::time_t>& times, const Retention& keep,
                             const std::vector<bool>& sound = {});
// Removes from the folder what SelectKept does not keep; `soundPath` (the backup just made
// and checked) counts as sound. Returns the paths removed.
std::vector<std::string> Rotate(const std::string& folder, const Retention& keep,
                                const std::string& soundPath);

// Copies the first `size` bytes of the open file `from` into the empty open file `to` (whose
// path `toPath` errors name): a copy-on-write clone where the file system offers one, else
// copy_file_range, else sendfile, in pieces of kCopyPiece bytes. Returns "clone" or "copy", or
// "" when `stop` was set between two pieces; throws CFileException.
constexpr std::uint64_t kCopyPiece = 64u << 20;
std::string CopyContents(int from, int to, std::uint64_t size, const std::string& toPath,
                         const std::atomic<bool>* stop = nullptr);

// Restores a whole backup as the new file `target`, which must not exist: built beside it,
// checked, then put there without ever replacing anything. False with the user's message in
// `error`.
bool RestoreFile(const std::string& backupPath, const std::string& target, std::string& error);

// Copies `item` of a backup opened as its own document into the folder of `into` (the item
// itself when it is a folder) of the open document, as one operation. Returns the new item;
// null, or a CFileException, as CNotariumDoc::InsertItems.
HTREEITEM RestoreItem(CNotariumDoc& backupDoc, HTREEITEM item, CNotariumDoc& doc, HTREEITEM into);

} // namespace backup
