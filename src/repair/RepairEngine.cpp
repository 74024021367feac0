#include "repair/RepairEngine.h"

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/PreorderWalk.h"
#include "platform/Strings.h"
#include "store/ChainWriter.h"
#include "store/TextChain.h"
#include "store/TreeStream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <new>

using namespace nota;

namespace {

// Offsets are 32-bit: blocks beyond the last one a DWORD can name are never part of a chain.
constexpr std::uint64_t kMaxBlocks = (0xFFFFFFFFull - HEADER_SIZE) / BLOCK_SIZE + 1;
constexpr DWORD kTextSignatureLimit = 0x0A000000;
constexpr const char* kUntitled = "Untitled";

int ClampToInt(std::uint64_t n) {
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

} // namespace

CRepairEngine::CRepairEngine(IUiServices& ui, IRepairLog& log, IRepairProgress& progress)
    : m_ui(ui), m_log(log), m_progress(progress) {}

CRepairEngine::~CRepairEngine() {
    m_progress.SetPos(0);
    m_source.Abort();
    m_temp.Abort();
    // m_replacement removes the work file unless it was put in place
}

void CRepairEngine::ShowStatus(bool bLog, const std::string& text) {
    m_strStatus = text;
    m_log.OnStatus(text);
    if (bLog)
        m_log.AppendLine(text);
}

void CRepairEngine::LogError(const std::string& text) {
    ++m_nErrors;
    ShowStatus(true, Format("ERROR: %s", text));
}

void CRepairEngine::LogFatal(const std::string& text) {
    ++m_nErrors;
    std::string message = Format("FATAL ERROR: %s", text);
    ShowStatus(true, message);
    m_ui.MessageBox(message, MB_OK | MB_ICONSTOP);
    throw CRepairAbort();
}

void CRepairEngine::Run(const std::string& source, const std::string& target) {
    CWaitCursor wait(m_ui);
    ShowStatus(true, Format("Source file: %s", source));
    ShowStatus(true, Format("Target file: %s", target));
    ShowStatus(true, "Inspecting source file");
    OpenSource(source);

    ShowStatus(false, "Checking file signature");
    if (!m_source.CheckSignature())
        LogFatal(Format("File does not contain a valid file signature. %s is not a valid "
                        "Notarium data file.",
                        source));
    ShowStatus(false, "Checking file length");
    CheckLength();
    ShowStatus(false, "Allocating memory for block flags");
    m_blockMap.assign(m_nBlocks, 0);
    ShowStatus(false, "Testing free list chain");
    TestFreeList();
    ShowStatus(false, "Reading data index tree");
    ReadIndex();
    ShowStatus(false, "Contructing data tree");
    BuildTree();
    if (m_tree->GetCount() == 0)
        LogFatal("No valid entries found in data index : Unable to continue without index");

    ShowStatus(true, "Writing data to temporary file");
    CreateTempFile(target);
    WriteTree("Error writing initial tree data to temporary file");
    CopyItemTexts();

    ShowStatus(true, "Scanning source file for unused blocks");
    m_progress.SetRange(0, ClampToInt(m_nBlocks));
    ScanUnclaimedBlocks();
    if (m_writer)
        m_writer->Flush();
    WriteTree("Error writing updated tree data to temporary file");

    FinishTemp();
    ShowStatus(true, "Copying temporary file to target file");
    CopyToTarget();
    m_source.Abort(); // only ever read: nothing to write back

    if (m_nErrors == 0)
        ShowStatus(true, kNoErrors);
    else
        ShowStatus(true, Format("PROCESS COMPLETE: %d error(s) detected and repaired : Data may "
                                "have been lost",
                                m_nErrors));
}

void CRepairEngine::OpenSource(const std::string& source) {
    CFileException error(CFileException::none, source);
    // The source is only read. It is opened for writing where it can be, so that a change a
    // stopped writer left unfinished is rolled back first; a file that cannot be written (a
    // backup disk, a read-only mount) is read as it is, unless it is in that state.
    bool ok = m_source.Open(source, CFile::modeReadWrite | CFile::shareExclusive, &error);
    if (!ok && error.m_cause == CFileException::accessDenied) {
        ok = m_source.Open(source, CFile::modeRead | CFile::shareDenyWrite, &error);
        if (ok && m_source.IsRollbackPending()) {
            m_source.Abort();
            LogFatal(Format(str::kNeedsRollback, source));
        }
    }
    if (!ok) {
        std::string text = error.GetErrorMessage();
        if (text.size() > 511)
            text.resize(511);
        LogFatal(Format("Unable to open %s : %s", source, text));
    }
    if (m_source.WasRolledBack())
        ShowStatus(true, "Source file: an unfinished change was rolled back (rollback journal)");
    if (!m_source.StrayJournal().empty())
        ShowStatus(true, Format("Source file: a rollback journal that does not belong to it was "
                                "not applied; kept as %s",
                                m_source.StrayJournal()));
}

void CRepairEngine::CheckLength() {
    std::uint64_t length = m_source.Length();
    if ((length - HEADER_SIZE) % BLOCK_SIZE != 0)
        LogError(Format("Invalid source file length (%u bytes) : FIX: Ignoring partial block at "
                        "end of file",
                        length));
    m_nBlocks = static_cast<DWORD>(std::min((length - HEADER_SIZE) / BLOCK_SIZE, kMaxBlocks));
}

void CRepairEngine::TestFreeList() {
    std::string reason;
    Block block;
    for (DWORD r = m_source.GetFreeList(); r != 0; r = block.dwNext) {
        if (!CheckBlock(r, block, reason)) {
            LogError(Format("Invalid block detected in free list chain : %s : FIX: Truncating "
                            "free list (Note: Free list never written to target file)",
                            reason));
            break;
        }
        Mark(r);
    }
}

void CRepairEngine::ReadIndex() {
    DWORD tree = m_source.GetTreeData();
    if (tree == 0)
        LogFatal("Starting block of data index (dwTreeData) is 0 : Unable to continue without "
                 "index");
    std::string reason;
    if (!ReadChain(tree, reason))
        ShowStatus(true, Format("WARNING: Bad data index chain detected! : %s : Significant data "
                                "loss may result",
                                reason));
}

// Decides whether offset may be used as a block of a chain; hands the block back if so.
bool CRepairEngine::CheckBlock(DWORD offset, Block& block, std::string& reason) {
    DWORD rel = offset - HEADER_SIZE; // an offset below 32 wraps and fails the first test
    if (rel / BLOCK_SIZE >= m_nBlocks) {
        reason = "Block offset exceeds file size";
        return false;
    }
    if (rel % BLOCK_SIZE != 0) {
        reason = "Block offset is not on even block boundary";
        return false;
    }
    if (m_blockMap[rel / BLOCK_SIZE]) {
        reason = "Block offset refers to already-used block";
        return false;
    }
    const BYTE* p = ReadBlock(offset);
    block.dwNext = GetLE32(p);
    block.wLength = GetLE16(p + 4);
    block.data = p + BLOCK_HEADER;
    if (block.wLength > BLOCK_DATA) {
        reason = "Block contains invalid length field";
        return false;
    }
    return true;
}

// One block of the source. The store reads it from its view of the file in memory, so
// following a chain costs no system call per block, wherever its blocks lie.
const BYTE* CRepairEngine::ReadBlock(DWORD offset) {
    m_source.ReadAt(offset, m_block, BLOCK_SIZE);
    return m_block;
}

bool CRepairEngine::ReadChain(DWORD start, std::string& reason) {
    m_index.Reset();
    bool ok = true;
    Block block;
    for (DWORD r = start; r != 0; r = block.dwNext) {
        if (!CheckBlock(r, block, reason)) {
            ok = false;
            break;
        }
        Mark(r);
        m_index.Append(block.data, block.wLength);
    }
    m_index.SetCursor(0);
    return ok;
}

void CRepairEngine::BuildTree() {
    m_tree = std::make_unique<CTreeCtrl>();
    m_tree->DeleteAllItems();
    if (m_index.Size() == 0)
        return;
    m_progress.SetRange(0, ClampToInt(m_index.Size()));
    m_progress.SetPos(0);
    if (!ReadItemList())
        LogError("Invalid index data detected : FIX: Truncating data index");
    m_progress.SetPos(0);
}

// Reads the top-level item list and every list nested in it. The nesting is kept on a
// stack of its own, so no depth of the stream can exhaust the call stack. On failure the
// items inserted so far stay.
bool CRepairEngine::ReadItemList() {
    std::vector<HTREEITEM> parents{TVI_ROOT};
    WORD w = m_index.ReadWord();
    for (;;) {
        if (w == 0xFFFF) { // end of the innermost list
            parents.pop_back();
            if (parents.empty())
                return true;
            m_index.ReadDword(); // the finished item's state: nothing is kept expanded
            w = m_index.ReadWord();
            m_progress.SetPos(ClampToInt(m_index.Cursor()));
            continue;
        }
        if (m_index.Overflow()) {
            m_index.ClearOverflow();
            return false;
        }
        int image = static_cast<std::int16_t>(w) & ~(IMAGE_OPEN | IMAGE_BOOKMARK);
        auto titleLength = static_cast<std::int16_t>(m_index.ReadWord());
        if (titleLength > TITLE_BUFFER || titleLength < 0)
            return false;
        char title[TITLE_BUFFER] = {};
        m_index.Read(title, static_cast<std::size_t>(titleLength));
        DWORD textData = m_index.ReadDword();
        if (m_index.Overflow()) {
            m_index.ClearOverflow();
            return false;
        }
        std::string text(title, std::find(title, title + titleLength, '\0'));
        text = enc::CutToBytes(text, MAX_TITLE);
        if (text.empty())
            text = kUntitled;
        HTREEITEM h =
            m_tree->InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, text,
                               image, image, 0, 0, textData, parents.back(), TVI_SORT);
        parents.push_back(h);
        w = m_index.ReadWord();
    }
}

