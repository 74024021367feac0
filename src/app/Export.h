#pragma once
// Export of the whole database or one folder: as a directory tree of UTF-8 text files with
// a manifest (see app/Exchange.h), or as one Markdown file (titles as headings by depth,
// texts verbatim as their bodies). Texts are read through the document; nothing in the
// data file changes.
//
// hItem: the folder whose contents are exported (its own text included), a textlet to
// export alone, or null for the whole database (the root folder's contents and any other
// top-level items beside it).

#include "app/Exchange.h"
#include "app/NotariumDoc.h"

namespace exchange {

// Writes into dir, which must not exist or be an empty directory. The files are made in a
// new directory beside it and put in its place at the end, so a failure or a stop leaves
// nothing behind. Items whose text cannot be read (a damaged file) are left out and listed.
Report ExportToDirectory(CNotariumDoc& doc, HTREEITEM hItem, const std::string& dir,
                         IProgress* progress = nullptr);

// Writes the Markdown file, which must not exist; the same rules otherwise.
Report ExportToMarkdown(CNotariumDoc& doc, HTREEITEM hItem, const std::string& file,
                        IProgress* progress = nullptr);

// The items an export of hItem writes at its top (see above), and the folder whose own
// text it writes first (null when none).
void ExportTop(const CTreeCtrl& tree, HTREEITEM hItem, std::vector<HTREEITEM>& items,
               HTREEITEM& hTextOf);

} // namespace exchange
