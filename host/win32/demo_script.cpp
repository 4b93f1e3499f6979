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
constexpr int CutTypeListId = 9057;

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

// Picks a row of a drop-down list the way a mouse choice does: the list changes
// and its dialog is told.
void selectRow(HWND dialog, HWND list, int listId, int row) {
    SendMessageTimeoutW(list, CB_SETCURSEL, static_cast<WPARAM>(row), 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

}  // namespace

namespace {

// One command over the simulator's control pipe: a line out, "ok <n>\n<payload>" back.
bool simulatorCommand(const std::wstring& base, const std::string& command, std::string& answer) {
    const std::wstring pipe = base + L"\\.ctl";
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 40 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        handle = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) Sleep(50);
    }
    if (handle == INVALID_HANDLE_VALUE) return false;
    std::string line = command + "\n";
    DWORD done = 0;
    bool ok = WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &done, nullptr) != FALSE;
    char chunk[4096];
    while (ok && ReadFile(handle, chunk, sizeof chunk, &done, nullptr) && done > 0) answer.append(chunk, done);
    CloseHandle(handle);
    return answer.rfind("ok", 0) == 0;
}

}  // namespace

void DemoScript::finishSimulator() {
    wchar_t base[512] = {};
    if (!GetEnvironmentVariableW(L"VANTREL_SIMULATOR", base, 512)) return;
    std::string answer;
    if (simulatorCommand(base, "save " + utf8(outputDir_), answer)) {
        std::size_t payload = answer.find('\n');
        std::string files = payload == std::string::npos ? std::string() : answer.substr(payload + 1);
        for (std::size_t start = 0; start < files.size();) {
            std::size_t end = files.find('\n', start);
            if (end == std::string::npos) end = files.size();
            if (end > start) say("  machine record: " + files.substr(start, end - start));
            start = end + 1;
        }
    } else {
        say("demo: the simulated cutter did not save its record");
    }
    answer.clear();
    simulatorCommand(base, "quit", answer);
}

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
        finishSimulator();
        return false;
    }
    HWND start = GetDlgItem(dialog, StartButtonId);
    waitUntil([&] { return IsWindowEnabled(start) != FALSE; }, 5000);
    say("demo: status \"" + utf8(textOf(preview)) + "\"");
    screenshot(dialog, L"dialog-connected.png");

    // A look at "Print and Cut": the preview shows the three marks around the design.
    HWND cutType = GetDlgItem(dialog, CutTypeListId);
    selectRow(dialog, cutType, CutTypeListId, 1);
    Sleep(700);
    screenshot(dialog, L"dialog-print-and-cut.png");
    selectRow(dialog, cutType, CutTypeListId, 0);

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
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        finishSimulator();
        return false;
    }
    std::wstring message = textOf(GetDlgItem(messageBox, 0xFFFF));
    say("demo: message box \"" + utf8(message) + "\"");
    screenshot(dialog, L"dialog-finished.png");
    PostMessageW(messageBox, WM_COMMAND, IDOK, 0);
    bool closed = waitUntil([&] { return !IsWindow(dialog); }, 10000);
    say(closed ? "demo: the dialog closed by itself" : "demo: the dialog did not close");
    finishSimulator();
    return closed && message == FinishedMessage;
}

}  // namespace vantrel::host
