#include "platform/PreorderWalk.h"

namespace treewalk {

HTREEITEM NextPreorder(const CTreeCtrl& tree, HTREEITEM h) {
    if (!h)
        return nullptr;
    if (HTREEITEM child = tree.GetChildItem(h))
        return child;
    for (HTREEITEM n = h; n; n = tree.GetParentItem(n))
        if (HTREEITEM next = tree.GetNextSiblingItem(n))
            return next;
    return nullptr;
}

HTREEITEM PrevPreorder(const CTreeCtrl& tree, HTREEITEM h) {
    if (!h)
        return nullptr;
    HTREEITEM prev = tree.GetPrevSiblingItem(h);
    if (!prev)
        return tree.GetParentItem(h);
    while (tree.ItemHasChildren(prev))
        prev = tree.GetChildAt(prev, tree.GetChildCount(prev) - 1);
    return prev;
}

HTREEITEM LastPreorder(const CTreeCtrl& tree) {
    HTREEITEM h = tree.GetRootItem();
    if (!h)
        return nullptr;
    for (;;) {
        HTREEITEM parent = tree.GetParentItem(h);
        std::size_t count = tree.GetChildCount(parent);
        h = tree.GetChildAt(parent, count - 1); // the last sibling of the current list
        HTREEITEM child = tree.GetChildItem(h);
        if (!child)
            return h;
        h = child;
    }
}

bool IsSameOrAncestor(const CTreeCtrl& tree, HTREEITEM a, HTREEITEM b) {
    for (HTREEITEM n = a; n; n = tree.GetParentItem(n))
        if (n == b)
            return true;
    return false;
}

} // namespace treewalk
