#include "platform/Strings.h"

namespace str {

namespace {
// The standard file-error messages by cause.
const char* const kFileErrors[] = {
    "No error occurred.",
    "An unknown error occurred while accessing %1.",
    "%1 was not found.",
    "%1 contains an invalid path.",
    "%1 could not be opened because there are too many open files.",
    "Access to %1 was denied.",
    "An invalid file handle was associated with %1.",
    "%1 could not be removed because it is the current directory.",
    "%1 could not be created because the directory is full.",
    "Seek failed on %1",
    "A hardware I/O error was reported while accessing %1.",
    "A sharing violation occurred while accessing %1.",
    "A locking violation occurred while accessing %1.",
    "Disk full while accessing %1.",
    "An attempt was made to access %1 past its end.",
    "%1 is not a regular file (a link, a folder or a pipe is there). Move it away and try again.",
};
} // namespace

std::string Load(UINT id) {
    switch (id) {
    case IDS_TEMPFILE_ERROR:
        return kTempFileError;
    case IDS_CORRUPT_FILE:
        return kCorruptFile;
    case IDS_NO_MORE_BOOKMARKS:
        return kNoMoreBookmarks;
    case IDS_CANNOT_FIND:
        return kCannotFind;
    case IDS_SEARCHING:
        return kSearching;
    case IDS_IDLE_PROMPT:
        return kIdlePrompt;
    default:
        break;
    }
    if (id >= IDS_FILE_ERROR_FIRST && id < IDS_FILE_ERROR_FIRST + std::size(kFileErrors))
        return kFileErrors[id - IDS_FILE_ERROR_FIRST];
    return {};
}

} // namespace str
