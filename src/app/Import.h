#pragma once
// Import of text files and directory trees into a folder of the open database, as one
// document operation: every text chain is written first, the tree stream once at the end,
// and the header with the commit after it. On a failure or a stop everything is undone
// (items removed, chains freed, the file's length restored), so nothing half-done stays.
//
// A directory's contents go into the target folder, or into a new folder named after it
// (ImportOptions::bDirectoryAsFolder): subdirectories become folders, files
// become textlets with their text (".txt" is dropped from a title; line breaks stored as
// CR LF; a name over 64 bytes is cut for the title and kept whole as the text's first
// line). When the directory is an export (its manifest is at the top), titles, folder
// texts and encodings come from the manifest, so the export comes back as it was. A file
// given by itself becomes a textlet in the target folder.
//
// Never followed or read: symbolic links below a source (the source itself may be one),
// anything that is not a regular file or directory, directories deeper than the limit or
// seen before on the way down (a loop). Files that are not text (a NUL byte, or control
// bytes beyond the usual few) and files over the size limit are not read into the database.
// Each of these is listed in the report with its reason.

#include "app/Exchange.h"
#include "app/NotariumDoc.h"

namespace exchange {

struct ImportOptions {
    std::uint64_t maxFileBytes = kDefaultMaxFileBytes;
    std::size_t maxDepth = 1000; // directory levels below a source
    // A directory given as a source becomes a folder of its name (an export's title for one
    // of its subdirectories) holding its contents; else its contents go into the target.
    bool bDirectoryAsFolder = false;
};

// hTarget: the folder to import into (a textlet means its folder; null: the root folder).
// File errors of the data file end the run: the report says why, and nothing was kept.
Report Import(CNotariumDoc& doc, HTREEITEM hTarget, const std::vector<std::string>& sources,
              const ImportOptions& options = {}, IProgress* progress = nullptr);

// True when the bytes look like text: no NUL byte and few control bytes besides tab, line
// breaks, form feed and escape.
bool LooksLikeText(std::string_view bytes);

} // namespace exchange
