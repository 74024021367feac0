#pragma once
// The manifest that names the entries of a directory being imported: its own, when it is the
// top of an export, or the one of the export it lies in, when the user picked one of an
// export's subdirectories (whose name may be "Pie (2)" where the item's title is "Pie").

#include "app/Exchange.h"

#include <string>
#include <vector>

namespace exchange {

// Reads the manifest that covers the directory at path into entries, each entry's path made
// relative to that directory. The directory's own line, when an enclosing export lists it,
// comes back with an empty entry path. Looks in the directory itself and then in up to
// maxLevels directories above it, as the path names them (links in it are not resolved).
// False, with entries empty, when no readable manifest lists the directory: the import then
// takes names from the files.
bool FindManifestFor(const std::string& path, std::vector<ManifestEntry>& entries,
                     std::uint64_t maxBytes, int maxLevels = 32);

// The name of the directory at path as a title: its last name, also for "dir/", "." or
// "a/..". Empty for the file system's root.
std::string DirectoryTitle(const std::string& path);

} // namespace exchange
