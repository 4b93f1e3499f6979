#include "session/link_trace.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace vantrel {

std::string traceEscape(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

bool traceUnescape(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {  // hand-edited traces may use it
            bytes += '\\';
            ++i;
            continue;
        }
        unsigned value = 0;
        if (i + 3 >= text.size() || text[i + 1] != 'x') return false;
        const char* first = text.data() + i + 2;
        auto [end, error] = std::from_chars(first, first + 2, value, 16);
        if (error != std::errc() || end != first + 2) return false;
        bytes += static_cast<char>(value);
        i += 3;
    }
    return true;
}

LinkTrace::LinkTrace(std::ostream& out, std::int64_t startMs) : out_(out), startMs_(startMs) {
    out_ << "# vantrel trace: milliseconds, > to the machine, < from it, id its IEEE 1284 id, usb vendor:product\n";
}

void LinkTrace::line(std::int64_t nowMs, const char* direction, std::string_view text) {
    out_ << (nowMs - startMs_) << ' ' << direction << ' ' << text << '\n';
}

void LinkTrace::device(std::uint16_t vendorId, std::uint16_t productId, std::int64_t nowMs) {
    char id[10];
    std::snprintf(id, sizeof id, "%04x:%04x", vendorId, productId);
    line(nowMs, "usb", id);
    out_.flush();
}

void LinkTrace::deviceId(std::string_view id, std::int64_t nowMs) {
    line(nowMs, "id", traceEscape(id));
    out_.flush();
}

// A command per line, each ended by its ETX: a job of thousands of commands
// stays readable, and a reader joins the lines of a direction back together.
void LinkTrace::commands(std::int64_t nowMs, const char* direction, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find('\x03'), bytes.size() - 1) + 1;
        line(nowMs, direction, traceEscape(bytes.substr(0, end)));
        bytes.remove_prefix(end);
    }
    out_.flush();  // each transfer whole on disk: a run that ends badly still leaves its trace
}

void LinkTrace::toMachine(std::string_view bytes, std::int64_t nowMs) { commands(nowMs, ">", bytes); }
void LinkTrace::fromMachine(std::string_view bytes, std::int64_t nowMs) { commands(nowMs, "<", bytes); }

LinkTransfer TracingLink::write(const char* data, std::size_t size, std::int64_t timeoutMs) {
    const LinkTransfer t = inner_.write(data, size, timeoutMs);
    if (t.bytes) trace_.toMachine(std::string_view(data, t.bytes), inner_.nowMs());
    return t;
}

LinkTransfer TracingLink::read(char* buffer, std::size_t size, std::int64_t timeoutMs) {
    const LinkTransfer t = inner_.read(buffer, size, timeoutMs);
    if (t.bytes) trace_.fromMachine(std::string_view(buffer, t.bytes), inner_.nowMs());
    return t;
}

std::vector<TraceEntry> parseTrace(std::string_view text, std::string& error) {
    std::vector<TraceEntry> entries;
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        TraceEntry entry;
        entry.line = number;
        auto [afterTime, bad] = std::from_chars(line.data(), line.data() + line.size(), entry.ms);
        std::string_view rest(afterTime, static_cast<std::size_t>(line.data() + line.size() - afterTime));
        // Times from the trace's start: a trace lasting decades is no trace,
        // and the replay adds and subtracts them without overflow.
        bool ok = bad == std::errc() && entry.ms >= 0 && entry.ms <= MaxTraceMs && !rest.empty() && rest[0] == ' ';
        if (ok) rest.remove_prefix(1);
        const std::size_t space = rest.find(' ');
        const std::string_view direction = rest.substr(0, space);
        const std::string_view bytes = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        if (direction == ">") entry.kind = TraceEntry::Kind::ToMachine;
        else if (direction == "<") entry.kind = TraceEntry::Kind::FromMachine;
        else if (direction == "id") entry.kind = TraceEntry::Kind::DeviceId;
        else if (direction == "usb") entry.kind = TraceEntry::Kind::Usb;
        else ok = false;
        if (!ok || !traceUnescape(bytes, entry.bytes)) {
            error = "line " + std::to_string(number) + ": not a trace line (TIME >|<|id|usb BYTES)";
            return entries;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace vantrel
