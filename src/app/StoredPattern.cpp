#include "app/StoredPattern.h"

#include "platform/Encoding.h"

#include <algorithm>

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

} // namespace

void CStoredPattern::Init(std::string_view pattern, bool matchCase) {
    m_utf8 = enc::LfToCrLf(pattern);
    m_bTwoEncodings = !IsAscii(m_utf8) && enc::IsValidUtf8(m_utf8);
    if (!m_bTwoEncodings || !enc::Utf8ToCp1252(m_utf8, m_cp1252))
        m_cp1252.clear();
    m_primary.Init(m_utf8, matchCase);
    m_alt.Init(m_cp1252, matchCase);
}

PatternMatch CStoredPattern::Find(std::string_view stored, bool backward) const {
    std::ptrdiff_t pos = m_primary.Find(stored, backward);
    if (!m_bTwoEncodings)
        return {pos, pos >= 0 ? m_utf8.size() : 0};
    // Which encoding the text is shown in is asked only once there is a candidate.
    int utf8 = -1;
    auto isUtf8 = [&] {
        if (utf8 < 0)
            utf8 = enc::IsValidUtf8(stored) ? 1 : 0;
        return utf8 == 1;
    };
    if (pos >= 0 && isUtf8())
        return {pos, m_utf8.size()};
    if (m_cp1252.empty() || (pos < 0 && utf8 == 1))
        return {};
    std::ptrdiff_t alt = m_alt.Find(stored, backward);
    if (alt >= 0 && !isUtf8())
        return {alt, m_cp1252.size()};
    return {};
}

bool CStoredPattern::Occurs(const char* bytes, std::size_t n) const {
    if (m_primary.FindForward(bytes, n) >= 0)
        return true;
    return !m_cp1252.empty() && m_alt.FindForward(bytes, n) >= 0;
}

ShownRange StoredToShown(std::string_view stored, std::size_t pos, std::size_t length) {
    pos = std::min(pos, stored.size());
    length = std::min(length, stored.size() - pos);
    auto shown = [&](std::string_view part, bool utf8) {
        std::string text = utf8 ? std::string(part) : enc::Cp1252ToUtf8(part);
        return enc::CrLfToLf(text).size();
    };
    bool utf8 = enc::IsValidUtf8(stored);
    // A CR LF cut in two by the range's start shows as the LF alone.
    std::size_t start = shown(stored.substr(0, pos), utf8);
    if (pos > 0 && pos < stored.size() && stored[pos - 1] == '\r' && stored[pos] == '\n')
        --start;
    std::size_t end = shown(stored.substr(0, pos + length), utf8);
    if (pos + length > 0 && pos + length < stored.size() && stored[pos + length - 1] == '\r' &&
        stored[pos + length] == '\n')
        --end;
    end = std::max(end, start);
    return {start, end - start};
}
