#include "cli/Commands.h"

#include "app/ItemPath.h"
#include "cli/Session.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "store/DataFormat.h"
#include "store/TextChain.h"

#include <istream>
#include <ostream>
#include <string_view>

namespace cli {

namespace {

// Finds PATH in the session's tree; shows an error when it names nothing.
HTREEITEM FindItem(CCliSession& s, const std::string& path) {
    HTREEITEM h = itempath::Find(s.m_tree, path);
    if (!h)
        s.m_ui.MessageBox("No item at '" + path + "'.", MB_OK | MB_ICONEXCLAMATION);
    return h;
}

// Opens FILE (args[0]) and finds the items that the paths after it name.
bool OpenItems(CCliSession& s, const Args& args, std::vector<HTREEITEM>& items,
               CNotariumDoc::OpenMode mode = CNotariumDoc::OpenMode::ReadWrite) {
    if (!s.Open(args[0], mode))
        return false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        HTREEITEM h = FindItem(s, args[i]);
        if (!h)
            return false;
        items.push_back(h);
    }
    return true;
}

// Ends a command. After a failed change the file is as before it: the tree in memory,
// which may differ from it, is not written back.
int Done(CCliSession& s, bool ok) {
    if (!ok) {
        s.m_doc.DeleteContents();
        return 1;
    }
    return s.Close() ? 0 : 1;
}

void JsonString(std::ostream& out, const std::string& bytes) {
    out << '"';
    for (unsigned char c : enc::DecodeStored(bytes)) {
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        case '\t':
            out << "\\t";
            break;
        default:
            if (c < 0x20) {
                static const char* hex = "0123456789abcdef";
                out << "\\u00" << hex[c >> 4] << hex[c & 15];
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

void JsonItems(std::ostream& out, const CTreeCtrl& tree) {
    bool first = true;
    out << '[';
    treewalk::WalkNested(
        tree, tree.GetRootItem(), true,
        [&](HTREEITEM h) {
            if (!first)
                out << ',';
            int image = 0, selected = 0;
            tree.GetItemImage(h, image, selected);
            out << "{\"title\":";
            JsonString(out, tree.GetItemText(h));
            out << ",\"image\":" << image << ",\"textData\":" << tree.GetItemData(h)
                << ",\"state\":" << tree.GetItemState(h, TVIS_SELECTED | TVIS_EXPANDED)
                << ",\"children\":[";
            first = true;
        },
        [&] { out << ']'; },
        [&](HTREEITEM) {
            out << '}';
            first = false;
        });
}

} // namespace

int New(const Call& call, Streams& io) {
    const std::string& file = call.args[0];
    if (!call.Has("--force") && fs_util::FileExists(file)) {
        io.err << file << " already exists (use --force to replace it).\n";
        return 1;
    }
    CConsoleUi ui(io.err);
    return CNotariumDoc::PrepareDataFile(file, true, ui) ? 0 : 1;
}

int Tree(const Call& call, Streams& io) {
    CCliSession s(io.err);
    s.m_settings.m_bRememberTreeState = true;
    if (!s.Open(call.args[0], CNotariumDoc::OpenMode::ReadOnly))
        return 1;
    io.out << "{\"treeData\":" << s.m_doc.Store().GetTreeData()
           << ",\"freeList\":" << s.m_doc.Store().GetFreeList() << ",\"items\":";
    JsonItems(io.out, s.m_tree);
    io.out << "}\n";
    s.m_doc.DeleteContents(); // a listing changes nothing in the file
    return s.Ok() ? 0 : 1;
}

int Cat(const Call& call, Streams& io) {
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, call.args, items, CNotariumDoc::OpenMode::ReadOnly))
        return 1;
    HTREEITEM h = items[0];
    if (DWORD offset = static_cast<DWORD>(s.m_tree.GetItemData(h))) {
        try {
            std::vector<BYTE> bytes;
            DWORD length = textchain::Read(s.m_doc.Store(), offset, bytes);
            std::string_view stored(reinterpret_cast<const char*>(bytes.data()),
                                    length ? length - 1 : 0);
            std::string text =
                call.Has("--raw") ? std::string(stored) : enc::CrLfToLf(enc::DecodeStored(stored));
            io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
        } catch (const CFileException& e) {
            s.m_ui.ReportError(e);
        }
    }
    s.m_doc.DeleteContents();
    return s.Ok() ? 0 : 1;
}

int Add(const Call& call, Streams& io) {
    std::vector<std::string> titles;
    if (!itempath::Split(call.args[1], titles)) {
        io.err << "not an item path: '" << call.args[1] << "'\n";
        return 2;
    }
    CCliSession s(io.err);
    if (!s.Open(call.args[0]))
        return 1;
    HTREEITEM parent = TVI_ROOT;
    if (titles.size() > 1) {
        std::string parentPath = itempath::ParentOf(call.args[1]); // as the user wrote it
        HTREEITEM p = FindItem(s, parentPath);
        if (!p)
            return 1;
        parent = treewalk::GetFolderOf(s.m_tree, p);
    }
    bool ok = s.m_doc.InsertNewItem(parent, titles.back(), call.Has("--folder")) != nullptr;
    return Done(s, ok);
}

int Put(const Call& call, Streams& io) {
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, call.args, items))
        return 1;
    HTREEITEM h = items[0];
    std::string input;
    char buffer[1 << 16];
    while (io.in.read(buffer, sizeof buffer) || io.in.gcount() > 0)
        input.append(buffer, static_cast<std::size_t>(io.in.gcount()));
    if (io.in.bad()) { // a read error (standard input a directory, an I/O error)
        s.m_ui.MessageBox("Cannot read standard input; the text was left as it was.",
                          MB_OK | MB_ICONEXCLAMATION);
        return Done(s, false);
    }
    CMemoryTextPane pane;
    pane.m_text = call.Has("--raw") ? std::move(input) : enc::LfToCrLf(input);
    bool ok = true;
    try {
        s.m_doc.SaveText(h, pane);
    } catch (const CFileException& e) {
        s.m_ui.ReportError(e);
        ok = false;
    }
    return Done(s, ok);
}

