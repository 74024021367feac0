#pragma once
// A most-recent-first list of strings without duplicates, persisted as Name1..NameN.

#include "app/SettingsStore.h"

#include <string>
#include <vector>

class CHistoryList {
public:
    CHistoryList(std::string name, int maxCount = 10)
        : m_strName(std::move(name)), m_nMaxCount(maxCount) {}

    // Puts s at the front (moving an equal entry there); empty strings are ignored (-1).
    int Add(const std::string& s);
    void Load(ISettingsStore& store, const std::string& section);
    void Save(ISettingsStore& store, const std::string& section) const;

    int GetSize() const { return static_cast<int>(m_items.size()); }
    const std::string& operator[](int i) const { return m_items[static_cast<std::size_t>(i)]; }
    const std::vector<std::string>& Items() const { return m_items; }
    const std::string& Name() const { return m_strName; }
    int MaxCount() const { return m_nMaxCount; }
    bool operator==(const CHistoryList& o) const {
        return m_strName == o.m_strName && m_items == o.m_items;
    }

private:
    std::string m_strName;
    int m_nMaxCount;
    std::vector<std::string> m_items;
};
