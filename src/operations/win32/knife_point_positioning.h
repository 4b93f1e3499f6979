#pragma once
// The knife positioning step of a "Knife Point" cut run: the test-cut dialog
// in knife-point mode, where the user jogs the knife to the spot the design
// is cut from.
#include <windows.h>

#include "device/win32/machine_port.h"

namespace vantrel::win {

// Runs the dialog in knife-point mode over `mainDialog` and points the port
// threads back at it. True when the job is to be cut from where the carriage
// now stands.
bool runKnifePointPositioning(HINSTANCE module, HWND mainDialog, MachinePort& port, int force, int speed,
                              bool bladeOffset);

inline bool runKnifePointPositioning(HINSTANCE module, HWND mainDialog, PortReader& reader, PortWriter& writer,
                                     int force, int speed, bool bladeOffset) {
    PortThreadsLink link(reader, writer);
    return runKnifePointPositioning(module, mainDialog, link, force, speed, bladeOffset);
}

}  // namespace vantrel::win
