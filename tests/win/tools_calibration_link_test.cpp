// The calibration round trip over the real port threads and a cutter on
// named pipes: the square reaches the machine whole, the dialog waits for it
// to be idle, the new resolutions are stored, and the threads go back to the
// main dialog afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include "cutdata/commands.h"
#include "device/win32/worker_thread.h"
#include "device_fake_cutter.h"
#include "resource.h"
#include "settings/settings.h"
#include "support/win32/resource_text.h"
#include "support/win_test_support.h"
#include "tools/calibration.h"
#include "tools/win32/calibration_dialog.h"
#include "tools_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

TEST(CalibrationOverThePorts, SquareIsCutMeasuredAndStored) {
    GdiplusSession gdiplus;
    TestWindow mainDialog;
    MemoryProfile profile;
    FakeCutter cutter({.busyAnswers = 3});
    cutter.plug();
    win::PortReader reader;
    win::PortWriter writer;
    ASSERT_TRUE(reader.Start(mainDialog.hwnd(), win::WM_READER_EVENT, THREAD_PRIORITY_NORMAL, true));
    ASSERT_TRUE(writer.Start(mainDialog.hwnd(), win::WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true));
    ASSERT_TRUE(writer.openChannel(cutter.base() + L"\\.00"));
    ASSERT_TRUE(reader.openChannel(cutter.base() + L"\\.01"));

    HWND notifiedWhileOpen = nullptr;
    bool idleAgain = false;
    DriverThread driver([&] {
        HWND dialog = waitForOwnDialog(L"Calibrate Resolution", 10s, IDC_CALIB_CALCULATE);
        if (!dialog) return;
        notifiedWhileOpen = reader.notifyWindow() == writer.notifyWindow() ? reader.notifyWindow() : nullptr;
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CUT_SQUARE, 0);
        waitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDOK)); }, 5s);
        // Three busy answers, then idle: the controls come back.
        idleAgain = waitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; }, 10s);
        SetDlgItemTextW(dialog, IDC_CALIB_WIDTH, L"6 1/16");
        SetDlgItemTextW(dialog, IDC_CALIB_HEIGHT, L"5 15/16");
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CALCULATE, 0);
        if (HWND box = waitForOwnDialog(L"Results...", 5s)) {
            PostMessageW(box, WM_COMMAND, IDYES, 0);
            waitFor([&] { return !IsWindow(box); }, 5s);
        }
        waitFor([&] { return windowText(GetDlgItem(dialog, IDC_CALIB_X_DPI)) == L"502.763"; }, 5s);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        if (!waitFor([&] { return !IsWindow(dialog); }, 5s)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    win::PortThreadsLink port(reader, writer);
    bool applied = win::runCalibration(win::thisModule(), mainDialog.hwnd(), profile, port, nullptr);
    driver.join();

    EXPECT_TRUE(applied);
    EXPECT_NE(notifiedWhileOpen, nullptr);
    EXPECT_NE(notifiedWhileOpen, mainDialog.hwnd());
    EXPECT_EQ(reader.notifyWindow(), mainDialog.hwnd());
    EXPECT_EQ(writer.notifyWindow(), mainDialog.hwnd());
    EXPECT_TRUE(idleAgain);
    // The machine got the square whole, with ETX after every command, then status requests.
    const std::string job = toWire(calibrationSquareJob(508, 508));
    std::string received = cutter.received();
    ASSERT_GE(received.size(), job.size());
    EXPECT_EQ(received.substr(0, job.size()), job);
    EXPECT_GE(cutter.statusRequests(), 4);
    // Stored as shown, and what the next job reads.
    EXPECT_EQ(profile.storedText(DpiXSetting), u"502.763");
    EXPECT_EQ(profile.storedText(DpiYSetting), u"513.347");
    Resolution next = readResolution(profile);
    EXPECT_FLOAT_EQ(next.dpiX, 502.763f);
    EXPECT_FLOAT_EQ(next.dpiY, 513.347f);

    writer.closeChannel();
    reader.closeChannel();
    writer.Stop();
    reader.Stop();
    // Replies that reached the stand-in main window after the dialog closed are freed here.
    MSG message;
    while (PeekMessageW(&message, mainDialog.hwnd(), win::WM_READER_EVENT, win::WM_READER_EVENT, PM_REMOVE))
        if (static_cast<LONG_PTR>(message.wParam) >= 0) win::takeReplyText(message.lParam);
}

}  // namespace
}  // namespace vantrel::test
