// Compaction: rebuilds the open data file without free or unreachable blocks, every chain in
// consecutive blocks, the tree stream first and then the texts in tree order. The new file
// is built beside the data file, committed and renamed over it, so a crash at any moment
// leaves either the old file or the new one whole.

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "store/ChainWriter.h"
#include "store/TreeStream.h"

#include <cerrno>
#include <filesystem>

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The file that a rename must replace: the data file itself, also behind a symbolic link.
std::string RealPathOf(const std::string& path) {
    std::error_code ec;
    auto real = std::filesystem::canonical(path, ec);
    return ec ? path : real.string();
}

// Copies one text chain of the open file to the end of the new one; returns its new offset.
DWORD CopyTextChain(CBlockFile& store, DWORD offset, CChainWriter& writer,
                    std::vector<BYTE>& buffer) {
    store.BeginRead(offset);
    BYTE field[4];
    store.ReadData(field, 4);
    DWORD length = nota::GetLE32(field);
    if (length + std::uint64_t{4} > store.MaxChainBytes())
        throw CFileException(CFileException::endOfFile, store.GetFilePath());
    DWORD first = writer.Begin(std::uint64_t{4} + length);
    writer.Write(field, 4);
    for (DWORD left = length; left > 0;) {
        auto n = static_cast<DWORD>(std::min<std::size_t>(left, buffer.size()));
        store.ReadData(buffer.data(), n);
        writer.Write(buffer.data(), n);
        left -= n;
    }
    writer.End();
    store.EndTransfer();
    return first;
}

// Steps 5 to 10 of the command: the new file, complete and committed, under tempPath.
// The items' text references point into it afterwards.
void BuildCompactedFile(CBlockFile& store, CTreeCtrl& tree, const std::string& tempPath,
                        CStatusProgress& progress) {
    CBlockFile temp;
    temp.Open(tempPath, CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive);
    temp.m_header.SetNew();
    temp.WriteHeader();
    // The tree stream first, so that it takes the first blocks; its references are fixed
    // up by the second write below, which has the same length and rewrites it in place.
    treestream::WriteTree(temp, tree);
    temp.m_bDeferHeader = true;

    CChainWriter writer(temp);
    std::vector<BYTE> buffer(kCopyBuffer);
    int count = 0;
    for (HTREEITEM h = tree.GetRootItem(); h != nullptr; h = treewalk::NextPreorder(tree, h)) {
        auto offset = static_cast<DWORD>(tree.GetItemData(h));
        if (offset != 0)
            tree.SetItemData(h, CopyTextChain(store, offset, writer, buffer));
        if (++count % 8 == 0)
            progress.SetPos(count);
    }
    writer.Flush();
    treestream::WriteTree(temp, tree);
    if (temp.IsHeaderDirty())
        temp.WriteHeader();
    temp.Flush();
    temp.Close();
}

} // namespace

bool CNotariumDoc::OnCompact(bool bAsk) {
    CTreeCtrl& tree = m_tree;
    if (!IsOpen())
        return false;
    if (bAsk && m_ui.MessageBox(str::kCompactQuestion, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return false;
    if (m_pTreePane != nullptr && !m_pTreePane->SaveSelectedText())
        return false;

    CStatusProgress progress(m_ui, str::kCompacting, 0, static_cast<int>(tree.GetCount()));
    progress.SetPos(0);

    const std::string path = m_strPathName;
    const std::string realPath = RealPathOf(path);
    std::string tempPath;
    if (!fs_util::GetTempFileName(DirectoryOf(realPath), "NOTA", tempPath)) {
        m_ui.MessageBox(str::kTempFileError, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    // Puts the tree back on the unchanged data file after a failure.
    auto restore = [&] {
        m_store.AbandonTransfer();
        fs_util::DeleteFile(tempPath);
        ReloadTree();
    };
    try {
        BuildCompactedFile(m_store, tree, tempPath, progress);
        std::error_code ec;
        auto perms = std::filesystem::status(realPath, ec).permissions();
        if (!ec)
            std::filesystem::permissions(tempPath, perms, ec);
        if (!fs_util::SafeReplaceFile(tempPath, realPath)) {
            int err = errno;
            CFileException::ThrowOsError(err, path);
        }
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
        restore();
        return false;
    } catch (...) {
        restore();
        throw;
    }

    // The compacted file is in place: adopt it. The tree's references already match it.
    DeleteContents();
    if (!OnOpenDocument(path)) {
        // Nothing may refer to a file that is no longer open.
        tree.DeleteAllItems();
        return false;
    }
    return true;
}
