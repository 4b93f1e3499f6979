#pragma once
// Base of the drawn controls: a standard control of the dialog's template
// subclassed in place, so it keeps its id, place, caption and behaviour and
// we take over only the messages we need. No exception reaches user32.
#include <windows.h>

namespace vantrel::win {

class SubclassedControl {
public:
    SubclassedControl() = default;
    virtual ~SubclassedControl();
    SubclassedControl(const SubclassedControl&) = delete;
    SubclassedControl& operator=(const SubclassedControl&) = delete;

    // Takes over `control` (or the dialog's control `id`); false when there is
    // none or it is already taken.
    bool attach(HWND control);
    bool attach(HWND dialog, int id) { return attach(GetDlgItem(dialog, id)); }
    // Gives the control back; also happens by itself when the window goes.
    void detach();

    HWND hwnd() const { return hwnd_; }
    int id() const { return hwnd_ ? GetDlgCtrlID(hwnd_) : 0; }
    HWND parent() const { return hwnd_ ? GetParent(hwnd_) : nullptr; }
    void repaint() const;

protected:
    // Returns true when the message was handled and `result` is its answer.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual void onAttach() {}
    virtual void onDetach() {}
    // The standard control's own handling.
    LRESULT callDefault(UINT message, WPARAM wParam, LPARAM lParam);
    // Drawn controls paint everything themselves, also into a caller's DC
    // (WM_PRINTCLIENT), and never let the background be erased first: that
    // is what makes them flicker. True when `message` was one of those.
    bool handlePaintMessage(UINT message, WPARAM wParam, LRESULT& result);
    // What handlePaintMessage draws with.
    virtual void paint(HDC) {}

private:
    static LRESULT CALLBACK subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self);

    HWND hwnd_ = nullptr;
};

}  // namespace vantrel::win
