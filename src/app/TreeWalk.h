#pragma once
// Walks over the item tree used by bookmarks, search and the item commands (the pre-order
// walks themselves are in platform/PreorderWalk.h), and what the image codes say of an item.

#include "platform/PreorderWalk.h"
#include "platform/TreeCtrl.h"

namespace treewalk {

// A textlet's parent; a folder or the root itself; null for null.
HTREEITEM GetFolderOf(const CTreeCtrl& tree, HTREEITEM h);
int GetImage(const CTreeCtrl& tree, HTREEITEM h);
// Sets or clears the open bit of the item's image codes to match its expanded state. The
// document does this for its own tree at every expansion.
void UpdateOpenImage(CTreeCtrl& tree, HTREEITEM h);

} // namespace treewalk
