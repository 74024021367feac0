// Feeds arbitrary bytes to the payload reader through the document's insertion, as a paste
// or a drop from another program would.
#include "FuzzSupport.h"

#include "app/NotariumDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = FuzzScratchPath("fuzz-payload");
    CNullUi ui;
    CAppSettings settings;
    if (!CNotariumDoc::PrepareDataFile(path, true, ui))
        __builtin_trap();
    CNotariumDoc doc(ui, settings);
    if (!doc.OnOpenDocument(path))
        __builtin_trap();
    CTreeCtrl& tree = doc.Tree();
    doc.ReloadTree();
    try {
        doc.InsertItems(tree.GetRootItem(), data, size);
    } catch (const CFileException&) {
        __builtin_trap(); // a payload never makes the file layer fail
    }
    // Whatever arrived can be copied out again as a well-formed payload.
    std::vector<BYTE> again = doc.CopyItems(tree.GetRootItem());
    if (again.size() < 4 || again[again.size() - 1] != 0xFF || again[again.size() - 2] != 0xFF)
        __builtin_trap();
    doc.DeleteContents();
    return 0;
}
