#pragma once
// nota find FILE PATTERN [--case] [--titles] [--mark]
//
// Walks every item from the top in pre-order as the window's search does (the text tested
// before the title, ASCII letters folded unless --case, titles only with --titles) and prints
// the path of each matching item, one a line. --mark sets the bookmark of every hit and saves
// the tree, as Mark All does. Exit status: 0 something matched, 1 nothing did, 2 an error
// (its message on standard error) or a usage error.

#include "cli/Commands.h"

namespace cli {

int Find(const Call& call, Streams& io);

} // namespace cli
