// nota: the command line over the data core, for scripts and servers.
#include "cli/Commands.h"
#include "cli/LinePrefix.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Every line on standard error starts with the program's name.
    CLinePrefixBuf prefixed(std::cerr.rdbuf(), "nota: ");
    std::streambuf* plainErr = std::cerr.rdbuf(&prefixed);
    cli::Args words(argv + 1, argv + argc);
    cli::Streams io{std::cin, std::cout, std::cerr, ::isatty(2) == 1};
    int status = cli::Main(words, io);
    // cli::Main has flushed standard output and reported a failure; closing it can still
    // fail (a file on a network share reports its write errors there).
    if (std::cout && std::fclose(stdout) != 0) {
        std::cerr << "cannot write to standard output: " << std::strerror(errno) << '\n';
        if (status == 0)
            status = 1;
    }
    std::cerr.flush();
    std::cerr.rdbuf(plainErr);
    return status;
}
