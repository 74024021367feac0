#pragma once
// The `nota` commands. Each takes its parsed call, whose argument count cli::Main has checked
// against the command's entry in cli/CommandTable.h, and returns the exit status: 0 success,
// 1 an error (its message on standard error), 2 a usage error. `nota find`, `nota check` and
// `nota repair` give their own meanings to 1 and 2 (see their headers).

#include <iosfwd>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Standard error is a terminal: progress may be redrawn in place there.
    bool errIsTerminal = false;
};

// A command's words after parsing: its arguments in order and the options given.
struct Call {
    Args args;
    std::set<std::string, std::less<>> options;
    bool Has(std::string_view option) const { return options.count(option) != 0; }
};

int New(const Call& call, Streams& io);
int Tree(const Call& call, Streams& io);
int Cat(const Call& call, Streams& io);
int Add(const Call& call, Streams& io);
int Put(const Call& call, Streams& io);
int Rm(const Call& call, Streams& io);
int Mv(const Call& call, Streams& io);
int Cp(const Call& call, Streams& io);
// nota ls FILE [PATH]: the titles in PATH's folder (without PATH: the top level), each as
// one path segment ('/' written "\/"), a folder's followed by '/'; what the shell's
// completion reads.
int Ls(const Call& call, Streams& io);

// Runs `nota` with argv-style words (without the program name). `help`, `--help` and
// `--version` answer on io.out; a command's output that cannot be written to io.out is an
// error (status 1, for `find` 2) even when the command itself succeeded.
int Main(const Args& words, Streams& io);

} // namespace cli
