#include "model/machine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <utility>

namespace vantrel::sim {
namespace {

constexpr char Etx = 0x03;
constexpr std::size_t MaxAnomalies = 1000;
// A cubic is cut as straight pieces no farther than this from the curve (steps).
constexpr double CurveTolerance = 0.25;
constexpr int MaxCurvePieces = 4096;
// Side of the test pattern's square: a quarter inch at the nominal 508 steps.
constexpr double TestPatternSide = 127.0;

bool isWordChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Splits "FX10,0" into the command word "FX" and its parameters. The word is
// a run of letters, or one of the single characters "!", "&" and "\".
bool splitCommand(std::string_view text, std::string& word, std::vector<double>& params) {
    std::size_t i = 0;
    if (!text.empty() && (text[0] == '!' || text[0] == '&' || text[0] == '\\')) {
        i = 1;
    } else {
        while (i < text.size() && isWordChar(text[i])) ++i;
    }
    word.assign(text.substr(0, i));
    params.clear();
    if (word.empty()) return false;
    if (i == text.size()) return true;
    while (true) {
        std::size_t comma = text.find(',', i);
        std::size_t end = comma == std::string_view::npos ? text.size() : comma;
        double value = 0;
        auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + end, value);
        if (ec != std::errc() || ptr != text.data() + end || !std::isfinite(value)) return false;
        params.push_back(value);
        if (comma == std::string_view::npos) return true;
        i = comma + 1;
    }
}

// Commands that set up the machine, with the number of parameters each takes.
struct SettingCommand {
    std::string_view word;
    std::size_t parameters;
};
constexpr SettingCommand SettingCommands[] = {
    {"FX", 2}, {"!", 2}, {"FC", 1}, {"FO", 1}, {"FN", 1}, {"FM", 1},
    {"L", 1},  {"\\", 2}, {"Z", 2}, {"FU", 2}, {"&", 3}, {"FJ", 0},
};

}  // namespace

Machine::Machine(MachineConfig config) : config_(std::move(config)) { busyFor(0, config_.startBusyMs); }

void Machine::busyFor(std::int64_t nowMs, std::int64_t ms) {
    if (ms <= 0) return;
    busyUntil_ = busyEver_ ? std::max(busyUntil_, nowMs + ms) : nowMs + ms;
    busyEver_ = true;
}

bool Machine::busy(std::int64_t nowMs) const { return faults_.stayBusy || (busyEver_ && nowMs < busyUntil_); }

void Machine::clearRecord() {
    received_.clear();
    commandLog_.clear();
    toolPath_.clear();
    anomalies_.clear();
}

void Machine::connectionLost(std::int64_t nowMs) {
    settleJog(nowMs);
    jogCode_ = 0;
    decoder_.reset();
}

std::string Machine::receive(std::string_view bytes, std::int64_t nowMs) {
    received_.append(bytes);
    if (bytes.find('|') != std::string_view::npos) anomaly("a '|' byte reached the machine");
    decoded_.clear();
    decoder_.feed(bytes, decoded_);
    std::string replies;
    for (const WireCommand& command : decoded_) execute(command, nowMs, replies);
    return replies;
}

void Machine::anomaly(std::string text) {
    if (anomalies_.size() < MaxAnomalies) anomalies_.push_back(std::move(text));
}

void Machine::reply(std::string_view text, std::string& replies) const {
    replies.append(faults_.garbageReplies ? GarbageReply : text);
    if (!faults_.repliesWithoutEtx) replies += Etx;
}

void Machine::execute(const WireCommand& command, std::int64_t nowMs, std::string& replies) {
    commandLog_.push_back(describe(command));
    switch (command.kind) {
    case WireCommand::Kind::StatusRequest:
        reply(busy(nowMs) ? std::string_view("1") : std::string_view(&config_.idleStatus, 1), replies);
        return;
    case WireCommand::Kind::Jog:
        settleJog(nowMs);
        jogCode_ = command.jogCode;
        jogSince_ = nowMs;
        if (command.jogCode != 0 && command.jogCode != 1 && command.jogCode != 2 && command.jogCode != 4 &&
            command.jogCode != 8) {
            anomaly("unknown jog direction " + describe(command));
        }
        return;
    case WireCommand::Kind::UnknownEscape:
        anomaly("unknown escape " + describe(command));
        return;
    case WireCommand::Kind::Oversized:
        anomaly("oversized command dropped: " + describe(command));
        return;
    case WireCommand::Kind::Text:
        executeText(command.text, nowMs, replies);
        return;
    }
}

void Machine::executeText(const std::string& text, std::int64_t nowMs, std::string& replies) {
    std::string word;
    std::vector<double> p;
    if (!splitCommand(text, word, p)) {
        anomaly("malformed command: " + describe({WireCommand::Kind::Text, text, 0}));
        return;
    }
    settleJog(nowMs);
    TextOutcome outcome = executeMotion(word, p, text, nowMs);
    if (outcome == TextOutcome::Unknown) outcome = executeQuery(word, p, replies);
    if (outcome == TextOutcome::Unknown) outcome = executeSetting(word, p);
    if (outcome == TextOutcome::Malformed) anomaly("malformed parameters: " + text);
    if (outcome == TextOutcome::Unknown) anomaly("unknown command: " + describe({WireCommand::Kind::Text, text, 0}));
}

