#pragma once
// Item paths: titles from a top-level item down, joined by "/" ("\/" is a slash inside a
// title, "\\" a backslash). Among siblings of one title the first in display order counts.

#include "platform/TreeCtrl.h"

#include <string>
#include <vector>

namespace itempath {

// Splits a path into titles; false for an empty path or an empty segment.
bool Split(const std::string& path, std::vector<std::string>& titles);
// The part of a path before its last separating "/", exactly as written (empty when the
// path has one title).
std::string ParentOf(const std::string& path);
// The item a path names, or null.
HTREEITEM Find(const CTreeCtrl& tree, const std::string& path);
// The path of an item.
std::string Of(const CTreeCtrl& tree, HTREEITEM h);
std::string Escape(const std::string& title);

} // namespace itempath
