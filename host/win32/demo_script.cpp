#include "demo_script.h"

#include <chrono>
#include <cstdlib>
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
const std::wstring SendingCaption = L"Sending data";
// What the machine takes of the job before the picture of the sending: a
// part of even the smallest job.
constexpr long long BytesBeforeThePicture = 100;
// The machine's own pace, once the picture is taken.
const std::string MachinePace = "set write-rate 1000000";

// The simulated cutter named by VANTREL_SIMULATOR; empty when none is.
std::wstring simulatorBase() {
    wchar_t base[512] = {};
    return GetEnvironmentVariableW(L"VANTREL_SIMULATOR", base, 512) ? base : L"";
}

// What the simulated cutter has received, from its status line; -1 when it does not answer.
long long bytesReceived(const std::wstring& base) {
    std::string status;
    if (!driving::simulatorCommand(base, "status", &status)) return -1;
    std::size_t at = status.find("received=");
    return at == std::string::npos ? -1 : std::atoll(status.c_str() + at + 9);
}

}  // namespace

void DemoScript::finishSimulator() {
    const std::wstring base = simulatorBase();
    if (base.empty()) return;
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

// The picture of the sending, taken while the job is on its way: the
// simulated machine takes it slowly until then (./vantrel starts it so, its
// input without a buffer as on USB, where a write ends when the machine has
// taken it), is held once a part of the job is in, and goes on at its own
// pace once the picture is taken. A small job would otherwise be sent before
// any picture could show it.
void DemoScript::pictureOfTheSending(HWND dialog, HWND progress, long long receivedBeforeStart) {
    const std::wstring base = simulatorBase();
    bool held = receivedBeforeStart >= 0 &&
                waitUntil([&] { return bytesReceived(base) >= receivedBeforeStart + BytesBeforeThePicture; }, 10s) &&
                driving::simulatorCommand(base, "set stall-after-bytes 0");
    const long long taken = bytesReceived(base) - receivedBeforeStart;
    held = held && textOf(progress).rfind(SendingCaption, 0) == 0;
    screenshot(dialog, L"dialog-sending.png");
    if (held)
        say("demo: the picture of the sending shows the job on its way, " + std::to_string(taken) + " bytes of it taken");
    else
        say("demo: the picture of the sending may not show the job on its way");
    driving::simulatorCommand(base, "set stall-after-bytes -1");
    driving::simulatorCommand(base, MachinePace);
}

// Presses Start and waits for the finishing message box, which the dialog
// owns; on the way, a picture of the sending. Null when none came.
HWND DemoScript::startAndWaitForMessage(HWND dialog) {
    const long long receivedBeforeStart = bytesReceived(simulatorBase());
    say("demo: pressing Start");
    PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
    HWND messageBox = nullptr;
    HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
    bool sendingSeen = false;
    waitUntil(
        [&] {
            if (!sendingSeen && textOf(progress).rfind(SendingCaption, 0) == 0) {
                sendingSeen = true;
                pictureOfTheSending(dialog, progress, receivedBeforeStart);
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
