#include "store/Payload.h"

#include "platform/Encoding.h"
#include "platform/LargeBuffer.h"
#include "store/DataFormat.h"

namespace payload {

void CPayloadWriter::Reserve(std::size_t n) {
    m_data.reserve(n);
    membuf::AdviseLargeBuffer(m_data.data(), m_data.capacity());
}

void CPayloadWriter::PutWord(WORD w) {
    m_data.push_back(static_cast<BYTE>(w));
    m_data.push_back(static_cast<BYTE>(w >> 8));
}

void CPayloadWriter::PutDword(DWORD d) {
    PutWord(static_cast<WORD>(d));
    PutWord(static_cast<WORD>(d >> 16));
}

void CPayloadWriter::BeginItem(int kind, const std::string& title) {
    PutWord(static_cast<WORD>(kind));
    PutWord(static_cast<WORD>(title.size() + 1));
    m_data.insert(m_data.end(), title.begin(), title.end());
    m_data.push_back(0);
}

void CPayloadWriter::WriteText(DWORD length, const BYTE* bytes) {
    PutDword(length);
    m_data.insert(m_data.end(), bytes, bytes + length);
}

BYTE* CPayloadWriter::AddText(DWORD length) {
    PutDword(length);
    const std::size_t at = m_data.size();
    m_data.resize(at + length);
    return m_data.data() + at;
}

bool CPayloadReader::Take(std::size_t n) {
    if (m_bFailed || n > m_size - m_pos) {
        m_bFailed = true;
        return false;
    }
    return true;
}

bool CPayloadReader::NextItem(Item& item) {
    if (!Take(2))
        return false;
    WORD kind = nota::GetLE16(m_p + m_pos);
    m_pos += 2;
    if (kind == 0xFFFF)
        return false;
    // Only plain folders and textlets are ever written; any other code is not our payload.
    if (kind != nota::KIND_FOLDER && kind != nota::KIND_TEXTLET) {
        m_pos -= 2;
        m_bFailed = true;
        return false;
    }
    item.kind = static_cast<std::int16_t>(kind);
    if (!Take(2))
        return false;
    auto n = static_cast<std::int16_t>(nota::GetLE16(m_p + m_pos));
    m_pos += 2;
    if (n < 0 || !Take(static_cast<std::size_t>(n))) {
        m_bFailed = true;
        return false;
    }
    const char* title = reinterpret_cast<const char*>(m_p + m_pos);
    std::size_t end = 0;
    while (end < static_cast<std::size_t>(n) && title[end] != '\0')
        ++end;
    item.title = enc::CutToBytes(std::string_view(title, end), nota::MAX_TITLE);
    m_pos += static_cast<std::size_t>(n);
    if (!Take(4))
        return false;
    item.textLength = nota::GetLE32(m_p + m_pos);
    m_pos += 4;
    item.text = nullptr;
    if (item.textLength != 0) {
        if (!Take(item.textLength))
            return false;
        item.text = m_p + m_pos;
        m_pos += item.textLength;
    }
    return true;
}

} // namespace payload
