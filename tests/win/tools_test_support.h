#pragma once
// Helpers of the tools dialogs' tests: finding this program's own message
// boxes (other test programs run beside it on the same desktop), and
// pictures of windows for docs/.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/win_test_support.h"

namespace vantrel::test {

struct OwnDialogSearch {
    const std::wstring* title;
    int controlId;
    HWND found;
};

inline BOOL CALLBACK matchOwnDialog(HWND window, LPARAM data) {
    auto* s = reinterpret_cast<OwnDialogSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process != GetCurrentProcessId() || std::wstring(className) != L"#32770" || !IsWindowVisible(window) ||
        windowText(window) != *s->title || !GetDlgItem(window, s->controlId))
        return TRUE;
    s->found = window;
    return FALSE;
}

// A visible dialog of this process with this title whose controls exist
// (a message box's text is static 0xFFFF); null when there is none.
inline HWND findOwnDialog(const std::wstring& title, int controlId = 0xFFFF) {
    OwnDialogSearch search{&title, controlId, nullptr};
    EnumWindows(&matchOwnDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND waitForOwnDialog(const std::wstring& title, std::chrono::milliseconds timeout, int controlId = 0xFFFF) {
    HWND found = nullptr;
    waitFor([&] { return (found = findOwnDialog(title, controlId)) != nullptr; }, timeout);
    return found;
}

// What a control draws into a device context of its client size, read back
// pixel by pixel; the context is first filled with `fill`, so what the control
// leaves unpainted still shows it.
struct ClientPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top down

    COLORREF at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
        std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// Sends WM_PRINTCLIENT from any thread: the control paints on its own.
inline ClientPicture printClient(HWND control, COLORREF fill) {
    ClientPicture picture;
    RECT client{};
    GetClientRect(control, &client);
    picture.width = client.right;
    picture.height = client.bottom;
    if (picture.width <= 0 || picture.height <= 0) return picture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (memory && bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(memory, &client, brush);
        DeleteObject(brush);
        DWORD_PTR unused = 0;
        SendMessageTimeoutW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT, SMTO_ABORTIFHUNG,
                            5000, &unused);
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits);
        picture.pixels.assign(first, first + static_cast<std::size_t>(picture.width) * picture.height);
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return picture;
}

// Every channel of `a` within `tolerance` of `b`.
inline bool closeColour(COLORREF a, COLORREF b, int tolerance) {
    auto within = [&](int x, int y) { return x - y <= tolerance && y - x <= tolerance; };
    return within(GetRValue(a), GetRValue(b)) && within(GetGValue(a), GetGValue(b)) && within(GetBValue(a), GetBValue(b));
}

}  // namespace vantrel::test
