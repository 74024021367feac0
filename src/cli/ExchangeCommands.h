#pragma once
// `nota export` and `nota import`: progress on standard error while they run (on a
// terminal), the summary and every skipped file on standard output at the end.

#include "cli/Commands.h"

namespace cli {

// nota export FILE [PATH] DIR|FILE.md
int Export(const Call& call, Streams& io);
// nota import FILE [PATH] SOURCE...
int Import(const Call& call, Streams& io);

} // namespace cli
