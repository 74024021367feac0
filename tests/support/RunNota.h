#pragma once
// Runs the `nota` command line in-process, as a script would, and keeps what it printed.

#include "cli/Commands.h"

#include <sstream>
#include <string>
#include <vector>

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

inline Outcome Nota(const std::vector<std::string>& words, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    cli::Streams io{in, out, err};
    int status = cli::Main(words, io);
    return {status, out.str(), err.str()};
}
