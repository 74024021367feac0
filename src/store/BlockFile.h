#pragma once
// The one class that touches a data file's bytes: streams bytes into and out of block
// chains, allocates and frees blocks, and keeps the header on disk in step with its copy.
//
// Damaged files are met safely: a chain link that is not a block of the file, a block
// length over 506, or a chain longer than the file has blocks (a loop) ends the transfer
// with a CFileException (end of file) instead of reading or writing outside the file.

#include "platform/File.h"
#include "store/DataFormat.h"

#include <cstdint>
#include <vector>

class CBlockFile : public CFile {
public:
    enum Mode { modeIdle = 0, modeReading = 1, modeWriting = 2 };

    CBlockFile();
    CBlockFile(const std::string& path, UINT flags);
    ~CBlockFile() override;

    // Writes a dirty header, then closes.
    void Close() override;

    // The header copy; callers set dwTreeData and dwFreeList through it.
    nota::FileHeader m_header;
    DWORD GetTreeData() const { return m_header.TreeData(); }
    DWORD GetFreeList() const { return m_header.FreeList(); }
    void SetTreeData(DWORD offset) {
        m_header.SetTreeData(offset);
        m_bHeaderDirty = true;
    }

    bool CheckSignature();
    void WriteHeader();

    DWORD AllocBlock();
    void FreeChain(DWORD first);
    DWORD BeginNewChain();
    void BeginWrite(DWORD first);
    void BeginRead(DWORD first);
    void ReadData(void* buffer, std::size_t count);
    void WriteData(const void* buffer, std::size_t count);
    void EndTransfer();
    // Ends a transfer that an exception interrupted, without writing anything.
    void AbandonTransfer() { m_nMode = modeIdle; }

    void TakeOver(CBlockFile& other);

    Mode GetMode() const { return m_nMode; }
    bool IsHeaderDirty() const { return m_bHeaderDirty; }
    void SetHeaderDirty() { m_bHeaderDirty = true; }
    bool m_bDeferHeader = false;

    // Number of whole blocks in the file.
    DWORD GetBlockCount() const;
    // True when offset names a whole block of the file.
    bool IsValidBlock(DWORD offset) const;
    // Bytes a chain can hold at most in this file (a bound for length fields).
    std::uint64_t MaxChainBytes() const;

private:
    DWORD m_dwCurBlock = 0;
    WORD m_nPosition = 0;
    BYTE m_buffer[nota::BLOCK_SIZE] = {};
    Mode m_nMode = modeIdle;
    bool m_bHeaderDirty = false;
    DWORD m_nBlocksVisited = 0; // blocks loaded or written by this transfer: stops loops

    // Read-ahead for chains laid out in consecutive blocks (a compacted file).
    std::vector<BYTE> m_readAhead;
    DWORD m_dwReadAheadStart = 0;
    DWORD m_dwLastLoaded = 0;

    void ResetBuffer();
    void FlushBlock(bool more);
    void LoadBlock(DWORD offset);
    void CheckLink(DWORD offset);
    DWORD ReadNext(DWORD offset);
    void WriteNext(DWORD offset, DWORD next);
    void InvalidateReadAhead() { m_readAhead.clear(); }
    [[noreturn]] void ThrowCorrupt() const;
    void CountVisit();
};
