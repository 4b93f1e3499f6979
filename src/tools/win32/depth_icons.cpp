#include "tools/win32/depth_icons.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

namespace vantrel::win {

namespace {

namespace gp = Gdiplus::DllExports;

struct GpImageTraits {
    static Gdiplus::GpBitmap* invalid() { return nullptr; }
    static bool valid(Gdiplus::GpBitmap* p) { return p != nullptr; }
    static void close(Gdiplus::GpBitmap* p) { gp::GdipDisposeImage(p); }
};
using UniqueGpBitmap = UniqueResource<Gdiplus::GpBitmap*, GpImageTraits>;

struct GpGraphicsTraits {
    static Gdiplus::GpGraphics* invalid() { return nullptr; }
    static bool valid(Gdiplus::GpGraphics* p) { return p != nullptr; }
    static void close(Gdiplus::GpGraphics* p) { gp::GdipDeleteGraphics(p); }
};
using UniqueGpGraphics = UniqueResource<Gdiplus::GpGraphics*, GpGraphicsTraits>;

struct StreamTraits {
    static IStream* invalid() { return nullptr; }
    static bool valid(IStream* p) { return p != nullptr; }
    static void close(IStream* p) { p->Release(); }
};
using UniqueStream = UniqueResource<IStream*, StreamTraits>;

constexpr Gdiplus::ARGB OpaqueWhite = 0xFFFFFFFF;

UniqueGpBitmap loadPng(HINSTANCE module, int id) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!info) return {};
    HGLOBAL loaded = LoadResource(module, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, info);
    if (!bytes || size == 0) return {};
    UniqueStream stream(SHCreateMemStream(static_cast<const BYTE*>(bytes), size));
    if (!stream) return {};
    UniqueGpBitmap bitmap;
    if (gp::GdipCreateBitmapFromStream(stream.get(), bitmap.receive()) != Gdiplus::Ok) return {};
    return bitmap;
}

// Draws the source rectangle of `strip` into a new ARGB bitmap and returns it over white.
UniqueGdiObject cut(Gdiplus::GpBitmap* strip, int x, int y, int width, int height) {
    UniqueGpBitmap cell;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, cell.receive()) != Gdiplus::Ok)
        return {};
    {
        UniqueGpGraphics graphics;
        if (gp::GdipGetImageGraphicsContext(cell.get(), graphics.receive()) != Gdiplus::Ok) return {};
        gp::GdipSetPageUnit(graphics.get(), Gdiplus::UnitPixel);
        if (gp::GdipDrawImageRectRectI(graphics.get(), strip, 0, 0, width, height, x, y, width, height,
                                       Gdiplus::UnitPixel, nullptr, nullptr, nullptr) != Gdiplus::Ok)
            return {};
    }
    HBITMAP handle = nullptr;
    if (gp::GdipCreateHBITMAPFromBitmap(cell.get(), &handle, OpaqueWhite) != Gdiplus::Ok) return {};
    return UniqueGdiObject(handle);
}

}  // namespace

UniqueGdiObject loadDepthStrip(HINSTANCE module) {
    UniqueGpBitmap strip = loadPng(module, DepthStripImageId);
    if (!strip) return {};
    return cut(strip.get(), 0, 0, DepthIconSize * 4, DepthIconSize);
}

std::array<UniqueGdiObject, 4> loadDepthIcons(HINSTANCE module) {
    std::array<UniqueGdiObject, 4> icons;
    UniqueGpBitmap strip = loadPng(module, DepthStripImageId);
    if (!strip) return icons;
    for (int i = 0; i < 4; ++i) icons[i] = cut(strip.get(), DepthIconSize * i, 0, DepthIconSize, DepthIconSize);
    return icons;
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

}  // namespace vantrel::win
