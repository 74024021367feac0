#pragma once
// What `nota` knows about its commands: their names, arguments, options and help texts, and
// the one parser that turns a command's words into its arguments and options.
//
// Parsing rules, the same for every command: options may stand anywhere among the
// arguments; "--" ends the options (every later word is an argument, also one that starts
// with "-"); "-h" and "--help" ask for the command's help; any other word that starts with
// "-" and is longer than "-" is an unknown option, named in the error.

#include "cli/Commands.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct CommandInfo {
    const char* name;
    const char* synopsis;             // the words after the command's name, "FILE PATH [--raw]"
    const char* summary;              // one line for the command list
    const char* details;              // the help text after the usage line; lines end with '\n'
    std::vector<std::string> options; // the options the command takes, "--raw"
    std::size_t minArgs;
    std::size_t maxArgs; // kAnyCount: no limit
};

inline constexpr std::size_t kAnyCount = static_cast<std::size_t>(-1);

// Every command in the order `nota help` lists them.
const std::vector<CommandInfo>& AllCommands();
// The command of that name, or null.
const CommandInfo* FindCommandInfo(std::string_view name);

// The outcome of parsing a command's words.
enum class ParseResult { Run, Help, UsageError };

// Splits `words` into call.args and call.options by the rules above. On a usage error the
// message (and the usage line) is written to `err`; nothing is written otherwise.
ParseResult ParseCall(const CommandInfo& info, const Args& words, Call& call, std::ostream& err);

// "usage: nota cat FILE PATH [--raw]" and the details: `nota help cat`.
void PrintCommandHelp(const CommandInfo& info, std::ostream& out);
// The overview: every command with its summary: `nota help`.
void PrintOverview(std::ostream& out);
// "usage: nota ..." for a usage error, with a pointer to the command's help.
void PrintUsageError(const CommandInfo& info, std::ostream& err);

} // namespace cli
