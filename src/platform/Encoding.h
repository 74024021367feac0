#pragma once
// Stored titles and texts are bytes: UTF-8, or a Windows code page for files made elsewhere.
// These helpers decide how such bytes are shown and how text goes back to the file.

#include <cstddef>
#include <string>
#include <string_view>

namespace enc {

bool IsValidUtf8(std::string_view bytes);
// Windows-1252 bytes as UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 that consists only of characters of Windows-1252, back to those bytes; false when
// some character has none, or the text is not UTF-8 (bytes is then unspecified).
bool Utf8ToCp1252(std::string_view utf8, std::string& bytes);
// Stored bytes as UTF-8 for display: valid UTF-8 as it is, anything else as Windows-1252.
std::string DecodeStored(std::string_view bytes);

// The longest prefix of `bytes` of at most `maxBytes` bytes that does not split a UTF-8
// sequence (for bytes that are not UTF-8, simply the first maxBytes bytes).
std::string CutToBytes(std::string_view bytes, std::size_t maxBytes);

// Line breaks: the file stores CR LF, the edit pane works with LF.
std::string LfToCrLf(std::string_view text);
std::string CrLfToLf(std::string_view text);

// Case-insensitive title order used for sorted insertion everywhere: ASCII letters fold,
// other bytes compare as unsigned. Returns <0, 0, >0.
int CompareTitles(std::string_view a, std::string_view b);

} // namespace enc
