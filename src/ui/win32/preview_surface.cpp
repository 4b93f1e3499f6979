#include "ui/win32/preview_surface.h"

#include <cstring>

namespace vantrel::win {

bool PreviewSurface::ensureSize(int width, int height) {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    if (valid() && width == width_ && height == height_) return true;
    release();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, like a GDI+ bitmap's rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dib || !bits || !dc) return false;
    UniqueGpBitmap bitmap;
    if (gp::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB, static_cast<BYTE*>(bits),
                                      bitmap.receive()) != Gdiplus::Ok ||
        !bitmap)
        return false;
    selection_ = SelectedObject(dc.get(), dib.get());
    dc_ = std::move(dc);
    dib_ = std::move(dib);
    bits_ = bits;
    bitmap_ = std::move(bitmap);
    width_ = width;
    height_ = height;
    return true;
}

UniqueGpGraphics PreviewSurface::graphics() const {
    UniqueGpGraphics graphics;
    if (bitmap_) {
        // GDI may still hold batched work on the same pixels.
        GdiFlush();
        gp::GdipGetImageGraphicsContext(bitmap_.image(), graphics.receive());
    }
    return graphics;
}

void PreviewSurface::copyFrom(const PreviewSurface& other) {
    if (!valid() || !other.valid() || other.width_ != width_ || other.height_ != height_) return;
    GdiFlush();
    std::memcpy(bits_, other.bits_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
}

void PreviewSurface::release() {
    // The GDI+ bitmap borrows the DIB's pixels: it goes first, and the DIB
    // leaves the DC before either is deleted.
    bitmap_ = UniqueGpBitmap();
    selection_.restore();
    dc_.reset();
    dib_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
}

}  // namespace vantrel::win
