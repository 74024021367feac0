#pragma once
// Bookmarks: bit IMAGE_BOOKMARK of an item's image and selected image, nothing else. The
// walks and the list of the Bookmarks dialog, without a window: the window selects what they
// find, beeps and shows the texts.

#include "platform/TreeCtrl.h"

#include <cstddef>
#include <string>
#include <vector>

namespace bookmarks {

bool IsSet(const CTreeCtrl& tree, HTREEITEM h);
// Sets or clears the bit in both images; no other bit changes. False for no item.
bool Set(CTreeCtrl& tree, HTREEITEM h, bool on);
bool Toggle(CTreeCtrl& tree, HTREEITEM h);

// The next bookmarked item after hSelected in pre-order, wrapping round from the root up to
// (not including) hSelected; null when there is none. hSelected itself is never the answer.
// With no selection (null) the whole tree is searched from the root.
HTREEITEM FindNext(const CTreeCtrl& tree, HTREEITEM hSelected);
// The mirror image: backwards in pre-order, wrapping round from the last item.
HTREEITEM FindPrevious(const CTreeCtrl& tree, HTREEITEM hSelected);

// Clears every bookmark; returns how many there were.
std::size_t RemoveAll(CTreeCtrl& tree);

// The display path of an item: titles (as shown, UTF-8) from the root down joined by "\".
// When longer than maxChars characters (at least 4), the tail of maxChars - 3 characters
// is kept from its first backslash on (when it has one) behind "...".
std::string GetItemPath(const CTreeCtrl& tree, HTREEITEM h, std::size_t maxChars);

constexpr std::size_t kListPathChars = 50;

// One row of the Bookmarks list.
struct BookmarkEntry {
    std::string strPath; // GetItemPath with kListPathChars
    HTREEITEM hItem = nullptr;
    int nImage = 0; // closed picture, with the ribbon
    int nSelectedImage = 0;
    bool bRemoved = false; // removed in the dialog
};

// Every bookmarked item in pre-order.
std::vector<BookmarkEntry> Collect(const CTreeCtrl& tree);
// Clears the bookmarks of the entries removed in the dialog.
void ApplyRemovals(CTreeCtrl& tree, const std::vector<BookmarkEntry>& entries);

} // namespace bookmarks
