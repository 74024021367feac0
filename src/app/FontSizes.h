#pragma once
// Font sizes as the font pickers handle them: in twentieths of a point (10 points = 200).

#include "platform/Types.h"

#include <string>

namespace fontsize {

constexpr int kEmpty = -1;     // nothing typed
constexpr int kNotNumber = -2; // something other than a whole number
constexpr int kMaxTwips = 32760;

// The sizes offered for a font that scales to any size, in points.
constexpr int kStandardPoints[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// What a size box holds: kEmpty, kNotNumber, 0 for zero or less, else the points × 20. Blanks
// and tabs around the number are allowed, and one sign.
int Parse(const std::string& text);
// The text a size shows: whole points, rounded; empty for 0 or less.
std::string ToText(int twentieths);
// The font height for a typed size: a size that is not a number, below one point or above
// kMaxTwips takes lastSize instead; the result is -(size × logPixelsY / 1440), so an empty
// box gives 0 (the font's default size).
LONG HeightFromSize(int typed, int lastSize, int logPixelsY);
// The size in twentieths of a character height in pixels (tmHeight − tmInternalLeading).
int FromCharHeight(int pixels, int logPixelsY);

} // namespace fontsize
