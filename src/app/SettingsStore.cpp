#include "app/SettingsStore.h"

std::optional<int> CMemorySettingsStore::GetInt(const std::string& section,
                                                const std::string& name) {
    auto it = ints.find(Key(section, name));
    return it == ints.end() ? std::nullopt : std::optional<int>(it->second);
}

std::optional<std::string> CMemorySettingsStore::GetString(const std::string& section,
                                                           const std::string& name) {
    auto it = strings.find(Key(section, name));
    return it == strings.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::optional<std::vector<BYTE>> CMemorySettingsStore::GetBinary(const std::string& section,
                                                                 const std::string& name) {
    auto it = binaries.find(Key(section, name));
    return it == binaries.end() ? std::nullopt : std::optional<std::vector<BYTE>>(it->second);
}

void CMemorySettingsStore::WriteInt(const std::string& section, const std::string& name,
                                    int value) {
    ints[Key(section, name)] = value;
}

void CMemorySettingsStore::WriteString(const std::string& section, const std::string& name,
                                       const std::string& value) {
    strings[Key(section, name)] = value;
}

void CMemorySettingsStore::WriteBinary(const std::string& section, const std::string& name,
                                       const std::vector<BYTE>& value) {
    binaries[Key(section, name)] = value;
}
