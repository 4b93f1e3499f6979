// The calibration round trip as a user makes it, through the plug-in and the
// window system, against the simulated cutter: the main dialog connects,
// "Calibrate DPI" cuts the 6-inch square, the measured sizes give new
// resolutions, Apply stores them, and the next job from the main dialog is
// scaled by them.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "cutdata/commands.h"
#include "cutdata/cut_stream.h"
#include "driving/window_driving.h"
#include "plugin/win32/plugin_app.h"
#include "plugin/win32/registry_profile.h"
#include "resource.h"
#include "support/plugin_run.h"
#include "support/simulator_process.h"
#include "support/win_test_support.h"
#include "tools_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

const std::wstring CalibrationTitle = L"Calibrate Resolution";

// The square at 508 x 508 steps per inch as the machine must get it: the
// fixed job with the five-command move list, ETX after every command.
std::string squareAt508() {
    std::string job =
        "FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z4120,20000|FX10,0|!10,0|L0|L0|"
        "M508.000000,508.000000|D508.000000,3556.000000|D3556.000000,3556.000000|"
        "D3556.000000,508.000000|D508.000000,508.000000|&1,1,1|TB50,0|FO0|H|";
    for (char& c : job)
        if (c == '|') c = '\x03';
    return job;
}

// A closed figure with a curve and an open line, well inside a 12-inch mat.
const char* const Design = "M 1 1 L 4 1 L 4 3 Z M 1.5 1.5 C 2 2.5 2.5 0.5 3 1.5";

using driving::ownedDialog;
using driving::textOf;

bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Types `text` into an edit key by key, as the keyboard would.
bool typeInto(HWND edit, const std::wstring& text) {
    for (wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
    return waitFor([&] { return textOf(edit) == text; }, 3s);
}

// Clicks a button and waits for the message box it opens; answers it with
// `answer` and returns its text.
std::wstring clickAndAnswer(HWND button, const std::wstring& caption, int answer) {
    PostMessageW(button, BM_CLICK, 0, 0);
    HWND box = waitForOwnDialog(caption, 5s);
    if (!box) return L"(no message box)";
    std::wstring text = textOf(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, answer, 0);
    waitFor([&] { return !IsWindow(box); }, 5s);
    return text;
}

class CalibrationRoundTrip : public PluginRun {
protected:
    void run(const std::function<void(HWND dialog)>& driver) { PluginRun::run(Design, driver); }
    std::string jobWire(float dpiX, float dpiY) const { return expectedJobWire(dpiX, dpiY); }
};

TEST_F(CalibrationRoundTrip, SquareMeasuredAppliedAndTheNextJobUsesTheNewResolutions) {
    // Busy long enough after the square that waiting for the machine shows.
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"2000"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);

    std::wstring connected, question, xShown, yShown, finished;
    bool calibrationOpened = false, disabledWhileBusy = false, enabledWhenIdle = false, closedByApply = false;
    std::string busyStatus, idleStatus, receivedAfterSquare;
    std::size_t beforeSquare = 0, beforeStart = 0;
    run([&](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        if (!waitFor([&] { return textOf(preview).rfind(L"Connected [", 0) == 0; }, 15s)) return;
        connected = textOf(preview);
        if (!waitFor([&] { return enabled(dialog, IDC_CALIBRATE_DPI); }, 3s)) return;

        PostMessageW(GetDlgItem(dialog, IDC_CALIBRATE_DPI), BM_CLICK, 0, 0);
        HWND calibration = waitForOwnDialog(CalibrationTitle, 5s, IDC_CALIB_CALCULATE);
        if (!calibration) return;
        calibrationOpened = true;
        xShown = textOf(GetDlgItem(calibration, IDC_CALIB_X_DPI));
        yShown = textOf(GetDlgItem(calibration, IDC_CALIB_Y_DPI));

        beforeSquare = sim.received().size();
        PostMessageW(GetDlgItem(calibration, IDC_CALIB_CUT_SQUARE), BM_CLICK, 0, 0);
        const std::size_t squareBytes = squareAt508().size();
        sim.waitForReceived(beforeSquare + squareBytes, 5s);
        // The machine is busy with the square: the dialog waits with its controls off.
        busyStatus = sim.status();
        disabledWhileBusy = !enabled(calibration, IDOK) && !enabled(calibration, IDC_CALIB_WIDTH);
        enabledWhenIdle = waitFor([&] { return enabled(calibration, IDC_CALIB_WIDTH); }, 10s);
        idleStatus = sim.status();
        receivedAfterSquare = sim.received();

        typeInto(GetDlgItem(calibration, IDC_CALIB_WIDTH), L"6 1/16");
        typeInto(GetDlgItem(calibration, IDC_CALIB_HEIGHT), L"5 15/16");
        saveScreenshotIfAsked(calibration, L"calibration_dialog.png");
        question = clickAndAnswer(GetDlgItem(calibration, IDC_CALIB_CALCULATE), L"Results...", IDYES);
        waitFor([&] { return textOf(GetDlgItem(calibration, IDC_CALIB_X_DPI)) == L"502.763"; }, 3s);
        PostMessageW(GetDlgItem(calibration, IDOK), BM_CLICK, 0, 0);
        closedByApply = waitFor([&] { return !IsWindow(calibration); }, 5s);
        if (!closedByApply) return;

        // Back in the main dialog, which has its notifications again: Start.
        if (!waitFor([&] { return enabled(dialog, IDC_START); }, 3s)) return;
        beforeStart = sim.received().size();
        PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        HWND box = nullptr;
        if (!waitFor([&] { return (box = ownedDialog(dialog)) != nullptr; }, 30s)) return;
        finished = textOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        waitFor([&] { return !IsWindow(dialog); }, 10s);
    });

    EXPECT_EQ(connected, L"Connected [CAMEO V1.10]");
    ASSERT_TRUE(calibrationOpened);
    EXPECT_EQ(xShown, L"508.0");
    EXPECT_EQ(yShown, L"508.0");

    // The square went out whole, once, right after the button.
    const std::string square = squareAt508();
    ASSERT_GE(receivedAfterSquare.size(), beforeSquare);
    const std::string sinceSquare = receivedAfterSquare.substr(beforeSquare);
    EXPECT_EQ(sinceSquare.substr(0, square.size()), square);
    EXPECT_EQ(sinceSquare.find(square, 1), std::string::npos) << "sent once";
    EXPECT_NE(busyStatus.find("busy=1"), std::string::npos) << busyStatus;
    EXPECT_TRUE(disabledWhileBusy);
    EXPECT_TRUE(enabledWhenIdle);
    EXPECT_NE(idleStatus.find("busy=0"), std::string::npos) << idleStatus;
    // While waiting the dialog asked for the status itself, and nothing else.
    const std::string afterJob = sinceSquare.substr(std::min(square.size(), sinceSquare.size()));
    EXPECT_FALSE(afterJob.empty());
    for (std::size_t i = 0; i + 1 < afterJob.size(); i += 2) EXPECT_EQ(afterJob.substr(i, 2), "\x1B\x05");

    EXPECT_EQ(question,
              L"Based on the information you provided, your new resolution would be:\n\nX Axis: 502.763\n"
              L"Y Axis: 513.347\n\nWould you like to use these new values?");
    EXPECT_TRUE(closedByApply);
    {
        win::RegistryProfile profile(win::PluginApp::instance().profileKey());
        EXPECT_EQ(profile.readText("sil_dpix", u"none"), u"502.763");
        EXPECT_EQ(profile.readText("sil_dpiy", u"none"), u"513.347");
    }

    EXPECT_EQ(finished, FinishedMessage);
    const std::string received = sim.received();
    ASSERT_GT(received.size(), beforeStart);
    const std::string job = jobWire(502.763f, 513.347f);
    ASSERT_NE(job, jobWire(508.0f, 508.0f)) << "the design must tell the resolutions apart";
    ASSERT_GE(received.size() - beforeStart, job.size());
    EXPECT_EQ(received.substr(received.size() - job.size()), job) << "the job at the new resolutions, byte for byte";
    EXPECT_EQ(received.find(jobWire(508.0f, 508.0f)), std::string::npos);
    EXPECT_TRUE(sim.anomalies().empty());
}

