#pragma once
// The text of each event the diagnostics log records, without its time stamp
// (log_format.h adds that to every line). The log says what the link and the
// cut run did and what the user was told; it never holds the design itself:
// a job is described by its settings and its size only.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cutdata/cut_job.h"

namespace vantrel {

// One plug-in run: "plug-in run begins: Vantrel 3.0.0, 64-bit, built ...".
std::string runBeginsText(std::wstring_view appName, std::string_view version, int bits, std::string_view buildTime);
std::string runEndsText();

// What discovery made of one USB device interface.
enum class InterfaceVerdict {
    OtherVendor,       // the instance id names another vendor: not opened
    NoIdentification,  // our vendor, but it could not be opened or gave no IEEE 1284 id
    NotACutter,        // our vendor, and its id names no maker of cutters
    Cutter,            // the cutter discovery returns
    NotExamined,       // our vendor, after the cutter: discovery stops at the first
};

struct SeenInterface {
    std::wstring instanceId;
    InterfaceVerdict verdict = InterfaceVerdict::NotExamined;
    unsigned long error = 0;  // NoIdentification: the system's error code, 0 when none was given
    std::string deviceId;     // NotACutter and Cutter: the IEEE 1284 identification text
    friend bool operator==(const SeenInterface&, const SeenInterface&) = default;
};

// One discovery pass: every interface in enumeration order.
using DiscoveryPass = std::vector<SeenInterface>;

// A summary line ("discovery: 3 USB device interfaces, cutter found"), then
// one line per interface with its instance id and verdict.
std::string discoveryText(const DiscoveryPass& pass);

// The connection monitor searches once a second (and twice per connection,
// once for each channel) while no machine is connected: a pass is logged
// only when it finds something other than the last one logged, and the
// first pass after the link was made or lost is always logged.
class DiscoveryChanges {
public:
    // The pass's text when it is to be logged, else empty.
    std::string textIfChanged(const DiscoveryPass& pass);
    void linkChanged() { last_.reset(); }

private:
    std::optional<DiscoveryPass> last_;
};

// "outgoing channel not opened: <path>: error 5 (ERROR_ACCESS_DENIED)"
std::string channelNotOpenedText(bool outgoing, std::wstring_view path, unsigned long error);
// "connected: outgoing <path>, incoming <path>"
std::string connectedText(std::wstring_view outgoingPath, std::wstring_view incomingPath);
// The machine answered a status request with its idle character.
std::string identificationAskedText();
// "identified: "CAMEO V1.10", model 2 (CAMEO)"
std::string identifiedText(std::string_view identification, int model);
// "mark search answer: "E1234": no number, not found"; the code is what
// markSearchCode read (empty when the answer held no digits).
std::string markSearchAnswerText(std::string_view answer, std::optional<long> code);
// "command of 12 bytes not sent: the machine has not taken the last write"
std::string commandRefusedText(std::size_t bytes);
// "disconnected: <why>"
std::string disconnectedText(std::string_view why);
// "disconnected: the incoming channel failed: error 109 (ERROR_BROKEN_PIPE)"
std::string channelLostText(bool incoming, unsigned long error);

// "job start: WYSIWYG, 1234 bytes; force 10, speed 10, passes 1, blade
// offset on, carrier mat on, track enhancing off; model 2 (CAMEO); 508 x 508
// steps per inch; media width 12 in" (and the mark origin and extents of a
// Print and Cut job).
std::string jobStartText(const CutJob& job, std::size_t bytes, float dpiX, float dpiY, float mediaWidth);

enum class JobEnd {
    Sent,       // the whole job was written
    LinkLost,   // the link went while the job was on its way
    Abandoned,  // the dialog was closed while the job was being written
    Refused,    // no job could be made; nothing was sent
};
// "job end: sent, 1234 of 1234 bytes written in 2.345 s", and so on.
std::string jobEndText(JobEnd end, std::size_t bytes, unsigned long long elapsedMs);

// "message shown: "You are not connected to your Silhouette!""
std::string messageShownText(std::wstring_view text);

// The writer fell behind and dropped whole events rather than wait.
std::string droppedEventsText(std::size_t count);

}  // namespace vantrel
