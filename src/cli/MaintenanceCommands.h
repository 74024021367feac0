#pragma once
// The maintenance commands of `nota`: compact, check and repair. Each takes the arguments
// after its command word and returns the exit status.
//
//   nota compact FILE          0 compacted, 1 failed
//   nota check FILE            0 no errors, 1 errors found (and repairable), 2 fatal error
//   nota repair SOURCE TARGET  0 no errors, 1 errors repaired, 2 fatal error
//
// A usage error gives 2 with a usage line on standard error.

#include <string>
#include <vector>

int RunCompact(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);
int RunRepair(const std::vector<std::string>& args);
