#include "repair/IndexBuffer.h"

#include <algorithm>
#include <cstring>

void CIndexBuffer::Append(const BYTE* data, std::size_t count) {
    std::size_t size = m_data.size() + count;
    if (size > m_data.capacity())
        m_data.reserve(std::max(size, m_data.capacity() * 2 + 512) / 512 * 512 + 512);
    m_data.insert(m_data.end(), data, data + count);
}

std::size_t CIndexBuffer::Read(void* dest, std::size_t count) {
    std::size_t left = m_data.size() - m_nCursor;
    std::size_t n = count < left ? count : left;
    if (n > 0)
        std::memcpy(dest, m_data.data() + m_nCursor, n);
    m_nCursor += n;
    if (n < count)
        m_bOverflow = true;
    return n;
}

WORD CIndexBuffer::ReadWord() {
    BYTE b[2] = {};
    Read(b, 2);
    return static_cast<WORD>(b[0] | (b[1] << 8));
}

DWORD CIndexBuffer::ReadDword() {
    BYTE b[4] = {};
    Read(b, 4);
    return static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) |
           (static_cast<DWORD>(b[2]) << 16) | (static_cast<DWORD>(b[3]) << 24);
}
