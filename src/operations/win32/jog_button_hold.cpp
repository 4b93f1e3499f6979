#include "operations/win32/jog_button_hold.h"

#include <commctrl.h>

namespace vantrel::win {

namespace {

constexpr UINT_PTR JogSubclassId = 0x4A4F47;  // "JOG"

void notifyParent(HWND button, WPARAM pressed) {
    SendMessageW(GetParent(button), WM_JOG_BUTTON, static_cast<WPARAM>(GetDlgCtrlID(button)),
                 static_cast<LPARAM>(pressed));
}

LRESULT CALLBACK jogButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR pressed) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!pressed) {
                SetWindowSubclass(button, jogButtonProc, JogSubclassId, 1);
                SetCapture(button);
                SendMessageW(button, BM_SETSTATE, TRUE, 0);
                notifyParent(button, 1);
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            // Losing the capture (another window took it) is a release too, so
            // the carriage never keeps moving without a button held.
            if (pressed) {
                SetWindowSubclass(button, jogButtonProc, JogSubclassId, 0);
                if (message == WM_LBUTTONUP) ReleaseCapture();
                SendMessageW(button, BM_SETSTATE, FALSE, 0);
                notifyParent(button, 0);
            }
            return message == WM_LBUTTONUP ? 0 : DefSubclassProc(button, message, wParam, lParam);
        case WM_NCDESTROY:
            RemoveWindowSubclass(button, jogButtonProc, JogSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

bool attachJogButtonHold(HWND button) { return SetWindowSubclass(button, jogButtonProc, JogSubclassId, 0) != FALSE; }

}  // namespace vantrel::win
