#include "store/TextChain.h"

#include <algorithm>

using namespace nota;

namespace textchain {

namespace {
DWORD CheckedLength(CBlockFile& store, const BYTE* field) {
    const DWORD length = GetLE32(field);
    if (length + std::uint64_t{kLengthField} > store.MaxChainBytes())
        throw CFileException(CFileException::endOfFile, store.GetFilePath());
    return length;
}

// The blocks after a chain's first one, which lie one after another in most files: asked for
// in one piece, as many as the rest of the text needs, up to the end of their read window.
class CSpan {
public:
    const BYTE* Block(DWORD at) const {
        return at >= m_nFirst && at < m_nEnd ? m_bytes + (at - m_nFirst) : nullptr;
    }
    // Blocks from `at` on for `remaining` bytes of text (as many as their window holds); null
    // (and forgotten) when the rest fits in one block or the store cannot hand the blocks over
    // in one piece: the caller's PeekBlock then may move the windows.
    const BYTE* Peek(CBlockFile& store, DWORD at, std::uint64_t remaining) {
        m_nFirst = m_nEnd = 0;
        if (remaining <= BLOCK_DATA)
            return nullptr;
        std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>((remaining + BLOCK_DATA - 1) / BLOCK_DATA, 1u << 16) *
            BLOCK_SIZE);
        m_bytes = store.PeekSpan(at, count);
        if (m_bytes != nullptr) {
            m_nFirst = at;
            m_nEnd = at + static_cast<DWORD>(count);
        }
        return m_bytes;
    }

private:
    const BYTE* m_bytes = nullptr;
    DWORD m_nFirst = 0, m_nEnd = 0; // the blocks at m_bytes
};

} // namespace

Scan ScanInPlace(CBlockFile& store, DWORD first, ISegmentSink& sink) noexcept {
    try {
        const std::uint64_t limit = store.MaxChainBytes();
        const DWORD maxBlocks = store.GetBlockCount();
        BYTE scratch[BLOCK_SIZE];
        BYTE field[kLengthField];
        std::size_t got = 0;
        std::uint64_t remaining = 0; // known once the field is read
        DWORD blocks = 0;
        CSpan span;
        for (DWORD at = first; at != 0;) {
            if (++blocks > maxBlocks)
                return Scan::NotInPlace; // a loop
            const BYTE* block = span.Block(at);
            if (block == nullptr && got > kLengthField)
                block = span.Peek(store, at, remaining);
            if (block == nullptr)
                block = store.PeekBlock(at, scratch);
            std::size_t n = GetLE16(block + 4);
            if (n > BLOCK_DATA)
                return Scan::NotInPlace;
            const BYTE* data = block + BLOCK_HEADER;
            for (; got < kLengthField && n > 0; --n)
                field[got++] = *data++;
            at = GetLE32(block);
            if (got < kLengthField)
                continue;
            if (got == kLengthField) {
                remaining = GetLE32(field);
                if (remaining + kLengthField > limit)
                    return Scan::NotInPlace;
                ++got; // the field is read
            }
            n = static_cast<std::size_t>(std::min<std::uint64_t>(n, remaining));
            remaining -= n;
            if (n > 0 && sink.Segment(data, n))
                return Scan::Stopped;
            if (remaining == 0)
                return Scan::Done;
        }
        return Scan::NotInPlace; // the chain ended before its text did
    } catch (...) {
        return Scan::NotInPlace;
    }
}

DWORD BeginRead(CBlockFile& store, DWORD first) {
    store.BeginRead(first);
    BYTE field[kLengthField];
    store.ReadData(field, kLengthField);
    return CheckedLength(store, field);
}

DWORD ReadLength(CBlockFile& store, DWORD first) {
    BYTE field[kLengthField];
    if (!store.PeekChainStart(first, field, kLengthField)) {
        CTransferScope transfer(store);
        store.BeginRead(first);
        store.ReadData(field, kLengthField);
        store.EndTransfer();
    }
    return CheckedLength(store, field);
}

DWORD Read(CBlockFile& store, DWORD first, std::vector<BYTE>& bytes) {
    CTransferScope transfer(store);
    const DWORD length = BeginRead(store, first);
    bytes.resize(length);
    store.ReadData(bytes.data(), length);
    store.EndTransfer();
    return length;
}

DWORD Write(CBlockFile& store, DWORD first, const void* text, DWORD length) {
    CTransferScope transfer(store);
    if (first == 0)
        first = store.BeginNewChain();
    else
        store.BeginWrite(first);
    BYTE field[kLengthField];
    PutLE32(field, length);
    store.WriteData(field, kLengthField);
    store.WriteData(text, length);
    store.EndTransfer();
    return first;
}

DWORD BeginAppend(CChainWriter& writer, DWORD length) {
    const DWORD first = writer.Begin(std::uint64_t{kLengthField} + length);
    BYTE field[kLengthField];
    PutLE32(field, length);
    writer.Write(field, kLengthField);
    return first;
}

DWORD CTextAppender::Append(const void* text, DWORD length) {
    if (length == 0)
        return 0;
    if (!m_writer && m_store.GetFreeList() != 0)
        return Write(m_store, 0, text, length);
    if (!m_writer) {
        // No free blocks left: what follows starts on the block grid at the end.
        m_store.DropPartialBlock();
        m_writer = std::make_unique<CChainWriter>(m_store);
    }
    const DWORD first = BeginAppend(*m_writer, length);
    m_writer->Write(text, length);
    m_writer->End();
    return first;
}

void CTextAppender::Flush() {
    if (m_writer)
        m_writer->Flush();
}

} // namespace textchain
