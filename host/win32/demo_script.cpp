#include "demo_script.h"

#include <chrono>
#include <functional>
#include <thread>

#include "console.h"
#include "driving/window_capture.h"
#include "driving/window_driving.h"
#include "resource.h"
#include "ui/win32/preview.h"

namespace vantrel::host {

using namespace std::chrono_literals;
using driving::ownedDialog;
using driving::selectRow;
using driving::textOf;
using driving::waitUntil;

namespace {

const std::wstring FinishedMessage = L"Finished sending all data to your Silhouette machine!";

}  // namespace

void DemoScript::finishSimulator() {
    wchar_t base[512] = {};
    if (!GetEnvironmentVariableW(L"VANTREL_SIMULATOR", base, 512)) return;
    std::string files;
    if (driving::simulatorCommand(base, "save " + utf8(outputDir_), &files)) {
        for (std::size_t start = 0; start < files.size();) {
            std::size_t end = files.find('\n', start);
            if (end == std::string::npos) end = files.size();
            if (end > start) say("  machine record: " + files.substr(start, end - start));
            start = end + 1;
        }
    } else {
        say("demo: the simulated cutter did not save its record");
    }
    driving::simulatorCommand(base, "quit");
}

HWND DemoScript::waitForPluginDialog(DWORD timeoutMs) {
    HWND dialog = nullptr;
    waitUntil([&] { return (dialog = ownedDialog(hostWindow_)) != nullptr; }, std::chrono::milliseconds(timeoutMs));
    return dialog;
}

void DemoScript::screenshot(HWND window, const wchar_t* name) {
    std::wstring file = outputDir_ + L"\\" + name;
    if (driving::captureWindowPng(window, file))
        say("  screenshot: " + utf8(file));
    else
        say("  (could not capture " + utf8(file) + ")");
}

// Waits for the machine to be identified; on failure the dialog is cancelled.
bool DemoScript::waitUntilConnected(HWND dialog, HWND preview) {
    if (!waitUntil([&] { return textOf(preview).rfind(L"Connected [", 0) == 0; }, 20s)) {
        say("demo: the cutter was not identified; status \"" + utf8(textOf(preview)) + "\"");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return false;
    }
    HWND start = GetDlgItem(dialog, IDC_START);
    waitUntil([&] { return IsWindowEnabled(start) != FALSE; }, 5s);
    say("demo: status \"" + utf8(textOf(preview)) + "\"");
    screenshot(dialog, L"dialog-connected.png");
    return true;
}

// A look at "Print and Cut": the preview shows the three marks around the design.
// The marks blink, hidden at first: the picture is taken once the first
// blink has shown them.
void DemoScript::showPrintAndCut(HWND dialog, HWND preview) {
    driving::TimerTicks blinks(preview, win::PathPreview::BlinkTimer);
    selectRow(dialog, IDC_CUT_TYPE_LIST, 1);
    if (!blinks.waitForMore(1, 5s)) say("demo: the marks did not blink");
    screenshot(dialog, L"dialog-print-and-cut.png");
    selectRow(dialog, IDC_CUT_TYPE_LIST, 0);
}

// Presses Start and waits for the finishing message box, which the dialog
// owns; on the way, a picture of the sending. Null when none came.
HWND DemoScript::startAndWaitForMessage(HWND dialog) {
    say("demo: pressing Start");
    PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
    HWND messageBox = nullptr;
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
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
        120s);
    if (!messageBox) {
        say("demo: no message box after Start");
        if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return messageBox;
}

// Confirms the message; true when it was the finishing one and the dialog then closed.
bool DemoScript::confirmFinished(HWND dialog, HWND messageBox) {
    std::wstring message = textOf(GetDlgItem(messageBox, 0xFFFF));
    say("demo: message box \"" + utf8(message) + "\"");
    screenshot(dialog, L"dialog-finished.png");
    PostMessageW(messageBox, WM_COMMAND, IDOK, 0);
    bool closed = waitUntil([&] { return !IsWindow(dialog); }, 10s);
    say(closed ? "demo: the dialog closed by itself" : "demo: the dialog did not close");
    return closed && message == FinishedMessage;
}

bool DemoScript::run() {
    HWND dialog = waitForPluginDialog(15000);
    if (!dialog) {
        say("demo: the plug-in's dialog did not appear");
        return false;
    }
    HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
    say("demo: dialog open, status \"" + utf8(textOf(preview)) + "\"");
    screenshot(dialog, L"dialog-opening.png");

    bool finished = false;
    if (waitUntilConnected(dialog, preview)) {
        showPrintAndCut(dialog, preview);
        if (HWND messageBox = startAndWaitForMessage(dialog)) finished = confirmFinished(dialog, messageBox);
    }
    finishSimulator();
    return finished;
}

}  // namespace vantrel::host
