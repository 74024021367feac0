#include "app/ImportManifest.h"

#include "platform/DirTree.h"

#include <filesystem>
#include <system_error>

namespace exchange {

namespace {

bool ReadManifestIn(const std::filesystem::path& dir, std::uint64_t maxBytes,
                    std::vector<ManifestEntry>& entries) {
    dirtree::CHandle handle;
    std::string text;
    entries.clear();
    return dirtree::OpenDir(dir.string(), handle) == 0 &&
           dirtree::ReadFile(&handle, kManifestName, maxBytes, text) == 0 &&
           ParseManifest(text, entries);
}

std::filesystem::path Normal(const std::string& path) {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec)
        return {};
    if (!dir.has_filename() && dir.has_relative_path()) // a trailing slash
        dir = dir.parent_path();
    return dir;
}

} // namespace

std::string DirectoryTitle(const std::string& path) {
    return Normal(path).filename().string();
}

bool FindManifestFor(const std::string& path, std::vector<ManifestEntry>& entries,
                     std::uint64_t maxBytes, int maxLevels) {
    entries.clear();
    const std::filesystem::path dir = Normal(path);
    if (dir.empty())
        return false;
    if (ReadManifestIn(dir, maxBytes, entries))
        return true;
    std::string below = dir.filename().string(); // the directory's path inside the export
    std::filesystem::path up = dir.parent_path();
    for (int level = 0; level < maxLevels && !below.empty(); ++level) {
        std::vector<ManifestEntry> all;
        if (ReadManifestIn(up, maxBytes, all)) {
            const std::string prefix = below + "/";
            for (ManifestEntry& e : all) {
                if (e.entry == below && e.kind == ManifestEntry::folder) {
                    e.entry.clear();
                    entries.push_back(std::move(e));
                } else if (e.entry.compare(0, prefix.size(), prefix) == 0) {
                    e.entry.erase(0, prefix.size());
                    entries.push_back(std::move(e));
                }
            }
            // The nearest manifest decides: one that does not list the directory means it
            // was added to the export afterwards.
            return !entries.empty();
        }
        if (!up.has_relative_path())
            break;
        below = up.filename().string() + "/" + below;
        up = up.parent_path();
    }
    return false;
}

} // namespace exchange
