#include "app/Records.h"

#include "store/DataFormat.h"

#include <cstdlib>
#include <cstring>

using nota::GetLE32;
using nota::PutLE32;

namespace {
LONG GetLong(const BYTE* p) {
    return static_cast<LONG>(GetLE32(p));
}
} // namespace

std::vector<BYTE> LOGFONT::ToBytes() const {
    std::vector<BYTE> out(kSize, 0);
    const LONG longs[] = {lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight};
    for (int i = 0; i < 5; ++i)
        PutLE32(out.data() + 4 * i, static_cast<DWORD>(longs[i]));
    const BYTE bytes[] = {lfItalic,       lfUnderline,     lfStrikeOut, lfCharSet,
                          lfOutPrecision, lfClipPrecision, lfQuality,   lfPitchAndFamily};
    std::memcpy(out.data() + 20, bytes, sizeof bytes);
    std::memcpy(out.data() + 28, lfFaceName, LF_FACESIZE);
    return out;
}

bool LOGFONT::FromBytes(const std::vector<BYTE>& bytes) {
    if (bytes.size() != kSize)
        return false;
    const BYTE* p = bytes.data();
    LONG* longs[] = {&lfHeight, &lfWidth, &lfEscapement, &lfOrientation, &lfWeight};
    for (int i = 0; i < 5; ++i)
        *longs[i] = GetLong(p + 4 * i);
    BYTE* bs[] = {&lfItalic,       &lfUnderline,     &lfStrikeOut, &lfCharSet,
                  &lfOutPrecision, &lfClipPrecision, &lfQuality,   &lfPitchAndFamily};
    for (int i = 0; i < 8; ++i)
        *bs[i] = p[20 + i];
    std::memcpy(lfFaceName, p + 28, LF_FACESIZE);
    lfFaceName[LF_FACESIZE - 1] = '\0'; // a stored name always ends inside the record
    return true;
}

void LOGFONT::SetFaceName(const char* name) {
    std::memset(lfFaceName, 0, sizeof lfFaceName);
    std::strncpy(lfFaceName, name, LF_FACESIZE - 1);
}

std::vector<BYTE> RECT::ToBytes() const {
    std::vector<BYTE> out(kSize, 0);
    const LONG longs[] = {left, top, right, bottom};
    for (int i = 0; i < 4; ++i)
        PutLE32(out.data() + 4 * i, static_cast<DWORD>(longs[i]));
    return out;
}

bool RECT::FromBytes(const std::vector<BYTE>& bytes) {
    if (bytes.size() != kSize)
        return false;
    left = GetLong(bytes.data());
    top = GetLong(bytes.data() + 4);
    right = GetLong(bytes.data() + 8);
    bottom = GetLong(bytes.data() + 12);
    return true;
}

LONG MulDiv(LONG number, LONG numerator, LONG denominator) {
    if (denominator == 0)
        return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long half = std::llabs(denominator) / 2;
    long long result = (product >= 0) == (denominator > 0)
                           ? (std::llabs(product) + half) / std::llabs(denominator)
                           : -((std::llabs(product) + half) / std::llabs(denominator));
    return static_cast<LONG>(result);
}
