// nota: the command line over the data core, for scripts and servers.
#include "cli/Commands.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    cli::Args words(argv + 1, argv + argc);
    cli::Streams io{std::cin, std::cout, std::cerr};
    int status = cli::Main(words, io);
    std::cout.flush();
    return status;
}
