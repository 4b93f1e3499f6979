#pragma once
// The simulated cutter's machine: it carries out decoded commands, keeps the
// tool position and a busy timer, produces the replies a real machine sends,
// and records everything it received and did. Time is passed in by the caller
// (milliseconds on any steady clock), so the model is exact under test.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/wire_decoder.h"
#include "toolpath/tool_path.h"

namespace vantrel::sim {

enum class SearchOutcome { Found, NotFound };

struct MachineConfig {
    // Answer to "FG", sent as it stands (real machines pad it with blanks).
    std::string identification = "CAMEO V1.10    ";
    // How long the machine reports busy after a job, a test cut or a
    // calibration square (each ends with "H" or "FH").
    std::int64_t busyMs = 1500;
    // Status character while idle; "1" always means busy.
    char idleStatus = '0';
    // Answers to successive "TB23" searches; the last one repeats.
    std::vector<SearchOutcome> searchOutcomes{SearchOutcome::Found};
    // Busy from time 0 until this time: a machine still finishing earlier work
    // when the plug-in connects.
    std::int64_t startBusyMs = 0;
    // Carriage travel while a jog direction is held, in steps per second.
    double jogStepsPerSecond = 1016.0;
};

// Faults that change what the machine answers.
struct MachineFaults {
    bool neverAnswerIdentify = false;  // "FG" gets no reply at all
    bool stayBusy = false;             // every status reply is "1"
    bool garbageReplies = false;       // every reply becomes GarbageReply
    bool repliesWithoutEtx = false;    // replies are sent without their ETX
};

// Bytes sent instead of a reply while garbageReplies is on (with ETX unless
// repliesWithoutEtx is on too).
inline constexpr std::string_view GarbageReply{"\x00\xFF\x7F#GARBAGE#\x1B", 13};

using vantrel::ToolPoint;
using vantrel::ToolSegment;

class Machine {
public:
    explicit Machine(MachineConfig config = {});

    MachineConfig& config() { return config_; }
    const MachineConfig& config() const { return config_; }
    MachineFaults& faults() { return faults_; }
    const MachineFaults& faults() const { return faults_; }

    // Takes bytes as they arrive at `nowMs` and returns the reply bytes, in
    // order, each reply ended by ETX.
    std::string receive(std::string_view bytes, std::int64_t nowMs);

    bool busy(std::int64_t nowMs) const;
    // Busy from `nowMs` for `ms` (or longer, if it already is).
    void busyFor(std::int64_t nowMs, std::int64_t ms);
    ToolPoint position() const { return position_; }
    // Where the tool is at `nowMs`, a jog still running included.
    ToolPoint positionAt(std::int64_t nowMs) const;
    bool toolDown() const { return toolDown_; }
    int force() const { return force_; }
    int speed() const { return speed_; }
    int searchesAnswered() const { return searchesAnswered_; }

    // The record.
    const std::string& received() const { return received_; }
    // Every decoded command, in `describe` form.
    const std::vector<std::string>& commandLog() const { return commandLog_; }
    const std::vector<ToolSegment>& toolPath() const { return toolPath_; }
    // Things a real machine would choke on: unknown or malformed commands,
    // a "|" on the wire, a curve that does not start at the current point.
    const std::vector<std::string>& anomalies() const { return anomalies_; }

    // Adds a finding of the link around the machine to the anomalies.
    void noteAnomaly(std::string text) { anomaly(std::move(text)); }
    // Forgets the record (not the position, settings or faults).
    void clearRecord();
    // Unplugging loses a half-received command and stops any jog.
    void connectionLost(std::int64_t nowMs);

private:
    void execute(const WireCommand& command, std::int64_t nowMs, std::string& replies);
    void executeText(const std::string& text, std::int64_t nowMs, std::string& replies);
    // Steps of executeText, one a kind of command; each says Unknown for a
    // word that is not its own.
    enum class TextOutcome { Done, Malformed, Unknown };
    TextOutcome executeMotion(const std::string& word, const std::vector<double>& p, const std::string& text,
                              std::int64_t nowMs);
    TextOutcome executeQuery(const std::string& word, const std::vector<double>& p, std::string& replies);
    TextOutcome executeSetting(const std::string& word, const std::vector<double>& p);
    // The outcome of the next mark search; the last configured one repeats.
    bool nextSearchFound();
    void reply(std::string_view text, std::string& replies) const;
    void moveTo(ToolPoint to, bool down);
    void cubic(ToolPoint p0, ToolPoint p1, ToolPoint p2, ToolPoint p3);
    void testPattern();
    void settleJog(std::int64_t nowMs);
    // Where the running jog, if any, has taken the tool by `nowMs`.
    ToolPoint joggedTo(std::int64_t nowMs) const;
    void anomaly(std::string text);

    MachineConfig config_;
    MachineFaults faults_;
    WireDecoder decoder_;
    std::vector<WireCommand> decoded_;

    ToolPoint position_;
    bool toolDown_ = false;
    int force_ = 0;
    int speed_ = 0;
    std::int64_t busyUntil_ = 0;
    bool busyEver_ = false;
    std::uint8_t jogCode_ = 0;
    std::int64_t jogSince_ = 0;
    int searchesAnswered_ = 0;

    std::string received_;
    std::vector<std::string> commandLog_;
    std::vector<ToolSegment> toolPath_;
    std::vector<std::string> anomalies_;
};

}  // namespace vantrel::sim
