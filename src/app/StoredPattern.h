#pragma once
// What the user typed, searched in stored bytes as the program shows them. Stored titles and
// texts are UTF-8, or Windows-1252 when they are not valid UTF-8 (enc::DecodeStored), so a
// pattern with characters outside ASCII is searched twice over:
//   - its UTF-8 bytes, in a text only when that text is valid UTF-8;
//   - its Windows-1252 bytes (when every character has one), only in a text that is not.
// A pattern of ASCII characters has the same bytes in both and is searched once, with no look
// at the encoding at all. A line feed in the pattern stands for the stored CR LF. A pattern
// that is not valid UTF-8 is searched as the bytes it is, in every text.

#include "app/PatternSearch.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

struct PatternMatch {
    std::ptrdiff_t nPos = -1; // byte offset in the stored bytes, -1 none
    std::size_t nLength = 0;  // stored bytes matched
    explicit operator bool() const { return nPos >= 0; }
};

class CStoredPattern {
public:
    // pattern: the user's text as UTF-8. An empty pattern never matches.
    void Init(std::string_view pattern, bool matchCase);
    // The first (forward) or last (backward) occurrence in one stored title or text.
    PatternMatch Find(std::string_view stored, bool backward) const;

    // Whether the pattern's bytes in either encoding occur in bytes[0, n), without asking which
    // encoding they are shown in: false means Find finds nothing in any text that is a part of
    // these bytes. Reads nothing outside them; needs no memory.
    bool Occurs(const char* bytes, std::size_t n) const;
    // The longer of the pattern's two byte forms.
    std::size_t LongestBytes() const { return std::max(m_utf8.size(), m_cp1252.size()); }

    // The pattern's bytes in each encoding ("" when it has none in Windows-1252).
    const std::string& Utf8Bytes() const { return m_utf8; }
    const std::string& Cp1252Bytes() const { return m_cp1252; }

private:
    CPatternSearch m_primary; // the bytes as given (UTF-8 for any non-ASCII text)
    CPatternSearch m_alt;     // the Windows-1252 bytes, when they differ
    std::string m_utf8, m_cp1252;
    bool m_bTwoEncodings = false;
};

// A match in stored bytes as a range of the shown text (enc::DecodeStored, then CR LF as LF),
// in bytes of that UTF-8 text. The range is clamped to the text.
struct ShownRange {
    std::size_t nStart = 0;
    std::size_t nLength = 0;
};
ShownRange StoredToShown(std::string_view stored, std::size_t pos, std::size_t length);
