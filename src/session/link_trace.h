#pragma once
// A trace of what crossed the cable, as text a person can read and attach to
// a report: one line per command (or part of one) that crossed,
// "TIME DIRECTION BYTES", the time in
// milliseconds from the trace's start, ">" to the machine, "<" from it, "id"
// for the IEEE 1284 id it gave, "usb" for its vendor:product, the bytes with
// control characters, "\" and bytes above 0x7E written as \xNN. Nothing else
// goes in: a trace may be shared as it stands.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "session/machine_link.h"

namespace vantrel {

std::string traceEscape(std::string_view bytes);
// False when `text` holds a "\" not followed by "\" or two hex digits.
bool traceUnescape(std::string_view text, std::string& bytes);

class LinkTrace {
public:
    // Times are counted from `startMs`, on the clock the callers pass.
    LinkTrace(std::ostream& out, std::int64_t startMs);
    void device(std::uint16_t vendorId, std::uint16_t productId, std::int64_t nowMs);
    void deviceId(std::string_view id, std::int64_t nowMs);
    void toMachine(std::string_view bytes, std::int64_t nowMs);
    void fromMachine(std::string_view bytes, std::int64_t nowMs);
    // False once a line could not be written.
    bool good() const { return out_.good(); }

private:
    void line(std::int64_t nowMs, const char* direction, std::string_view text);
    void commands(std::int64_t nowMs, const char* direction, std::string_view bytes);
    std::ostream& out_;
    std::int64_t startMs_;
};

// A link that passes everything through and traces what moved (a transfer
// that moved nothing is not written).
class TracingLink : public MachineLink {
public:
    TracingLink(MachineLink& inner, LinkTrace& trace) : inner_(inner), trace_(trace) {}
    LinkTransfer write(const char* data, std::size_t size, std::int64_t timeoutMs) override;
    LinkTransfer read(char* buffer, std::size_t size, std::int64_t timeoutMs) override;
    std::int64_t nowMs() override { return inner_.nowMs(); }

private:
    MachineLink& inner_;
    LinkTrace& trace_;
};

struct TraceEntry {
    enum class Kind { Usb, DeviceId, ToMachine, FromMachine };
    int line = 0;
    std::int64_t ms = 0;
    Kind kind = Kind::ToMachine;
    std::string bytes;  // unescaped; for Usb the "vvvv:pppp" text
};

// Reads a trace; lines starting with "#" and empty lines are passed over.
// On a malformed line (a time outside 0 to MaxTraceMs among them), `error`
// names it and the entries so far are returned.
inline constexpr std::int64_t MaxTraceMs = 1'000'000'000'000;  // some 31 years
std::vector<TraceEntry> parseTrace(std::string_view text, std::string& error);

}  // namespace vantrel
