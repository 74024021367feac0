#pragma once
// What a data file holds, as text that two files with the same items and texts share
// whatever their layout: every item in tree order with its depth, kind, title and text.

#include <string>

// The dump, or a line beginning "unreadable:" when the file does not open or read whole.
std::string DumpDataFile(const std::string& path);
// Errors that a repair run finds in the file (0 for a sound file); -1 when it cannot run.
int CheckDataFile(const std::string& path);
// True when no block is both on the free list and in a chain that the tree uses.
bool FreeListIsDisjoint(const std::string& path);
