#pragma once
// The repair engine of NotaFix: reads a damaged data file (the source), checks every block,
// chain and record it can reach, and builds a repaired copy that finally replaces the
// target. The source is only read. Blocks that nothing claims but that still hold text are
// kept as bookmarked textlets in a recovery folder "#[NotaFix]".
//
// The engine reports as it goes: every step sets the status text, selected steps and every
// error are appended to the log, a fatal error also shows a message box and ends the run
// with CRepairAbort.

#include "platform/FileSystem.h"
#include "platform/TreeCtrl.h"
#include "platform/UiServices.h"
#include "repair/IndexBuffer.h"
#include "store/BlockFile.h"
#include "store/ChainWriter.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

// Receives the log lines (without line ends) and the status text of a run.
class IRepairLog {
public:
    virtual ~IRepairLog() = default;
    virtual void AppendLine(const std::string& line) = 0;
    // Every status change, logged or not (lets a window keep itself painted).
    virtual void OnStatus(const std::string& /*text*/) {}
};

// The progress of the current phase.
class IRepairProgress {
public:
    virtual ~IRepairProgress() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void SetPos(int pos) = 0;
};

// Ends a run after a fatal error; the message has been logged and shown already.
class CRepairAbort : public std::exception {
public:
    const char* what() const noexcept override { return "repair aborted"; }
};

class CRepairEngine {
public:
    CRepairEngine(IUiServices& ui, IRepairLog& log, IRepairProgress& progress);
    ~CRepairEngine();
    CRepairEngine(const CRepairEngine&) = delete;
    CRepairEngine& operator=(const CRepairEngine&) = delete;

    // Repairs source into target (which may be the source itself). Returns after the
    // "PROCESS COMPLETE" line; throws CRepairAbort after a fatal error, and lets other
    // failures (a file exception, lack of memory) pass to the caller.
    void Run(const std::string& source, const std::string& target);

    // Makes Run a check: every read, check and log line of a repair, but no copy is written
    // and the target is never created or replaced (the log still names it).
    void SetCheckOnly(bool bCheckOnly) { m_bCheckOnly = bCheckOnly; }

    const std::string& GetStatusText() const { return m_strStatus; }
    int GetErrorCount() const { return m_nErrors; }
    // The items of the tree the last run built (its recovery folder included); 0 before a run
    // got that far.
    std::size_t GetItemCount() const { return m_tree ? m_tree->GetCount() : 0; }

    // Message fragments the engine quotes.
    static constexpr const char* kReasonChain = "Length field corrupt or blocks missing from chain";
    static constexpr const char* kReasonData = "Data appears corrupt";
    static constexpr const char* kRecoveryFolder = "#[NotaFix]";
    static constexpr const char* kRecoveryText =
        "This folder contains blocks that NotaFix recovered from corrupt portions of this file.";
    static constexpr const char* kNoErrors = "PROCESS COMPLETE: No errors detected";

private:
    IUiServices& m_ui;
    IRepairLog& m_log;
    IRepairProgress& m_progress;
    std::string m_strStatus = "Ready";
    CBlockFile m_source;
    CBlockFile m_temp;
    std::string m_strTempPath;
    std::unique_ptr<CFileReplacement> m_replacement; // the work file beside the target
    DWORD m_nBlocks = 0;
    std::vector<BYTE> m_blockMap;
    int m_nErrors = 0;
    int m_nItems = 0;
    std::unique_ptr<CTreeCtrl> m_tree;
    CIndexBuffer m_index;
    std::unique_ptr<CChainWriter> m_writer; // appends chains to the working file

    BYTE m_block[nota::BLOCK_SIZE] = {}; // the source's block last read
    bool m_bCheckOnly = false;
    std::uint64_t m_nCheckEnd = 0; // check only: where the next chain of the copy would start

    struct Block {
        DWORD dwNext = 0;
        WORD wLength = 0;
        const BYTE* data = nullptr; // 506 bytes, valid until the next block is read
    };

    void ShowStatus(bool bLog, const std::string& text);
    void LogError(const std::string& text);
    [[noreturn]] void LogFatal(const std::string& text);

    void OpenSource(const std::string& source);
    void CheckLength();
    void TestFreeList();
    void ReadIndex();
    void CreateTempFile(const std::string& target);
    void WriteTree(const char* failure);
    void FinishTemp();
    void CopyToTarget();

    bool CheckBlock(DWORD offset, Block& block, std::string& reason);
    const BYTE* ReadBlock(DWORD offset);
    void Mark(DWORD offset) { m_blockMap[(offset - 32) / 512] = 1; }
    bool ReadChain(DWORD start, std::string& reason);

    void BuildTree();
    bool ReadItemList();
    void CopyItemTexts();
    void CopyItemText(HTREEITEM hItem);
    void ScanUnclaimedBlocks();
    void RecoverBlock(DWORD index, int& n, HTREEITEM& hFolder);
    DWORD WriteChain(const BYTE* data, DWORD length);
};

// The message of an exception that left a run, as the shell quotes it.
std::string DescribeException(const std::exception& e);
// "An unexpected error was encountered : ..." with the exception's text and the status.
std::string FormatUnexpectedError(const std::exception& e, const std::string& status);
