#pragma once
// Walks over the item tree used by bookmarks, search and the item commands. Pre-order
// visits collapsed folders' children too.

#include "platform/TreeCtrl.h"

namespace treewalk {

HTREEITEM NextPreorder(const CTreeCtrl& tree, HTREEITEM h);
HTREEITEM PrevPreorder(const CTreeCtrl& tree, HTREEITEM h);
HTREEITEM LastPreorder(const CTreeCtrl& tree);
// A textlet's parent; a folder or the root itself; null for null.
HTREEITEM GetFolderOf(const CTreeCtrl& tree, HTREEITEM h);
// True when b is a or one of a's ancestors.
bool IsSameOrAncestor(const CTreeCtrl& tree, HTREEITEM a, HTREEITEM b);
int GetImage(const CTreeCtrl& tree, HTREEITEM h);
// Sets or clears the open bit of the item's image codes to match its expanded state.
void UpdateOpenImage(CTreeCtrl& tree, HTREEITEM h);

} // namespace treewalk
