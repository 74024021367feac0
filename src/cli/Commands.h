#pragma once
// The `nota` commands. Each takes the words after the command's name and returns the exit
// status: 0 success, 1 an error (its message on standard error), 2 a usage error.

#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

struct Streams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

int New(const Args& args, Streams& io);
int Tree(const Args& args, Streams& io);
int Cat(const Args& args, Streams& io);
int Add(const Args& args, Streams& io);
int Put(const Args& args, Streams& io);
int Rm(const Args& args, Streams& io);
int Mv(const Args& args, Streams& io);
int Cp(const Args& args, Streams& io);

// Runs `nota` with argv-style words (without the program name).
int Main(const Args& words, Streams& io);

} // namespace cli
