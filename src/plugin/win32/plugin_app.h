#pragma once
// The application object: one per loaded library. It keeps what the host
// passes in and the copy of the host's path for the length of one run.
#include <windows.h>

#include <cstdint>
#include <string>

#include "support/win32/gdiplus_owners.h"

namespace vantrel::win {

// Written through the fourth argument of OnPluginGetInfo on every call.
inline constexpr std::uint32_t PluginInterfaceId = 0x5A3C7E00;

class PluginApp {
public:
    static PluginApp& instance();

    // The two exports, after the argument lists the host calls them with.
    void getInfo(wchar_t* menuText, wchar_t* description, HWND hostWindow, std::uint32_t* interfaceId,
                 std::uint32_t hostValue1, std::uint32_t hostValue2);
    void cutPath(void* hostGraphicsPath, std::uint32_t hostValue, float mediaWidth);

    HWND hostWindow() const { return hostWindow_; }
    // The run's private copy of the host's path; null outside a run.
    GpPath* hostPath() const { return hostPath_.get(); }
    float mediaWidth() const { return mediaWidth_; }
    // The running main dialog, owner of message boxes shown while it runs.
    HWND mainWindow() const { return mainWindow_; }
    void setMainWindow(HWND window) { mainWindow_ = window; }

    // The library's file name without extension ("Vantrel").
    const std::wstring& appName() const { return appName_; }
    // HKEY_CURRENT_USER relative key of the profile; values live in its subkey "Settings".
    const std::wstring& profileKey() const { return profileKey_; }
    HINSTANCE resources() const { return module_; }

private:
    PluginApp();

    HINSTANCE module_ = nullptr;
    std::wstring appName_;
    std::wstring profileKey_;

    HWND hostWindow_ = nullptr;
    std::uint32_t hostInfoValue1_ = 0, hostInfoValue2_ = 0, hostCutValue_ = 0;
    UniqueGpPath hostPath_;
    float mediaWidth_ = 0;
    HWND mainWindow_ = nullptr;
    bool running_ = false;
};

}  // namespace vantrel::win