int Rm(const Call& call, Streams& io) {
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, call.args, items))
        return 1;
    HTREEITEM h = items[0];
    if (nota::IsRootImage(treewalk::GetImage(s.m_tree, h))) {
        s.m_ui.MessageBox(str::kCannotDeleteRoot, MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    return Done(s, s.m_doc.DeleteItem(h));
}

int Mv(const Call& call, Streams& io) {
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, call.args, items))
        return 1;
    HTREEITEM h = items[0], target = items[1];
    CTreeCtrl& tree = s.m_tree;
    if (treewalk::GetFolderOf(tree, h) == treewalk::GetFolderOf(tree, target))
        return Done(s, true); // the item is there already
    if (treewalk::IsSameOrAncestor(tree, target, h)) {
        s.m_ui.MessageBox(str::kCannotMoveIntoItself, MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    HTREEITEM moved = s.m_doc.MoveItem(h, treewalk::GetFolderOf(tree, target));
    if (moved)
        tree.SelectItem(moved);
    return Done(s, moved != nullptr);
}

int Cp(const Call& call, Streams& io) {
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, call.args, items))
        return 1;
    HTREEITEM h = items[0], target = items[1];
    bool ok = true;
    try {
        std::vector<BYTE> data = s.m_doc.CopyItems(h);
        HTREEITEM copy =
            s.m_doc.InsertItems(treewalk::GetFolderOf(s.m_tree, target), data.data(), data.size());
        if (copy)
            s.m_tree.SelectItem(copy);
        ok = copy != nullptr;
    } catch (const CFileException& e) {
        s.m_ui.ReportError(e);
        ok = false;
    }
    return Done(s, ok);
}

int Ls(const Call& call, Streams& io) {
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, call.args, items, CNotariumDoc::OpenMode::ReadOnly))
        return 1;
    HTREEITEM parent = items.empty() ? TVI_ROOT : items[0];
    for (HTREEITEM h = s.m_tree.GetChildItem(parent); h; h = s.m_tree.GetNextSiblingItem(h)) {
        io.out << itempath::Escape(s.m_tree.GetItemText(h));
        if (nota::IsFolderImage(treewalk::GetImage(s.m_tree, h)))
            io.out << '/';
        io.out << '\n';
    }
    s.m_doc.DeleteContents(); // a listing changes nothing in the file
    return s.Ok() ? 0 : 1;
}

} // namespace cli
