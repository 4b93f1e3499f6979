#include "ui/win32/dpi.h"

#include "support/win32/gdi_owners.h"

namespace vantrel::win {

namespace {

using DpiForWindowFn = UINT(WINAPI*)(HWND);
using GetContextFn = HANDLE(WINAPI*)();
using SetContextFn = HANDLE(WINAPI*)(HANDLE);
using AwarenessFn = int(WINAPI*)(HANDLE);

// DPI_AWARENESS_CONTEXT_SYSTEM_AWARE and DPI_AWARENESS_UNAWARE; our headers
// target Windows 7, which has neither.
const HANDLE SystemAwareContext = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
constexpr int AwarenessUnaware = 0;

template <typename Fn>
Fn user32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int windowDpi(HWND window) {
    static const auto dpiForWindow = user32Function<DpiForWindowFn>("GetDpiForWindow");
    if (dpiForWindow && window) {
        if (UINT dpi = dpiForWindow(window)) return static_cast<int>(dpi);
    }
    int dpi = 0;
    if (WindowDc screen(nullptr); screen) dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

DpiAwarenessScope::DpiAwarenessScope() {
    static const auto getContext = user32Function<GetContextFn>("GetThreadDpiAwarenessContext");
    static const auto setContext = user32Function<SetContextFn>("SetThreadDpiAwarenessContext");
    static const auto awareness = user32Function<AwarenessFn>("GetAwarenessFromDpiAwarenessContext");
    if (!getContext || !setContext || !awareness) return;
    if (awareness(getContext()) != AwarenessUnaware) return;
    previous_ = setContext(SystemAwareContext);
}

DpiAwarenessScope::~DpiAwarenessScope() {
    static const auto setContext = user32Function<SetContextFn>("SetThreadDpiAwarenessContext");
    if (previous_ && setContext) setContext(previous_);
}

}  // namespace vantrel::win
