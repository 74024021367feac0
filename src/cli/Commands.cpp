#include "cli/Commands.h"

#include "app/ItemPath.h"
#include "cli/ExchangeCommands.h"
#include "cli/FindCommand.h"
#include "cli/MaintenanceCommands.h"
#include "cli/Session.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/Version.h"
#include "store/DataFormat.h"
#include "store/TextChain.h"

#include <iostream>
#include <iterator>
#include <map>

namespace cli {

namespace {

int Usage(Streams& io, const char* text) {
    io.err << "usage: " << text << '\n';
    return 2;
}

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

int New(const Args& args, Streams& io) {
    bool force = false;
    std::vector<std::string> files;
    for (const auto& a : args)
        (a == "--force" ? force = true, void() : files.push_back(a));
    if (files.size() != 1)
        return Usage(io, "nota new FILE [--force]");
    if (!force && fs_util::FileExists(files[0])) {
        io.err << files[0] << " already exists (use --force to replace it).\n";
        return 1;
    }
    CConsoleUi ui(io.err);
    return CNotariumDoc::PrepareDataFile(files[0], true, ui) ? 0 : 1;
}

int Tree(const Args& args, Streams& io) {
    if (args.size() != 1)
        return Usage(io, "nota tree FILE");
    CCliSession s(io.err);
    s.m_settings.m_bRememberTreeState = true;
    if (!s.Open(args[0], CNotariumDoc::OpenMode::ReadOnly))
        return 1;
    io.out << "{\"treeData\":" << s.m_doc.Store().GetTreeData()
           << ",\"freeList\":" << s.m_doc.Store().GetFreeList() << ",\"items\":";
    JsonItems(io.out, s.m_tree);
    io.out << "}\n";
    s.m_doc.DeleteContents(); // a listing changes nothing in the file
    return s.Ok() ? 0 : 1;
}

int Cat(const Args& args, Streams& io) {
    if (args.size() != 2)
        return Usage(io, "nota cat FILE PATH");
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, args, items, CNotariumDoc::OpenMode::ReadOnly))
        return 1;
    HTREEITEM h = items[0];
    if (DWORD offset = static_cast<DWORD>(s.m_tree.GetItemData(h))) {
        try {
            std::vector<BYTE> bytes;
            DWORD length = textchain::Read(s.m_doc.Store(), offset, bytes);
            io.out.write(reinterpret_cast<const char*>(bytes.data()),
                         static_cast<std::streamsize>(length ? length - 1 : 0));
        } catch (const CFileException& e) {
            s.m_ui.ReportError(e);
        }
    }
    s.m_doc.DeleteContents();
    return s.Ok() ? 0 : 1;
}

int Add(const Args& args, Streams& io) {
    bool folder = false;
    std::vector<std::string> rest;
    for (const auto& a : args)
        (a == "--folder" ? folder = true, void() : rest.push_back(a));
    std::vector<std::string> titles;
    if (rest.size() != 2 || !itempath::Split(rest[1], titles))
        return Usage(io, "nota add FILE PATH [--folder]");
    CCliSession s(io.err);
    if (!s.Open(rest[0]))
        return 1;
    HTREEITEM parent = TVI_ROOT;
    if (titles.size() > 1) {
        std::string parentPath = itempath::ParentOf(rest[1]); // as the user wrote it
        HTREEITEM p = FindItem(s, parentPath);
        if (!p)
            return 1;
        parent = treewalk::GetFolderOf(s.m_tree, p);
    }
    bool ok = s.m_doc.InsertNewItem(parent, titles.back(), folder) != nullptr;
    return Done(s, ok);
}

int Put(const Args& args, Streams& io) {
    if (args.size() != 2)
        return Usage(io, "nota put FILE PATH < TEXT");
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, args, items))
        return 1;
    HTREEITEM h = items[0];
    std::string input((std::istreambuf_iterator<char>(io.in)), std::istreambuf_iterator<char>());
    CMemoryTextPane pane;
    pane.m_text = enc::LfToCrLf(input);
    bool ok = true;
    try {
        s.m_doc.SaveText(h, pane);
    } catch (const CFileException& e) {
        s.m_ui.ReportError(e);
        ok = false;
    }
    return Done(s, ok);
}

int Rm(const Args& args, Streams& io) {
    if (args.size() != 2)
        return Usage(io, "nota rm FILE PATH");
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, args, items))
        return 1;
    HTREEITEM h = items[0];
    if (nota::IsRootImage(treewalk::GetImage(s.m_tree, h))) {
        s.m_ui.MessageBox(str::kCannotDeleteRoot, MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    return Done(s, s.m_doc.DeleteItem(h));
}

int Mv(const Args& args, Streams& io) {
    if (args.size() != 3)
        return Usage(io, "nota mv FILE PATH TARGET");
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, args, items))
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

int Cp(const Args& args, Streams& io) {
    if (args.size() != 3)
        return Usage(io, "nota cp FILE PATH TARGET");
    CCliSession s(io.err);
    std::vector<HTREEITEM> items;
    if (!OpenItems(s, args, items))
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

int Main(const Args& words, Streams& io) {
    using Fn = int (*)(const Args&, Streams&);
    static const std::map<std::string, Fn> commands = {
        {"new", New}, {"tree", Tree}, {"cat", Cat}, {"add", Add},
        {"put", Put}, {"rm", Rm},     {"mv", Mv},   {"cp", Cp},
    };
    static const char* kUsage =
        "nota COMMAND ...\n"
        "  new FILE [--force]        create a new database\n"
        "  tree FILE                 print the item tree as JSON\n"
        "  cat FILE PATH             write an item's text to standard output\n"
        "  add FILE PATH [--folder]  add a textlet (or folder)\n"
        "  put FILE PATH             store standard input as an item's text\n"
        "  rm FILE PATH              delete an item with everything in it\n"
        "  mv FILE PATH TARGET       move an item into TARGET's folder\n"
        "  cp FILE PATH TARGET       copy an item into TARGET's folder\n"
        "  export FILE [PATH] DIR|FILE.md\n"
        "                            export the database (or PATH's folder) as text files\n"
        "                            with a manifest, or as one Markdown file\n"
        "  import FILE [PATH] SOURCE...\n"
        "                            import text files and the contents of folders into\n"
        "                            PATH's folder (default: the root folder)\n"
        "  find FILE PATTERN [--case] [--titles] [--mark]\n"
        "                            print the path of every item that matches\n"
        "  compact FILE              compact the database\n"
        "  check FILE                check the database, changing nothing\n"
        "  repair SOURCE TARGET      write a repaired copy of SOURCE to TARGET\n"
        "PATH: titles from the top-level item down, joined by '/' ('\\/' for a slash).\n";
    if (words.empty() || words[0] == "--help" || words[0] == "-h") {
        (words.empty() ? io.err : io.out) << kUsage;
        return words.empty() ? 2 : 0;
    }
    if (words[0] == "--version") {
        io.out << "nota " << version::Text() << '\n';
        return 0;
    }
    Args rest(words.begin() + 1, words.end());
    if (auto it = commands.find(words[0]); it != commands.end())
        return it->second(rest, io);
    if (words[0] == "find")
        return Find(rest, io);
    if (words[0] == "compact")
        return RunCompact(rest);
    if (words[0] == "check")
        return RunCheck(rest);
    if (words[0] == "repair")
        return RunRepair(rest);
    if (words[0] == "export")
        return Export(rest, io);
    if (words[0] == "import")
        return Import(rest, io);
    io.err << "nota: unknown command '" << words[0] << "'\n" << kUsage;
    return 2;
}

} // namespace cli
