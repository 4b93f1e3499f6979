#pragma once
// A trace of a real machine (vantrel-cut --trace) played through the
// simulated machine: the host's bytes go in at their recorded times, and each
// reply the simulator makes is set beside the one the machine gave, in order.
#include <string>
#include <vector>

#include "model/machine.h"
#include "session/link_trace.h"

namespace vantrel::sim {

struct TraceReplay {
    std::size_t hostBytes = 0;
    std::size_t repliesCompared = 0;
    std::vector<std::string> differences;  // one line each, naming the trace line and time
};

// Each "usb" line starts a machine of its own, made with `config`.
TraceReplay replayTrace(const std::vector<TraceEntry>& trace, const MachineConfig& config);

}  // namespace vantrel::sim
