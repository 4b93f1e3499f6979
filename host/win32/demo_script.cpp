#include "demo_script.h"

#include <chrono>
#include <functional>
#include <thread>

#include "console.h"
#include "window_capture.h"

namespace vantrel::host {

namespace {

// Control ids of the plug-in's main dialog that a user looks at and presses.
constexpr int PreviewId = 9000;
constexpr int StartButtonId = 9017;
constexpr int ProgressBarId = 9016;

const std::wstring FinishedMessage = L"Finished sending all data to your Silhouette machine!";

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return condition();
        Sleep(25);
    }
    return true;
}

std::wstring textOf(HWND window) {
    wchar_t text[512] = {};
    // Another thread's window: WM_GETTEXT through SendMessageTimeout so a busy
    // dialog cannot hang the script.
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}

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

HWND ownedDialog(HWND owner) {
    FindOwned find{owner, nullptr};
    EnumWindows(findOwnedDialog, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

}  // namespace

HWND DemoScript::waitForPluginDialog(DWORD timeoutMs) {
    HWND dialog = nullptr;
    waitUntil([&] { return (dialog = ownedDialog(hostWindow_)) != nullptr; }, timeoutMs);
    return dialog;
}

void DemoScript::screenshot(HWND window, const wchar_t* name) {
    std::wstring file = outputDir_ + L"\\" + name;
    if (captureWindowPng(window, file))
        say("  screenshot: " + utf8(file));
    else
        say("  (could not capture " + utf8(file) + ")");
}

bool DemoScript::run() {
    HWND dialog = waitForPluginDialog(15000);
    if (!dialog) {
        say("demo: the plug-in's dialog did not appear");
        return false;
    }
    HWND preview = GetDlgItem(dialog, PreviewId);
    say("demo: dialog open, status \"" + utf8(textOf(preview)) + "\"");
    screenshot(dialog, L"dialog-opening.png");

    if (!waitUntil([&] { return textOf(preview).rfind(L"Connected [", 0) == 0; }, 20000)) {
        say("demo: the cutter was not identified; status \"" + utf8(textOf(preview)) + "\"");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return false;
    }
    HWND start = GetDlgItem(dialog, StartButtonId);
    waitUntil([&] { return IsWindowEnabled(start) != FALSE; }, 5000);
    say("demo: status \"" + utf8(textOf(preview)) + "\"");
    screenshot(dialog, L"dialog-connected.png");

    say("demo: pressing Start");
    PostMessageW(start, BM_CLICK, 0, 0);

    // The dialog shows its finishing message box owned by itself.
    HWND messageBox = nullptr;
    HWND progress = GetDlgItem(dialog, ProgressBarId);
    bool sendingSeen = false;
    waitUntil(
        [&] {
            if (!sendingSeen && textOf(progress).rfind(L"Sending data", 0) == 0) {
                sendingSeen = true;
                screenshot(dialog, L"dialog-sending.png");
            }
            messageBox = ownedDialog(dialog);
            return messageBox != nullptr || !IsWindow(dialog);
        },
        120000);
    if (!messageBox) {
        say("demo: no message box after Start");
        return false;
    }
    std::wstring message = textOf(GetDlgItem(messageBox, 0xFFFF));
    say("demo: message box \"" + utf8(message) + "\"");
    screenshot(dialog, L"dialog-finished.png");
    PostMessageW(messageBox, WM_COMMAND, IDOK, 0);
    bool closed = waitUntil([&] { return !IsWindow(dialog); }, 10000);
    say(closed ? "demo: the dialog closed by itself" : "demo: the dialog did not close");
    return closed && message == FinishedMessage;
}

}  // namespace vantrel::host
