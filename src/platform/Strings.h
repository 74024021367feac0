#pragma once
// Every fixed text of the system in one place. Texts with a resource number keep it.

#include "platform/Types.h"

#include <string>

namespace str {

// Numbered messages.
constexpr UINT IDS_TEMPFILE_ERROR = 1002;
constexpr UINT IDS_CORRUPT_FILE = 1003;
constexpr UINT IDS_NO_MORE_BOOKMARKS = 1004;
constexpr UINT IDS_CANNOT_FIND = 1005;
constexpr UINT IDS_SEARCHING = 1006;
constexpr UINT IDS_IDLE_PROMPT = 57345;
// The file-error messages by cause: 61856 + cause.
constexpr UINT IDS_FILE_ERROR_FIRST = 61856;

// The text of a numbered string; empty for an unknown number.
std::string Load(UINT id);

inline constexpr const char* kAppTitle = "Notarium";
inline constexpr const char* kFixTitle = "NotaFix";
inline constexpr const char* kIdlePrompt = "For Help, press F1";
inline constexpr const char* kTempFileError = "Error creating temporary file.";
inline constexpr const char* kCorruptFile =
    "Unable to open %s. File is corrupt or is not a valid Notarium data file.";
inline constexpr const char* kNoMoreBookmarks = "No more bookmarks found.";
inline constexpr const char* kCannotFind = "Cannot find the string '%s'.";
inline constexpr const char* kSearching = "Searching for '%s'...  Press Escape to Stop";
inline constexpr const char* kFailedToOpenDocument = "Failed to open document.";
// A data file that a stopped process left in the middle of a change, brought back.
inline constexpr const char* kRolledBack =
    "%s: an unfinished change was rolled back; the file is as it was before that change.";
// A journal that does not fit the data file at its path (another file was put there).
inline constexpr const char* kJournalSetAside =
    "%s: the rollback journal found beside it does not belong to this file and was not "
    "applied. The file opens as it is; the journal was kept as %s.";
// A reader that cannot roll back what a stopped writer left unfinished.
inline constexpr const char* kNeedsRollback =
    "%s has an unfinished change that must be rolled back first, and the file cannot be "
    "written. Open it once with write access to bring it back to its last whole state.";
// The window on a file it cannot change.
inline constexpr const char* kOpenedToRead =
    "%s cannot be changed (the file or its folder is read-only). It is open to read: its texts "
    "cannot be edited and no change is stored.";
// Text that could not be stored when the window had to close.
inline constexpr const char* kTextKeptAside =
    "The text of '%s' could not be stored in %s. It has been saved to %s.";
inline constexpr const char* kTextNotKept =
    "The text of '%s' could not be stored in %s, nor saved in %s: %s\n\nCopy the text "
    "elsewhere before you close the window.";
// A data file that lost its name while open (deleted, or another file put in its place).
inline constexpr const char* kWrittenBack =
    "The data file %s was deleted or replaced while it was open. Its contents have been "
    "written back to %s.";
inline constexpr const char* kWrittenBeside =
    "The data file %s was replaced by another file while it was open. That file was left as "
    "it is; this file's contents have been written to %s.";
inline constexpr const char* kNotWrittenBack =
    "The data file %s was deleted or replaced while it was open, and it could not be written "
    "back: %s\n\nKeep this window open and copy your texts elsewhere, or free the path and "
    "make another change to try again.";

// Item operations.
inline constexpr const char* kMovingItem = "Moving item...";
inline constexpr const char* kDeletingItem = "Deleting item...";
inline constexpr const char* kCopyingItem = "Copying item...";
inline constexpr const char* kInsertingItem = "Inserting item...";
inline constexpr const char* kCannotDeleteRoot = "You cannot delete the root folder.";
inline constexpr const char* kCannotCutRoot = "You cannot Cut the root folder. Use Copy instead.";
inline constexpr const char* kCannotMoveIntoItself = "You cannot move a folder into itself.";
inline constexpr const char* kDeleteQuestion = "Delete '%s'?";
inline constexpr const char* kDeleteFolderWarning =
    "\n\nWarning: All items within this folder will also be deleted.";

// Compaction.
inline constexpr const char* kCompactQuestion =
    "Compact the current file?\n\nNote: This may take a while with large files.";
inline constexpr const char* kCompacting = "Compacting...";

// The title of a new database's root folder.
inline constexpr const char* kRootTitle = "Notarium";

} // namespace str
