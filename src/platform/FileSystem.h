#pragma once
// File-system services beyond one open file: temporary files, crash-safe copies.

#include <string>

namespace fs_util {

// The directory for temporary files ($TMPDIR, else /tmp), with a trailing '/'.
// Returns false (errno set) when it cannot be used.
bool GetTempPath(std::string& dir);

// Creates a new, empty, uniquely named file "<dir><prefix>XXXXXX.tmp" and returns its path.
// Returns false (errno set) on failure.
bool GetTempFileName(const std::string& dir, const std::string& prefix, std::string& path);

// Copies `from` over `to` so that a crash at any moment leaves `to` either as it was or
// complete: the copy is written beside `to`, committed to disk, then renamed over it.
// Returns false with errno set on failure; `to` is then unchanged.
bool SafeCopyFile(const std::string& from, const std::string& to);

// Puts `from` in place of `to` atomically (rename) and commits the directory.
bool SafeReplaceFile(const std::string& from, const std::string& to);

bool DeleteFile(const std::string& path);
bool FileExists(const std::string& path);

// The text of an errno value, for messages that quote the system's own words.
std::string SystemErrorText(int err);

} // namespace fs_util
