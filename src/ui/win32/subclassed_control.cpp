#include "ui/win32/subclassed_control.h"

#include <commctrl.h>

namespace vantrel::win {

namespace {
// One subclass id for all our controls; the object rides in the reference data.
constexpr UINT_PTR SubclassId = 0x56414E54;  // "VANT"
// Marks a control that one of our objects has taken, so a second cannot.
constexpr wchar_t TakenProperty[] = L"Vantrel.DrawnControl";
}  // namespace

SubclassedControl::~SubclassedControl() { detach(); }

bool SubclassedControl::attach(HWND control) {
    if (!control || hwnd_) return false;
    if (GetPropW(control, TakenProperty)) return false;
    if (!SetWindowSubclass(control, &SubclassedControl::subclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    SetPropW(control, TakenProperty, reinterpret_cast<HANDLE>(this));
    hwnd_ = control;
    onAttach();
    repaint();
    return true;
}

void SubclassedControl::detach() {
    if (!hwnd_) return;
    onDetach();
    RemoveWindowSubclass(hwnd_, &SubclassedControl::subclassProc, SubclassId);
    RemovePropW(hwnd_, TakenProperty);
    HWND was = hwnd_;
    hwnd_ = nullptr;
    if (IsWindow(was)) InvalidateRect(was, nullptr, TRUE);
}

void SubclassedControl::repaint() const {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT SubclassedControl::callDefault(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedControl::subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR reference) {
    auto* self = reinterpret_cast<SubclassedControl*>(reference);
    if (message == WM_NCDESTROY) {
        try {
            self->onDetach();
        } catch (...) {
        }
        RemoveWindowSubclass(hwnd, &SubclassedControl::subclassProc, SubclassId);
        RemovePropW(hwnd, TakenProperty);
        self->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    try {
        LRESULT result = 0;
        if (self->onMessage(message, wParam, lParam, result)) return result;
    } catch (...) {
        // A failed handler falls back to the standard control's behaviour.
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool SubclassedControl::handlePaintMessage(UINT message, WPARAM wParam, LRESULT& result) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            // EndPaint also when painting throws, or the update region stays.
            struct EndPaintGuard {
                HWND window;
                PAINTSTRUCT* ps;
                ~EndPaintGuard() { EndPaint(window, ps); }
            } guard{hwnd_, &ps};
            if (dc) paint(dc);
            result = 0;
            return true;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            result = 0;
            return true;
        case WM_ERASEBKGND:
            result = 1;
            return true;
        default:
            return false;
    }
}

}  // namespace vantrel::win
