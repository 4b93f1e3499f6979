#pragma once
// What the machine's tool does: straight moves with the tool raised or
// lowered, in machine steps. Both the simulated cutter and the job's reader
// (job_reader.h) record it; toolpath_render.h draws it.
namespace vantrel {

struct ToolPoint {
    double y = 0;  // along the carriage (first value of a pair)
    double x = 0;  // along the media feed (second value)
    bool operator==(const ToolPoint&) const = default;
};

struct ToolSegment {
    ToolPoint from, to;
    bool down = false;  // knife (or pen) lowered: this segment was cut
};

}  // namespace vantrel
