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
    if (!h || !tree.GetItemImage(h, image, selected))
        return;
    bool expanded = tree.GetItemState(h, TVIS_EXPANDED) != 0;
    int newImage = expanded ? (image | nota::IMAGE_OPEN) : (image & ~nota::IMAGE_OPEN);
    int newSelected = expanded ? (selected | nota::IMAGE_OPEN) : (selected & ~nota::IMAGE_OPEN);
    if (newImage != image || newSelected != selected)
        tree.SetItemImage(h, newImage, newSelected);
}

HTREEITEM GetFolderOf(const CTreeCtrl& tree, HTREEITEM h) {
    if (!h)
        return nullptr;
    return nota::IsTextletImage(GetImage(tree, h)) ? tree.GetParentItem(h) : h;
}

} // namespace treewalk
