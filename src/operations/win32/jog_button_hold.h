#pragma once
// Press-and-hold behaviour for the jog buttons: while the left mouse button
// is down on one, the mouse is captured and the parent gets WM_JOG_BUTTON
// with the button's id and 1; on release (also outside the button) it gets
// the id and 0.
#include <windows.h>

namespace vantrel::win {

inline constexpr UINT WM_JOG_BUTTON = 10346;

// Subclasses the push button; the subclass removes itself with the window.
bool attachJogButtonHold(HWND button);

}  // namespace vantrel::win
