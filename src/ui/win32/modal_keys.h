#pragma once
// Keys for windows that the running modal loop does not serve. A modal loop
// (a dialog box's or a message box's) hands its messages to IsDialogMessage
// for its own dialog only, so a modeless window beside it gets no Escape, Tab
// or mnemonics, and a dialog whose Cancel button is disabled gets only a beep
// for Escape. Windows passes every message of those loops through the
// thread's WH_MSGFILTER hooks first (CallMsgFilter, code MSGF_DIALOGBOX or
// MSGF_MESSAGEBOX): one hook per thread, installed while any window asks,
// offers each keyboard message to the window it is for.
#include <windows.h>

#include <functional>

namespace vantrel::win {

class ModalLoopKeys {
public:
    // True when the message was handled and the loop must not process it further.
    using Filter = std::function<bool(MSG& message)>;

    ModalLoopKeys() = default;
    ~ModalLoopKeys() { stop(); }
    ModalLoopKeys(const ModalLoopKeys&) = delete;
    ModalLoopKeys& operator=(const ModalLoopKeys&) = delete;

    // From now on `filter` sees the keyboard messages that a modal loop of
    // this thread takes for `window` or any window inside it. False when the
    // hook could not be installed.
    bool start(HWND window, Filter filter);
    void stop();

    // The filter that gives a modeless dialog its dialog manager keys.
    static Filter dialogManager(HWND dialog);

private:
    static LRESULT CALLBACK onFilter(int code, WPARAM wParam, LPARAM lParam);
    bool offer(MSG& message) const;

    HWND window_ = nullptr;
    Filter filter_;
};

}  // namespace vantrel::win
