#include "store/TextChain.h"

using namespace nota;

namespace textchain {

namespace {
DWORD CheckedLength(CBlockFile& store, const BYTE* field) {
    const DWORD length = GetLE32(field);
    if (length + std::uint64_t{kLengthField} > store.MaxChainBytes())
        throw CFileException(CFileException::endOfFile, store.GetFilePath());
    return length;
}
} // namespace

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
