#pragma once
// A hidden window that stands for the dialog in the device-link tests: it
// records what the port threads post to it (taking each reply text as the
// dialog does) and can forward messages and timers to a handler.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "device/win32/port_reader.h"
#include "device/win32/worker_thread.h"
#include "driving/window_driving.h"

namespace vantrel::test {

struct PostedEvent {
    UINT message = 0;
    WPARAM code = 0;
    LPARAM value = 0;
    std::string reply;  // the reply text, for a reader's reply
};

class EventWindow {
public:
    using Handler = std::function<bool(UINT, WPARAM, LPARAM)>;

    EventWindow() {
        static const wchar_t* className = [] {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = &EventWindow::procedure;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"VantrelDeviceTestWindow";
            RegisterClassW(&windowClass);
            return L"VantrelDeviceTestWindow";
        }();
        hwnd_ = CreateWindowExW(0, className, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), this);
    }
    ~EventWindow() { destroy(); }
    EventWindow(const EventWindow&) = delete;
    EventWindow& operator=(const EventWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void destroy() {
        if (hwnd_) DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    // Messages not recorded as events (timers, monitor's own) go here first.
    void setHandler(Handler handler) { handler_ = std::move(handler); }

    const std::vector<PostedEvent>& events() const { return events_; }
    std::vector<std::string> replies() const {
        std::vector<std::string> texts;
        for (const auto& e : events_)
            if (e.message == win::WM_READER_EVENT && static_cast<INT_PTR>(e.code) >= 0) texts.push_back(e.reply);
        return texts;
    }
    int count(UINT message, WPARAM code) const {
        int n = 0;
        for (const auto& e : events_) n += e.message == message && e.code == code;
        return n;
    }
    void clear() { events_.clear(); }

    // Runs the message loop of this thread until `condition` holds or the time is up.
    static bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (condition()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    static void pumpFor(std::chrono::milliseconds time) {
        pumpUntil([] { return false; }, time);
    }
    // Runs the message loop of this thread until `window`'s timer `id` has
    // ticked `ticks` times: proof that periodic work had its chances.
    static bool pumpTicks(HWND window, UINT_PTR id, int ticks, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        driving::TimerTicks counter(window, id);
        return counter.hooked() && pumpUntil([&] { return counter.taken() >= ticks; }, timeout);
    }

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<EventWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && self->hwnd_ == hwnd) {
            if (self->handler_ && self->handler_(message, wParam, lParam)) return 0;
            if (message == win::WM_READER_EVENT || message == win::WM_WRITER_EVENT ||
                message == win::WM_GENERATOR_EVENT) {
                PostedEvent event{message, wParam, lParam, {}};
                if (message == win::WM_READER_EVENT && static_cast<INT_PTR>(wParam) >= 0) {
                    auto text = win::takeReplyText(lParam);
                    event.reply.assign(text.get(), wParam);
                }
                self->events_.push_back(std::move(event));
                return 0;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
    Handler handler_;
    std::vector<PostedEvent> events_;
};

}  // namespace vantrel::test