void CRepairEngine::CreateTempFile(const std::string& target) {
    if (m_bCheckOnly) {
        m_nCheckEnd = HEADER_SIZE;
        return;
    }
    // Built beside the target (one file system, so putting it in place is a rename), under
    // a name fixed per target: a run that was killed leaves one file that the next reuses.
    m_replacement = std::make_unique<CFileReplacement>(target, "FIX");
    m_strTempPath = m_replacement->WorkPath();
    try {
        m_replacement->Create(m_temp);
    } catch (const CFileException& error) {
        LogFatal(Format("Unable to open temporary file %s : %s", m_strTempPath,
                        error.GetErrorMessage()));
    }
    m_temp.SetJournaled(false);
    m_temp.BeginOperation(); // the header and the commit once, in FinishTemp
    m_temp.Header().SetNew();
    m_temp.WriteHeader();
    m_writer = std::make_unique<CChainWriter>(m_temp);
}

void CRepairEngine::WriteTree(const char* failure) {
    if (m_bCheckOnly)
        return;
    try {
        CTransferScope transfer(m_temp);
        treestream::WriteTree(m_temp, *m_tree);
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
        LogFatal(failure);
    }
}

DWORD CRepairEngine::WriteChain(const BYTE* data, DWORD length) {
    if (m_bCheckOnly) { // where the chain would go, so that it gets a reference all the same
        DWORD first = static_cast<DWORD>(m_nCheckEnd);
        m_nCheckEnd += (std::uint64_t{4} + length + BLOCK_DATA - 1) / BLOCK_DATA * BLOCK_SIZE;
        m_nCheckEnd = std::min<std::uint64_t>(m_nCheckEnd, 0xFFFFFE00u);
        return first;
    }
    DWORD first = textchain::BeginAppend(*m_writer, length);
    m_writer->Write(data, length);
    m_writer->End();
    return first;
}

