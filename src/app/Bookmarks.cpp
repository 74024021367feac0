#include "app/Bookmarks.h"

#include "app/TreeWalk.h"
#include "platform/Encoding.h"
#include "store/DataFormat.h"

namespace bookmarks {

namespace {

using treewalk::NextPreorder;
using treewalk::PrevPreorder;

// The first bookmarked item from h on, stepping with next, before reaching stop.
template <typename Step>
HTREEITEM Scan(const CTreeCtrl& tree, HTREEITEM h, HTREEITEM stop, Step next) {
    for (; h && h != stop; h = next(tree, h))
        if (IsSet(tree, h))
            return h;
    return nullptr;
}

std::size_t CountChars(const std::string& utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The last `chars` characters of utf8.
std::string TailChars(const std::string& utf8, std::size_t chars) {
    std::size_t i = utf8.size();
    while (i > 0 && chars > 0) {
        --i;
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
            --chars;
    }
    return utf8.substr(i);
}

} // namespace

bool IsSet(const CTreeCtrl& tree, HTREEITEM h) {
    return h && (treewalk::GetImage(tree, h) & nota::IMAGE_BOOKMARK) != 0;
}

bool Set(CTreeCtrl& tree, HTREEITEM h, bool on) {
    int image = 0, selected = 0;
    if (!h || !tree.GetItemImage(h, image, selected))
        return false;
    int newImage = on ? image | nota::IMAGE_BOOKMARK : image & ~nota::IMAGE_BOOKMARK;
    int newSelected = on ? selected | nota::IMAGE_BOOKMARK : selected & ~nota::IMAGE_BOOKMARK;
    if (newImage != image || newSelected != selected)
        tree.SetItemImage(h, newImage, newSelected);
    return true;
}

bool Toggle(CTreeCtrl& tree, HTREEITEM h) {
    return Set(tree, h, !IsSet(tree, h));
}

HTREEITEM FindNext(const CTreeCtrl& tree, HTREEITEM hSelected) {
    HTREEITEM root = tree.GetRootItem();
    if (HTREEITEM h = Scan(tree, NextPreorder(tree, hSelected), nullptr, NextPreorder))
        return h;
    if (hSelected == root)
        return nullptr; // the first walk covered everything
    return Scan(tree, root, hSelected, NextPreorder);
}

HTREEITEM FindPrevious(const CTreeCtrl& tree, HTREEITEM hSelected) {
    HTREEITEM last = treewalk::LastPreorder(tree);
    if (HTREEITEM h = Scan(tree, PrevPreorder(tree, hSelected), nullptr, PrevPreorder))
        return h;
    if (hSelected == last)
        return nullptr;
    return Scan(tree, last, hSelected, PrevPreorder);
}

std::size_t RemoveAll(CTreeCtrl& tree) {
    std::size_t n = 0;
    for (HTREEITEM h = tree.GetRootItem(); h; h = NextPreorder(tree, h))
        if (IsSet(tree, h)) {
            Set(tree, h, false);
            ++n;
        }
    return n;
}

std::string GetItemPath(const CTreeCtrl& tree, HTREEITEM h, std::size_t maxChars) {
    std::string path;
    for (HTREEITEM n = h; n; n = tree.GetParentItem(n)) {
        std::string buffer = enc::DecodeStored(tree.GetItemText(n));
        if (!path.empty())
            buffer += "\\" + path;
        if (CountChars(buffer) > maxChars) {
            std::string tail = TailChars(buffer, maxChars > 3 ? maxChars - 3 : 0);
            std::size_t slash = tail.find('\\');
            return "..." + (slash == std::string::npos ? tail : tail.substr(slash));
        }
        path = std::move(buffer);
    }
    return path;
}

std::vector<BookmarkEntry> Collect(const CTreeCtrl& tree) {
    std::vector<BookmarkEntry> entries;
    for (HTREEITEM h = tree.GetRootItem(); h; h = NextPreorder(tree, h)) {
        if (!IsSet(tree, h))
            continue;
        BookmarkEntry e;
        e.strPath = GetItemPath(tree, h, kListPathChars);
        e.hItem = h;
        tree.GetItemImage(h, e.nImage, e.nSelectedImage);
        e.nImage &= ~nota::IMAGE_OPEN;
        e.nSelectedImage &= ~nota::IMAGE_OPEN;
        entries.push_back(std::move(e));
    }
    return entries;
}

void ApplyRemovals(CTreeCtrl& tree, const std::vector<BookmarkEntry>& entries) {
    for (const BookmarkEntry& e : entries)
        if (e.bRemoved)
            Set(tree, e.hItem, false);
}

} // namespace bookmarks
