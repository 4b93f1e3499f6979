#include "operations/win32/knife_point_positioning.h"

#include "operations/win32/test_cut_dialog.h"

namespace vantrel::win {

bool runKnifePointPositioning(HINSTANCE module, HWND mainDialog, MachinePort& port, int force, int speed,
                              bool bladeOffset) {
    TestCutDialog dialog(port, force, speed, bladeOffset, true);
    INT_PTR result = dialog.run(module, mainDialog);
    port.notifyTo(mainDialog);
    // Only a confirmed spot starts the job; a dialog that failed to open confirmed nothing.
    return result == IDOK;
}

}  // namespace vantrel::win