void CRepairEngine::CopyItemTexts() {
    m_progress.SetRange(0, ClampToInt(m_tree->GetCount()));
    m_nItems = 0;
    m_progress.SetPos(0);
    for (HTREEITEM h = m_tree->GetRootItem(); h != nullptr;
         h = treewalk::NextPreorder(*m_tree, h)) {
        CopyItemText(h);
        if (++m_nItems % 16 == 0)
            m_progress.SetPos(m_nItems);
    }
    m_progress.SetPos(0);
}

// Keeps an item's text whole when its chain is sound, up to the damage when the chain
// breaks or claims more than it holds; drops it when nothing can be read. A damaged text
// is an error and the item is bookmarked.
void CRepairEngine::CopyItemText(HTREEITEM h) {
    auto textData = static_cast<DWORD>(m_tree->GetItemData(h));
    if (textData == 0)
        return;
    int image = 0, selected = 0;
    m_tree->GetItemImage(h, image, selected);
    std::string reason = kReasonChain;
    bool ok = ReadChain(textData, reason);
    DWORD length = 0;
    std::size_t size = m_index.Size();
    if (size > 4) {
        length = m_index.ReadDword();
        if (length > size - 4) {
            length = static_cast<DWORD>(size - 4);
            ok = false;
            m_index.Data()[size - 1] = 0;
        }
    }
    DWORD newText = length > 0 ? WriteChain(m_index.Data() + 4, length) : 0;
    if (length == 0 || !ok) {
        LogError(Format("Corrupt item data detected : %s : FIX: Truncating data and "
                        "bookmarking item",
                        reason));
        image |= IMAGE_BOOKMARK;
    }
    m_tree->SetItemImage(h, image, image);
    m_tree->SetItemData(h, newText);
}

