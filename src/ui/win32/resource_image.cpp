#include "ui/win32/resource_image.h"

#include <cstring>
#include <vector>

namespace vantrel::win {

namespace {

struct GlobalMemoryTraits {
    static HGLOBAL invalid() { return nullptr; }
    static bool valid(HGLOBAL h) { return h != nullptr; }
    static void close(HGLOBAL h) { GlobalFree(h); }
};
using UniqueGlobal = UniqueResource<HGLOBAL, GlobalMemoryTraits>;

struct StreamTraits {
    static IStream* invalid() { return nullptr; }
    static bool valid(IStream* s) { return s != nullptr; }
    static void close(IStream* s) { s->Release(); }
};
using UniqueStream = UniqueResource<IStream*, StreamTraits>;

// Locks the whole bitmap as 32-bit ARGB and unlocks it when done.
class LockedPixels {
public:
    LockedPixels(GpBitmap* bitmap, UINT mode) : bitmap_(bitmap) {
        ImageSize size = imageSize(bitmap);
        Gdiplus::Rect all(0, 0, static_cast<INT>(size.width), static_cast<INT>(size.height));
        locked_ = size.width > 0 && size.height > 0 &&
                  gp::GdipBitmapLockBits(bitmap, &all, mode, PixelFormat32bppARGB, &data_) == Gdiplus::Ok;
    }
    ~LockedPixels() {
        if (locked_) gp::GdipBitmapUnlockBits(bitmap_, &data_);
    }
    LockedPixels(const LockedPixels&) = delete;
    LockedPixels& operator=(const LockedPixels&) = delete;

    bool ok() const { return locked_; }
    UINT width() const { return data_.Width; }
    UINT height() const { return data_.Height; }
    ui::Argb* row(UINT y) const {
        return reinterpret_cast<ui::Argb*>(static_cast<BYTE*>(data_.Scan0) + static_cast<INT_PTR>(y) * data_.Stride);
    }

private:
    GpBitmap* bitmap_;
    Gdiplus::BitmapData data_ = {};
    bool locked_ = false;
};

// A 32-bit ARGB copy of a decoded bitmap that shares nothing with it.
UniqueGpBitmap detachedCopy(GpBitmap* source) {
    ImageSize size = imageSize(source);
    UniqueGpBitmap copy;
    if (size.width == 0 || size.height == 0) return copy;
    if (gp::GdipCreateBitmapFromScan0(static_cast<INT>(size.width), static_cast<INT>(size.height), 0,
                                      PixelFormat32bppARGB, nullptr, copy.receive()) != Gdiplus::Ok)
        return UniqueGpBitmap();
    LockedPixels from(source, Gdiplus::ImageLockModeRead);
    LockedPixels to(copy.get(), Gdiplus::ImageLockModeWrite);
    if (!from.ok() || !to.ok()) return UniqueGpBitmap();
    for (UINT y = 0; y < size.height; ++y) std::memcpy(to.row(y), from.row(y), size.width * sizeof(ui::Argb));
    return copy;
}

template <typename Change>
UniqueGpBitmap changedCopy(GpImage* image, Change change) {
    UniqueGpBitmap copy = toBitmap(image, PixelFormat32bppARGB);
    if (!copy) return copy;
    LockedPixels pixels(copy.get(), Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite);
    if (!pixels.ok()) return UniqueGpBitmap();
    for (UINT y = 0; y < pixels.height(); ++y) change(pixels.row(y), pixels.width());
    return copy;
}

}  // namespace

UniqueGpImage loadImage(HINSTANCE module, int resourceId, const wchar_t* type) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), type);
    if (!found) return {};
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return {};

    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block) return {};
    void* target = GlobalLock(block.get());
    if (!target) return {};
    std::memcpy(target, bytes, size);
    GlobalUnlock(block.get());

    // The decoder may read the stream again after it returns, so the stream
    // owns the block and frees it only when the decoded image lets go of it;
    // the copy below then leaves nothing behind that points into it.
    UniqueStream stream;
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.receive()))) return {};
    block.release();

    UniqueGpImage decoded;
    if (gp::GdipLoadImageFromStream(stream.get(), decoded.receive()) != Gdiplus::Ok || !decoded) return {};
    Gdiplus::ImageType kind = Gdiplus::ImageTypeUnknown;
    gp::GdipGetImageType(decoded.get(), &kind);
    if (kind != Gdiplus::ImageTypeBitmap) return {};
    return detachedCopy(static_cast<GpBitmap*>(decoded.get())).releaseImage();
}

