#pragma once
// Where settings persist: named values in sections. The GUI stores them with QSettings;
// tests use a map.

#include "platform/Types.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual std::optional<int> GetInt(const std::string& section, const std::string& name) = 0;
    virtual std::optional<std::string> GetString(const std::string& section,
                                                 const std::string& name) = 0;
    virtual std::optional<std::vector<BYTE>> GetBinary(const std::string& section,
                                                       const std::string& name) = 0;
    virtual void WriteInt(const std::string& section, const std::string& name, int value) = 0;
    virtual void WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
    virtual void WriteBinary(const std::string& section, const std::string& name,
                             const std::vector<BYTE>& value) = 0;
};

// A settings store in memory.
class CMemorySettingsStore : public ISettingsStore {
public:
    std::optional<int> GetInt(const std::string& section, const std::string& name) override;
    std::optional<std::string> GetString(const std::string& section,
                                         const std::string& name) override;
    std::optional<std::vector<BYTE>> GetBinary(const std::string& section,
                                               const std::string& name) override;
    void WriteInt(const std::string& section, const std::string& name, int value) override;
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    void WriteBinary(const std::string& section, const std::string& name,
                     const std::vector<BYTE>& value) override;

    std::map<std::string, int> ints;
    std::map<std::string, std::string> strings;
    std::map<std::string, std::vector<BYTE>> binaries;

private:
    static std::string Key(const std::string& section, const std::string& name) {
        return section + "/" + name;
    }
};
