#pragma once
// Owners for device contexts and for an object selected into one. GDI wants
// the original object back in a DC before either is freed, and a window's DC
// given back to the window that lent it; these guards do both on every path.
#include <windows.h>

#include <utility>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

struct MemoryDcTraits {
    static HDC invalid() { return nullptr; }
    static bool valid(HDC h) { return h != nullptr; }
    static void close(HDC h) { DeleteDC(h); }
};
// A DC made by CreateCompatibleDC.
using UniqueMemoryDc = UniqueResource<HDC, MemoryDcTraits>;

// A DC lent by GetDC or GetWindowDC; ReleaseDC gives it back to its window
// (null: the screen).
class WindowDc {
public:
    enum class Area { Client, Window };
    explicit WindowDc(HWND window, Area area = Area::Client)
        : window_(window), dc_(area == Area::Client ? GetDC(window) : GetWindowDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects `object` into `dc` and puts the one it replaced back when it goes.
// Declare it after the owners of `dc` and `object`, so it ends first.
class SelectedObject {
public:
    SelectedObject() = default;
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() { restore(); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    SelectedObject(SelectedObject&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}
    SelectedObject& operator=(SelectedObject&& other) noexcept {
        if (this != &other) {
            restore();
            dc_ = std::exchange(other.dc_, nullptr);
            previous_ = std::exchange(other.previous_, nullptr);
        }
        return *this;
    }

    // Whether the object went in (SelectObject gave back the one it replaced).
    explicit operator bool() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }
    // Puts the replaced object back now.
    void restore() {
        if (dc_ && previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
        dc_ = nullptr;
        previous_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace vantrel::win
