#pragma once
// Jogging the carriage by hand, then either the machine's built-in test cut
// at that spot or, for a "Knife Point" job, confirming the spot where the job
// is to start.
#include <windows.h>

#include "operations/test_cut.h"
#include "device/win32/machine_port.h"
#include "support/win32/unique_handle.h"
#include "ui/win32/dialog.h"
#include "ui/win32/jog_button.h"
#include "ui/win32/modal_keys.h"
#include "ui/win32/skin_group_box.h"

namespace vantrel::win {

class TestCutDialog : public Dialog {
public:
    // `force` and `speed` are the main dialog's slider levels. The Blade
    // Offset state is taken but not used: the test pattern always runs
    // without blade offset. `silentTicksAllowed` is how many 200 ms status
    // ticks a test may go without an idle reply before Escape works again.
    TestCutDialog(MachinePort& port, int force, int speed, bool bladeOffset, bool knifePointMode,
                  int silentTicksAllowed = SilentTestTicksAllowed);
    ~TestCutDialog() override;

    // Runs the dialog modally over `parent`. Knife-point mode: IDOK when the
    // user confirmed the spot, IDCANCEL when the dialog was closed. As its
    // window goes the dialog hands the port threads' notifications to `parent`
    // and frees the replies it never read (handNotificationsBack); the caller
    // points them at itself.
    INT_PTR run(HINSTANCE module, HWND parent);

    bool knifePointMode() const { return session_.knifePointMode(); }
    bool bladeOffset() const { return bladeOffset_; }
    bool moved() const { return session_.moved(); }
    bool busy() const { return session_.busy(); }

protected:
    bool onInit() override;
    bool onCommand(int id, int notifyCode, HWND control) override;
    bool onTimer(UINT_PTR id) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onCancel() override;
    void onOk() override {}
    void onDestroy() override;

private:
    static constexpr UINT_PTR TIMER_KEYS = 1;
    static constexpr UINT_PTR TIMER_STATUS = 2;

    void carryOut(const TestCutStep& step);
    void setChildrenEnabled(bool enabled);
    ArrowKeys readArrowKeys() const;

    MachinePort& port_;
    bool bladeOffset_;
    TestCutSession session_;
    PortLosses losses_;
    // Arrow keys would move the focus between the buttons; the timer reads them instead.
    ModalLoopKeys arrowKeys_;
    HINSTANCE module_ = nullptr;
    SkinGroupBox frame_;
    // Up, Left, Down, Right; the pictures outlive the buttons' use of them.
    UniqueGdiObject pictures_[4];
    JogButton jogButtons_[4];
};

// The Test Cut button of the main dialog: the dialog in test mode, then the
// port threads pointed back at `mainDialog`.
void runTestCut(HINSTANCE module, HWND mainDialog, MachinePort& port, int force, int speed, bool bladeOffset);

inline void runTestCut(HINSTANCE module, HWND mainDialog, PortReader& reader, PortWriter& writer, int force,
                       int speed, bool bladeOffset) {
    PortThreadsLink link(reader, writer);
    runTestCut(module, mainDialog, link, force, speed, bladeOffset);
}

}  // namespace vantrel::win
