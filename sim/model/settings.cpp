#include "model/settings.h"

#include <charconv>

#include "session/link_trace.h"

namespace vantrel::sim {
namespace {

bool parseInteger(std::string_view text, std::int64_t& value) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

bool parseFlag(std::string_view text, bool& value) {
    if (text == "1" || text == "on" || text == "yes" || text == "true") return value = true, true;
    if (text == "0" || text == "off" || text == "no" || text == "false") return value = false, true;
    return false;
}

bool isFlagSetting(std::string_view name) {
    return name == "never-answer-fg" || name == "stay-busy" || name == "garbage" || name == "no-etx";
}

}  // namespace

const char* const SettingsHelp =
    "  --pipe BASE                 pipe base (default \\\\.\\pipe\\vantrel-sim)\n"
    "  --out FOLDER                write the record there (received.bin, commands.txt, toolpath.svg/.png)\n"
    "  --identification TEXT       answer to FG (default \"CAMEO V1.10    \")\n"
    "  --device-id TEXT            IEEE 1284 id served on <base>\\.id\n"
    "  --busy-ms N                 busy time after a job, test cut or calibration square (default 1500)\n"
    "  --start-busy-ms N           busy from the start for N ms\n"
    "  --idle-status C             idle status character (default 0)\n"
    "  --search LIST               TB23 outcomes, e.g. found | not-found,found (last repeats)\n"
    "  --unplug-after-bytes N      pull the cable after N more received bytes\n"
    "  --unplug-at-ms N            pull the cable N ms from now\n"
    "  --replug-after-ms N         plug back in N ms after any unplug\n"
    "  --write-rate N              take received bytes at N bytes/s (0: unlimited)\n"
    "  --slow                      take received bytes at the machine's 1 MB/s\n"
    "  --reply-delay-ms N          every reply leaves N ms after the machine made it (order kept)\n"
    "  --stall-after-bytes N       take nothing more after N more received bytes (-1: take again);\n"
    "                              given at the start, the input pipe has no buffer, so writes pend\n"
    "  --never-answer-fg, --stay-busy, --garbage, --no-etx   reply faults (control: set NAME 0|1)\n"
    "Text values take the escapes \\\\ and \\xNN.\n";

// The same escapes as a trace's, so a trace's reply can be given to the simulator as it stands.
bool unescape(std::string_view text, std::string& out) { return traceUnescape(text, out); }

bool parseSearchOutcomes(std::string_view text, std::vector<SearchOutcome>& outcomes) {
    std::vector<SearchOutcome> parsed;
    while (true) {
        std::size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        if (item == "found" || item == "f") {
            parsed.push_back(SearchOutcome::Found);
        } else if (item == "not-found" || item == "n") {
            parsed.push_back(SearchOutcome::NotFound);
        } else {
            return false;
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    outcomes = std::move(parsed);
    return true;
}

std::string applySetting(SimSettings& s, std::string_view name, std::string_view value, std::int64_t nowMs) {
    std::string bad = "bad value for " + std::string(name) + ": " + std::string(value);
    std::int64_t number = 0;
    std::string text;
    bool flag = false;
    if (name == "pipe") {
        if (value.empty()) return bad;
        s.pipeBase = value;
    } else if (name == "out") {
        s.outputFolder = value;
    } else if (name == "identification") {
        if (!unescape(value, text)) return bad;
        s.machine.identification = text;
    } else if (name == "device-id") {
        if (!unescape(value, text)) return bad;
        s.deviceId = text;
    } else if (name == "idle-status") {
        if (!unescape(value, text) || text.size() != 1 || text == "1") return bad;
        s.machine.idleStatus = text[0];
    } else if (name == "search") {
        if (!parseSearchOutcomes(value, s.machine.searchOutcomes)) return bad;
    } else if (name == "start-busy-ms") {
        if (!parseInteger(value, number) || number < 0) return bad;
        s.machine.startBusyMs = number;
    } else if (name == "busy-ms" || name == "unplug-after-bytes" || name == "unplug-at-ms" ||
               name == "replug-after-ms" || name == "write-rate" || name == "reply-delay-ms" ||
               name == "stall-after-bytes") {
        if (!parseInteger(value, number) || number < -1) return bad;
        if (name == "busy-ms") {
            if (number < 0) return bad;
            s.machine.busyMs = number;
        } else if (name == "unplug-after-bytes") {
            s.link.unplugAfterBytes = number;
        } else if (name == "stall-after-bytes") {
            s.link.stallAfterBytes = number;
        } else if (name == "unplug-at-ms") {
            s.link.unplugAtMs = number < 0 ? -1 : nowMs + number;
        } else if (name == "replug-after-ms") {
            s.link.replugAfterMs = number;
        } else if (name == "reply-delay-ms") {
            if (number < 0) return bad;
            s.link.replyDelayMs = number;
        } else {
            if (number < 0) return bad;
            s.link.bytesPerSecond = number;
        }
    } else if (isFlagSetting(name)) {
        if (!parseFlag(value, flag)) return bad;
        if (name == "never-answer-fg") s.faults.neverAnswerIdentify = flag;
        if (name == "stay-busy") s.faults.stayBusy = flag;
        if (name == "garbage") s.faults.garbageReplies = flag;
        if (name == "no-etx") s.faults.repliesWithoutEtx = flag;
    } else {
        return "unknown setting: " + std::string(name);
    }
    return {};
}

std::string parseArguments(const std::vector<std::string>& args, SimSettings& settings) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") return "help";
        if (arg.substr(0, 2) != "--") return "unexpected argument: " + args[i];
        std::string_view name = arg.substr(2);
        if (name == "slow") {
            settings.link.bytesPerSecond = MachineLinkBytesPerSecond;
            continue;
        }
        std::string error;
        if (isFlagSetting(name) && (i + 1 >= args.size() || args[i + 1].substr(0, 2) == "--")) {
            error = applySetting(settings, name, "1", 0);
        } else if (i + 1 >= args.size()) {
            return "missing value for " + args[i];
        } else {
            error = applySetting(settings, name, args[++i], 0);
        }
        if (!error.empty()) return error;
    }
    settings.machine.searchOutcomes.shrink_to_fit();
    return {};
}

namespace {
// A count of bytes still let through (-1: no limit) caps what is taken.
std::size_t capped(std::int64_t left, std::size_t offered) {
    return left < 0 ? offered : std::min<std::size_t>(offered, static_cast<std::size_t>(left));
}
void countDown(std::int64_t& left, std::size_t bytes) {
    if (left > 0) left -= static_cast<std::int64_t>(capped(left, bytes));
}
}  // namespace

std::size_t LinkPlan::admit(const LinkFaults& faults, std::size_t offered) const {
    return capped(faults.stallAfterBytes, capped(faults.unplugAfterBytes, offered));
}

void LinkPlan::took(LinkFaults& faults, std::size_t bytes) {
    total_ += bytes;
    countDown(faults.unplugAfterBytes, bytes);
    countDown(faults.stallAfterBytes, bytes);
}

bool LinkPlan::unplugDue(LinkFaults& faults, std::int64_t nowMs) {
    if (faults.unplugAfterBytes == 0) {
        faults.unplugAfterBytes = -1;
        return true;
    }
    if (faults.unplugAtMs >= 0 && nowMs >= faults.unplugAtMs) {
        faults.unplugAtMs = -1;
        return true;
    }
    return false;
}

void LinkPlan::unplugged(const LinkFaults& faults, std::int64_t nowMs) {
    replugAt_ = faults.replugAfterMs >= 0 ? nowMs + faults.replugAfterMs : -1;
}

}  // namespace vantrel::sim
