#pragma once
// A small fixed-width bitmap font for the captions of tool-path pictures, so
// that a PNG can carry its totals without a font library.
#include <cstdint>

namespace vantrel {

inline constexpr int CaptionGlyphWidth = 6;
inline constexpr int CaptionGlyphHeight = 10;

// Row `row` (0 at the top) of character `c`: bit 7 is the leftmost column.
// Characters outside printable ASCII are drawn as "?".
std::uint8_t captionGlyphRow(char c, int row);

}  // namespace vantrel
