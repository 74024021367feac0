#include "platform/Encoding.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace enc {

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 if it is not valid there.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    std::size_t n;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 0x80..0x9F; the five unassigned codes map to the C1 controls of the same value.
const unsigned short kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t n = Utf8SequenceLength(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c < 0xA0)
            AppendUtf8(out, kCp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& bytes) {
    if (!IsValidUtf8(utf8))
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        unsigned cp;
        std::size_t n;
        if (c < 0x80) {
            cp = c, n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, n = 3;
        } else {
            return false; // beyond the Basic Multilingual Plane: not in Windows-1252
        }
        for (std::size_t k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            bytes += static_cast<char>(cp);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] == cp)
                found = k;
        if (found < 0)
            return false;
        bytes += static_cast<char>(0x80 + found);
    }
    return true;
}

std::string DecodeStored(std::string_view bytes) {
    return IsValidUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

std::string CutToBytes(std::string_view bytes, std::size_t maxBytes) {
    if (bytes.size() <= maxBytes)
        return std::string(bytes);
    if (!IsValidUtf8(bytes))
        return std::string(bytes.substr(0, maxBytes));
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(bytes.substr(0, cut));
}

std::string LfToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

std::string CrLfToLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

namespace {

// The bytes 'A'..'Z' of a word in lower case, all at once; other bytes as they are.
std::uint64_t FoldWord(std::uint64_t w) {
    constexpr std::uint64_t ones = 0x0101010101010101ull, high = 0x8080808080808080ull;
    const std::uint64_t low = w & ~high; // each byte below 0x80: no carry between bytes
    const std::uint64_t atLeastA = low + (0x80 - 'A') * ones;
    const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * ones;
    const std::uint64_t upper = atLeastA & ~pastZ & ~w & high; // 0x80 in each 'A'..'Z'
    return w | (upper >> 2);                                   // + 0x20
}

// The word's bytes as a number in their order in memory (the first the most significant).
std::uint64_t InOrder(std::uint64_t w) {
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap64(w);
    else
        return w;
}

// Compares two words of up to 8 title bytes folded: -1, 0 or 1.
int CompareFolded(std::uint64_t wa, std::uint64_t wb) {
    if (wa == wb)
        return 0;
    const std::uint64_t fa = InOrder(FoldWord(wa)), fb = InOrder(FoldWord(wb));
    return fa == fb ? 0 : (fa < fb ? -1 : 1);
}

} // namespace

// Eight bytes at a time: bytes that are equal as they are are equal folded too, and a word
// that differs is folded and compared whole.
int CompareTitles(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t wa, wb;
        std::memcpy(&wa, a.data() + i, 8);
        std::memcpy(&wb, b.data() + i, 8);
        if (const int c = CompareFolded(wa, wb); c != 0)
            return c;
    }
    if (i < n) { // the rest, behind zeros in both
        std::uint64_t wa = 0, wb = 0;
        std::memcpy(&wa, a.data() + i, n - i);
        std::memcpy(&wb, b.data() + i, n - i);
        if (const int c = CompareFolded(wa, wb); c != 0)
            return c;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace enc