ImageSize imageSize(GpImage* image) {
    ImageSize size;
    if (!image || gp::GdipGetImageWidth(image, &size.width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(image, &size.height) != Gdiplus::Ok)
        return {};
    return size;
}

UniqueGpBitmap toBitmap(GpImage* image, std::optional<Gdiplus::PixelFormat> format,
                        std::optional<ui::Argb> background) {
    ImageSize size = imageSize(image);
    if (size.width == 0 || size.height == 0) return {};
    Gdiplus::PixelFormat pixelFormat = PixelFormat32bppARGB;
    if (format) {
        pixelFormat = *format;
    } else {
        gp::GdipGetImagePixelFormat(image, &pixelFormat);
    }
    INT w = static_cast<INT>(size.width), h = static_cast<INT>(size.height);
    UniqueGpBitmap bitmap;
    if (gp::GdipCreateBitmapFromScan0(w, h, 0, pixelFormat, nullptr, bitmap.receive()) != Gdiplus::Ok) return {};
    UniqueGpGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(bitmap.image(), graphics.receive()) != Gdiplus::Ok) return {};
    if (background) {
        UniqueGpBrush brush = makeSolidBrush(*background);
        if (brush) gp::GdipFillRectangleI(graphics.get(), brush.get(), -1, -1, w + 2, h + 2);
    }
    // Same size, whole pixels: nearest neighbour with centred pixels copies exactly.
    gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeNearestNeighbor);
    gp::GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHalf);
    gp::GdipDrawImageRectI(graphics.get(), image, 0, 0, w, h);
    return bitmap;
}

UniqueGdiObject toDeviceBitmap(GpImage* image, ui::Argb background) {
    UniqueGpBitmap bitmap = toBitmap(image, PixelFormat32bppARGB, background);
    if (!bitmap) return {};
    HBITMAP device = nullptr;
    if (gp::GdipCreateHBITMAPFromBitmap(bitmap.get(), &device, background) != Gdiplus::Ok) return {};
    return UniqueGdiObject(device);
}

UniqueGdiObject toDeviceBitmap(GpImage* image, ui::Argb background, int x, int y, int width, int height) {
    if (!image || width <= 0 || height <= 0) return {};
    UniqueGpBitmap cell;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, cell.receive()) != Gdiplus::Ok)
        return {};
    {
        UniqueGpGraphics graphics;
        if (gp::GdipGetImageGraphicsContext(cell.image(), graphics.receive()) != Gdiplus::Ok) return {};
        UniqueGpBrush brush = makeSolidBrush(background);
        if (brush) gp::GdipFillRectangleI(graphics.get(), brush.get(), -1, -1, width + 2, height + 2);
        gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeNearestNeighbor);
        gp::GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHalf);
        gp::GdipDrawImageRectRectI(graphics.get(), image, 0, 0, width, height, x, y, width, height,
                                   Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    }
    HBITMAP device = nullptr;
    if (gp::GdipCreateHBITMAPFromBitmap(cell.get(), &device, background) != Gdiplus::Ok) return {};
    return UniqueGdiObject(device);
}

UniqueGdiObject stretchedCopy(HBITMAP picture, int width, int height) {
    BITMAP info{};
    if (!picture || !GetObjectW(picture, sizeof info, &info)) return {};
    WindowDc screen(nullptr);
    UniqueMemoryDc from(CreateCompatibleDC(screen.get()));
    UniqueMemoryDc to(CreateCompatibleDC(screen.get()));
    HBITMAP copy = CreateCompatibleBitmap(screen.get(), width, height);
    if (from && to && copy) {
        SelectedObject source(from.get(), picture);
        SelectedObject target(to.get(), copy);
        SetStretchBltMode(to.get(), HALFTONE);
        SetBrushOrgEx(to.get(), 0, 0, nullptr);
        StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    }
    return UniqueGdiObject(copy);
}

UniqueGpBitmap tintedCopy(GpImage* image, ui::Argb face) {
    return changedCopy(image, [face](ui::Argb* row, UINT count) { ui::multiplyPixels(row, count, face); });
}

UniqueGpBitmap blendedCopy(GpImage* image, double factor, bool towardWhite) {
    return changedCopy(image, [=](ui::Argb* row, UINT count) { ui::blendPixels(row, count, factor, towardWhite); });
}

ui::Argb systemColour(int index) { return ui::argbFromColorref(GetSysColor(index)); }

}  // namespace vantrel::win
