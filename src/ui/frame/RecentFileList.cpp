#include "ui/frame/RecentFileList.h"

#include <algorithm>

namespace {
std::string EntryName(int i) {
    return "File" + std::to_string(i + 1);
}
} // namespace

void CRecentFileList::Add(const std::string& path) {
    if (path.empty())
        return;
    m_items.erase(std::remove(m_items.begin(), m_items.end(), path), m_items.end());
    m_items.insert(m_items.begin(), path);
    if (GetSize() > m_nMaxCount)
        m_items.resize(static_cast<std::size_t>(m_nMaxCount));
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < GetSize())
        m_items.erase(m_items.begin() + index);
}

void CRecentFileList::Load(ISettingsStore& store) {
    m_items.clear();
    for (int i = 0; i < m_nMaxCount; ++i) {
        const auto value = store.GetString(kSection, EntryName(i));
        if (value && !value->empty() &&
            std::find(m_items.begin(), m_items.end(), *value) == m_items.end())
            m_items.push_back(*value);
    }
}

void CRecentFileList::Save(ISettingsStore& store) const {
    for (int i = 0; i < m_nMaxCount; ++i)
        store.WriteString(kSection, EntryName(i), i < GetSize() ? (*this)[i] : std::string());
}
