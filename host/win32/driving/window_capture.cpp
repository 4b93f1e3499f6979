#include "window_capture.h"

#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "support/win32/gdi_owners.h"

namespace vantrel::driving {

namespace {

bool pngEncoder(CLSID& clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// One frame of the window as 32-bit top-down pixels.
std::vector<DWORD> grab(HWND window, int width, int height) {
    std::vector<DWORD> pixels;
    win::WindowDc windowDc(window, win::WindowDc::Area::Window);
    if (!windowDc) return pixels;
    win::UniqueMemoryDc memoryDc(CreateCompatibleDC(windowDc.get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win::UniqueGdiObject dib(CreateDIBSection(windowDc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memoryDc || !dib) return pixels;
    win::SelectedObject selected(memoryDc.get(), dib.get());
    BitBlt(memoryDc.get(), 0, 0, width, height, windowDc.get(), 0, 0, SRCCOPY);
    GdiFlush();
    auto* first = static_cast<const DWORD*>(bits);
    pixels.assign(first, first + static_cast<std::size_t>(width) * height);
    return pixels;
}

}  // namespace

bool captureWindowPng(HWND window, const std::wstring& fileName) {
    RECT rect;
    if (!IsWindow(window) || !GetWindowRect(window, &rect)) return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;

    std::vector<DWORD> frame;
    for (int attempt = 0; attempt < 10; ++attempt) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        Sleep(100);
        std::vector<DWORD> next = grab(window, width, height);
        if (!next.empty() && next == frame) break;
        frame = std::move(next);
    }
    if (frame.empty()) return false;
    for (DWORD& pixel : frame) pixel |= 0xFF000000u;  // the screen has no alpha

    CLSID clsid;
    if (!pngEncoder(clsid)) return false;
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(frame.data()));
    return bitmap.Save(fileName.c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

}  // namespace vantrel::driving
