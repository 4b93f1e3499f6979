#include "window_driving.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "support/win32/unique_handle.h"

namespace vantrel::driving {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return condition();
        Sleep(25);
    }
    return true;
}

namespace {

// What the hook of the one flush under way looks for; the hook procedure
// has no context of its own, so flushes take turns.
std::mutex flushTurn;
std::atomic<UINT> flushMarker{0};
std::atomic<WPARAM> flushSerial{0};
HANDLE markerTaken = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // lives as long as the process

LRESULT CALLBACK watchForMarker(int code, WPARAM wParam, LPARAM lParam) {
    // Called on the window's thread as it takes a message, before dispatching it.
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && (wParam & PM_REMOVE) && message->message == flushMarker.load() &&
        message->wParam == flushSerial.load())
        SetEvent(markerTaken);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool flushPostedMessages(HWND window, std::chrono::milliseconds timeout) {
    const UINT limit = static_cast<UINT>(timeout.count());
    auto sendNull = [&] {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, limit, &ignored) != 0;
    };
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (thread == 0 || thread == GetCurrentThreadId()) return false;
    if (process != GetCurrentProcessId() || !markerTaken) return sendNull() && sendNull();

    std::lock_guard turn(flushTurn);
    if (flushMarker == 0) flushMarker = RegisterWindowMessageW(L"VantrelDrivingFlushMarker");
    const WPARAM serial = flushSerial + 1;
    flushSerial = serial;
    ResetEvent(markerTaken);
    // A thread hook in this process needs no module (SetWindowsHookEx).
    win::UniqueHook hook(SetWindowsHookExW(WH_GETMESSAGE, &watchForMarker, nullptr, thread));
    if (!hook) return sendNull() && sendNull();
    const bool taken = PostMessageW(window, flushMarker, serial, 0) &&
                       WaitForSingleObject(markerTaken, limit) == WAIT_OBJECT_0;
    hook.reset();
    return taken && sendNull();
}

namespace {
// What the one TimerTicks hook counts; the hook procedure has no context of its own.
std::atomic<HWND> tickWindow{nullptr};
std::atomic<UINT_PTR> tickTimer{0};
std::atomic<int> ticks{0};
}  // namespace

TimerTicks::TimerTicks(HWND window, UINT_PTR timerId) : window_(window) {
    ticks = 0;
    tickTimer = timerId;
    tickWindow = window;
    // A thread hook of this process needs no module (SetWindowsHookEx).
    hook_.reset(SetWindowsHookExW(WH_GETMESSAGE, &TimerTicks::onMessage, nullptr,
                                  GetWindowThreadProcessId(window, nullptr)));
}

TimerTicks::~TimerTicks() {
    hook_.reset();
    tickWindow = nullptr;
}

LRESULT CALLBACK TimerTicks::onMessage(int code, WPARAM wParam, LPARAM lParam) {
    // Called on the window's thread as GetMessage or PeekMessage(PM_REMOVE)
    // takes a message, before it is dispatched.
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && (wParam & PM_REMOVE) && message->message == WM_TIMER &&
        message->hwnd == tickWindow.load() && (tickTimer.load() == 0 || message->wParam == tickTimer.load()))
        ++ticks;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int TimerTicks::taken() const { return ticks; }

bool TimerTicks::waitForMore(int count, std::chrono::milliseconds timeout) {
    if (!hook_) return false;
    const int target = ticks + count;
    // A tick is counted as it is taken; the flush ends after its dispatch.
    return waitUntil([&] { return ticks >= target; }, timeout) && flushPostedMessages(window_);
}

namespace {

INPUT keyInput(WORD key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return input;
}

INPUT buttonInput(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

}  // namespace

void pressKey(WORD key, bool withAlt) {
    INPUT inputs[4];
    UINT count = 0;
    if (withAlt) inputs[count++] = keyInput(VK_MENU, true);
    inputs[count++] = keyInput(key, true);
    inputs[count++] = keyInput(key, false);
    if (withAlt) inputs[count++] = keyInput(VK_MENU, false);
    SendInput(count, inputs, sizeof(INPUT));
}

void clickAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    INPUT inputs[2] = {buttonInput(MOUSEEVENTF_LEFTDOWN), buttonInput(MOUSEEVENTF_LEFTUP)};
    SendInput(2, inputs, sizeof(INPUT));
}

bool bringToFront(HWND window, std::chrono::milliseconds timeout) {
    return waitUntil([&] {
        SetForegroundWindow(window);
        return GetForegroundWindow() == window;
    }, timeout);
}

std::wstring textOf(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

namespace {

struct FindOwned {
    HWND owner;
    HWND found;
};

BOOL CALLBACK findOwnedDialog(HWND window, LPARAM param) {
    auto* find = reinterpret_cast<FindOwned*>(param);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && GetWindow(window, GW_OWNER) == find->owner && IsWindowVisible(window)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

bool readExactly(HANDLE pipe, char* data, std::size_t size) {
    while (size > 0) {
        DWORD got = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
        if (!ReadFile(pipe, data, chunk, &got, nullptr) || got == 0) return false;
        data += got;
        size -= got;
    }
    return true;
}

}  // namespace

HWND ownedDialog(HWND owner) {
    FindOwned find{owner, nullptr};
    EnumWindows(findOwnedDialog, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

void selectRow(HWND dialog, int listId, int row) {
    HWND list = GetDlgItem(dialog, listId);
    SendMessageTimeoutW(list, CB_SETCURSEL, static_cast<WPARAM>(row), 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

bool simulatorCommand(const std::wstring& base, const std::string& command, std::string* payload,
                      const std::function<bool()>& alive) {
    const std::wstring name = base + L"\\.ctl";
    win::UniqueHandle pipe;
    // Between two control instances the name is briefly missing or busy.
    for (int attempt = 0; attempt < 500 && !pipe; ++attempt) {
        pipe.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!pipe) {
            if (alive && !alive()) return false;
            Sleep(10);
        }
    }
    if (!pipe) return false;
    const std::string line = command + "\n";
    DWORD written = 0;
    if (!WriteFile(pipe.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        return false;
    }
    std::string header;
    char c = 0;
    while (header.size() < 64 && readExactly(pipe.get(), &c, 1) && c != '\n') header += c;
    const std::size_t space = header.find(' ');
    if (c != '\n' || space == std::string::npos) return false;
    std::size_t length = 0;
    for (std::size_t i = space + 1; i < header.size(); ++i) {
        if (header[i] < '0' || header[i] > '9' || length > 100000000) return false;  // at most about 1 GB
        length = length * 10 + static_cast<std::size_t>(header[i] - '0');
    }
    std::string body(length, '\0');
    if (length > 0 && !readExactly(pipe.get(), body.data(), length)) return false;
    if (payload) *payload = std::move(body);
    return header.compare(0, space, "ok") == 0;
}

}  // namespace vantrel::driving
