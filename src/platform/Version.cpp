#include "platform/Version.h"

#include <cstdio>
#include <cstring>

namespace version {

const char* Text() {
    return NOTA_VERSION_STRING;
}

bool PrintIfAsked(int argc, char** argv, const char* program) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, Text());
            return true;
        }
    }
    return false;
}

} // namespace version
