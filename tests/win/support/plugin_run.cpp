#include "support/plugin_run.h"

#include "cutdata/commands.h"
#include "cutdata/cut_stream.h"
#include "design/design_file.h"
#include "device/win32/connection_monitor.h"
#include "driving/window_driving.h"
#include "job/cut_run.h"
#include "plugin/win32/plugin_app.h"
#include "plugin/win32/registry_profile.h"
#include "resource.h"

namespace vantrel::test {

using namespace std::chrono_literals;
using driving::ownedDialog;
using driving::textOf;

void PluginRun::SetUp() {
    auto& app = win::PluginApp::instance();
    RegDeleteTreeW(HKEY_CURRENT_USER, app.profileKey().c_str());
    wchar_t menu[24], description[116];
    std::uint32_t id = 0;
    app.getInfo(menu, description, host_.hwnd(), &id, 0, 0);
}

void PluginRun::TearDown() { SetEnvironmentVariableW(L"VANTREL_SIMULATOR", nullptr); }

void PluginRun::useSimulator(const SimulatorProcess& sim) {
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", sim.pipeBase().c_str());
}

namespace {
// The innermost dialog of the chain the main dialog owns (a message box over
// a calibration dialog, say), or null when it owns none.
HWND innermostOwned(HWND dialog) {
    HWND innermost = nullptr;
    for (HWND next = ownedDialog(dialog); next; next = ownedDialog(next)) innermost = next;
    return innermost;
}
}  // namespace

void PluginRun::run(const char* design, const std::function<void(HWND dialog)>& driver) {
    auto parsed = parseDesign(design);
    ASSERT_TRUE(parsed.ok) << parsed.errorText();
    design_ = parsed.path;
    Gdiplus::GraphicsPath path(reinterpret_cast<const Gdiplus::PointF*>(design_.points.data()), design_.types.data(),
                               static_cast<INT>(design_.size()));
    DriverThread thread([&] {
        HWND dialog = waitForDialog(MainDialogTitle, 10s);
        if (!dialog) return;
        driver(dialog);
        // Cancel, or OK for a box that has no Cancel, until the dialog has
        // gone: a box takes the first, and a dialog still preparing a job's
        // stream ignores Cancel until the stream is ready.
        const auto giveUp = std::chrono::steady_clock::now() + 30s;
        for (int i = 0; IsWindow(dialog) && std::chrono::steady_clock::now() < giveUp; ++i) {
            if (HWND owned = innermostOwned(dialog)) PostMessageW(owned, WM_COMMAND, i % 2 ? IDOK : IDCANCEL, 0);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            waitFor([&] { return !IsWindow(dialog); }, 100ms);
        }
    });
    win::PluginApp::instance().cutPath(&path, 0, 12.0f);
}

int PluginRun::storedInt(const char* name) const {
    win::RegistryProfile profile(win::PluginApp::instance().profileKey());
    return profile.readInt(name, -1000);
}

void PluginRun::storeInt(const char* name, int value) const {
    win::RegistryProfile profile(win::PluginApp::instance().profileKey());
    profile.writeInt(name, value);
}

std::string PluginRun::expectedJobWire(float dpiX, float dpiY, const std::function<void(CutJob&)>& adjust) const {
    // The dialog's first settings on a clean profile.
    CutJob job = buildCutJob(CutSettings{}, design_, CutterModelCameo, std::nullopt);
    if (adjust) adjust(job);
    CutStreamResult built = buildCutStream(job, dpiX, dpiY, 12.0f);
    return built.ok() ? toWire(built.text) : std::string("no job");
}

bool waitUntilConnected(HWND dialog, std::chrono::milliseconds timeout) {
    HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
    if (!waitFor([&] { return textOf(preview).rfind(L"Connected [", 0) == 0; }, timeout)) return false;
    return waitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_START)) != FALSE; }, 3s);
}

HWND messageBoxShowing(HWND dialog, const std::wstring& text) {
    HWND box = ownedDialog(dialog);
    return box && textOf(GetDlgItem(box, 0xFFFF)) == text ? box : nullptr;
}

HWND startAndWaitForMessage(HWND dialog, const std::wstring& text, std::chrono::milliseconds timeout) {
    PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
    HWND box = nullptr;
    waitFor([&] { return (box = messageBoxShowing(dialog, text)) != nullptr; }, timeout);
    return box;
}

bool waitForConnectionChecks(HWND dialog, int checks, std::chrono::milliseconds timeout) {
    TimerTicks ticks(dialog, win::TIMER_CONNECT);
    return ticks.waitForMore(checks, timeout);
}

}  // namespace vantrel::test
