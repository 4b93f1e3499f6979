#include "plugin/win32/plugin_app.h"

#include <memory>

#include "log/win32/diagnostics_run.h"
#include "plugin/win32/cut_dialog.h"
#include "plugin/win32/host_graphics_path.h"
#include "plugin/win32/host_settings.h"
#include "plugin/win32/registry_profile.h"
#include "resource.h"
#include "support/win32/resource_text.h"
#include "tools/win32/about_dialog.h"

namespace vantrel::win {

namespace {

// The log's first line: name, version, 32- or 64-bit and build time. Empty,
// and so no log for this run, when even that cannot be made.
std::string runBeginsLine(const std::wstring& appName) noexcept {
    try {
        return runBeginsText(appName, moduleVersionText(appName), static_cast<int>(sizeof(void*) * 8),
                             libraryBuildTime());
    } catch (...) {
        return {};
    }
}

// Copies a whole string-table entry with its terminating zero. The host passes
// no length; its buffers hold at least 24 and 116 units.
void copyWhole(wchar_t* destination, const std::wstring& text) {
    if (!destination) return;
    text.copy(destination, text.size());
    destination[text.size()] = L'\0';
}

}  // namespace

PluginApp& PluginApp::instance() {
    static PluginApp app;
    return app;
}

PluginApp::PluginApp() : module_(thisModule()) {
    appName_ = moduleBaseName(module_);
    // ActiveX hosting needs nothing here: the help view hosts its browser itself.
    profileKey_ = L"Software\\" + loadResourceString(module_, IDS_PROFILE_KEY) + L"\\" + appName_;
}

void PluginApp::getInfo(wchar_t* menuText, wchar_t* description, HWND hostWindow, std::uint32_t* interfaceId,
                        std::uint32_t hostValue1, std::uint32_t hostValue2) {
    copyWhole(menuText, loadResourceString(module_, IDS_MENU_TEXT));
    copyWhole(description, loadResourceString(module_, IDS_DESCRIPTION));
    hostWindow_ = hostWindow;
    hostInfoValue1_ = hostValue1;
    hostInfoValue2_ = hostValue2;
    if (interfaceId) *interfaceId = PluginInterfaceId;
}

void PluginApp::cutPath(void* hostGraphicsPath, std::uint32_t hostValue, float mediaWidth) {
    // One run at a time: a call from inside a running dialog's message loop
    // must not replace the path the dialog is showing.
    if (!hostGraphicsPath || running_) return;
    // The host owns its path; we copy it and keep no reference to the original.
    auto* host = static_cast<HostGraphicsPath*>(hostGraphicsPath);
    GpPath* copy = nullptr;
    GpStatus status = gp::GdipClonePath(host->nativePath, &copy);
    if (status != Gdiplus::Ok || copy == nullptr) {
        // As GraphicsPath::Clone does: the failure is left in the host's object.
        host->lastStatus = status != Gdiplus::Ok ? status : Gdiplus::OutOfMemory;
        return;
    }
    hostPath_.reset(copy);
    hostCutValue_ = hostValue;
    mediaWidth_ = mediaWidth;

    running_ = true;
    // Outlives the dialog, so that the dialog's last events are logged.
    DiagnosticsRun diagnostics(runBeginsLine(appName_));
    RegistryProfile profile(profileKey_);
    RegistryHostMarkSettings hostSettings;
    auto dialog = std::make_unique<CutDialog>(*this, profile, hostSettings);
    try {
        dialog->run(hostWindow_);
    } catch (...) {
        hostPath_.reset();
        running_ = false;
        throw;
    }
    hostPath_.reset();
    dialog.reset();
    running_ = false;
}

}  // namespace vantrel::win
