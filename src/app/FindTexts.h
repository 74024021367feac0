#pragma once
// The fixed texts of find, replace and bookmarks that the numbered strings do not hold, and
// the rule for a usable search text.

#include <string_view>

namespace str {

inline constexpr const char* kInvalidSearchString =
    "Invalid search string. Enter one or more non-space characters in the 'Find What' field.";
inline constexpr const char* kShowingBookmarks = "Showing bookmarks...";
inline constexpr const char* kNoBookmarksFound = "No bookmarks found.";
inline constexpr const char* kClose = "Close";

// A search text must hold something besides white space.
inline bool IsValidSearchText(std::string_view text) {
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f')
            return true;
    return false;
}

} // namespace str
