#pragma once
// The maintenance commands of `nota`: compact, check and repair. The repair log goes to
// standard output line by line; every error in it goes to standard error as well.
//
//   nota compact FILE                   0 compacted, 1 failed
//   nota check FILE                     0 no errors, 1 errors found (and repairable),
//                                       2 fatal error
//   nota repair SOURCE TARGET [--force] 0 no errors, 1 errors repaired, 2 fatal error (also
//                                       an existing TARGET without --force)

#include "cli/Commands.h"

#include <string>
#include <vector>

namespace cli {

int Compact(const Call& call, Streams& io);
int Check(const Call& call, Streams& io);
int Repair(const Call& call, Streams& io);

} // namespace cli

// The same commands on the process's standard streams, taking the words after the command
// (a usage error gives 2 with a usage line on standard error).
int RunCompact(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunRepair(const std::vector<std::string>& args);
