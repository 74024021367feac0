#include "app/TreeWalk.h"

#include "store/DataFormat.h"

namespace treewalk {

int GetImage(const CTreeCtrl& tree, HTREEITEM h) {
    int image = 0, selected = 0;
    tree.GetItemImage(h, image, selected);
    return image;
}

void UpdateOpenImage(CTreeCtrl& tree, HTREEITEM h) {
    int image = 0, selected = 0;
    if (!tree.GetItemImage(h, image, selected))
        return;
    bool expanded = tree.GetItemState(h, TVIS_EXPANDED) != 0;
    int newImage = expanded ? (image | nota::IMAGE_OPEN) : (image & ~nota::IMAGE_OPEN);
    int newSelected = expanded ? (selected | nota::IMAGE_OPEN) : (selected & ~nota::IMAGE_OPEN);
    if (newImage != image || newSelected != selected)
        tree.SetItemImage(h, newImage, newSelected);
}

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

HTREEITEM GetFolderOf(const CTreeCtrl& tree, HTREEITEM h) {
    if (!h)
        return nullptr;
    return nota::IsTextletImage(GetImage(tree, h)) ? tree.GetParentItem(h) : h;
}

bool IsSameOrAncestor(const CTreeCtrl& tree, HTREEITEM a, HTREEITEM b) {
    for (HTREEITEM n = a; n; n = tree.GetParentItem(n))
        if (n == b)
            return true;
    return false;
}

} // namespace treewalk
