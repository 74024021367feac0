#pragma once
// The record a text is stored as: a chain (store/BlockFile.h) holding a 32-bit little-endian
// length n, then n bytes (the text and its terminating NUL). Every reader and writer of text
// chains goes through these calls, so the layout and its checks live here alone.
//
// A length that the file could not hold (more than the bytes its blocks can carry) is
// damage: the read ends with a CFileException (end of file) before anything is allocated.

#include "store/BlockFile.h"
#include "store/ChainWriter.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace textchain {

constexpr std::size_t kLengthField = 4;

// Opens a read transfer on the chain at `first` and reads its length; the transfer stays
// open, at the first byte of the text, for the caller's ReadData and EndTransfer. Throws
// CFileException (a damaged chain or length).
DWORD BeginRead(CBlockFile& store, DWORD first);

// The length alone, with one small read when the first block holds it (for walks that want
// the lengths of many texts). Throws CFileException.
DWORD ReadLength(CBlockFile& store, DWORD first);

// The whole text into `bytes` (resized to it); returns its length. Throws CFileException.
DWORD Read(CBlockFile& store, DWORD first, std::vector<BYTE>& bytes);

// Receives a text's bytes where they lie, piece by piece (a block's worth at most).
class ISegmentSink {
public:
    // The next bytes of the text; true stops the scan.
    virtual bool Segment(const BYTE* bytes, std::size_t count) noexcept = 0;

protected:
    ~ISegmentSink() = default;
};
enum class Scan {
    Done,      // every byte of the text went to the sink
    Stopped,   // the sink stopped the scan
    NotInPlace // nothing certain: the chain is damaged or could not be read; read the text
               // the usual way, which reports why
};
// Hands the text of the chain at `first` (after its length field, as many bytes as the field
// says, the terminating NUL included) to the sink block by block where the store holds it
// (CBlockFile::PeekBlock), without copying it out: for a search that only wants to know
// whether something occurs. Never throws.
Scan ScanInPlace(CBlockFile& store, DWORD first, ISegmentSink& sink) noexcept;

// Writes the text `length` bytes long over the chain at `first` (its surplus blocks freed),
// or into a new chain when `first` is 0; returns the chain. Inside the caller's operation.
// Throws CFileException.
DWORD Write(CBlockFile& store, DWORD first, const void* text, DWORD length);

// Starts a text of `length` bytes at the end of a file being appended to; the caller
// writes the text through `writer` and ends it (CChainWriter::End). Returns its chain.
DWORD BeginAppend(CChainWriter& writer, DWORD length);

// Stores many new texts: into free blocks while the file has any, one chain at a time, then
// at the end of the file in consecutive blocks, many per write (CChainWriter). Flush before
// anything else reads or changes the store; a failure drops what is buffered with the
// operation it belonged to.
class CTextAppender {
public:
    explicit CTextAppender(CBlockFile& store) : m_store(store) {}
    // Stores a text of `length` bytes; returns its chain (0 for an empty text). Throws
    // CFileException.
    DWORD Append(const void* text, DWORD length);
    void Flush();

private:
    CBlockFile& m_store;
    std::unique_ptr<CChainWriter> m_writer; // once the free blocks are used up
};

} // namespace textchain
