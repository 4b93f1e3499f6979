#pragma once
// Display scaling. Dialog templates scale by themselves (dialog units follow
// the font, and the font follows the dots per inch); what we draw in pixels
// is designed at 96 dots per inch and scaled by the window's own figure.
#include <windows.h>

namespace vantrel::win {

// The dots per inch `window` is drawn at: GetDpiForWindow where the system
// has it (Windows 10 1607 and later, and Wine), else the screen's LOGPIXELSY.
// 96 when neither answers.
int windowDpi(HWND window);

// While alive, windows this thread creates are at least system-DPI aware, so
// a host that never declared itself aware does not get our dialogs stretched
// as a blurred bitmap: they are laid out and drawn at the real scale. A host
// that is already aware keeps its own setting. Windows before 10 1607 have no
// per-thread setting; there nothing changes. Windows keeps the awareness a
// top-level window was created with, and switches the thread to it for every
// message of that window.
class DpiAwarenessScope {
public:
    DpiAwarenessScope();
    ~DpiAwarenessScope();
    DpiAwarenessScope(const DpiAwarenessScope&) = delete;
    DpiAwarenessScope& operator=(const DpiAwarenessScope&) = delete;

private:
    HANDLE previous_ = nullptr;
};

}  // namespace vantrel::win
