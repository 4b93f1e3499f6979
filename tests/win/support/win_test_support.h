#pragma once
// Helpers shared by the Wine test programs: GDI+ started as the host starts
// it, finding and waiting for windows, and a driver thread that acts on a
// dialog while the test's thread sits in its modal loop.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "driving/window_driving.h"

namespace vantrel::test {

// The host starts GDI+ before it calls the plug-in; tests do the same.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

// Polls until `condition` holds or `timeout` passes; returns the last result.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A visible top-level dialog (class #32770) with this exact title, or null.
HWND findDialog(const std::wstring& title);
HWND waitForDialog(const std::wstring& title, std::chrono::milliseconds timeout);

std::wstring windowText(HWND window);

// A picture of `window`, frame included, as the PNG file `name` in the folder
// VANTREL_SCREENSHOTS names (a Windows path), else in the working directory.
// GDI+ must be running. False when nothing was saved.
bool saveScreenshot(HWND window, const std::wstring& name);
// The same, only when VANTREL_SCREENSHOTS is set: pictures for the docs from
// tests whose timing a capture must not change otherwise.
void saveScreenshotIfAsked(HWND window, const std::wstring& name);

// Runs `work` on its own thread; joined by the destructor.
class DriverThread {
public:
    explicit DriverThread(std::function<void()> work) : thread_(std::move(work)) {}
    ~DriverThread() {
        if (thread_.joinable()) thread_.join();
    }
    void join() { thread_.join(); }

private:
    std::thread thread_;
};

// Counts a window's timer ticks as its thread takes them (see there).
using driving::TimerTicks;

// A hidden top-level window to stand for the host's main window.
class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// A folder of its own under the temporary folder, named but not made; it is
// removed with the files in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const wchar_t* name) const { return path_ + L"\\" + name; }
    // The whole file, or nothing when it cannot be read.
    std::string read(const wchar_t* name) const;

private:
    std::wstring path_;
};

// Directory of the running test program (where the built DLL lies too).
std::wstring programDirectory();

}  // namespace vantrel::test
