#pragma once
// PNG resources turned into GDI+ images and device bitmaps, and the colour
// changes the dialogs apply to them (tint into the dialog face, lighten).
#include <optional>

#include "ui/colour.h"
#include "ui/win32/gdiplus_draw.h"

namespace vantrel::win {

// Decodes the resource `resourceId` of type `type` from `module`. The result
// owns its pixels outright (it keeps no stream on the resource bytes); it is
// empty when the resource is missing or does not decode.
UniqueGpImage loadImage(HINSTANCE module, int resourceId, const wchar_t* type = L"PNG");

// Width and height in pixels; 0, 0 for no image.
struct ImageSize {
    UINT width = 0;
    UINT height = 0;
};
ImageSize imageSize(GpImage* image);

// A bitmap of the image's size in `format` (the image's own when absent),
// first filled with `background` one pixel beyond every edge when given, then
// the image drawn over it pixel for pixel.
UniqueGpBitmap toBitmap(GpImage* image, std::optional<Gdiplus::PixelFormat> format = std::nullopt,
                        std::optional<ui::Argb> background = std::nullopt);

// A device bitmap (HBITMAP) of the image drawn over `background`; with a
// source rectangle, of that part only (one cell of a strip of icons).
UniqueGdiObject toDeviceBitmap(GpImage* image, ui::Argb background);
UniqueGdiObject toDeviceBitmap(GpImage* image, ui::Argb background, int x, int y, int width, int height);

// A device bitmap stretched to `width` by `height` with the halftone filter
// (a picture made at 96 dots per inch, shown larger); empty on failure.
UniqueGdiObject stretchedCopy(HBITMAP picture, int width, int height);

// Copies with every pixel's red, green and blue changed, alpha kept:
// multiplied by `face` (ui::multiplyRgb), or blended (ui::blendColour).
UniqueGpBitmap tintedCopy(GpImage* image, ui::Argb face);
UniqueGpBitmap blendedCopy(GpImage* image, double factor, bool towardWhite);

// A system colour (COLOR_BTNFACE, ...) as an opaque ARGB value.
ui::Argb systemColour(int index);

}  // namespace vantrel::win
