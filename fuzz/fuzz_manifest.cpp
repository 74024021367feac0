// Feeds arbitrary bytes to the reader of an export's manifest, as a hand-edited or hostile
// export would, and the text conversions an import applies to a file's bytes.
#include "app/Exchange.h"
#include "app/Import.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<exchange::ManifestEntry> entries;
    exchange::ParseManifest(bytes, entries);
    for (const auto& e : entries) {
        // What was read writes out again as a line that reads back the same.
        std::vector<exchange::ManifestEntry> again;
        std::string text = std::string(exchange::kManifestHeader) + "\n" + ManifestLine(e);
        if (!exchange::ParseManifest(text, again) || again.size() != 1 ||
            again[0].title != e.title || again[0].kind != e.kind)
            __builtin_trap();
        exchange::FileNameFor(e.title, ".txt");
    }
    exchange::TextForm form;
    std::string file = exchange::TextToFile(bytes.substr(0, bytes.find('\0')), form);
    if (exchange::FileToText(file, form) != bytes.substr(0, bytes.find('\0')))
        __builtin_trap(); // every stored text comes back from its exported file
    exchange::LooksLikeText(bytes);
    return 0;
}
