#pragma once
// Move-only owners for the GDI+ drawing objects of the controls and the
// preview, and a memory device context to paint into before one copy to the
// screen (so nothing flickers).
#include "support/win32/gdi_owners.h"
#include "support/win32/gdiplus_owners.h"
#include "ui/colour.h"

namespace vantrel::win {

template <typename T, GpStatus(WINGDIPAPI* Delete)(T*)>
struct GdipTraits {
    static T* invalid() { return nullptr; }
    static bool valid(T* p) { return p != nullptr; }
    static void close(T* p) { Delete(p); }
};

using Gdiplus::GpBitmap;
using Gdiplus::GpBrush;
using Gdiplus::GpFont;
using Gdiplus::GpFontFamily;
using Gdiplus::GpGraphics;
using Gdiplus::GpImage;
using Gdiplus::GpImageAttributes;
using Gdiplus::GpMatrix;
using Gdiplus::GpPen;
using Gdiplus::GpRegion;
using Gdiplus::GpStringFormat;

using UniqueGpImage = UniqueResource<GpImage*, GdipTraits<GpImage, gp::GdipDisposeImage>>;
using UniqueGpGraphics = UniqueResource<GpGraphics*, GdipTraits<GpGraphics, gp::GdipDeleteGraphics>>;
using UniqueGpBrush = UniqueResource<GpBrush*, GdipTraits<GpBrush, gp::GdipDeleteBrush>>;
using UniqueGpPen = UniqueResource<GpPen*, GdipTraits<GpPen, gp::GdipDeletePen>>;
using UniqueGpFont = UniqueResource<GpFont*, GdipTraits<GpFont, gp::GdipDeleteFont>>;
using UniqueGpFontFamily = UniqueResource<GpFontFamily*, GdipTraits<GpFontFamily, gp::GdipDeleteFontFamily>>;
using UniqueGpStringFormat = UniqueResource<GpStringFormat*, GdipTraits<GpStringFormat, gp::GdipDeleteStringFormat>>;
using UniqueGpRegion = UniqueResource<GpRegion*, GdipTraits<GpRegion, gp::GdipDeleteRegion>>;
using UniqueGpMatrix = UniqueResource<GpMatrix*, GdipTraits<GpMatrix, gp::GdipDeleteMatrix>>;
using UniqueGpImageAttributes =
    UniqueResource<GpImageAttributes*, GdipTraits<GpImageAttributes, gp::GdipDisposeImageAttributes>>;

// GpBitmap is a GpImage; this owner hands out the bitmap type for the bitmap calls.
class UniqueGpBitmap {
public:
    UniqueGpBitmap() = default;
    explicit UniqueGpBitmap(GpBitmap* bitmap) : image_(bitmap) {}
    GpBitmap* get() const { return static_cast<GpBitmap*>(image_.get()); }
    GpImage* image() const { return image_.get(); }
    explicit operator bool() const { return static_cast<bool>(image_); }
    GpBitmap** receive() { return reinterpret_cast<GpBitmap**>(image_.receive()); }
    // Hands the bitmap over as a plain image owner.
    UniqueGpImage releaseImage() { return std::move(image_); }

private:
    UniqueGpImage image_;
};

struct CursorTraits {
    static HCURSOR invalid() { return nullptr; }
    static bool valid(HCURSOR h) { return h != nullptr; }
    // Shared system cursors must not be destroyed; only a copy is owned.
    static void close(HCURSOR h) { DestroyCursor(h); }
};
using UniqueCursor = UniqueResource<HCURSOR, CursorTraits>;

// An off-screen 32-bit surface compatible with `screen`, with a GDI+
// graphics on it; copy it out with BitBlt from dc().
class OffscreenSurface {
public:
    OffscreenSurface(HDC screen, int width, int height);
    ~OffscreenSurface() = default;
    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;

    bool valid() const { return static_cast<bool>(graphics_); }
    HDC dc() const { return dc_.get(); }
    GpGraphics* graphics() const { return graphics_.get(); }
    // Ends GDI+ drawing so the DC holds every pixel; call before BitBlt.
    void flush();

private:
    UniqueMemoryDc dc_;
    UniqueGdiObject bitmap_;
    SelectedObject selection_;
    UniqueGpGraphics graphics_;
};

// A brush of one colour; a pen of one colour, `width` pixels wide, solid or dashed.
UniqueGpBrush makeSolidBrush(ui::Argb colour);
UniqueGpPen makeSolidPen(ui::Argb colour, float width, bool dashed = false);

// The platform's "Tahoma" family, or the generic sans-serif one when Tahoma
// is missing; a bold font of `pixels` from it.
UniqueGpFont makeUiFont(float pixels, int style);

// Anti-aliasing, high-quality bicubic interpolation, pixel units.
void setQualityDrawing(GpGraphics* graphics);

// Draws `image` into the rectangle: pixel for pixel when the sizes match (a
// picture at 96 dots per inch stays exact), else resampled with high-quality
// bicubic interpolation over whole source pixels so its edges do not fade.
void drawImageScaled(GpGraphics* graphics, GpImage* image, int left, int top, int width, int height);

// A rounded rectangle from (left, top) to (right, bottom) with quarter arcs
// in `diameter` squares, appended to `path` as one closed figure.
void addRoundedRectangle(GpPath* path, float left, float top, float right, float bottom, float diameter);

}  // namespace vantrel::win
