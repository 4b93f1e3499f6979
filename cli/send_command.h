#pragma once
// vantrel-cut --send and --list: the machine found through libusb, the cut
// session on it, and what the user sees. Native builds only.
#include <string_view>

#include "cut_tool.h"

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
int runSend(const CutToolOptions& options, DesignTextSource& design, std::string_view designName);

}  // namespace vantrel::cli
