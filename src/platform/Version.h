#pragma once
// The --version option every program of the system answers, before it needs a display.

namespace version {

// The version of the system ("1.50").
const char* Text();
// When the arguments hold "--version": prints "<program> <version>" on standard output
// and returns true (the program then ends with status 0).
bool PrintIfAsked(int argc, char** argv, const char* program);

} // namespace version
