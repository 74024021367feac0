#include "support/FileBuilder.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstring>

using namespace nota;

CFileBuilder::CFileBuilder() : bytes(HEADER_SIZE, 0) {
    std::memcpy(bytes.data(), SIGNATURE, 4);
}

DWORD CFileBuilder::AddBlock(DWORD next, WORD length, const std::vector<BYTE>& data) {
    DWORD offset = static_cast<DWORD>(bytes.size());
    bytes.resize(bytes.size() + BLOCK_SIZE, 0);
    SetNext(offset, next);
    SetLength(offset, length);
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), BLOCK_DATA),
                bytes.begin() + offset + BLOCK_HEADER);
    return offset;
}

DWORD CFileBuilder::AddChain(const std::vector<BYTE>& data) {
    if (data.empty())
        return 0;
    std::size_t n = (data.size() + BLOCK_DATA - 1) / BLOCK_DATA;
    std::vector<DWORD> blocks;
    DWORD first = static_cast<DWORD>(bytes.size());
    for (std::size_t i = 0; i < n; ++i)
        blocks.push_back(first + static_cast<DWORD>(i * BLOCK_SIZE));
    PutChain(blocks, data);
    return first;
}

void CFileBuilder::PutChain(const std::vector<DWORD>& blocks, const std::vector<BYTE>& data) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        DWORD b = blocks[i];
        while (bytes.size() < b + BLOCK_SIZE)
            bytes.resize(bytes.size() + BLOCK_SIZE, 0);
        std::size_t n = std::min<std::size_t>(BLOCK_DATA, data.size() - pos);
        SetNext(b, i + 1 < blocks.size() ? blocks[i + 1] : 0);
        SetLength(b, static_cast<WORD>(n));
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(pos), n,
                    bytes.begin() + b + BLOCK_HEADER);
        pos += n;
    }
}

DWORD CFileBuilder::AddText(const std::string& text) {
    std::vector<BYTE> stream(4);
    PutLE32(stream.data(), static_cast<DWORD>(text.size() + 1));
    stream.insert(stream.end(), text.begin(), text.end());
    stream.push_back(0);
    return AddChain(stream);
}

std::vector<DWORD> CFileBuilder::AddInterleavedTexts(const std::vector<std::string>& texts) {
    std::vector<std::vector<BYTE>> streams;
    std::vector<std::vector<DWORD>> blocks(texts.size());
    std::size_t rounds = 0;
    for (const std::string& text : texts) {
        std::vector<BYTE> stream(4);
        PutLE32(stream.data(), static_cast<DWORD>(text.size() + 1));
        stream.insert(stream.end(), text.begin(), text.end());
        stream.push_back(0);
        rounds = std::max<std::size_t>(rounds, (stream.size() + BLOCK_DATA - 1) / BLOCK_DATA);
        streams.push_back(std::move(stream));
    }
    DWORD next = static_cast<DWORD>(bytes.size());
    for (std::size_t round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < streams.size(); ++i)
            if (round * BLOCK_DATA < streams[i].size()) {
                blocks[i].push_back(next);
                next += BLOCK_SIZE;
            }
    std::vector<DWORD> firsts;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        PutChain(blocks[i], streams[i]);
        firsts.push_back(blocks[i].front());
    }
    return firsts;
}

void CFileBuilder::WriteTo(const std::string& path) const {
    WriteFileBytes(path, bytes);
}

void CTreeStreamBuilder::Word(WORD w) {
    bytes.push_back(static_cast<BYTE>(w));
    bytes.push_back(static_cast<BYTE>(w >> 8));
}

void CTreeStreamBuilder::Dword(DWORD d) {
    Word(static_cast<WORD>(d));
    Word(static_cast<WORD>(d >> 16));
}

CTreeStreamBuilder& CTreeStreamBuilder::Item(int image, const std::string& title, DWORD textData) {
    Word(static_cast<WORD>(image));
    Word(static_cast<WORD>(title.size() + 1));
    bytes.insert(bytes.end(), title.begin(), title.end());
    bytes.push_back(0);
    Dword(textData);
    return *this;
}

CTreeStreamBuilder& CTreeStreamBuilder::End(DWORD state) {
    Word(0xFFFF);
    Dword(state);
    return *this;
}

std::vector<BYTE> CTreeStreamBuilder::Finish() {
    Word(0xFFFF);
    return bytes;
}
