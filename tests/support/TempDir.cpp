#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

CTempDir::CTempDir() : CTempDir(std::string()) {}

std::string CTempDir::MemoryBase() {
    std::error_code ec;
    return std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "";
}

CTempDir::CTempDir(const std::string& base) {
    std::filesystem::path dir =
        base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base);
    std::string tmpl = (dir / "notatest-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

CTempDir::~CTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<BYTE> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
