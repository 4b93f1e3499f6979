#include "ui/win32/gdiplus_draw.h"

namespace vantrel::win {

OffscreenSurface::OffscreenSurface(HDC screen, int width, int height) {
    if (width <= 0 || height <= 0) return;
    dc_.reset(CreateCompatibleDC(screen));
    if (!dc_) return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) return;
    selection_ = SelectedObject(dc_.get(), bitmap_.get());
    gp::GdipCreateFromHDC(dc_.get(), graphics_.receive());
}

void OffscreenSurface::flush() {
    if (graphics_) gp::GdipFlush(graphics_.get(), Gdiplus::FlushIntentionSync);
    GdiFlush();
}

UniqueGpBrush makeSolidBrush(ui::Argb colour) {
    UniqueGpBrush brush;
    gp::GdipCreateSolidFill(colour, reinterpret_cast<Gdiplus::GpSolidFill**>(brush.receive()));
    return brush;
}

UniqueGpPen makeSolidPen(ui::Argb colour, float width, bool dashed) {
    UniqueGpPen pen;
    gp::GdipCreatePen1(colour, width, Gdiplus::UnitPixel, pen.receive());
    if (pen && dashed) gp::GdipSetPenDashStyle(pen.get(), Gdiplus::DashStyleDash);
    return pen;
}

UniqueGpFont makeUiFont(float pixels, int style) {
    UniqueGpFontFamily family;
    if (gp::GdipCreateFontFamilyFromName(L"Tahoma", nullptr, family.receive()) != Gdiplus::Ok || !family) {
        GpFontFamily* generic = nullptr;
        // The generic family belongs to GDI+; clone it so our owner may delete it.
        if (gp::GdipGetGenericFontFamilySansSerif(&generic) == Gdiplus::Ok && generic)
            gp::GdipCloneFontFamily(generic, family.receive());
    }
    UniqueGpFont font;
    if (family) gp::GdipCreateFont(family.get(), pixels, style, Gdiplus::UnitPixel, font.receive());
    return font;
}

void setQualityDrawing(GpGraphics* graphics) {
    gp::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeAntiAlias);
    gp::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    gp::GdipSetPageUnit(graphics, Gdiplus::UnitPixel);
}

void drawImageScaled(GpGraphics* graphics, GpImage* image, int left, int top, int width, int height) {
    if (!graphics || !image || width <= 0 || height <= 0) return;
    UINT w = 0, h = 0;
    gp::GdipGetImageWidth(image, &w);
    gp::GdipGetImageHeight(image, &h);
    if (static_cast<int>(w) == width && static_cast<int>(h) == height) {
        gp::GdipDrawImageRectI(graphics, image, left, top, width, height);
        return;
    }
    Gdiplus::InterpolationMode interpolation = Gdiplus::InterpolationModeDefault;
    Gdiplus::PixelOffsetMode offset = Gdiplus::PixelOffsetModeDefault;
    gp::GdipGetInterpolationMode(graphics, &interpolation);
    gp::GdipGetPixelOffsetMode(graphics, &offset);
    gp::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    gp::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
    // Clamped at the edges: the filter would otherwise blend in transparency from outside the picture.
    UniqueGpImageAttributes clamp;
    gp::GdipCreateImageAttributes(clamp.receive());
    if (clamp) gp::GdipSetImageAttributesWrapMode(clamp.get(), Gdiplus::WrapModeTileFlipXY, 0, FALSE);
    gp::GdipDrawImageRectRectI(graphics, image, left, top, width, height, 0, 0, static_cast<INT>(w), static_cast<INT>(h),
                               Gdiplus::UnitPixel, clamp.get(), nullptr, nullptr);
    gp::GdipSetInterpolationMode(graphics, interpolation);
    gp::GdipSetPixelOffsetMode(graphics, offset);
}

void addRoundedRectangle(GpPath* path, float left, float top, float right, float bottom, float diameter) {
    float d = diameter;
    gp::GdipStartPathFigure(path);
    gp::GdipAddPathArc(path, left, top, d, d, 180, 90);
    gp::GdipAddPathArc(path, right - d, top, d, d, 270, 90);
    gp::GdipAddPathArc(path, right - d, bottom - d, d, d, 0, 90);
    gp::GdipAddPathArc(path, left, bottom - d, d, d, 90, 90);
    gp::GdipClosePathFigure(path);
}

}  // namespace vantrel::win
