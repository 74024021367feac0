#include "BenchFiles.h"

#include "store/BlockFile.h"
#include "store/ChainWriter.h"
#include "store/TreeStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

using namespace nota;

namespace benchfiles {

void MakeTree(Tree& out, std::size_t textlets, std::size_t perFolder) {
    HTREEITEM root = out.tree.InsertItem("Notarium", 1, 1);
    HTREEITEM folder = nullptr;
    char title[64];
    for (std::size_t i = 0; i < textlets; ++i) {
        if (i % perFolder == 0) {
            std::snprintf(title, sizeof title, "Folder %04zu", i / perFolder);
            folder = out.tree.InsertItem(title, 4, 4, root, TVI_LAST);
        }
        std::snprintf(title, sizeof title, "Textlet %07zu", i);
        out.textlets.push_back(out.tree.InsertItem(title, 8, 8, folder, TVI_LAST));
    }
}

namespace {

// One text stream (length field and bytes) into consecutive blocks.
DWORD AppendChain(CChainWriter& writer, const std::string& text) {
    BYTE field[4];
    PutLE32(field, static_cast<DWORD>(text.size()));
    DWORD first = writer.Begin(4 + text.size());
    writer.Write(field, 4);
    writer.Write(text.data(), text.size());
    writer.End();
    return first;
}

void WriteConsecutive(CBlockFile& file, Tree& t, const TextOf& text, bool reversed) {
    CChainWriter writer(file);
    DWORD freeList = 0;
    const std::size_t n = t.textlets.size();
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t i = reversed ? n - 1 - k : k;
        t.tree.SetItemData(t.textlets[i], AppendChain(writer, text(i)));
        if (reversed && (k + 1) % 10 == 0) { // a free block between chains
            DWORD block = writer.Begin(1);
            writer.Write("", 1);
            writer.End();
            writer.Flush();
            BYTE link[4];
            PutLE32(link, freeList);
            file.WriteAt(block, link, 4);
            freeList = block;
        }
    }
    writer.Flush();
    file.Header().SetFreeList(freeList);
}

// Round j places block j of every text that has one; the blocks are written in file order.
void WriteInterleaved(CBlockFile& file, Tree& t, const TextOf& text) {
    const std::size_t n = t.textlets.size();
    std::vector<std::size_t> blocks(n);
    std::size_t rounds = 0;
    for (std::size_t i = 0; i < n; ++i) {
        blocks[i] = (text(i).size() + 4 + BLOCK_DATA - 1) / BLOCK_DATA;
        rounds = std::max(rounds, blocks[i]);
    }
    // starts[j]: the offset of round j; the texts of a round in index order.
    std::vector<std::uint64_t> starts(rounds + 1);
    starts[0] = file.Length();
    for (std::size_t j = 0; j < rounds; ++j) {
        std::size_t inRound = 0;
        for (std::size_t i = 0; i < n; ++i)
            inRound += blocks[i] > j;
        starts[j + 1] = starts[j] + inRound * BLOCK_SIZE;
    }
    // offsets[i][j]: block j of text i.
    std::vector<std::vector<DWORD>> offsets(n);
    for (std::size_t j = 0; j < rounds; ++j) {
        std::uint64_t at = starts[j];
        for (std::size_t i = 0; i < n; ++i)
            if (blocks[i] > j) {
                offsets[i].push_back(static_cast<DWORD>(at));
                at += BLOCK_SIZE;
            }
    }
    BYTE block[BLOCK_SIZE];
    for (std::size_t j = 0; j < rounds; ++j)
        for (std::size_t i = 0; i < n; ++i) {
            if (blocks[i] <= j)
                continue;
            const std::string& s = text(i);
            BYTE field[4];
            PutLE32(field, static_cast<DWORD>(s.size()));
            std::size_t from = j * BLOCK_DATA;
            std::size_t count = std::min<std::size_t>(BLOCK_DATA, 4 + s.size() - from);
            std::memset(block, 0, sizeof block);
            PutLE32(block, j + 1 < blocks[i] ? offsets[i][j + 1] : 0);
            PutLE16(block + 4, static_cast<WORD>(count));
            for (std::size_t k = 0; k < count; ++k) {
                std::size_t p = from + k;
                block[BLOCK_HEADER + k] = p < 4 ? field[p] : static_cast<BYTE>(s[p - 4]);
            }
            file.WriteAt(offsets[i][j], block, BLOCK_SIZE);
        }
    for (std::size_t i = 0; i < n; ++i)
        t.tree.SetItemData(t.textlets[i], offsets[i][0]);
}

} // namespace

void WriteFile(const std::string& path, Tree& t, const TextOf& text, Layout layout) {
    CBlockFile file(path, CFile::modeCreate | CFile::modeReadWrite);
    file.SetJournaled(false); // made once for measuring: no crash to survive
    CStoreOperation op(file);
    file.Header().SetNew();
    file.WriteHeader();
    treestream::WriteTree(file, t.tree); // placeholder references; the same length later
    if (layout == Layout::Interleaved)
        WriteInterleaved(file, t, text);
    else
        WriteConsecutive(file, t, text, layout == Layout::Reversed);
    treestream::WriteTree(file, t.tree);
    op.Commit();
    file.Close();
}

std::string Prose(unsigned seed, std::size_t bytes) {
    static const char* const words[] = {
        "the",    "of",     "and",    "to",    "in",     "a",      "is",      "that",   "for",
        "it",     "as",     "was",    "with",  "be",     "by",     "on",      "not",    "he",
        "I",      "this",   "are",    "or",    "his",    "from",   "at",      "which",  "but",
        "have",   "an",     "had",    "they",  "you",    "were",   "their",   "one",    "all",
        "we",     "can",    "her",    "has",   "there",  "been",   "if",      "more",   "when",
        "will",   "would",  "who",    "so",    "no",     "Notes",  "meeting", "Monday", "list",
        "recipe", "garden", "letter", "Paris", "budget", "travel", "ideas",   "book",   "call"};
    std::mt19937 rng(seed);
    std::string text;
    std::size_t line = 0;
    while (text.size() < bytes) {
        const char* w = words[rng() % std::size(words)];
        text += w;
        line += std::strlen(w);
        if (line > 60) {
            text += "\r\n";
            line = 0;
        } else {
            text += rng() % 12 == 0 ? ", " : " ";
        }
    }
    text.resize(bytes - 1);
    text.push_back('\0');
    return text;
}

void MakeProseFile(const std::string& path, std::size_t megabytes, std::size_t textBytes) {
    Tree tree;
    MakeTree(tree, megabytes * 1024 * 1024 / textBytes);
    std::string text = Prose(1, textBytes);
    WriteFile(
        path, tree, [&](std::size_t) -> const std::string& { return text; }, Layout::InOrder);
}

} // namespace benchfiles
