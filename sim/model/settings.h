#pragma once
// Settings of the simulated cutter, shared by its command line ("--NAME
// VALUE") and its control pipe ("set NAME VALUE"), and the link-level state
// that decides when the simulated cable is pulled.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/machine.h"

namespace vantrel::sim {

// Faults of the link rather than of the machine's answers.
struct LinkFaults {
    std::int64_t unplugAfterBytes = -1;  // pull the cable once this many more bytes arrived; -1: never
    std::int64_t unplugAtMs = -1;        // pull it at this time (simulator clock); -1: never
    std::int64_t replugAfterMs = -1;     // plug back in this long after any unplug; -1: wait for "replug"
    std::int64_t bytesPerSecond = 0;     // rate at which received bytes are taken; 0: as fast as they come
    std::int64_t replyDelayMs = 0;       // every reply leaves this long after the machine made it, in order
    // Stop taking bytes once this many more arrived (-1: never), as a machine
    // that is paused or in an error state: its input then has no buffer, so
    // a write to it stays pending.
    std::int64_t stallAfterBytes = -1;
};

inline constexpr std::int64_t MachineLinkBytesPerSecond = 1000000;

struct SimSettings {
    std::string pipeBase = "\\\\.\\pipe\\vantrel-sim";
    // IEEE 1284 device id served on "<base>\.id" (at most 512 bytes are sent).
    std::string deviceId = "MANUFACTURER:Silhouette;MODEL:CAMEO;CLASS:PRINTER;DESCRIPTION:Silhouette CAMEO;";
    std::string outputFolder;  // where the record is written; empty: nowhere
    MachineConfig machine;
    MachineFaults faults;
    LinkFaults link;
};

inline constexpr std::size_t MaxDeviceIdBytes = 512;

// Applies one setting; `nowMs` turns "unplug-at-ms" (relative) into a time.
// Returns an error text, empty on success. Text values take the escapes
// backslash-backslash and \xNN, so blanks, ETX or NUL can be given exactly.
std::string applySetting(SimSettings& settings, std::string_view name, std::string_view value, std::int64_t nowMs);

// Parses the program's arguments (without the program name). Boolean faults
// may be given as bare flags ("--stay-busy"). Returns an error text, empty on
// success; "--help" gives the error text "help".
std::string parseArguments(const std::vector<std::string>& args, SimSettings& settings);

// "found,not-found,found" (also "f,n,f"); false on anything else or empty.
bool parseSearchOutcomes(std::string_view text, std::vector<SearchOutcome>& outcomes);

// "\\" and "\xNN" escapes; false on a malformed escape.
bool unescape(std::string_view text, std::string& out);

extern const char* const SettingsHelp;

// Link state: counts the bytes let through and decides when to unplug and
// replug. The server asks it before taking bytes and at every tick.
class LinkPlan {
public:
    // How many of `offered` bytes may be taken before the cable is pulled.
    std::size_t admit(const LinkFaults& faults, std::size_t offered) const;
    void took(LinkFaults& faults, std::size_t bytes);
    // True when the planned unplug is due (by byte count or time); the plan
    // that fired is cleared so it fires once.
    bool unplugDue(LinkFaults& faults, std::int64_t nowMs);
    // The machine takes nothing more (until the stall is set off).
    static bool stalled(const LinkFaults& faults) { return faults.stallAfterBytes == 0; }
    void unplugged(const LinkFaults& faults, std::int64_t nowMs);
    bool replugDue(std::int64_t nowMs) const { return replugAt_ >= 0 && nowMs >= replugAt_; }
    void plugged() { replugAt_ = -1; }
    std::uint64_t totalBytes() const { return total_; }

private:
    std::uint64_t total_ = 0;
    std::int64_t replugAt_ = -1;
};

}  // namespace vantrel::sim
