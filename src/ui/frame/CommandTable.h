#pragma once
// The command vocabulary of the window: menu texts, accelerators, status-bar prompts and
// tool tips, the toolbar pictures; and the layouts of the two toolbars.

#include "platform/Types.h"

#include <span>

struct CommandInfo {
    UINT id;
    const char* menuText; // "&New...\tCtrl+N"; null: the command has no menu item
    const char* keys;     // accelerators, ", " between them ("Ctrl+X, Shift+Del"); may be null
    const char* prompt;   // "status text\ntool tip"; may be null
    const char* icon;     // name of the toolbar picture, null when the command has no button
};

std::span<const CommandInfo> CommandTable();

// Toolbar layouts; 0 marks a separator.
std::span<const UINT> MainToolbarLayout();
std::span<const UINT> BookmarkToolbarLayout();
