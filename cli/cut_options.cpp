// vantrel-cut's options: the usage text, the table of whole-number options,
// the flags, and the combinations refused.
#include "cut_tool.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <optional>

#include "cutdata/commands.h"
#include "settings/measurement.h"
#include "settings/resolution_range.h"

namespace vantrel::cli {

const char* const CutToolUsage =
    "usage: vantrel-cut [options] DESIGN\n"
    "  DESIGN is an SVG file, SVG path data in inches, or - for standard input.\n"
    "  --cut-type wysiwyg|print-and-cut|knife-point   (wysiwyg)\n"
    "  --model 0|1|2|3          cutter model: 0 none, 1 Silhouette, 2 CAMEO, 3 PORTRAIT (1)\n"
    "  --reg-mark-type N        the host's mark type; with model 0, 2 gives the square origin mark (0)\n"
    "  --force N                1 to 33 (10)\n"
    "  --speed N                1 to 10 (10)\n"
    "  --passes N               1 to 10 (1)\n"
    "  --blade-offset on|off    (on)\n"
    "  --carrier-mat on|off     (on)\n"
    "  --track-enhancing on|off (off)\n"
    "  --media-width INCHES     media width across the carriage (12)\n"
    "  --dpi-x TEXT, --dpi-y TEXT  steps per inch, e.g. 508.0 or 1016/2 (508.0)\n"
    "  --flatten                cut curves as straight segments within 0.25 step\n"
    "  --wire                   write the bytes the machine gets (ETX terminators)\n"
    "  --search-command         with print-and-cut: the registration-mark search instead of the job\n"
    "  --order drawing|travel|inside-out  the order figures are cut in (drawing: as drawn)\n"
    "                           travel: the least travel between figures; open figures may be cut backwards\n"
    "                           inside-out: what lies inside a figure is cut before it; none cut backwards\n"
    "  --dashes solid|perforate|skip  dashed SVG lines: cut solid (as before), cut only their dashes, or leave out\n"
    "  --summary                figures, cut and travel lengths, tool lifts, bytes, extent and whether it fits,\n"
    "                           read from the job\n"
    "                           (on standard error; with --send, before sending)\n"
    "  --preview FILE.svg|FILE.png  a picture of the job: media, cuts, travel, start, totals\n"
    "                           (with print-and-cut, the registration marks too)\n"
    "  --marks-svg FILE.svg     the registration marks to print, for --model, instead of the job: an SVG\n"
    "                           design with a layer \"Registration marks\" added; path data, the marks alone\n"
    "  --marks-at X,Y,W,H       with print-and-cut: cut against marks printed there, the box they span in\n"
    "                           inches (from the origin mark's top-left corner to the others' far edges)\n"
    "  -o FILE                  write to FILE instead of standard output\n"
    "\n"
    "usage: vantrel-cut --send [options] DESIGN    cut DESIGN on the machine (USB)\n"
    "       vantrel-cut --list                     the machines found, and why each was taken or not\n"
    "       vantrel-cut --doctor                   why no machine can be used: one line per finding\n"
    "                           with its fix; exit 0 when a machine is ready, else 1, 4, 5 or 6 below\n"
    "  --device BUS:ADDR        the machine to use when there are several (see --list)\n"
    "  --yes, --no              registration marks not found: cut anyway, or not, without asking\n"
    "                           (--yes also cuts the part that fits of a job too large for the machine)\n"
    "                           (--yes also sends, or writes with --marks-svg, marks that a printer\n"
    "                           leaves out: off the page or within a quarter inch of its edge)\n"
    "  --stall-limit SECONDS    a machine taking no data this long has stopped (30)\n"
    "  --trace FILE             with --send or --doctor: every byte to and from the machine, timed, as\n"
    "                           text to attach to a report (vantrel-sim-replay plays it back)\n"
    "  With --send the machine's identification sets the model; --model, --wire,\n"
    "  --search-command and -o do not apply.\n"
    "\n"
    "exit status:\n"
    "  0  done (for --send: the whole job was taken by the machine)\n"
    "  1  an unexpected failure (the message says which)\n"
    "  2  bad input: an option, the design, or a design the machine cannot cut\n"
    "  3  the connection was lost (the message says how much of the job was sent)\n"
    "  4  no machine found, or not the one --device names\n"
    "  5  no permission to use the machine (install the udev rule, see README)\n"
    "  6  the machine is in use by another program or driver\n"
    "  7  the machine stayed busy or did not answer within the time limit\n"
    "  8  the machine stopped taking the job's data\n"
    "  9  registration marks not found, and the answer was no\n"
    "  130  interrupted (Ctrl-C); the message says how far the job got\n";

// Built by appending: GCC 12 at -O3 takes "\"" + std::string for an overlapping copy.
std::string quoted(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    result += text;
    result += '"';
    return result;
}

std::optional<float> resolution(const std::string& text) {
    double value = ParseMeasurement(text);
    if (!resolutionInRange(value)) return std::nullopt;
    return static_cast<float>(value);
}

namespace {

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<float> inches(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value) ||
        value <= 0 || value > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(value);
}

bool endsWithSvg(std::string_view name) {
    return name.size() > 4 && isPreviewName(name) && (name.back() | 0x20) == 'g';
}

std::optional<bool> onOff(std::string_view text) {
    if (text == "on") return true;
    if (text == "off") return false;
    return std::nullopt;
}

// The whole-number options: where each goes, its range, and what a refusal
// says is expected.
struct NumberOption {
    const char* name;
    int CutToolOptions::*field;
    int low, high;
    const char* expected;
};
constexpr NumberOption NumberOptions[] = {
    {"--model", &CutToolOptions::model, 0, 3, "0, 1, 2 or 3"},
    {"--stall-limit", &CutToolOptions::stallLimit, 1, 3600, "a whole number of seconds from 1 to 3600"},
    {"--reg-mark-type", &CutToolOptions::regMarkType, INT_MIN, INT_MAX, "a whole number"},
    {"--force", &CutToolOptions::force, 1, 33, "a whole number from 1 to 33"},
    {"--speed", &CutToolOptions::speed, 1, 10, "a whole number from 1 to 10"},
    {"--passes", &CutToolOptions::passes, 1, 10, "a whole number from 1 to 10"},
};

std::string badValue(const std::string& argument, const std::string& value, const char* expected) {
    return "bad value " + quoted(value) + " for " + argument + ": expected " + expected;
}

// The options that take a word, a switch or a text; the error line when
// refused, else empty.
std::string setTextOption(CutToolOptions& o, const std::string& argument, const std::string& value) {
    auto bad = [&](const char* expected) { return badValue(argument, value, expected); };
    if (argument == "--cut-type") {
        if (value == "wysiwyg") o.cutType = 0;
        else if (value == "print-and-cut") o.cutType = 1;
        else if (value == "knife-point") o.cutType = 2;
        else return bad("wysiwyg, print-and-cut or knife-point");
    } else if (argument == "--device") {
        const std::size_t colon = value.find(':');
        const auto bus = wholeNumber(std::string_view(value).substr(0, colon));
        const auto address = colon == std::string::npos ? std::nullopt : wholeNumber(value.substr(colon + 1));
        if (!bus || !address || *bus < 0 || *bus > 255 || *address < 0 || *address > 255)
            return bad("BUS:ADDR, such as 1:4 (see --list)");
        o.device = value;
    } else if (argument == "--trace") {
        if (value.empty()) return bad("a file name");
        o.trace = value;
    } else if (argument == "--blade-offset" || argument == "--carrier-mat" || argument == "--track-enhancing") {
        auto on = onOff(value);
        if (!on) return bad("on or off");
        (argument == "--blade-offset" ? o.bladeOffset : argument == "--carrier-mat" ? o.carrierMat
                                                                                     : o.trackEnhancing) = *on;
    } else if (argument == "--media-width") {
        auto width = inches(value);
        if (!width) return bad("a number of inches above 0");
        o.mediaWidth = *width;
    } else if (argument == "--dpi-x" || argument == "--dpi-y") {
        if (!resolution(value)) return bad("a resolution from 1 to 100000 steps per inch, such as 508.0 or 1016/2");
        (argument == "--dpi-x" ? o.dpiX : o.dpiY) = value;
    } else if (argument == "--order") {
        auto order = cutOrderNamed(value);
        if (!order) return bad("drawing, travel or inside-out");
        o.order = *order;
    } else if (argument == "--dashes") {
        if (value == "solid") o.dashes = DashMode::Solid;
        else if (value == "perforate") o.dashes = DashMode::Perforate;
        else if (value == "skip") o.dashes = DashMode::Skip;
        else return bad("solid, perforate or skip");
    } else if (argument == "--preview") {
        if (!isPreviewName(value)) return bad("a file name ending in .svg or .png");
        o.preview = value;
    } else if (argument == "--marks-svg") {
        if (!endsWithSvg(value)) return bad("a file name ending in .svg");
        o.marksSvg = value;
    } else if (argument == "--marks-at") {
        o.marksAt = marksSpanNamed(value);
        if (!o.marksAt) return bad("four numbers X,Y,W,H, the box the marks span in inches, such as 0.5,0.97,5,3.06");
    } else if (argument == "-o" || argument == "--output") {
        if (value.empty()) return bad("a file name");
        o.output = value;
    } else {
        return "unknown option " + argument;
    }
    return {};
}

// Sets the option `argument` (its name, without an attached value) to
// `value`; the error line when either is refused, else empty.
std::string setOption(CutToolOptions& o, const std::string& argument, const std::string& value) {
    for (const NumberOption& option : NumberOptions) {
        if (argument != option.name) continue;
        auto n = wholeNumber(value);
        if (!n || *n < option.low || *n > option.high) return badValue(argument, value, option.expected);
        o.*option.field = *n;
        if (option.field == &CutToolOptions::model) o.modelGiven = true;
        return {};
    }
    return setTextOption(o, argument, value);
}

// The options that take no value; null when `argument` is not one.
bool* flagField(CutToolOptions& o, const std::string& argument) {
    if (argument == "--flatten") return &o.flatten;
    if (argument == "--wire") return &o.wire;
    if (argument == "--search-command") return &o.searchCommand;
    if (argument == "--send") return &o.send;
    if (argument == "--summary") return &o.summary;
    if (argument == "--list") return &o.list;
    if (argument == "--doctor") return &o.doctor;
    if (argument == "--yes") return &o.yes;
    if (argument == "--no") return &o.no;
    if (argument == "--help" || argument == "-h") return &o.help;
    return nullptr;
}

// What the options given together cannot mean; empty when they go together.
std::string conflictingOptions(const CutToolOptions& o, bool haveDesign) {
    if (o.help) return {};
    if (!o.trace.empty() && !o.send && !o.doctor) return "--trace needs --send or --doctor";
    if (o.doctor) {
        if (o.send || o.list) return std::string("--doctor and ") + (o.send ? "--send" : "--list") + " cannot be used together";
        if (haveDesign) return "--doctor takes no design";
        return {};
    }
    if (o.list) {
        if (o.send) return "--list and --send cannot be used together";
        if (haveDesign) return "--list takes no design";
        return {};
    }
    if (!o.marksSvg.empty()) {
        if (o.send || o.wire || o.searchCommand || !o.output.empty() || o.summary || !o.preview.empty())
            return std::string(o.send ? "--send" : o.wire ? "--wire" : o.searchCommand ? "--search-command"
                               : !o.output.empty() ? "-o" : o.summary ? "--summary" : "--preview") +
                   " does not apply to --marks-svg";
        if (!o.device.empty() || o.no) return std::string(o.no ? "--no" : "--device") + " needs --send";
    } else if (!o.send) {
        if (!o.device.empty()) return "--device needs --send or --list";
        if (o.yes || o.no) return std::string(o.yes ? "--yes" : "--no") + " needs --send";
    } else {
        if (o.yes && o.no) return "--yes and --no cannot be used together";
        if (o.modelGiven) return "--model does not apply to --send: the machine found sets the model";
        if (o.wire || o.searchCommand || !o.output.empty())
            return std::string(o.wire ? "--wire" : o.searchCommand ? "--search-command" : "-o") +
                   " does not apply to --send";
    }
    if (!haveDesign) return "no design given (a file, or - for standard input)";
    if (o.searchCommand && o.cutType != 1) return "--search-command needs --cut-type print-and-cut";
    if (o.marksAt && o.cutType != 1 && o.marksSvg.empty()) return "--marks-at needs --cut-type print-and-cut";
    if (o.searchCommand && (o.summary || !o.preview.empty()))
        return std::string(o.summary ? "--summary" : "--preview") + " does not apply to --search-command";
    return {};
}

}  // namespace

ParsedArguments parseCutToolArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    CutToolOptions& o = parsed.options;
    auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    bool optionsEnded = false;
    bool haveDesign = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            if (haveDesign) return fail("more than one design given: " + quoted(o.design) + " and " + quoted(argument));
            o.design = argument;
            haveDesign = true;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> attached;
        if (std::size_t equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = argument.substr(equals + 1);
            argument.resize(equals);
        }
        if (bool* flag = flagField(o, argument)) {
            if (attached) return fail("option " + argument + " takes no value");
            *flag = true;
            continue;
        }
        std::string value;
        if (attached) {
            value = *attached;
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return fail("option " + argument + " needs a value");
        }
        if (std::string error = setOption(o, argument, value); !error.empty()) return fail(error);
    }
    if (std::string error = conflictingOptions(o, haveDesign); !error.empty()) return fail(error);
    parsed.ok = true;
    return parsed;
}

}  // namespace vantrel::cli
