#include "app/HeaderFooter.h"

#include <cstdio>
#include <ctime>

CHeaderFooter::CHeaderFooter(int defaultSection, bool caseSensitive)
    : m_nDefaultSection(Clamp(defaultSection)), m_nCurrentSection(m_nDefaultSection),
      m_bCaseSensitive(caseSensitive) {}

char CHeaderFooter::Fold(char code) const {
    if (!m_bCaseSensitive && code >= 'A' && code <= 'Z')
        return static_cast<char>(code - 'A' + 'a');
    return code;
}

void CHeaderFooter::SetCode(char code, const std::string& value) {
    code = Fold(code);
    for (auto& entry : m_codes)
        if (entry.first == code) {
            entry.second = value;
            return;
        }
    m_codes.emplace_back(code, value);
}

void CHeaderFooter::SetCodeNumber(char code, int number) {
    SetCode(code, std::to_string(number));
}

std::string CHeaderFooter::ExpandCode(char code) {
    switch (code) {
    case 'l':
        m_nCurrentSection = kLeft;
        return {};
    case 'c':
        m_nCurrentSection = kCentre;
        return {};
    case 'r':
        m_nCurrentSection = kRight;
        return {};
    default:
        break;
    }
    const char key = Fold(code);
    for (const auto& entry : m_codes)
        if (entry.first == key)
            return entry.second;
    return std::string(1, code);
}

void CHeaderFooter::Format(const std::string& pattern) {
    for (auto& section : m_sections)
        section.clear();
    m_nCurrentSection = m_nDefaultSection;
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const std::size_t amp = pattern.find('&', pos);
        if (amp == std::string::npos || amp + 1 == pattern.size()) {
            m_sections[m_nCurrentSection].append(pattern, pos, std::string::npos);
            return;
        }
        m_sections[m_nCurrentSection].append(pattern, pos, amp - pos);
        const std::string value = ExpandCode(pattern[amp + 1]);
        m_sections[m_nCurrentSection] += value;
        pos = amp + 2;
    }
}

std::string FormatPrintDate(int year, int month, int day) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d/%d/%02d", month, day, ((year % 100) + 100) % 100);
    return buf;
}

std::string TodayPrintDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return FormatPrintDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}
