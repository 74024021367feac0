#include "ui/frame/CommandTable.h"

#include "ui/common/CommandIds.h"

namespace {

constexpr CommandInfo kCommands[] = {
    {ID_FILE_NEW, "&New...\tCtrl+N", "Ctrl+N", "Create a new file\nNew File", "new"},
    {ID_FILE_OPEN, "&Open...\tCtrl+O", "Ctrl+O", "Open an existing file\nOpen File", "open"},
    {ID_OPEN_NEW_WINDOW, "Open New &Window...", nullptr,
     "Open a new or existing file in a new window", nullptr},
    {ID_FILE_COMPACT, "&Compact...", nullptr,
     "Compress the current file to use disk space most efficiently", nullptr},
    {ID_FILE_IMPORT, "&Import...", nullptr,
     "Import text files and folders into the selected folder\nImport", nullptr},
    {ID_FILE_EXPORT, "&Export...", nullptr,
     "Export the selected folder or the whole file as text files or Markdown\nExport", nullptr},
    {ID_FILE_BACKUPS, "&Backups...", nullptr,
     "List the backups of the open file, make one now or restore from one\nBackups", nullptr},
    {ID_FILE_PAGE_SETUP, "Page Set&up...", nullptr, "Change the printing options\nPage Setup",
     nullptr},
    {ID_FILE_PRINT, "&Print...\tCtrl+P", "Ctrl+P", "Print the active document\nPrint", "print"},
    {ID_FILE_PRINT_PREVIEW, "Print Pre&view", nullptr, "Display full pages\nPrint Preview",
     nullptr},
    {ID_FILE_MRU_FILE1, "Recent File", nullptr, "Open this document", nullptr},
    {ID_APP_EXIT, "E&xit", nullptr, "Quit the application; prompts to save documents\nExit",
     nullptr},
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", "Ctrl+Z, Alt+Backspace",
     "Undo the last edit to the current textlet\nUndo", nullptr},
    {ID_EDIT_CUT, "Cu&t\tCtrl+X", "Ctrl+X, Shift+Del",
     "Cut the selection and put it on the Clipboard\nCut", "cut"},
    {ID_EDIT_COPY, "&Copy\tCtrl+C", "Ctrl+C, Ctrl+Ins",
     "Copy the selection and put it on the Clipboard\nCopy", "copy"},
    {ID_EDIT_PASTE, "&Paste\tCtrl+V", "Ctrl+V, Shift+Ins", "Insert Clipboard contents\nPaste",
     "paste"},
    {ID_EDIT_SELECT_ALL, "&Select All", nullptr,
     "Select all text in the current textlet\nSelect All", nullptr},
    {ID_QUICK_COPY, "&Quick Copy\tCtrl+Q", "Ctrl+Q",
     "Copy entire text of selected textlet to clipboard\nQuick Copy", "quickcopy"},
    {ID_DATE_TIME, "Date and &Time...\tCtrl+T", "Ctrl+T",
     "Inserts today's date and/or time at the current position\nDate and Time", "datetime"},
    {ID_ADD_ITEM, "&Add Item...\tCtrl+A", "Ctrl+A", "Add a new folder or textlet\nAdd Item",
     "additem"},
    {ID_DELETE_ITEM, "&Delete Item...\tCtrl+Del", "Ctrl+Del",
     "Delete the selected folder or textlet\nDelete Item", "deleteitem"},
    {ID_RENAME, "R&ename", nullptr, "Rename the selected folder or textlet\nRename", nullptr},
    {ID_FIND, "&Find...\tCtrl+F", "Ctrl+F", "Find the specified text\nFind", "find"},
    {ID_FIND_NEXT, "Find &Next\tF3", "F3",
     "Finds the next occurrence of the specified text\nFind Next", "findnext"},
    {ID_FIND_PREVIOUS, "Find Pre&vious\tShift+F3", "Shift+F3",
     "Finds the previous occurrence of the specified text\nFind Previous", "findprev"},
    {ID_REPLACE, "&Replace...\tCtrl+R", "Ctrl+R",
     "Replace specific text with different text\nReplace", nullptr},
    {ID_WINDOW_SPLIT, "S&plit", nullptr, "Adjust the splitter bar position\nSplit", nullptr},
    {ID_EXPAND_ALL, "&Expand All", nullptr, "Expand all branches in tree list\nExpand All",
     "expandall"},
    {ID_COLLAPSE_ALL, "&Collapse All", nullptr, "Collapse all branches in tree list\nCollapse All",
     "collapseall"},
    {ID_OPTIONS, "&Options...\tF12", "F12", "Display and change program settings", nullptr},
    {ID_TOGGLE_BOOKMARK, "&Toggle Bookmark\tCtrl+F4", "Ctrl+F4",
     "Toggle the bookmark for the current folder or textlet\nToggle Bookmark", "togglebookmark"},
    {ID_NEXT_BOOKMARK, "&Next Bookmark\tF4", "F4",
     "Go to the next folder or textlet that is bookmarked\nNext Bookmark", "nextbookmark"},
    {ID_PREV_BOOKMARK, "&Previous Bookmark\tShift+F4", "Shift+F4",
     "Go to the previous folder or textlet that is bookmarked\nPrevious Bookmark", "prevbookmark"},
    {ID_BOOKMARKS, "&Bookmarks...\tF5", "F5", "Display a list of current bookmarks\nBookmarks",
     "bookmarks"},
    {ID_REMOVE_ALL_BOOKMARKS, "&Remove All Bookmarks\tCtrl+F5", "Ctrl+F5",
     "Remove all bookmarks\nRemove All Bookmarks", "removebookmarks"},
    {ID_HELP_FINDER, "&Help Topics", nullptr, "List Help topics\nHelp Topics", nullptr},
    {ID_WEB_PAGE, "www.kestrelworks.example", nullptr,
     "Opens the Kestrelworks home page on the World Wide Web", nullptr},
    {ID_APP_ABOUT, "&About Notarium...", nullptr,
     "Display program information, version number and copyright\nAbout", nullptr},
    {ID_FILE_SAVE, nullptr, "Ctrl+S", nullptr, nullptr},
    {ID_HELP, nullptr, "F1", "Display help for current task or command\nHelp", nullptr},
    {ID_CONTEXT_HELP, nullptr, "Shift+F1",
     "Display help for clicked on buttons, menus and windows\nHelp", nullptr},
    {ID_NEXT_PANE, nullptr, "F6", "Switch to the next window pane\nNext Pane", nullptr},
    {ID_PREV_PANE, nullptr, "Shift+F6", "Switch back to the previous window pane\nPrevious Pane",
     nullptr},
};

constexpr UINT kMainToolbar[] = {
    ID_FILE_NEW,
    ID_FILE_OPEN,
    0,
    ID_EDIT_CUT,
    ID_EDIT_COPY,
    ID_EDIT_PASTE,
    ID_QUICK_COPY,
    0,
    ID_DATE_TIME,
    0,
    ID_ADD_ITEM,
    ID_DELETE_ITEM,
    0,
    ID_EXPAND_ALL,
    ID_COLLAPSE_ALL,
    0,
    ID_FIND,
    ID_FIND_NEXT,
    ID_FIND_PREVIOUS,
    0,
    ID_FILE_PRINT,
};

constexpr UINT kBookmarkToolbar[] = {ID_TOGGLE_BOOKMARK, ID_NEXT_BOOKMARK, ID_PREV_BOOKMARK,
                                     ID_BOOKMARKS, ID_REMOVE_ALL_BOOKMARKS};

} // namespace

std::span<const CommandInfo> CommandTable() {
    return kCommands;
}

std::span<const UINT> MainToolbarLayout() {
    return kMainToolbar;
}
std::span<const UINT> BookmarkToolbarLayout() {
    return kBookmarkToolbar;
}
