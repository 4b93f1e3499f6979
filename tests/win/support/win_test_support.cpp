#include "support/win_test_support.h"

#include <fstream>
#include <sstream>

#include "driving/window_capture.h"

namespace vantrel::test {

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

GdiplusSession::~GdiplusSession() { Gdiplus::GdiplusShutdown(token_); }

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int count = 0;
    path_ = std::wstring(temp) + L"vantrel-scratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++count);
}

ScratchFolder::~ScratchFolder() {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(file(L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(file(entry.cFileName).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

std::string ScratchFolder::read(const wchar_t* name) const {
    std::ifstream in(file(name).c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

HWND findDialog(const std::wstring& title) {
    HWND window = FindWindowW(L"#32770", title.c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND waitForDialog(const std::wstring& title, std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    waitFor([&] { return (found = findDialog(title)) != nullptr; }, timeout);
    return found;
}

namespace {
std::wstring screenshotFolder() {
    wchar_t folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VANTREL_SCREENSHOTS", folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(folder, length);
}
}  // namespace

bool saveScreenshot(HWND window, const std::wstring& name) {
    const std::wstring folder = screenshotFolder();
    return driving::captureWindowPng(window, folder.empty() ? name : folder + L"\\" + name);
}

void saveScreenshotIfAsked(HWND window, const std::wstring& name) {
    if (!screenshotFolder().empty()) saveScreenshot(window, name);
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

namespace {
const wchar_t* registerTestWindowClass() {
    static const wchar_t* name = [] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VantrelTestHostWindow";
        RegisterClassW(&windowClass);
        return L"VantrelTestHostWindow";
    }();
    return name;
}
}  // namespace

TestWindow::TestWindow() {
    hwnd_ = CreateWindowExW(0, registerTestWindowClass(), L"test host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

std::wstring programDirectory() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

}  // namespace vantrel::test
