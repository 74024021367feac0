#pragma once
// A growable byte buffer with a read cursor. Reading past the end copies what is left,
// leaves the rest of the destination as it was and sets the overflow flag, so a reader of a
// damaged stream never leaves the buffer and can tell afterwards that it ran out.

#include "platform/Types.h"

#include <cstddef>
#include <vector>

class CIndexBuffer {
public:
    void Reset() {
        m_data.clear();
        m_nCursor = 0;
        m_bOverflow = false;
    }
    // Appends bytes; the capacity grows in steps of 512 bytes.
    void Append(const BYTE* data, std::size_t count);
    // Copies up to count bytes to dest; sets the overflow flag when fewer were left.
    std::size_t Read(void* dest, std::size_t count);

    WORD ReadWord();
    DWORD ReadDword();

    std::size_t Size() const { return m_data.size(); }
    std::size_t Cursor() const { return m_nCursor; }
    void SetCursor(std::size_t pos) { m_nCursor = pos < m_data.size() ? pos : m_data.size(); }
    bool Overflow() const { return m_bOverflow; }
    void ClearOverflow() { m_bOverflow = false; }
    BYTE* Data() { return m_data.data(); }
    const BYTE* Data() const { return m_data.data(); }

private:
    std::vector<BYTE> m_data;
    std::size_t m_nCursor = 0;
    bool m_bOverflow = false;
};
