#pragma once
// A press-and-hold push button: pressing it tells the parent at once, and so
// does letting go, wherever the mouse is by then (the mouse is captured).
#include "support/win32/unique_handle.h"
#include "ui/win32/subclassed_control.h"

namespace vantrel::win {

// Sent to the parent: wParam the button's control id, lParam 1 when pressed
// and 0 when released.
inline constexpr UINT WM_JOG_BUTTON = 10346;

class JogButton : public SubclassedControl {
public:
    ~JogButton() override { detach(); }
    // Shows `picture` on the button instead of its caption (which stays the
    // window text for keyboard mnemonics and screen readers). The caller keeps
    // ownership of the bitmap and must outlive the button's use of it. A
    // picture made at 96 dots per inch is shown as a copy scaled to the button's
    // window, which the button owns.
    void setPicture(HBITMAP picture);
    bool pressed() const { return pressed_; }

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onDetach() override;

private:
    void release();

    bool pressed_ = false;
    UniqueGdiObject scaledPicture_;
};

}  // namespace vantrel::win
