#pragma once
// vantrel-cut --send and --list: the machine found through libusb, the cut
// session on it, and what the user sees. Native builds only.
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "cut_tool.h"
#include "usb/usb_link.h"

namespace vantrel::cli {

// Exit statuses, as --help lists them.
enum SendExit : int {
    ExitDone = 0,
    ExitFailure = 1,
    ExitBadInput = 2,
    ExitConnectionLost = 3,
    ExitNoMachine = 4,
    ExitNoPermission = 5,
    ExitInUse = 6,
    ExitBusyOrSilent = 7,
    ExitStalled = 8,
    ExitMarksDeclined = 9,
    ExitInterrupted = 130,
};

int runList();
int runDoctor(const std::string& tracePath);

// The status for a device that could not be used.
int exitFor(UsbFailure failure);
// The --trace file, opened before the machine is touched; null and `error`
// set when it cannot be written.
std::unique_ptr<std::ofstream> openTraceFile(const std::string& path, std::string& error);
int runSend(const CutToolOptions& options, DesignTextSource& design, std::string_view designName);

}  // namespace vantrel::cli
