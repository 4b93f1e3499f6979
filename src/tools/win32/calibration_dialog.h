#pragma once
// Resolution calibration: cuts a 6-inch square at the resolutions typed in,
// proposes corrected ones from its measured size and stores them on Apply.
#include <string>
#include <string_view>

#include "device/win32/machine_port.h"
#include "settings/profile.h"
#include "ui/win32/dialog.h"
#include "ui/win32/modal_keys.h"
#include "ui/win32/separator.h"
#include "ui/win32/skin_group_box.h"
#include "ids_tools.h"

namespace vantrel::win {

class HelpDialog;

class CalibrationDialog : public Dialog {
public:
    static constexpr int TemplateId = IDD_CALIBRATION;
    static constexpr UINT_PTR StatusTimer = 1;
    static constexpr UINT StatusPeriodMs = 255;

    // `help` is the main dialog's help window; null when it has none.
    CalibrationDialog(HINSTANCE module, Profile& profile, MachinePort& link, HelpDialog* help)
        : module_(module), profile_(profile), link_(link), help_(help) {}
    // True when the resolutions were stored with Apply. The caller points the
    // port threads back at itself afterwards, however it ended.
    bool run(HWND owner) { return runModal(module_, TemplateId, owner) == IDOK; }

protected:
    bool onInit() override;
    bool onCommand(int id, int notifyCode, HWND control) override;
    bool onTimer(UINT_PTR id) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onOk() override;
    void onDestroy() override;

private:
    std::u16string fieldText(int id) const;
    void cutSquare();
    void machineFinished();
    void calculate();
    void dressControls();
    void enableChildren(bool enable);
    void invalidInput();

    HINSTANCE module_;
    Profile& profile_;
    MachinePort& link_;
    HelpDialog* help_;
    PortLosses losses_;
    // While the square is cut every control is off, Cancel too, and the
    // dialog manager then only beeps on Escape and the close box (Windows
    // sends IDCANCEL for them only while that button is enabled): the dialog
    // takes both itself.
    bool cutting_ = false;
    ModalLoopKeys escapeWhileCutting_;
    SkinGroupBox resolutionGroup_;
    SkinGroupBox calculatorGroup_;
    Separator separator_;
};

// What the main dialog's "Calibrate DPI" does: runs the calibration on the
// port threads' notifications, then gives them back to `mainDialog` however
// it ended. True when new resolutions were stored.
bool runCalibration(HINSTANCE module, HWND mainDialog, Profile& profile, MachinePort& port, HelpDialog* help);

}  // namespace vantrel::win
