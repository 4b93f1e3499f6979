#include "replay/trace_replay.h"

#include <deque>
#include <memory>

namespace vantrel::sim {
namespace {

// What a reply answers, said as the user knows it.
std::string whatWasAsked(const std::string& command) {
    if (command.find("\x1b\x05") != std::string::npos) return "the status request";
    if (command.find("FG") != std::string::npos) return "the identification request (FG)";
    if (command.find("TB23") != std::string::npos) return "the registration mark search (TB23)";
    return "\"" + traceEscape(command.substr(0, 40)) + "\"";
}

struct Reply {
    std::string bytes;  // with its ETX
    std::string askedBy;
};

// Moves the replies ended by ETX from `stream` to `replies`.
void takeReplies(std::string& stream, std::deque<Reply>& replies, const std::string& askedBy) {
    for (std::size_t etx; (etx = stream.find('\x03')) != std::string::npos;) {
        replies.push_back({stream.substr(0, etx + 1), askedBy});
        stream.erase(0, etx + 1);
    }
}

class Comparison {
public:
    Comparison(const MachineConfig& config, TraceReplay& result) : config_(config), result_(result) {}

    void start(std::int64_t ms) {
        finish();
        machine_ = std::make_unique<Machine>(config_);
        startMs_ = ms;
    }
    void host(const TraceEntry& e) {
        if (!machine_) start(e.ms);
        result_.hostBytes += e.bytes.size();
        simulated_ += machine_->receive(e.bytes, e.ms - startMs_);
        takeReplies(simulated_, simulatedReplies_, e.bytes);
    }
    void machine(const TraceEntry& e) {
        recorded_ += e.bytes;
        std::deque<Reply> replies;
        takeReplies(recorded_, replies, {});
        for (const Reply& r : replies) {
            ++result_.repliesCompared;
            const std::string at = "line " + std::to_string(e.line) + ", " + std::to_string(e.ms) + " ms: ";
            if (simulatedReplies_.empty()) {
                result_.differences.push_back(at + "the machine answered \"" + traceEscape(r.bytes) +
                                              "\" where the simulator said nothing");
                continue;
            }
            const Reply s = simulatedReplies_.front();
            simulatedReplies_.pop_front();
            if (s.bytes != r.bytes)
                result_.differences.push_back(at + "to " + whatWasAsked(s.askedBy) + " the machine answered \"" +
                                              traceEscape(r.bytes) + "\", the simulator \"" + traceEscape(s.bytes) +
                                              "\"");
        }
    }
    // What is left over on either side once the trace (or one device's part) ends.
    void finish() {
        for (const Reply& s : simulatedReplies_)
            result_.differences.push_back("at the end: to " + whatWasAsked(s.askedBy) + " the simulator answered \"" +
                                          traceEscape(s.bytes) + "\" where the machine said nothing");
        if (!recorded_.empty())
            result_.differences.push_back("at the end: the machine sent \"" + traceEscape(recorded_) +
                                          "\" without an ETX after it");
        simulatedReplies_.clear();
        recorded_.clear();
        simulated_.clear();
    }

private:
    MachineConfig config_;
    TraceReplay& result_;
    std::unique_ptr<Machine> machine_;
    std::int64_t startMs_ = 0;
    std::string simulated_, recorded_;
    std::deque<Reply> simulatedReplies_;
};

}  // namespace

TraceReplay replayTrace(const std::vector<TraceEntry>& trace, const MachineConfig& config) {
    TraceReplay result;
    Comparison comparison(config, result);
    for (const TraceEntry& e : trace) {
        switch (e.kind) {
            case TraceEntry::Kind::Usb: comparison.start(e.ms); break;
            case TraceEntry::Kind::ToMachine: comparison.host(e); break;
            case TraceEntry::Kind::FromMachine: comparison.machine(e); break;
            case TraceEntry::Kind::DeviceId: break;  // read by the USB link, not the machine's command language
        }
    }
    comparison.finish();
    return result;
}

}  // namespace vantrel::sim
