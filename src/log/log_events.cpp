#include "log/log_events.h"

#include <charconv>

#include "log/log_format.h"

namespace vantrel {

namespace {

// The shortest text that reads back as the same float: "508", "502.763".
std::string number(float value) {
    char digits[48];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

const char* onOff(bool on) { return on ? "on" : "off"; }

std::string modelText(int model) {
    const char* name = model == CutterModelCameo        ? "CAMEO"
                       : model == CutterModelPortrait   ? "PORTRAIT"
                       : model == CutterModelSilhouette ? "other than CAMEO and PORTRAIT"
                                                        : "not identified";
    return "model " + std::to_string(model) + " (" + name + ")";
}

std::string interfaceText(const SeenInterface& seen) {
    std::string out = "  " + printable(seen.instanceId) + ": ";
    switch (seen.verdict) {
        case InterfaceVerdict::OtherVendor: return out + "other vendor";
        case InterfaceVerdict::NoIdentification:
            return out + "vendor 0B4D, no identification (" + systemErrorText(seen.error) + ")";
        case InterfaceVerdict::NotACutter:
            return out + "vendor 0B4D, id \"" + printable(seen.deviceId) + "\", not a cutter";
        case InterfaceVerdict::Cutter: return out + "vendor 0B4D, id \"" + printable(seen.deviceId) + "\", cutter";
        case InterfaceVerdict::NotExamined: return out + "vendor 0B4D, not examined (a cutter came first)";
    }
    return out;
}

}  // namespace

std::string runBeginsText(std::wstring_view appName, std::string_view version, int bits, std::string_view buildTime) {
    return "plug-in run begins: " + printable(appName) + " " + printable(version) + ", " + std::to_string(bits) +
           "-bit, built " + printable(buildTime);
}

std::string runEndsText() { return "plug-in run ends"; }

std::string discoveryText(const DiscoveryPass& pass) {
    std::string out = "discovery: ";
    if (pass.empty())
        out += "no USB device interfaces";
    else
        out += std::to_string(pass.size()) + (pass.size() == 1 ? " USB device interface" : " USB device interfaces");
    bool found = false;
    for (const SeenInterface& seen : pass) found = found || seen.verdict == InterfaceVerdict::Cutter;
    out += found ? ", cutter found" : ", no cutter";
    for (const SeenInterface& seen : pass) out += "\n" + interfaceText(seen);
    return out;
}

std::string DiscoveryChanges::textIfChanged(const DiscoveryPass& pass) {
    if (last_ && *last_ == pass) return {};
    last_ = pass;
    return discoveryText(pass);
}

std::string channelNotOpenedText(bool outgoing, std::wstring_view path, unsigned long error) {
    return std::string(outgoing ? "outgoing" : "incoming") + " channel not opened: " + printable(path) + ": " +
           systemErrorText(error);
}

std::string connectedText(std::wstring_view outgoingPath, std::wstring_view incomingPath) {
    return "connected: outgoing " + printable(outgoingPath) + ", incoming " + printable(incomingPath);
}

std::string identificationAskedText() { return "machine idle: identification asked"; }

std::string identifiedText(std::string_view identification, int model) {
    return "identified: \"" + printable(identification) + "\", " + modelText(model);
}

std::string markSearchAnswerText(std::string_view answer, std::optional<long> code) {
    std::string out = "mark search answer: \"" + printable(answer) + "\": ";
    if (!code) return out + "no number, not found";
    return out + std::to_string(*code) + (*code == 0 ? ", found" : ", not found");
}

std::string commandRefusedText(std::size_t bytes) {
    return "command of " + std::to_string(bytes) + " bytes not sent: the machine has not taken the last write";
}

std::string disconnectedText(std::string_view why) { return "disconnected: " + std::string(why); }

std::string channelLostText(bool incoming, unsigned long error) {
    return disconnectedText(std::string(incoming ? "the incoming" : "the outgoing") + " channel failed: " +
                            systemErrorText(error));
}

std::string jobStartText(const CutJob& job, std::size_t bytes, float dpiX, float dpiY, float mediaWidth) {
    std::string out = "job start: ";
    out += job.printAndCut ? "Print and Cut" : job.knifePoint ? "Knife Point" : "WYSIWYG";
    out += ", " + std::to_string(bytes) + " bytes; force " + std::to_string(job.force) + ", speed " +
           std::to_string(job.speed) + ", passes " + std::to_string(job.passCount) + ", blade offset " +
           onOff(job.bladeOffset) + ", carrier mat " + onOff(job.carrierMat) + ", track enhancing " +
           onOff(job.trackEnhancing) + "; " + modelText(job.model) + "; " + number(dpiX) + " x " + number(dpiY) +
           " steps per inch; media width " + number(mediaWidth) + " in";
    if (job.printAndCut)
        out += "; marks from " + number(job.markOriginX) + ", " + number(job.markOriginY) + " in, extents " +
               std::to_string(job.markExtentX) + " x " + std::to_string(job.markExtentY) + " steps";
    return out;
}

std::string jobEndText(JobEnd end, std::size_t bytes, unsigned long long elapsedMs) {
    const std::string size = std::to_string(bytes);
    switch (end) {
        case JobEnd::Sent: return "job end: sent, " + size + " of " + size + " bytes written in " + secondsText(elapsedMs);
        case JobEnd::LinkLost:
            return "job end: link lost after " + secondsText(elapsedMs) + ", the write of " + size +
                   " bytes did not complete";
        case JobEnd::Abandoned:
            return "job end: dialog closed after " + secondsText(elapsedMs) + ", the write of " + size +
                   " bytes did not complete";
        case JobEnd::Refused: return "job end: refused, nothing sent";
    }
    return "job end";
}

std::string messageShownText(std::wstring_view text) { return "message shown: \"" + printable(text) + "\""; }

std::string droppedEventsText(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " event" : " events") + " dropped: the log could not keep up";
}

}  // namespace vantrel
