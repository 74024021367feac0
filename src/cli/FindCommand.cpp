#include "cli/FindCommand.h"

#include "app/Bookmarks.h"
#include "app/FindTexts.h"
#include "app/ItemPath.h"
#include "app/SearchWalk.h"
#include "cli/Session.h"
#include "platform/Encoding.h"

#include <ostream>

namespace cli {

namespace {

// The path of an item as `nota` takes it, with each title as the window shows it.
std::string ShownPath(const CTreeCtrl& tree, HTREEITEM h) {
    std::string path;
    for (HTREEITEM n = h; n; n = tree.GetParentItem(n)) {
        std::string title = itempath::Escape(enc::DecodeStored(tree.GetItemText(n)));
        path = path.empty() ? title : title + "/" + path;
    }
    return path;
}

} // namespace

int Find(const Call& call, Streams& io) {
    const bool matchCase = call.Has("--case"), titlesOnly = call.Has("--titles"),
               mark = call.Has("--mark");
    const Args& rest = call.args;
    if (!str::IsValidSearchText(rest[1])) {
        io.err << str::kInvalidSearchString << '\n';
        return 2;
    }
    CCliSession s(io.err);
    s.m_settings.m_bRememberTreeState = true; // keeps the bookmarks that are there
    // Only --mark writes (the bookmarks); a plain search reads, also read-only files.
    if (!s.Open(rest[0],
                mark ? CNotariumDoc::OpenMode::ReadWrite : CNotariumDoc::OpenMode::ReadOnly))
        return 2;
    CStoredPattern pattern;
    pattern.Init(rest[1], matchCase);
    CStoreTextReader reader(s.m_doc.Store());
    CStopCheck stop;
    SearchContext ctx{s.m_tree, pattern, reader, stop};
    std::size_t hits = 0;
    try {
        bool escaped = false;
        hits = ForEachMatch(
            ctx, titlesOnly,
            [&](const ItemHit& hit) {
                io.out << ShownPath(s.m_tree, hit.hItem) << '\n';
                if (mark)
                    bookmarks::Set(s.m_tree, hit.hItem, true);
            },
            escaped);
    } catch (const CFileException& e) {
        s.m_ui.ReportError(e);
        s.m_doc.DeleteContents();
        return 2;
    }
    io.out.flush();
    if (mark && hits > 0)
        return s.Close() ? 0 : 2;
    s.m_doc.DeleteContents(); // a search changes nothing in the file
    if (!s.Ok())
        return 2;
    return hits > 0 ? 0 : 1;
}

} // namespace cli
