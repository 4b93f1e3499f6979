#include "ui/win32/jog_button.h"

#include "ui/control_layout.h"
#include "ui/win32/controls.h"
#include "ui/win32/dpi.h"
#include "ui/win32/resource_image.h"

namespace vantrel::win {

void JogButton::setPicture(HBITMAP picture) {
    if (!hwnd()) return;
    LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    if (!(style & BS_BITMAP)) SetWindowLongPtrW(hwnd(), GWL_STYLE, style | BS_BITMAP);
    HBITMAP shown = picture;
    UniqueGdiObject scaled;
    BITMAP info{};
    const int dpi = windowDpi(hwnd());
    if (picture && dpi != ui::DesignDpi && GetObjectW(picture, sizeof info, &info)) {
        scaled = stretchedCopy(picture, ui::scaled(info.bmWidth, dpi), ui::scaled(info.bmHeight, dpi));
        if (scaled) shown = static_cast<HBITMAP>(scaled.get());
    }
    Button(hwnd()).setImage(shown);
    // Released only once the button no longer shows it.
    scaledPicture_ = std::move(scaled);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void JogButton::release() {
    if (!pressed_) return;
    // Cleared first: releasing the capture below comes back as WM_CAPTURECHANGED.
    pressed_ = false;
    if (GetCapture() == hwnd()) ReleaseCapture();
    SendMessageW(parent(), WM_JOG_BUTTON, static_cast<WPARAM>(id()), 0);
}

void JogButton::onDetach() {
    // A button that goes while held must not leave the carriage moving.
    release();
}

bool JogButton::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // The standard handling first: it shows the button pushed in and captures the mouse.
            result = callDefault(message, wParam, lParam);
            if (!pressed_) {
                if (GetCapture() != hwnd()) SetCapture(hwnd());
                pressed_ = true;
                SendMessageW(parent(), WM_JOG_BUTTON, static_cast<WPARAM>(id()), 1);
            }
            return true;
        case WM_LBUTTONUP:
            release();
            result = callDefault(message, wParam, lParam);
            return true;
        case WM_CAPTURECHANGED:
            // Capture taken away (a message box, a window switch): the mouse-up
            // will never come, so stop the movement now.
            result = callDefault(message, wParam, lParam);
            if (reinterpret_cast<HWND>(lParam) != hwnd()) release();
            return true;
        default:
            return false;
    }
}

}  // namespace vantrel::win
