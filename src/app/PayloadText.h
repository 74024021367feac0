#pragma once
// What a copied item offers other programs as plain text, made from its "NotariumData"
// payload: a textlet's text, or a folder's title with the titles of everything below it as an
// indented outline. Pasting into a mail or an editor then gives something worth having.

#include "platform/Types.h"

#include <cstddef>
#include <string>

namespace payload {

// Spaces per level of the outline.
constexpr std::size_t kOutlineIndent = 2;

// The payload as UTF-8 text with LF line breaks. Each top-level item gives, in order: a
// textlet without children its text (up to its first NUL); any other item its title and the
// titles below it, one per line, indented by depth. Stored bytes that are not UTF-8 are read
// as Windows-1252. A malformed payload gives what was read before the fault; nothing is read
// past `size`.
std::string PlainText(const BYTE* data, std::size_t size);

} // namespace payload
