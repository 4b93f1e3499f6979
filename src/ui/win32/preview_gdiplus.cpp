#include "ui/win32/preview_gdiplus.h"

#include <cstring>

namespace vantrel::win::preview_gdip {

UniqueBrush solidBrush(std::uint32_t argb) {
    Gdiplus::GpSolidFill* brush = nullptr;
    gp::GdipCreateSolidFill(argb, &brush);
    return UniqueBrush(brush);
}

UniquePen pen(std::uint32_t argb, float width, bool dashed) {
    Gdiplus::GpPen* created = nullptr;
    gp::GdipCreatePen1(argb, width, Gdiplus::UnitPixel, &created);
    if (created && dashed) gp::GdipSetPenDashStyle(created, Gdiplus::DashStyleDash);
    return UniquePen(created);
}

bool Surface::ensureSize(int width, int height) {
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
    if (!dib || !bits) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB, static_cast<BYTE*>(bits),
                                      &bitmap) != Gdiplus::Ok ||
        !bitmap) {
        DeleteDC(dc);
        return false;
    }
    dc_ = dc;
    oldBitmap_ = SelectObject(dc_, dib.get());
    dib_ = std::move(dib);
    bits_ = bits;
    bitmap_.reset(bitmap);
    width_ = width;
    height_ = height;
    return true;
}

UniqueGraphics Surface::graphics() const {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (bitmap_) {
        // GDI may still hold batched work on the same pixels.
        GdiFlush();
        gp::GdipGetImageGraphicsContext(bitmap_.get(), &graphics);
    }
    return UniqueGraphics(graphics);
}

void Surface::copyFrom(const Surface& other) {
    if (!valid() || !other.valid() || other.width_ != width_ || other.height_ != height_) return;
    GdiFlush();
    std::memcpy(bits_, other.bits_, static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
}

void Surface::release() {
    // The GDI+ bitmap borrows the DIB's pixels: it goes first.
    bitmap_.reset();
    if (dc_) {
        SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
        dc_ = nullptr;
        oldBitmap_ = nullptr;
    }
    dib_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
}

}  // namespace vantrel::win::preview_gdip
