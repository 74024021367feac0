#pragma once
// Records that are stored in the settings in their exact binary layout.

#include "platform/Types.h"

#include <array>
#include <cstring>
#include <vector>

constexpr int LF_FACESIZE = 32;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

// A font description: 60 bytes, little-endian, in this field order.
struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};

    static constexpr std::size_t kSize = 60;
    std::vector<BYTE> ToBytes() const;
    // False (and nothing changed) unless bytes holds exactly one record.
    bool FromBytes(const std::vector<BYTE>& bytes);
    void SetFaceName(const char* name);
    bool operator==(const LOGFONT& o) const { return ToBytes() == o.ToBytes(); }
};

// A rectangle of four int32: left, top, right, bottom (16 bytes).
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;

    static constexpr std::size_t kSize = 16;
    std::vector<BYTE> ToBytes() const;
    bool FromBytes(const std::vector<BYTE>& bytes);
    bool operator==(const RECT& o) const = default;
};

// MulDiv with rounding, as font sizes are computed.
LONG MulDiv(LONG number, LONG numerator, LONG denominator);
