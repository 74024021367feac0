#include "app/ItemPath.h"

namespace itempath {

bool Split(const std::string& path, std::vector<std::string>& titles) {
    titles.clear();
    std::string cur;
    for (std::size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == '\\' && i + 1 < path.size() && (path[i + 1] == '/' || path[i + 1] == '\\')) {
            cur += path[++i];
        } else if (c == '/') {
            if (cur.empty())
                return false;
            titles.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (cur.empty())
        return false;
    titles.push_back(cur);
    return true;
}

std::string ParentOf(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i + 1 < path.size() && (path[i + 1] == '/' || path[i + 1] == '\\'))
            ++i; // an escaped character, never a separator
        else if (path[i] == '/')
            last = i;
    }
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

HTREEITEM Find(const CTreeCtrl& tree, const std::string& path) {
    std::vector<std::string> titles;
    if (!Split(path, titles))
        return nullptr;
    HTREEITEM parent = TVI_ROOT;
    HTREEITEM found = nullptr;
    for (const std::string& title : titles) {
        found = nullptr;
        for (HTREEITEM h = tree.GetChildItem(parent); h; h = tree.GetNextSiblingItem(h)) {
            if (tree.GetItemText(h) == title) {
                found = h;
                break;
            }
        }
        if (!found)
            return nullptr;
        parent = found;
    }
    return found;
}

std::string Escape(const std::string& title) {
    std::string out;
    for (char c : title) {
        if (c == '/' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string Of(const CTreeCtrl& tree, HTREEITEM h) {
    std::string path;
    for (HTREEITEM n = h; n; n = tree.GetParentItem(n))
        path = Escape(tree.GetItemText(n)) + (path.empty() ? "" : "/" + path);
    return path;
}

} // namespace itempath
