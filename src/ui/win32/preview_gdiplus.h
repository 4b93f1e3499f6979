#pragma once
// Move-only owners for the GDI+ and GDI objects the preview makes, and the
// off-screen surface it draws into.
#include "support/win32/gdiplus_owners.h"

#include <cstdint>

namespace vantrel::win::preview_gdip {

template <typename T, auto Delete>
struct GdipTraits {
    static T* invalid() { return nullptr; }
    static bool valid(T* p) { return p != nullptr; }
    static void close(T* p) { Delete(p); }
};

inline void disposeImage(Gdiplus::GpImage* image) { gp::GdipDisposeImage(image); }
inline void disposeBitmap(Gdiplus::GpBitmap* bitmap) { gp::GdipDisposeImage(bitmap); }
inline void deleteGraphics(Gdiplus::GpGraphics* graphics) { gp::GdipDeleteGraphics(graphics); }
inline void deleteBrush(Gdiplus::GpBrush* brush) { gp::GdipDeleteBrush(brush); }
inline void deletePen(Gdiplus::GpPen* pen) { gp::GdipDeletePen(pen); }
inline void deleteFont(Gdiplus::GpFont* font) { gp::GdipDeleteFont(font); }
inline void deleteFamily(Gdiplus::GpFontFamily* family) { gp::GdipDeleteFontFamily(family); }
inline void deleteFormat(Gdiplus::GpStringFormat* format) { gp::GdipDeleteStringFormat(format); }

using UniqueImage = UniqueResource<Gdiplus::GpImage*, GdipTraits<Gdiplus::GpImage, disposeImage>>;
using UniqueBitmap = UniqueResource<Gdiplus::GpBitmap*, GdipTraits<Gdiplus::GpBitmap, disposeBitmap>>;
using UniqueGraphics = UniqueResource<Gdiplus::GpGraphics*, GdipTraits<Gdiplus::GpGraphics, deleteGraphics>>;
using UniqueBrush = UniqueResource<Gdiplus::GpBrush*, GdipTraits<Gdiplus::GpBrush, deleteBrush>>;
using UniquePen = UniqueResource<Gdiplus::GpPen*, GdipTraits<Gdiplus::GpPen, deletePen>>;
using UniqueFont = UniqueResource<Gdiplus::GpFont*, GdipTraits<Gdiplus::GpFont, deleteFont>>;
using UniqueFontFamily = UniqueResource<Gdiplus::GpFontFamily*, GdipTraits<Gdiplus::GpFontFamily, deleteFamily>>;
using UniqueStringFormat =
    UniqueResource<Gdiplus::GpStringFormat*, GdipTraits<Gdiplus::GpStringFormat, deleteFormat>>;

UniqueBrush solidBrush(std::uint32_t argb);
UniquePen pen(std::uint32_t argb, float width, bool dashed = false);

// A 32-bit top-down DIB section selected into its own memory DC, with a GDI+
// bitmap over the same pixels: GDI+ draws into it and GDI copies it out with
// BitBlt, with no conversion in between.
class Surface {
public:
    Surface() = default;
    ~Surface() { release(); }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Makes the surface width x height (at least 1 x 1); keeps it when it
    // already has that size. Returns false when the platform refused.
    bool ensureSize(int width, int height);
    bool valid() const { return bitmap_.get() != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    HDC dc() const { return dc_; }
    Gdiplus::GpBitmap* bitmap() const { return bitmap_.get(); }
    // A graphics object drawing into the surface, or none.
    UniqueGraphics graphics() const;
    // Copies every pixel of a surface of the same size.
    void copyFrom(const Surface& other);
    void release();

private:
    int width_ = 0;
    int height_ = 0;
    HDC dc_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    UniqueGdiObject dib_;
    void* bits_ = nullptr;
    UniqueBitmap bitmap_;
};

}  // namespace vantrel::win::preview_gdip
