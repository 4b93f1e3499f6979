#pragma once
// Colour arithmetic of the drawn controls and the resource pictures, on
// 32-bit ARGB values (alpha in the high byte, as GDI+ stores them).
#include <cstddef>
#include <cstdint>

namespace vantrel::ui {

using Argb = std::uint32_t;

constexpr Argb makeArgb(unsigned a, unsigned r, unsigned g, unsigned b) {
    return (Argb(a & 0xFF) << 24) | (Argb(r & 0xFF) << 16) | (Argb(g & 0xFF) << 8) | Argb(b & 0xFF);
}
constexpr unsigned alphaOf(Argb c) { return (c >> 24) & 0xFF; }
constexpr unsigned redOf(Argb c) { return (c >> 16) & 0xFF; }
constexpr unsigned greenOf(Argb c) { return (c >> 8) & 0xFF; }
constexpr unsigned blueOf(Argb c) { return c & 0xFF; }

// A Windows colour value (red in the low byte) as an opaque ARGB colour.
constexpr Argb argbFromColorref(std::uint32_t colorref) {
    return makeArgb(0xFF, colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}
constexpr std::uint32_t colorrefFromArgb(Argb c) { return redOf(c) | (greenOf(c) << 8) | (blueOf(c) << 16); }

// Each of red, green and blue times the same channel of `face`, divided by
// 255 and truncated; alpha unchanged. Tints a picture into the dialog face.
Argb multiplyRgb(Argb colour, Argb face);

// Moves red, green and blue by `factor` toward 255 (c + f * (255 - c)) or
// toward 0 (c - f * c), truncated; alpha unchanged. `factor` is clamped to 0..1.
Argb blendColour(Argb colour, double factor, bool towardWhite);

// Red, green and blue halved, rounded down; alpha kept (the band gradient's end).
Argb halveRgb(Argb colour);

// Applies one of the above to a run of pixels in place.
void multiplyPixels(Argb* pixels, std::size_t count, Argb face);
void blendPixels(Argb* pixels, std::size_t count, double factor, bool towardWhite);

}  // namespace vantrel::ui
