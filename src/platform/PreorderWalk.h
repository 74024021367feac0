#pragma once
// Walks of a CTreeCtrl in pre-order (an item, then its children's list, then its next
// sibling), visiting the children of collapsed folders too. Every walk of the whole tree or of
// a subtree goes through here: the document, the stream writers, the repair engine, `nota`.

#include "platform/TreeCtrl.h"

#include <vector>

namespace treewalk {

// The item after h in pre-order; null at the end of the tree and for null.
HTREEITEM NextPreorder(const CTreeCtrl& tree, HTREEITEM h);
// The item before h in pre-order; null before the first top-level item and for null.
HTREEITEM PrevPreorder(const CTreeCtrl& tree, HTREEITEM h);
// The last item of the tree in pre-order; null for an empty tree.
HTREEITEM LastPreorder(const CTreeCtrl& tree);
// True when b is a itself or one of a's ancestors, that is when a lies in b's subtree.
bool IsSameOrAncestor(const CTreeCtrl& tree, HTREEITEM a, HTREEITEM b);

// Walks the lists of a tree as nested lists, the shape every stream of items is written in:
// enter(h) for each item before its children, endList() after the last item of every list
// (an item without children has an empty list), leave(h) once the item's list has ended.
// Starts at first; with bSiblings the walk goes on with first's following siblings, else the
// top level holds first alone. hSkip, with its subtree, is passed over as if it were not
// there. Needs no recursion, so depth is not limited by the stack.
template <class Enter, class EndList, class Leave>
void WalkNested(const CTreeCtrl& tree, HTREEITEM first, bool bSiblings, Enter enter,
                EndList endList, Leave leave, HTREEITEM hSkip = nullptr) {
    std::vector<HTREEITEM> open; // items whose children are being walked
    HTREEITEM h = first;
    for (;;) {
        if (h && h == hSkip) {
            h = bSiblings || !open.empty() ? tree.GetNextSiblingItem(h) : nullptr;
            continue;
        }
        if (h) {
            enter(h);
            open.push_back(h);
            h = tree.GetChildItem(h);
            continue;
        }
        endList();
        if (open.empty())
            break;
        HTREEITEM done = open.back();
        open.pop_back();
        leave(done);
        h = bSiblings || !open.empty() ? tree.GetNextSiblingItem(done) : nullptr;
    }
}

} // namespace treewalk
