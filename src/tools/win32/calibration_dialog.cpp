#include "tools/win32/calibration_dialog.h"

#include <memory>

#include "cutdata/commands.h"
#include "device/machine_replies.h"
#include "log/win32/diagnostics_run.h"
#include "resource.h"
#include "settings/measurement.h"
#include "settings/settings.h"
#include "tools/calibration.h"
#include "tools/win32/depth_icons.h"
#include "tools/win32/help_dialog.h"

namespace vantrel::win {

namespace {
constexpr ui::Argb TitleWhite = 0xFFFFFFFF;
constexpr ui::Argb TitleShadow = 0xFF000000;
// The dialogs' orange in place of the group box's own red.
constexpr ui::Argb BandOrange = 0xFFFF6400;
}  // namespace

bool CalibrationDialog::onInit() {
    link_.notifyTo(hwnd());
    dressControls();
    // The key reaches a disabled control that kept the focus or, with no
    // window focused, the dialog itself as WM_SYSKEYDOWN (as Windows
    // documents for keys pressed while nothing has the focus).
    escapeWhileCutting_.start(hwnd(), [this](MSG& msg) {
        if (!cutting_ || msg.wParam != VK_ESCAPE || (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN))
            return false;
        onCancel();
        return true;
    });
    std::u16string textX, textY;
    readResolution(profile_, &textX, &textY);
    SetDlgItemTextW(hwnd(), IDC_CALIB_X_DPI, wide(textX).c_str());
    SetDlgItemTextW(hwnd(), IDC_CALIB_Y_DPI, wide(textY).c_str());
    return true;
}

void CalibrationDialog::dressControls() {
    resolutionGroup_.attach(hwnd(), IDC_CALIB_RESOLUTION_GROUP);
    calculatorGroup_.attach(hwnd(), IDC_CALIB_CALCULATOR_GROUP);
    separator_.attach(hwnd(), IDC_CALIB_SEPARATOR);
    for (SkinGroupBox* group : {&resolutionGroup_, &calculatorGroup_})
        group->setColours(TitleWhite, TitleShadow, BandOrange, GetSysColor(COLOR_BTNFACE));
    // Its click comes back as a command with the group box's id (see onCommand).
    calculatorGroup_.setIconFromResource(module_, IDPNG_HELP_ICON);
}

std::u16string CalibrationDialog::fieldText(int id) const { return utf16(windowText(item(id))); }

void CalibrationDialog::invalidInput() {
    logMessageShown(wide(InvalidInputMessage).c_str());
    MessageBoxW(hwnd(), wide(InvalidInputMessage).c_str(), wide(InvalidInputCaption).c_str(), MB_OK | MB_ICONERROR);
}

bool CalibrationDialog::onCommand(int id, int notifyCode, HWND control) {
    switch (id) {
        case IDC_CALIB_CUT_SQUARE:
            cutSquare();
            return true;
        case IDC_CALIB_CALCULATE:
            calculate();
            return true;
        case IDC_CALIB_CALCULATOR_GROUP:
            // The help icon of the calculator's group box.
            if (help_) help_->showPage(CalibrationHelp, hwnd());
            return true;
        default:
            return Dialog::onCommand(id, notifyCode, control);
    }
}

void CalibrationDialog::enableChildren(bool enable) {
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        EnableWindow(child, enable);
        InvalidateRect(child, nullptr, TRUE);
    }
}

void CalibrationDialog::cutSquare() {
    const double xdpi = ParseMeasurement(fieldText(IDC_CALIB_X_DPI));
    const double ydpi = ParseMeasurement(fieldText(IDC_CALIB_Y_DPI));
    // A square at zero or negative steps per inch would be cut as a point or
    // mirrored off the media: ask for usable values instead.
    if (!resolutionUsable(xdpi) || !resolutionUsable(ydpi)) {
        invalidInput();
        return;
    }
    cutting_ = true;
    enableChildren(false);
    link_.enqueue(calibrationSquareJob(xdpi, ydpi));
    SetTimer(hwnd(), StatusTimer, StatusPeriodMs, nullptr);
}

bool CalibrationDialog::onTimer(UINT_PTR id) {
    if (id != StatusTimer) return false;
    link_.pollStatus();
    return true;
}

void CalibrationDialog::machineFinished() {
    KillTimer(hwnd(), StatusTimer);
    cutting_ = false;
    enableChildren(true);
    SetFocus(item(IDC_CALIB_WIDTH));
}

bool CalibrationDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) {
    if (message == WM_CLOSE) {
        // The close box, in every state (see cutting_).
        onCancel();
        return true;
    }
    if (message != WM_READER_EVENT && message != WM_WRITER_EVENT) return false;
    // Either channel lost closes the dialog as Cancel does: without the
    // outgoing one no status request reaches the machine, and the controls
    // would wait for its answer for ever.
    if (losses_.note(message, wParam)) {
        onCancel();
        return true;
    }
    if (message == WM_WRITER_EVENT) return false;
    if (wParam == THREAD_STARTED) return true;
    std::unique_ptr<char[]> text = takeReplyText(lParam);
    const std::string reply = text ? std::string(text.get()) : std::string();
    // Anything not beginning busy means the machine has finished: the square,
    // or whatever it was doing when the dialog opened.
    if (!beginsBusy(reply)) machineFinished();
    return true;
}

void CalibrationDialog::calculate() {
    auto proposal = proposeResolution(fieldText(IDC_CALIB_X_DPI), fieldText(IDC_CALIB_Y_DPI),
                                      fieldText(IDC_CALIB_WIDTH), fieldText(IDC_CALIB_HEIGHT));
    if (!proposal) {
        invalidInput();
        return;
    }
    if (MessageBoxW(hwnd(), wide(resultsQuestion(*proposal)).c_str(), wide(ResultsCaption).c_str(),
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    SetDlgItemTextA(hwnd(), IDC_CALIB_X_DPI, proposal->xText.c_str());
    SetDlgItemTextA(hwnd(), IDC_CALIB_Y_DPI, proposal->yText.c_str());
}

void CalibrationDialog::onOk() {
    std::u16string textX = fieldText(IDC_CALIB_X_DPI);
    std::u16string textY = fieldText(IDC_CALIB_Y_DPI);
    // Stored texts are what every later job is scaled by: one that reads as
    // zero or less would turn them all into zeros.
    if (!resolutionTextsUsable(textX, textY)) {
        invalidInput();
        return;
    }
    saveResolutionTexts(profile_, textX, textY);
    end(IDOK);
}

void CalibrationDialog::onDestroy() {
    handNotificationsBack(link_, hwnd(), GetWindow(hwnd(), GW_OWNER), losses_);
    KillTimer(hwnd(), StatusTimer);
    escapeWhileCutting_.stop();
}

bool runCalibration(HINSTANCE module, HWND mainDialog, Profile& profile, MachinePort& port, HelpDialog* help) {
    struct GiveBack {
        MachinePort& port;
        HWND window;
        ~GiveBack() { port.notifyTo(window); }
    } giveBack{port, mainDialog};
    CalibrationDialog dialog(module, profile, port, help);
    return dialog.run(mainDialog);
}

}  // namespace vantrel::win
