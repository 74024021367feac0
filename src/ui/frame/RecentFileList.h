#pragma once
// The File menu's list of recently opened files: most recent first, no duplicates, kept in
// the section "Recent File List" as "File1".."File4".

#include "app/SettingsStore.h"

#include <string>
#include <vector>

class CRecentFileList {
public:
    explicit CRecentFileList(int maxCount = 4) : m_nMaxCount(maxCount) {}

    void Add(const std::string& path);
    void Remove(int index);
    int GetSize() const { return static_cast<int>(m_items.size()); }
    const std::string& operator[](int i) const { return m_items[static_cast<std::size_t>(i)]; }

    void Load(ISettingsStore& store);
    // Writes every slot; slots beyond the list are written empty.
    void Save(ISettingsStore& store) const;

    static constexpr const char* kSection = "Recent File List";

private:
    int m_nMaxCount;
    std::vector<std::string> m_items;
};