Machine::TextOutcome Machine::executeMotion(const std::string& word, const std::vector<double>& p,
                                            const std::string& text, std::int64_t nowMs) {
    if (word == "M") {
        if (p.size() != 2) return TextOutcome::Malformed;
        moveTo({p[0], p[1]}, false);
    } else if (word == "D") {
        if (p.empty() || p.size() % 2 != 0) return TextOutcome::Malformed;
        for (std::size_t i = 0; i < p.size(); i += 2) moveTo({p[i], p[i + 1]}, true);
    } else if (word == "BZ") {
        if (p.size() != 9 || p[0] != 1) return TextOutcome::Malformed;
        ToolPoint start{p[1], p[2]};
        if (!(start == position_)) {
            anomaly("curve starts away from the current point: " + text);
            moveTo(start, false);
        }
        cubic(start, {p[3], p[4]}, {p[5], p[6]}, {p[7], p[8]});
    } else if (word == "H" || word == "FH") {
        // Home and the test pattern both end a piece of work: busy afterwards.
        if (!p.empty()) return TextOutcome::Malformed;
        if (word == "H") {
            moveTo({0, 0}, false);
        } else {
            testPattern();
        }
        busyFor(nowMs, config_.busyMs);
    } else {
        return TextOutcome::Unknown;
    }
    return TextOutcome::Done;
}

Machine::TextOutcome Machine::executeQuery(const std::string& word, const std::vector<double>& p,
                                           std::string& replies) {
    if (word == "FG") {
        if (!p.empty()) return TextOutcome::Malformed;
        if (!faults_.neverAnswerIdentify) reply(config_.identification, replies);
    } else if (word == "TB") {
        // Only "TB23", the registration mark search, is answered.
        if (p.empty()) return TextOutcome::Malformed;
        if (p[0] == 23) {
            if (p.size() != 3) return TextOutcome::Malformed;
            reply(nextSearchFound() ? "    0" : "    1", replies);
        }
    } else {
        return TextOutcome::Unknown;
    }
    return TextOutcome::Done;
}

bool Machine::nextSearchFound() {
    std::size_t index =
        std::min<std::size_t>(static_cast<std::size_t>(searchesAnswered_), config_.searchOutcomes.size() - 1);
    bool found = config_.searchOutcomes.empty() || config_.searchOutcomes[index] == SearchOutcome::Found;
    ++searchesAnswered_;
    return found;
}

Machine::TextOutcome Machine::executeSetting(const std::string& word, const std::vector<double>& p) {
    auto known = std::find_if(std::begin(SettingCommands), std::end(SettingCommands),
                              [&](const SettingCommand& command) { return command.word == word; });
    if (known == std::end(SettingCommands)) return TextOutcome::Unknown;
    if (p.size() != known->parameters) return TextOutcome::Malformed;
    // The model keeps force and speed; the other settings change nothing it draws.
    if (word == "FX") force_ = static_cast<int>(p[0]);
    if (word == "!") speed_ = static_cast<int>(p[0]);
    return TextOutcome::Done;
}

void Machine::moveTo(ToolPoint to, bool down) {
    toolPath_.push_back({position_, to, down});
    position_ = to;
    toolDown_ = down;
}

void Machine::cubic(ToolPoint p0, ToolPoint p1, ToolPoint p2, ToolPoint p3) {
    // Wang's formula: enough pieces that none strays beyond the tolerance.
    double ay = std::abs(p0.y - 2 * p1.y + p2.y), ax = std::abs(p0.x - 2 * p1.x + p2.x);
    double by = std::abs(p1.y - 2 * p2.y + p3.y), bx = std::abs(p1.x - 2 * p2.x + p3.x);
    double m = std::max(std::hypot(ay, ax), std::hypot(by, bx));
    int pieces = static_cast<int>(std::ceil(std::sqrt(0.75 * m / CurveTolerance)));
    pieces = std::clamp(pieces, 1, MaxCurvePieces);
    for (int i = 1; i <= pieces; ++i) {
        double t = static_cast<double>(i) / pieces, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        ToolPoint q = i == pieces ? p3
                                  : ToolPoint{a * p0.y + b * p1.y + c * p2.y + d * p3.y,
                                              a * p0.x + b * p1.x + c * p2.x + d * p3.x};
        moveTo(q, true);
    }
}

void Machine::testPattern() {
    // A small square with a triangle inside, cut where the carriage stands; the
    // tool comes back to its starting point raised.
    ToolPoint o = position_;
    double s = TestPatternSide;
    moveTo({o.y + s, o.x}, true);
    moveTo({o.y + s, o.x + s}, true);
    moveTo({o.y, o.x + s}, true);
    moveTo(o, true);
    moveTo({o.y + s * 0.2, o.x + s * 0.8}, false);
    moveTo({o.y + s * 0.8, o.x + s * 0.8}, true);
    moveTo({o.y + s * 0.5, o.x + s * 0.2}, true);
    moveTo({o.y + s * 0.2, o.x + s * 0.8}, true);
    moveTo(o, false);
}

ToolPoint Machine::joggedTo(std::int64_t nowMs) const {
    ToolPoint to = position_;
    if (jogCode_ == 0 || nowMs <= jogSince_) return to;
    // Up and Down move the media (x), Left and Right the carriage (y).
    double travel = config_.jogStepsPerSecond * static_cast<double>(nowMs - jogSince_) / 1000.0;
    switch (jogCode_) {
    case 0x02: to.x -= travel; break;
    case 0x01: to.x += travel; break;
    case 0x08: to.y -= travel; break;
    case 0x04: to.y += travel; break;
    default: break;
    }
    return to;
}

ToolPoint Machine::positionAt(std::int64_t nowMs) const { return joggedTo(nowMs); }

void Machine::settleJog(std::int64_t nowMs) {
    if (jogCode_ == 0 || nowMs <= jogSince_) {
        jogSince_ = std::max(jogSince_, nowMs);
        return;
    }
    ToolPoint to = joggedTo(nowMs);
    jogSince_ = nowMs;
    if (!(to == position_)) moveTo(to, false);
}

}  // namespace vantrel::sim
