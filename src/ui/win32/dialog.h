#pragma once
// Thin dialog wrapper: one static dialog procedure stores the object in the
// window's user data at WM_INITDIALOG and forwards every message to virtual
// handlers that return "handled". No exception ever reaches user32.
#include <windows.h>

namespace vantrel::win {

class Dialog {
public:
    Dialog() = default;
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally from a template of `module`; returns EndDialog's value.
    INT_PTR runModal(HINSTANCE module, int templateId, HWND owner);
    // Creates the dialog modelessly (visible only if its template says so); null on failure.
    HWND createModeless(HINSTANCE module, int templateId, HWND owner);
    HWND hwnd() const { return hwnd_; }

protected:
    virtual bool onInit() { return true; }
    virtual bool onCommand(int id, int notifyCode, HWND control);
    virtual bool onTimer(UINT_PTR) { return false; }
    // Any other message; set `result` when the message asks for a value.
    virtual bool onMessage(UINT, WPARAM, LPARAM, INT_PTR& /*result*/) { return false; }
    virtual void onDestroy() {}
    // Escape and the close box arrive here; Enter arrives at onOk.
    virtual void onCancel() { end(IDCANCEL); }
    virtual void onOk() { end(IDOK); }

    void end(INT_PTR result);
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

}  // namespace vantrel::win