void CRepairEngine::ScanUnclaimedBlocks() {
    int n = 0;
    HTREEITEM hFolder = nullptr;
    for (DWORD i = 0; i < m_nBlocks; ++i) {
        if (!m_blockMap[i])
            RecoverBlock(i, n, hFolder);
        if (i % 16 == 0)
            m_progress.SetPos(ClampToInt(i));
    }
    m_progress.SetPos(0);
}

// Turns an unclaimed block that still looks like text into a bookmarked textlet of the
// recovery folder; discards it otherwise.
void CRepairEngine::RecoverBlock(DWORD index, int& n, HTREEITEM& hFolder) {
    DWORD offset = HEADER_SIZE + index * BLOCK_SIZE;
    Block block;
    std::string reason;
    if (!CheckBlock(offset, block, reason)) {
        LogError(Format("Unused and invalid block detected : %s : FIX: Discarding block", reason));
        return;
    }
    const BYTE* data = block.data;
    DWORD length = block.wLength;
    if (length > 4 && GetLE32(data) < kTextSignatureLimit) { // the first block of a text
        data += 4;
        length -= 4;
    }
    if (length == 0 || data[0] == 0) {
        LogError(
            Format("Unused and invalid block detected : %s : FIX: Discarding block", kReasonData));
        return;
    }
    std::string title = Format("Unused:%04d", ++n);
    LogError(Format("Unused block detected : FIX: Adding %s to target file", title));
    std::vector<BYTE> text(data, data + length);
    text[length - 1] = 0;

    const UINT mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    if (hFolder == nullptr) {
        std::string folderText = kRecoveryText;
        DWORD chain = WriteChain(reinterpret_cast<const BYTE*>(folderText.c_str()),
                                 static_cast<DWORD>(folderText.size() + 1));
        // Under the root folder; at the top level when the first item is no folder.
        HTREEITEM hRoot = m_tree->GetRootItem();
        int rootImage = 0, rootSelected = 0;
        m_tree->GetItemImage(hRoot, rootImage, rootSelected);
        HTREEITEM hParent = IsFolderImage(rootImage) ? hRoot : TVI_ROOT;
        int image = IMAGE_FOLDER | IMAGE_BOOKMARK;
        hFolder =
            m_tree->InsertItem(mask, kRecoveryFolder, image, image, 0, 0, chain, hParent, TVI_SORT);
    }
    DWORD chain = WriteChain(text.data(), length);
    int image = IMAGE_TEXTLET | IMAGE_BOOKMARK;
    m_tree->InsertItem(mask, title, image, image, 0, 0, chain, hFolder, TVI_SORT);
}

void CRepairEngine::FinishTemp() {
    if (m_bCheckOnly)
        return;
    m_temp.CommitOperation();
}

// Puts the finished file in place of the target with one rename: a crash at any moment
// leaves the target either as it was or repaired. A target that another process holds open
// is not replaced (its holder would write on into the old file and lose it); the source, when
// it is the target, is held by this run.
void CRepairEngine::CopyToTarget() {
    if (m_bCheckOnly)
        return;
    try {
        m_replacement->Commit(&m_source.File());
    } catch (const CFileException& e) {
        LogFatal(Format("Unable to copy to target file : %s", e.GetErrorMessage()));
    }
    m_temp.Close();
}

std::string DescribeException(const std::exception& e) {
    std::string text;
    if (auto* file = dynamic_cast<const CFileException*>(&e))
        text = file->GetErrorMessage();
    else if (dynamic_cast<const std::bad_alloc*>(&e))
        text = "Out of memory.";
    else
        text = e.what();
    if (text.size() > 127)
        text.resize(127);
    return text;
}

std::string FormatUnexpectedError(const std::exception& e, const std::string& status) {
    return Format("An unexpected error was encountered : %s :  Last status message = \"%s\"",
                  DescribeException(e), status);
}