TEST_F(CalibrationRoundTrip, CablePulledDuringTheSquareClosesTheCalibrationAndTheMainDialogReconnects) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"5000"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);

    bool squareSent = false, calibrationClosed = false, reconnected = false;
    std::wstring statusAfterPull;
    run([&](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        if (!waitFor([&] { return textOf(preview).rfind(L"Connected [", 0) == 0; }, 15s)) return;
        if (!waitFor([&] { return enabled(dialog, IDC_CALIBRATE_DPI); }, 3s)) return;
        PostMessageW(GetDlgItem(dialog, IDC_CALIBRATE_DPI), BM_CLICK, 0, 0);
        HWND calibration = waitForOwnDialog(CalibrationTitle, 5s, IDC_CALIB_CALCULATE);
        if (!calibration) return;
        SetDlgItemTextW(calibration, IDC_CALIB_X_DPI, L"600");
        const std::size_t before = sim.received().size();
        PostMessageW(GetDlgItem(calibration, IDC_CALIB_CUT_SQUARE), BM_CLICK, 0, 0);
        squareSent = sim.waitForReceived(before + squareAt508().size(), 5s);
        sim.unplug();
        calibrationClosed = waitFor([&] { return !IsWindow(calibration); }, 5s);
        // The main dialog learns of the loss too, and finds the machine again once it is back.
        waitFor([&] { return textOf(preview) == L"Not Connected"; }, 5s);
        statusAfterPull = textOf(preview);
        sim.replug();
        reconnected = waitFor([&] { return textOf(preview).rfind(L"Connected [", 0) == 0 && enabled(dialog, IDC_START); },
                              20s);
    });
    EXPECT_TRUE(squareSent);
    EXPECT_TRUE(calibrationClosed);
    EXPECT_EQ(statusAfterPull, L"Not Connected");
    EXPECT_TRUE(reconnected);
    win::RegistryProfile profile(win::PluginApp::instance().profileKey());
    EXPECT_EQ(profile.readText("sil_dpix", u"none"), u"none") << "nothing stored";
}

}  // namespace
}  // namespace vantrel::test
