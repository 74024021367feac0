#pragma once
// Scratch files for fuzz targets, on a memory file system where one exists.

#include <string>
#include <unistd.h>

inline std::string FuzzScratchPath(const char* name) {
    std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return dir + "/" + name + "-" + std::to_string(getpid()) + ".Nota";
}
