// The library's two exports. They are plain names with fixed ordinals (see the
// .def files) and the WINAPI convention; no exception may reach the host.
#include <windows.h>

#include <cstdint>

#include "plugin/win32/plugin_app.h"

using vantrel::win::PluginApp;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        try {
            PluginApp::instance();
        } catch (...) {
            return FALSE;
        }
    }
    return TRUE;
}

extern "C" void WINAPI OnPluginGetInfo(wchar_t* menuText, wchar_t* description, HWND hostWindow,
                                       std::uint32_t* interfaceId, std::uint32_t hostValue1,
                                       std::uint32_t hostValue2) {
    try {
        PluginApp::instance().getInfo(menuText, description, hostWindow, interfaceId, hostValue1, hostValue2);
    } catch (...) {
    }
}

extern "C" void WINAPI OnPluginCutPath(void* hostGraphicsPath, std::uint32_t hostValue, float mediaWidth) {
    try {
        PluginApp::instance().cutPath(hostGraphicsPath, hostValue, mediaWidth);
    } catch (...) {
    }
}
