#pragma once
// The "NotariumData" payload: an item subtree with titles and texts inline, exchanged
// through the clipboard and drag and drop, also between instances.
//
//   item list = item* , int16 -1
//   item      = int16 kind (4 folder, 8 textlet), int16 n, n title bytes (NUL included),
//               uint32 t, t text bytes (NUL included; absent when t = 0), item list

#include "platform/Types.h"

#include <cstddef>
#include <string>
#include <vector>

namespace payload {

constexpr const char* kFormatName = "NotariumData";

class CPayloadWriter {
public:
    void BeginItem(int kind, const std::string& title);
    // The item's text stream after its length field: `length` bytes, text and NUL.
    void WriteText(DWORD length, const BYTE* bytes);
    void WriteNoText() { PutDword(0); }
    // Writes the length field and returns room for the `length` bytes of the text stream,
    // for the caller to fill (valid until the next write).
    BYTE* AddText(DWORD length);
    void EndList() { PutWord(0xFFFF); }
    std::vector<BYTE>& Data() { return m_data; }
    // Room for n bytes; a large payload asks for huge pages before it is filled.
    void Reserve(std::size_t n);

private:
    std::vector<BYTE> m_data;
    void PutWord(WORD w);
    void PutDword(DWORD d);
};

// A bounds-checked reading cursor. Every read past the end marks the reader failed and
// yields zeros; callers stop at the first failure.
class CPayloadReader {
public:
    CPayloadReader(const BYTE* data, std::size_t size) : m_p(data), m_size(size) {}

    struct Item {
        int kind = 0;
        std::string title;          // up to its NUL, cut to 64 bytes
        DWORD textLength = 0;       // 0: no text
        const BYTE* text = nullptr; // textLength bytes inside the payload
    };

    // Reads the next item of the current list. Returns false at the list's end mark
    // (consumed) or on malformed data (then Failed() is true): a length past the end, a
    // negative title length, or a kind other than 4 (folder) and 8 (textlet).
    bool NextItem(Item& item);
    bool Failed() const { return m_bFailed; }
    std::size_t Position() const { return m_pos; }

private:
    const BYTE* m_p;
    std::size_t m_size;
    std::size_t m_pos = 0;
    bool m_bFailed = false;

    bool Take(std::size_t n);
};

} // namespace payload
