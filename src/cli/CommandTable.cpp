#include "cli/CommandTable.h"

#include <ostream>

namespace cli {

namespace {

const char* const kPathNote =
    "PATH is the titles from the top-level item down, joined by '/' ('\\/' for a slash in a\n"
    "title); among siblings of one title the first in display order is meant.\n";

std::vector<CommandInfo> MakeTable() {
    std::vector<CommandInfo> t;
    t.push_back({"new",
                 "FILE [--force]",
                 "create a new database",
                 "Creates FILE as a new database holding the root folder. An existing FILE is\n"
                 "refused unless --force is given.\n\n"
                 "  --force   replace an existing FILE\n",
                 {"--force"},
                 1,
                 1});
    t.push_back({"tree",
                 "FILE",
                 "print the item tree as JSON",
                 "Prints the header fields and the whole item tree of FILE as one line of JSON:\n"
                 "title, image code, text offset, state and children of every item.\n",
                 {},
                 1,
                 1});
    t.push_back({"cat",
                 "FILE PATH [--raw]",
                 "write an item's text to standard output",
                 "Writes the text of the item at PATH to standard output as UTF-8 with LF line\n"
                 "breaks; a text stored in Windows-1252 is converted as the window shows it.\n\n"
                 "  --raw     the stored bytes unchanged (CR LF line breaks)\n",
                 {"--raw"},
                 2,
                 2});
    t.push_back({"add",
                 "FILE PATH [--folder]",
                 "add a textlet (or folder)",
                 "Adds a textlet titled by the last segment of PATH to the folder the rest of\n"
                 "PATH names (a textlet there means its folder).\n\n"
                 "  --folder  add a folder instead\n",
                 {"--folder"},
                 2,
                 2});
    t.push_back({"put",
                 "FILE PATH [--raw]",
                 "store standard input as an item's text",
                 "Stores standard input as the text of the item at PATH. The input is UTF-8 with\n"
                 "LF or CR LF line breaks; it is stored with CR LF. Input that is not UTF-8 is\n"
                 "kept as it is and shown as Windows-1252. `put` then `cat` gives back any\n"
                 "UTF-8 text with LF line breaks byte for byte. Empty input empties the text.\n\n"
                 "  --raw     store the input's bytes unchanged\n",
                 {"--raw"},
                 2,
                 2});
    t.push_back({"rm",
                 "FILE PATH",
                 "delete an item with everything in it",
                 "Deletes the item at PATH with everything in it. The root folder stays.\n",
                 {},
                 2,
                 2});
    t.push_back({"mv",
                 "FILE PATH TARGET",
                 "move an item into TARGET's folder",
                 "Moves the item at PATH into the folder of the item at TARGET.\n",
                 {},
                 3,
                 3});
    t.push_back({"cp",
                 "FILE PATH TARGET",
                 "copy an item into TARGET's folder",
                 "Copies the item at PATH, with everything in it, into the folder of the item at\n"
                 "TARGET.\n",
                 {},
                 3,
                 3});
    t.push_back({"ls",
                 "FILE [PATH]",
                 "list the titles in PATH's folder",
                 "Prints the titles of the items in PATH's folder (without PATH: the top level),\n"
                 "one a line, each as a path segment ('\\/' for a slash); a folder's title is\n"
                 "followed by '/'. The shell's completion reads item paths with it.\n",
                 {},
                 1,
                 2});
    t.push_back({"find",
                 "FILE PATTERN [--case] [--titles] [--mark]",
                 "print the path of every item that matches",
                 "Prints the path of every item whose text or title holds PATTERN, one a line,\n"
                 "top to bottom. ASCII letters fold; texts stored in Windows-1252 are found with\n"
                 "the same UTF-8 pattern. Exit status: 0 something matched, 1 nothing did,\n"
                 "2 an error.\n\n"
                 "  --case    match case\n"
                 "  --titles  search titles only\n"
                 "  --mark    bookmark every item found\n",
                 {"--case", "--titles", "--mark"},
                 2,
                 2});
    t.push_back({"compact",
                 "FILE",
                 "compact the database",
                 "Rewrites FILE with its chains in order and no free blocks.\n",
                 {},
                 1,
                 1});
    t.push_back({"check",
                 "FILE",
                 "check the database, changing nothing",
                 "Checks FILE as a repair would, writing nothing. The log goes to standard\n"
                 "output, every error also to standard error. Exit status: 0 no errors, 1 errors\n"
                 "found (a repair can fix them), 2 a fatal error.\n",
                 {},
                 1,
                 1});
    t.push_back({"repair",
                 "SOURCE TARGET [--force]",
                 "write a repaired copy of SOURCE to TARGET",
                 "Writes a repaired copy of SOURCE to TARGET, which must not exist unless --force\n"
                 "is given. The log goes to standard output, every error also to standard\n"
                 "error. Exit status: 0 no errors, 1 errors repaired, 2 a fatal error.\n\n"
                 "  --force   replace an existing TARGET\n",
                 {"--force"},
                 2,
                 2});
    t.push_back({"export",
                 "FILE [PATH] DIR|FILE.md",
                 "export the database (or PATH's folder) as text files",
                 "Writes the database (or PATH's folder) into DIR, which must not exist or be\n"
                 "empty: folders as directories, textlets as UTF-8 .txt files with LF line\n"
                 "breaks, with a manifest (notarium-export.tsv). A target ending in .md gets one\n"
                 "Markdown file instead.\n",
                 {},
                 2,
                 3});
    t.push_back({"import",
                 "FILE [PATH] SOURCE...",
                 "import text files and folders of them into PATH's folder",
                 "Imports text files and the contents of directories into PATH's folder\n"
                 "(default: the root folder) in one step. A failure leaves FILE as it was.\n",
                 {},
                 2,
                 kAnyCount});
    t.push_back({"backup",
                 "FILE [DIR]",
                 "make a checked backup of the database now",
                 "Copies FILE, under its lock, into its backups folder (or DIR) as\n"
                 "<UTC time>.Nota, checks the copy as `nota check` would (no errors, as many\n"
                 "items as FILE) and only then gives it its name; prints the backup's path. A\n"
                 "copy that fails its check is removed. Older backups are then thinned out: the\n"
                 "newest of each of the last 7 days, 4 weeks and 6 months stay. Nothing is\n"
                 "copied when less than twice FILE's size would stay free on the disk. The\n"
                 "backups folder is $XDG_DATA_HOME/Notarium/backups/<name>-<hash>/\n"
                 "(~/.local/share without XDG_DATA_HOME).\n",
                 {},
                 1,
                 2});
    t.push_back({"backups",
                 "FILE [DIR]",
                 "list the backups of the database",
                 "Lists the backups of FILE in its backups folder (or DIR), oldest first, one a\n"
                 "line: UTC time, size in bytes, items (\"damaged\" for one that fails its\n"
                 "check) and path, separated by tabs. Every backup is checked.\n",
                 {},
                 1,
                 2});
    t.push_back({"restore",
                 "BACKUP TARGET",
                 "restore a backup as a new file",
                 "Copies BACKUP to TARGET, which must not exist: nothing is ever replaced. The\n"
                 "copy is checked before it gets its name; a damaged backup is not restored.\n",
                 {},
                 2,
                 2});
    return t;
}

} // namespace

const std::vector<CommandInfo>& AllCommands() {
    static const std::vector<CommandInfo> table = MakeTable();
    return table;
}

const CommandInfo* FindCommandInfo(std::string_view name) {
    for (const CommandInfo& c : AllCommands())
        if (name == c.name)
            return &c;
    return nullptr;
}

ParseResult ParseCall(const CommandInfo& info, const Args& words, Call& call, std::ostream& err) {
    bool options = true;
    for (const std::string& w : words) {
        if (options && w == "--") {
            options = false;
        } else if (options && (w == "-h" || w == "--help")) {
            return ParseResult::Help;
        } else if (options && w.size() > 1 && w[0] == '-') {
            bool known = false;
            for (const std::string& o : info.options)
                known = known || o == w;
            if (!known) {
                err << "unknown option '" << w << "' for '" << info.name << "'\n";
                PrintUsageError(info, err);
                return ParseResult::UsageError;
            }
            call.options.insert(w);
        } else {
            call.args.push_back(w);
        }
    }
    if (call.args.size() < info.minArgs || call.args.size() > info.maxArgs) {
        PrintUsageError(info, err);
        return ParseResult::UsageError;
    }
    return ParseResult::Run;
}

void PrintCommandHelp(const CommandInfo& info, std::ostream& out) {
    out << "usage: nota " << info.name << ' ' << info.synopsis << "\n\n"
        << info.summary << ".\n\n"
        << info.details;
    std::string_view synopsis = info.synopsis;
    if (synopsis.find("PATH") != std::string_view::npos)
        out << '\n' << kPathNote;
}

void PrintOverview(std::ostream& out) {
    out << "usage: nota COMMAND ARGUMENTS...\n"
           "       nota help [COMMAND]    nota COMMAND --help    nota --version\n\n"
           "The command line of Notarium, a personal text database in one file.\n\n"
           "Commands:\n";
    for (const CommandInfo& c : AllCommands()) {
        std::string head = std::string("  ") + c.name + ' ' + c.synopsis;
        if (head.size() < 30)
            out << head << std::string(30 - head.size(), ' ') << c.summary << '\n';
        else
            out << head << '\n' << std::string(30, ' ') << c.summary << '\n';
    }
    out << '\n'
        << kPathNote
        << "Options may stand anywhere among the arguments; \"--\" ends them.\n"
           "Exit status: 0 success, 1 an error (its message on standard error), 2 a usage\n"
           "error; find, check and repair say more in their help.\n";
}

void PrintUsageError(const CommandInfo& info, std::ostream& err) {
    err << "usage: nota " << info.name << ' ' << info.synopsis << " (see 'nota help " << info.name
        << "')\n";
}

} // namespace cli
