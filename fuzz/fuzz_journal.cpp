// Feeds arbitrary bytes to the journal reader, as a journal damaged on the disk or left by
// another program would reach it. A journal it takes must be the one it would write itself
// for the same record (followed, at most, by stale bytes of a longer earlier journal).
#include "store/Journal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<BYTE> bytes(data, data + size);
    journal::Record record;
    if (!journal::Decode(bytes, record))
        return 0;
    if (record.newLength < record.originalLength)
        __builtin_trap();
    for (const journal::Region& g : record.regions)
        if (g.offset + std::uint64_t{g.original.size()} > record.originalLength)
            __builtin_trap();
    const std::vector<BYTE> again = journal::Encode(record);
    if (again.size() > bytes.size() || !std::equal(again.begin(), again.end(), bytes.begin()))
        __builtin_trap();
    return 0;
}
