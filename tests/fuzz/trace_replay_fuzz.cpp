// Any text as a trace file handed to vantrel-sim-replay (a trace comes from
// a user's report, so it is outside input): it is read, each entry's bytes
// escaped as the trace writes them read back the same, and the trace played
// through the simulated machine, which must neither crash nor hang at any
// time the lines name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "replay/trace_replay.h"
#include "session/link_trace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel;
    std::string error;
    const std::vector<TraceEntry> trace =
        parseTrace(std::string_view(reinterpret_cast<const char*>(data), size), error);
    for (const TraceEntry& e : trace) {
        std::string again;
        if (!traceUnescape(traceEscape(e.bytes), again) || again != e.bytes) std::abort();
    }
    (void)sim::replayTrace(trace, sim::MachineConfig{});
    return 0;
}
