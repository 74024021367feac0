#pragma once
// A scratch directory for one test, removed with everything in it at the end.

#include <string>
#include <vector>

#include "platform/Types.h"

class CTempDir {
public:
    CTempDir();
    // In `base` rather than the temporary directory (a memory file system, where commits
    // cost nothing, for tests that simulate the disk's behaviour themselves).
    explicit CTempDir(const std::string& base);
    // A memory file system when the machine has one, else the temporary directory.
    static std::string MemoryBase();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<BYTE> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes);
