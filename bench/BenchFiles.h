#pragma once
// Data files for the benchmarks: a tree of textlets under folders, and their texts laid out
// as a compacted file has them, in reverse with free blocks between, or interleaved as years
// of editing leave them. Made once for measuring: unjournaled, committed once at the end.

#include "platform/TreeCtrl.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace benchfiles {

// The root "Notarium", a folder "Folder NNNN" per `perFolder` textlets, textlets "Textlet
// NNNNNNN" in order.
struct Tree {
    CTreeCtrl tree;
    std::vector<HTREEITEM> textlets;
};
void MakeTree(Tree& out, std::size_t textlets, std::size_t perFolder = 1000);

enum class Layout {
    InOrder,     // each chain in consecutive blocks, in the tree's order (a compacted file)
    Reversed,    // the same, in the reverse order, a free block after every tenth chain
    Interleaved, // block j of every text before block j + 1 of any: no two blocks of a
                 // chain are neighbours
};

// The text of textlet i (its stored bytes, the terminating NUL included).
using TextOf = std::function<const std::string&(std::size_t)>;

// Writes the data file: the header, the tree stream from offset 32, then the texts.
void WriteFile(const std::string& path, Tree& tree, const TextOf& text, Layout layout);

// Prose of common words in lines of about 60 characters with CR LF, different per seed, of
// exactly `bytes` bytes (the last a NUL).
std::string Prose(unsigned seed, std::size_t bytes);

// A file of about `megabytes` MiB of text: textlets of textBytes bytes of one prose, in order.
void MakeProseFile(const std::string& path, std::size_t megabytes, std::size_t textBytes = 10000);

} // namespace benchfiles
