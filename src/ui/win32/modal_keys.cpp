#include "ui/win32/modal_keys.h"

#include <algorithm>
#include <vector>

namespace vantrel::win {

namespace {

// Hooks belong to a thread, and so do windows and their modal loops.
struct ThreadKeys {
    std::vector<const ModalLoopKeys*> listeners;
    HHOOK hook = nullptr;
    // Set while a filter runs: IsDialogMessage calls the hooks itself.
    bool offering = false;
};
thread_local ThreadKeys threadKeys;

bool isKeyboard(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

}  // namespace

bool ModalLoopKeys::start(HWND window, Filter filter) {
    stop();
    ThreadKeys& keys = threadKeys;
    if (!keys.hook) {
        keys.hook = SetWindowsHookExW(WH_MSGFILTER, &ModalLoopKeys::onFilter, nullptr, GetCurrentThreadId());
        if (!keys.hook) return false;
    }
    window_ = window;
    filter_ = std::move(filter);
    keys.listeners.push_back(this);
    return true;
}

void ModalLoopKeys::stop() {
    ThreadKeys& keys = threadKeys;
    auto found = std::find(keys.listeners.begin(), keys.listeners.end(), this);
    if (found == keys.listeners.end()) return;
    keys.listeners.erase(found);
    window_ = nullptr;
    filter_ = nullptr;
    if (keys.listeners.empty() && keys.hook) {
        UnhookWindowsHookEx(keys.hook);
        keys.hook = nullptr;
    }
}

ModalLoopKeys::Filter ModalLoopKeys::dialogManager(HWND dialog) {
    return [dialog](MSG& message) { return IsDialogMessageW(dialog, &message) != FALSE; };
}

bool ModalLoopKeys::offer(MSG& message) const {
    if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
    try {
        return filter_ && filter_(message);
    } catch (...) {
        // A filter that failed leaves the message to the loop.
        return false;
    }
}

LRESULT CALLBACK ModalLoopKeys::onFilter(int code, WPARAM wParam, LPARAM lParam) {
    ThreadKeys& keys = threadKeys;
    auto* message = reinterpret_cast<MSG*>(lParam);
    // Menus keep their own keys; only dialog and message box loops are served.
    if ((code == MSGF_DIALOGBOX || code == MSGF_MESSAGEBOX) && !keys.offering && message && message->hwnd &&
        isKeyboard(message->message)) {
        keys.offering = true;
        bool handled = false;
        // A filter may stop listeners (a dialog closed by its key): walk a copy.
        const std::vector<const ModalLoopKeys*> listeners = keys.listeners;
        for (const ModalLoopKeys* listener : listeners) {
            if (std::find(keys.listeners.begin(), keys.listeners.end(), listener) == keys.listeners.end()) continue;
            if ((handled = listener->offer(*message))) break;
        }
        keys.offering = false;
        if (handled) return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace vantrel::win
