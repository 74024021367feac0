#include "app/HistoryList.h"

#include <algorithm>

int CHistoryList::Add(const std::string& s) {
    if (s.empty())
        return -1;
    auto it = std::find(m_items.begin(), m_items.end(), s);
    if (it != m_items.end()) {
        std::rotate(m_items.begin(), it, it + 1);
        return 0;
    }
    if (static_cast<int>(m_items.size()) >= m_nMaxCount)
        m_items.pop_back();
    m_items.insert(m_items.begin(), s);
    return 0;
}

void CHistoryList::Load(ISettingsStore& store, const std::string& section) {
    m_items.clear();
    for (int i = 1; i <= m_nMaxCount; ++i) {
        auto value = store.GetString(section, m_strName + std::to_string(i));
        if (!value || value->empty())
            break;
        m_items.push_back(*value);
    }
}

void CHistoryList::Save(ISettingsStore& store, const std::string& section) const {
    for (std::size_t i = 0; i < m_items.size(); ++i)
        store.WriteString(section, m_strName + std::to_string(i + 1), m_items[i]);
}
