#pragma once
// The plug-in run as the host makes it, for end-to-end tests: a clean
// profile, OnPluginGetInfo, then OnPluginCutPath on a design while a driver
// thread acts on the main dialog through the window system.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "cutdata/cut_job.h"
#include "cutdata/path.h"
#include "support/simulator_process.h"
#include "support/win_test_support.h"

namespace vantrel::test {

inline const std::wstring MainDialogTitle = L"Cut project with Silhouette\u2122 Machine";
inline const std::wstring FinishedMessage = L"Finished sending all data to your Silhouette machine!";

class PluginRun : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The plug-in finds `sim` as its only cutter.
    void useSimulator(const SimulatorProcess& sim);
    // Runs the plug-in on `design` (SVG path data in inches) while `driver`
    // acts on its main dialog from its own thread. Whatever the driver leaves
    // open is closed afterwards, so the run always ends.
    void run(const char* design, const std::function<void(HWND dialog)>& driver);

    int storedInt(const char* name) const;
    void storeInt(const char* name, int value) const;

    // The job the main dialog sends for the design on a connected CAMEO with
    // the dialog's first settings, unless `adjust` changes them.
    std::string expectedJobWire(float dpiX = 508.0f, float dpiY = 508.0f,
                                const std::function<void(CutJob&)>& adjust = {}) const;

    GdiplusSession gdiplus_;
    TestWindow host_;
    Path design_;
};

// True once the status line reads "Connected [...]" and Start is enabled.
bool waitUntilConnected(HWND dialog, std::chrono::milliseconds timeout = std::chrono::seconds(15));
// Presses Start and waits for the message box `text`; null when none came.
HWND startAndWaitForMessage(HWND dialog, const std::wstring& text,
                            std::chrono::milliseconds timeout = std::chrono::seconds(30));
// The message box the dialog owns, when it shows `text`.
HWND messageBoxShowing(HWND dialog, const std::wstring& text);
// Waits until the main dialog's connection monitor has made `checks` more
// checks (one a second) and the dialog has handled everything posted to it
// before the last: a fault's aftermath has had its chance to show.
bool waitForConnectionChecks(HWND dialog, int checks, std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace vantrel::test
