#pragma once
// The tree-data stream: the item tree as one chain of the data file. The writer is shared
// by the document, compaction and the repair engine.

#include "platform/TreeCtrl.h"
#include "store/BlockFile.h"

#include <vector>

namespace treestream {

struct LoadResult {
    HTREEITEM hSelect = nullptr; // the item saved as selected (remembered state only)
    UINT nItems = 0;
};

// Reads the item list at dwTreeData into the tree's top level (dwTreeData must not be 0).
// With bRememberState the open and bookmark bits of the image codes are kept and saved
// folders are expanded; otherwise those bits are cleared and nothing is expanded.
// Items read before an exception stay in the tree; `result` tells what was read so far.
// Titles longer than 64 bytes are cut; a chain that ends early or leaves the file throws
// CFileException. Nesting depth is not limited by the call stack.
void ReadTree(CBlockFile& store, CTreeCtrl& tree, bool bRememberState, LoadResult& result);

// Writes the whole tree as the tree-data stream: a new chain when dwTreeData is 0 (which
// then points at it), else the existing chain rewritten (CBlockFile::BeginRewrite); ends the
// transfer. hSkip (with its subtree) is left out, as if it were deleted already. The tree's
// lists are read in place, once; of the existing chain only the blocks whose bytes change
// are written. An insert early in the stream moves every byte after it: in a journaled file
// that rest goes into new blocks, written once and not journaled, and the old rest is freed,
// so that the file keeps about one stream's worth of free blocks, which the next save takes.
void WriteTree(CBlockFile& store, const CTreeCtrl& tree, HTREEITEM hSkip = nullptr);

// The stream's bytes without a file (for tests and size estimates); hSkip as for WriteTree.
std::vector<BYTE> Serialize(const CTreeCtrl& tree, HTREEITEM hSkip = nullptr);

} // namespace treestream
