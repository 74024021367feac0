// Feeds arbitrary bytes to the tree-stream reader and the text reader, either as a whole
// data file (first byte odd) or as a tree stream laid out in a sound chain (first byte even).
#include "FuzzSupport.h"

#include "app/NotariumDoc.h"
#include "store/TreeStream.h"

#include <cstring>
#include <fstream>

namespace {

void WriteStreamFile(const std::string& path, const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(32, 0);
    std::memcpy(file.data(), "nota", 4);
    file[16] = 32;
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(506, size - pos);
        size_t block = file.size();
        file.resize(block + 512, 0);
        uint32_t next = pos + n < size ? static_cast<uint32_t>(block + 512) : 0;
        std::memcpy(file.data() + block, &next, 4);
        file[block + 4] = static_cast<uint8_t>(n);
        file[block + 5] = static_cast<uint8_t>(n >> 8);
        if (n)
            std::memcpy(file.data() + block + 6, data + pos, n);
        pos += n;
    } while (pos < size);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static const std::string path = FuzzScratchPath("fuzz-treestream");
    if (data[0] & 1)
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    else
        WriteStreamFile(path, data + 1, size - 1);

    CNullUi ui;
    CAppSettings settings;
    settings.m_bRememberTreeState = (data[0] & 2) != 0;
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path))
        return 0;
    CTreeCtrl& tree = doc.Tree();
    doc.ReloadTree();
    // Read every text the tree refers to, and write the tree back.
    std::string text;
    int budget = 2000;
    for (HTREEITEM h = tree.GetRootItem(); h && budget-- > 0;) {
        try {
            doc.ReadText(h, text);
        } catch (const CFileException&) {
        }
        HTREEITEM next = tree.GetChildItem(h);
        while (!next && h) {
            next = tree.GetNextSiblingItem(h);
            h = tree.GetParentItem(h);
        }
        h = next;
    }
    doc.SaveTree();
    doc.DeleteContents();
    return 0;
}
