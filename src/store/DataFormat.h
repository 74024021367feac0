#pragma once
// The data file's layout: a 32-byte header and 512-byte blocks linked into chains.

#include "platform/Types.h"

#include <cstddef>
#include <cstring>

namespace nota {

constexpr DWORD HEADER_SIZE = 32;
constexpr DWORD BLOCK_SIZE = 512;
constexpr DWORD BLOCK_HEADER = 6; // dwNext + wLength
constexpr DWORD BLOCK_DATA = 506;
constexpr char SIGNATURE[4] = {'n', 'o', 't', 'a'};

// Header field offsets.
constexpr std::size_t HDR_TREE_DATA = 16;
constexpr std::size_t HDR_FREE_LIST = 20;

// Image codes: kind base plus flag bits.
constexpr int IMAGE_ROOT = 0;
constexpr int IMAGE_FOLDER = 4;
constexpr int IMAGE_TEXTLET = 8;
constexpr int IMAGE_OPEN = 0x1;
constexpr int IMAGE_BOOKMARK = 0x2;

inline bool IsRootImage(int image) {
    return image <= 3;
}
inline bool IsFolderImage(int image) {
    return image <= 7;
} // the root or a folder
inline bool IsTextletImage(int image) {
    return image > 7;
}

// Tree state bits stored per item.
constexpr DWORD STATE_SELECTED = 0x02;
constexpr DWORD STATE_EXPANDED = 0x20;

// Titles: at most 64 bytes reach the file, plus the NUL.
constexpr std::size_t MAX_TITLE = 64;
constexpr int TITLE_BUFFER = 65;

// Payload item kinds.
constexpr int KIND_FOLDER = 4;
constexpr int KIND_TEXTLET = 8;

inline bool IsBlockAligned(DWORD offset) {
    return offset >= HEADER_SIZE && (offset - HEADER_SIZE) % BLOCK_SIZE == 0;
}

// Little-endian access.
inline WORD GetLE16(const BYTE* p) {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}
inline DWORD GetLE32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
inline void PutLE16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
inline void PutLE32(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

// The in-memory copy of the 32-byte header.
struct FileHeader {
    BYTE bytes[HEADER_SIZE] = {};

    DWORD TreeData() const { return GetLE32(bytes + HDR_TREE_DATA); }
    DWORD FreeList() const { return GetLE32(bytes + HDR_FREE_LIST); }
    void SetTreeData(DWORD v) { PutLE32(bytes + HDR_TREE_DATA, v); }
    void SetFreeList(DWORD v) { PutLE32(bytes + HDR_FREE_LIST, v); }
    bool HasSignature() const { return std::memcmp(bytes, SIGNATURE, 4) == 0; }
    // "nota" followed by 28 zero bytes.
    void SetNew() {
        std::memset(bytes, 0, sizeof bytes);
        std::memcpy(bytes, SIGNATURE, 4);
    }
};

} // namespace nota
