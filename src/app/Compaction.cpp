// Compaction: rebuilds the open data file without free or unreachable blocks, every chain in
// consecutive blocks, the tree stream first and then the texts in tree order. The new file
// is built beside the data file, committed and renamed over it, so a crash at any moment
// leaves either the old file or the new one whole.

#include "app/NotariumDoc.h"
#include "app/TreeWalk.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "store/TextChain.h"
#include "store/TreeStream.h"

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;

// Copies one text chain of the open file to the end of the new one; returns its new offset.
DWORD CopyTextChain(CBlockFile& store, DWORD offset, CChainWriter& writer,
                    std::vector<BYTE>& buffer) {
    const DWORD length = textchain::BeginRead(store, offset);
    const DWORD first = textchain::BeginAppend(writer, length);
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

// Steps 5 to 10 of the command: the new file, complete and committed, in `temp` (open on
// the work file). The items' text references point into it afterwards.
void BuildCompactedFile(CBlockFile& store, CTreeCtrl& tree, CBlockFile& temp,
                        CStatusProgress& progress) {
    temp.SetJournaled(false); // nobody reads it before it is complete
    CStoreOperation op(temp); // the header and the commit once, at the end
    temp.Header().SetNew();
    temp.WriteHeader();
    // The tree stream first, so that it takes the first blocks; its references are fixed
    // up by the second write below, which has the same length and rewrites it in place.
    treestream::WriteTree(temp, tree);

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
    op.Commit();
}

} // namespace

bool CNotariumDoc::OnCompact(bool bAsk) {
    CTreeCtrl& tree = m_tree;
    if (!IsOpen())
        return false;
    if (bAsk && m_ui.MessageBox(str::kCompactQuestion, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return false;
    if (!StorePendingText())
        return false;

    CStatusProgress progress(m_ui, str::kCompacting, 0, static_cast<int>(tree.GetCount()));
    progress.SetPos(0);

    const std::string path = m_strPathName;
    CFileReplacement replacement(path, "NOTA");
    CBlockFile temp;
    try {
        replacement.Create(temp);
    } catch (const CFileException&) {
        m_ui.MessageBox(str::kTempFileError, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    try {
        CTransferScope transfer(m_store);
        BuildCompactedFile(m_store, tree, temp, progress);
        // The data file is ours (its lock is held): the rename replaces nobody else's file.
        replacement.Commit(&m_store.File());
    } catch (const CFileException& e) {
        m_ui.ReportError(e);
        temp.Abort();
        ReloadTree(); // the data file is unchanged: its references again
        return false;
    } catch (...) {
        temp.Abort();
        ReloadTree();
        throw;
    }

    // The compacted file is in place: adopt the open, locked handle, so that no other
    // process can take the file between the rename and this open. The tree's references
    // already match it.
    DeleteContents();
    temp.SetFilePath(path);
    temp.SetJournaled(true);
    m_store.TakeOver(temp);
    return true;
}
