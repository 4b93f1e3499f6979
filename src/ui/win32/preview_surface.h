#pragma once
// The preview's off-screen layers.
#include "support/win32/gdi_owners.h"
#include "ui/win32/gdiplus_draw.h"

namespace vantrel::win {

// A 32-bit top-down DIB section selected into its own memory DC, with a GDI+
// bitmap over the same pixels: GDI+ draws into it, one layer is copied onto
// another with memcpy, and GDI copies it to the screen with BitBlt, with no
// conversion anywhere.
class PreviewSurface {
public:
    PreviewSurface() = default;
    ~PreviewSurface() { release(); }
    PreviewSurface(const PreviewSurface&) = delete;
    PreviewSurface& operator=(const PreviewSurface&) = delete;

    // Makes the surface width x height (at least 1 x 1); keeps it when it
    // already has that size. Returns false when the platform refused.
    bool ensureSize(int width, int height);
    bool valid() const { return static_cast<bool>(bitmap_); }
    int width() const { return width_; }
    int height() const { return height_; }
    HDC dc() const { return dc_.get(); }
    // A graphics object drawing into the surface, or none.
    UniqueGpGraphics graphics() const;
    // Copies every pixel of a surface of the same size.
    void copyFrom(const PreviewSurface& other);
    void release();

private:
    int width_ = 0;
    int height_ = 0;
    UniqueMemoryDc dc_;
    UniqueGdiObject dib_;
    // The DIB in dc_; put out before either goes.
    SelectedObject selection_;
    void* bits_ = nullptr;
    UniqueGpBitmap bitmap_;
};

}  // namespace vantrel::win
