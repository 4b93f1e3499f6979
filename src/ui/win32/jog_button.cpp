#include "ui/win32/jog_button.h"

namespace vantrel::win {

void JogButton::setPicture(HBITMAP picture) {
    if (!hwnd()) return;
    LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    if (!(style & BS_BITMAP)) SetWindowLongPtrW(hwnd(), GWL_STYLE, style | BS_BITMAP);
    SendMessageW(hwnd(), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
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
