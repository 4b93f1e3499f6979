#include "ui/win32/dialog.h"

#include "ui/win32/activation_context.h"
#include "ui/win32/dpi.h"

namespace vantrel::win {

INT_PTR Dialog::runModal(HINSTANCE module, int templateId, HWND owner) {
    // Active for the whole modal loop: every control, sub-dialog and message
    // box made from here on gets the themed common controls.
    ActivationScope themed;
    DpiAwarenessScope sharp;
    return DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), owner, &Dialog::dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND Dialog::createModeless(HINSTANCE module, int templateId, HWND owner) {
    // Classes are looked up when the controls are made, so creation is what counts.
    ActivationScope themed;
    DpiAwarenessScope sharp;
    return CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), owner, &Dialog::dialogProc,
                              reinterpret_cast<LPARAM>(this));
}

void Dialog::end(INT_PTR result) {
    if (hwnd_) EndDialog(hwnd_, result);
}

bool Dialog::onCommand(int id, int, HWND) {
    if (id == IDCANCEL) {
        onCancel();
        return true;
    }
    if (id == IDOK) {
        onOk();
        return true;
    }
    return false;
}

INT_PTR CALLBACK Dialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    try {
        INT_PTR result = self->handle(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    } catch (...) {
        // A handler that failed leaves the dialog as it was; user32 must never see it.
        return FALSE;
    }
}

INT_PTR Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return onInit() ? TRUE : FALSE;
        case WM_COMMAND:
            return onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
        case WM_TIMER:
            return onTimer(wParam) ? TRUE : FALSE;
        case WM_DESTROY:
            onDestroy();
            return FALSE;
        default: {
            INT_PTR result = 0;
            if (onMessage(message, wParam, lParam, result)) {
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
    }
}

}  // namespace vantrel::win
