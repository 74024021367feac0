#pragma once
// Command identifiers of the Notarium window.

#include "platform/Types.h"

constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_FILE_SAVE = 57603;
constexpr UINT ID_FILE_PAGE_SETUP = 57605;
constexpr UINT ID_FILE_PRINT_SETUP = 57606;
constexpr UINT ID_FILE_PRINT = 57607;
constexpr UINT ID_FILE_PRINT_PREVIEW = 57609;
constexpr UINT ID_FILE_MRU_FILE1 = 57616; // the recent files, 4 in a row
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_EDIT_CUT = 57635;
constexpr UINT ID_EDIT_PASTE = 57637;
constexpr UINT ID_EDIT_SELECT_ALL = 57642;
constexpr UINT ID_EDIT_UNDO = 57643;
constexpr UINT ID_WINDOW_SPLIT = 57653;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_HELP_FINDER = 57667;
constexpr UINT ID_CONTEXT_HELP = 57669;
constexpr UINT ID_HELP = 57670;
constexpr UINT ID_NEXT_PANE = 57680;
constexpr UINT ID_PREV_PANE = 57681;

constexpr UINT ID_ADD_ITEM = 32771;
constexpr UINT ID_DELETE_ITEM = 32773;
constexpr UINT ID_EXPAND_ALL = 32778;
constexpr UINT ID_COLLAPSE_ALL = 32779;
constexpr UINT ID_FIND_NEXT = 32780;
constexpr UINT ID_RENAME = 32781;
constexpr UINT ID_OPTIONS = 32782;
constexpr UINT ID_QUICK_COPY = 32783;
constexpr UINT ID_FILE_COMPACT = 32784;
constexpr UINT ID_WEB_PAGE = 32787;
constexpr UINT ID_OPEN_NEW_WINDOW = 32791;
constexpr UINT ID_FIND = 32792;
constexpr UINT ID_TOGGLE_BOOKMARK = 32793;
constexpr UINT ID_NEXT_BOOKMARK = 32794;
constexpr UINT ID_PREV_BOOKMARK = 32795;
constexpr UINT ID_REMOVE_ALL_BOOKMARKS = 32796;
constexpr UINT ID_BOOKMARKS = 32797;
constexpr UINT ID_FIND_PREVIOUS = 32819;
constexpr UINT ID_REPLACE = 32841;
constexpr UINT ID_DATE_TIME = 32858;
constexpr UINT ID_FILE_IMPORT = 32960;
constexpr UINT ID_FILE_EXPORT = 32961;
constexpr UINT ID_FILE_BACKUPS = 32962;

constexpr int kRecentFileCount = 4;
