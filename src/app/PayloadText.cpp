#include "app/PayloadText.h"

#include "platform/Encoding.h"
#include "store/DataFormat.h"
#include "store/Payload.h"

#include <cstring>
#include <string_view>

namespace payload {

namespace {

std::string_view TextOf(const CPayloadReader::Item& item) {
    if (!item.text)
        return {};
    const char* p = reinterpret_cast<const char*>(item.text);
    const void* nul = std::memchr(p, 0, item.textLength);
    const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p)
                              : static_cast<std::size_t>(item.textLength);
    return {p, n};
}

} // namespace

std::string PlainText(const BYTE* data, std::size_t size) {
    CPayloadReader reader(data, size);
    CPayloadReader::Item item;
    std::string out;
    std::size_t depth = 0; // lists open below the top level
    // A top-level textlet shows its text, unless children follow (then it is an outline).
    std::string pendingText;
    std::string pendingTitle;
    bool bPending = false;
    auto flushPending = [&](bool asText) {
        if (!bPending)
            return;
        bPending = false;
        if (asText) {
            out += enc::CrLfToLf(enc::DecodeStored(pendingText));
            if (!out.empty() && out.back() != '\n')
                out += '\n';
        } else {
            out += enc::DecodeStored(pendingTitle);
            out += '\n';
        }
    };
    for (;;) {
        if (!reader.NextItem(item)) {
            if (reader.Failed())
                break;
            if (depth == 0)
                break; // the end of the top level
            // The end of a list: a pending textlet had no children.
            flushPending(true);
            --depth;
            continue;
        }
        if (depth == 0 && item.kind == nota::KIND_TEXTLET) {
            pendingText.assign(TextOf(item));
            pendingTitle = item.title;
            bPending = true;
        } else {
            flushPending(false);
            out.append(depth * kOutlineIndent, ' ');
            out += enc::DecodeStored(item.title);
            out += '\n';
        }
        ++depth;
    }
    flushPending(true);
    return out;
}

} // namespace payload
