// The control pipe "<base>\.ctl" through which tests drive the simulator, one
// command a connection, and the record it saves.
#include "win32/sim_server.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "toolpath/toolpath_render.h"

namespace vantrel::sim {
namespace {

constexpr std::size_t MaxControlLine = 1u << 20;

bool writeFile(const std::wstring& path, std::string_view bytes) {
    win::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    if (!file) return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 24));
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out.append(line).append("\n");
    return out;
}

// "ok <length>\n<payload>" or "error <length>\n<message>".
std::string frameAnswer(bool ok, const std::string& payload) {
    return (ok ? "ok " : "error ") + std::to_string(payload.size()) + "\n" + payload;
}

}  // namespace

void SimServer::serveControl() {
    while (!quit_) {
        win::UniqueHandle pipe = createPipeOrPause(base_ + L"\\.ctl", PIPE_UNLIMITED_INSTANCES);
        if (!pipe) continue;
        if (connectPipe(pipe.get(), quitEvent_.get()) != IoResult::Done) continue;
        std::string line;
        if (!readControlLine(pipe.get(), line)) continue;
        ControlAnswer answer = control(line);
        // No stop event: the answer to "quit" must still reach the client. A
        // client that has gone makes the write fail at once.
        writeAll(pipe.get(), frameAnswer(answer.ok, answer.payload), nullptr);
        // Closing without disconnecting leaves the answer readable.
    }
}

bool SimServer::readControlLine(HANDLE pipe, std::string& line) {
    std::vector<char> buffer(4096);
    while (line.size() < MaxControlLine) {
        Overlapped op;
        DWORD got = 0;
        BOOL started = ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, op.prepare());
        if (finishIo(pipe, op, started, quitEvent_.get(), got) != IoResult::Done) return false;
        line.append(buffer.data(), got);
        std::size_t end = line.find('\n');
        if (end != std::string::npos) {
            line.resize(end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
    }
    return false;
}

SimServer::ControlAnswer SimServer::control(const std::string& line) {
    std::size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (verb == "ping") return {true, "pong"};
    if (verb == "status") return statusAnswer();
    if (verb == "received") {
        std::lock_guard lock(mutex_);
        return {true, machine_.received()};
    }
    if (verb == "commands") {
        std::lock_guard lock(mutex_);
        return {true, joinLines(machine_.commandLog())};
    }
    if (verb == "anomalies") {
        std::lock_guard lock(mutex_);
        return {true, joinLines(machine_.anomalies())};
    }
    if (verb == "clear") {
        std::lock_guard lock(mutex_);
        machine_.clearRecord();
        return {true, {}};
    }
    if (verb == "save") return saveAnswer(rest);
    if (verb == "unplug") {
        if (!unplug(true)) return {false, "the pipes did not close"};
        return {true, {}};
    }
    if (verb == "replug") {
        if (!replug(true)) return {false, "the pipes did not come back"};
        return {true, {}};
    }
    if (verb == "set") return setAnswer(rest);
    if (verb == "busy") return busyAnswer(rest);
    if (verb == "inject") return injectAnswer(rest);
    if (verb == "fail-input") return failInputAnswer();
    if (verb == "quit") {
        requestQuit();
        return {true, {}};
    }
    return {false, "unknown command: " + verb};
}

// The control commands that take more than a line.

SimServer::ControlAnswer SimServer::statusAnswer() {
    std::lock_guard lock(mutex_);
    char text[512];
    const std::int64_t t = now();
    ToolPoint p = machine_.positionAt(t);
    std::snprintf(text, sizeof text,
                  "plugged=%d received=%llu commands=%zu busy=%d position=%.3f,%.3f tool=%s searches=%d "
                  "anomalies=%zu pending-replies=%zu input-client=%d output-client=%d id-reads=%d\n",
                  plugged_ ? 1 : 0, static_cast<unsigned long long>(machine_.received().size()),
                  machine_.commandLog().size(), machine_.busy(t) ? 1 : 0, p.y, p.x,
                  machine_.toolDown() ? "down" : "up", machine_.searchesAnswered(), machine_.anomalies().size(),
                  replies_.size() + delayedBytes_, inputClient_ ? 1 : 0, outputClient_ ? 1 : 0, idReads_.load());
    return {true, text};
}

SimServer::ControlAnswer SimServer::saveAnswer(const std::string& rest) {
    std::string folder = rest;
    if (folder.empty()) {
        std::lock_guard lock(mutex_);
        folder = settings_.outputFolder;
    }
    if (folder.empty()) return {false, "no output folder: give one, or start with --out"};
    std::string saved = saveRecord(folder);
    return {!saved.empty(), saved.empty() ? "cannot write the record to " + folder : saved};
}

SimServer::ControlAnswer SimServer::setAnswer(const std::string& rest) {
    std::size_t gap = rest.find(' ');
    std::string name = rest.substr(0, gap);
    std::string value = gap == std::string::npos ? std::string() : rest.substr(gap + 1);
    if (name == "pipe" || name == "out") return {false, "cannot change " + name + " while running"};
    std::lock_guard lock(mutex_);
    std::string error = applySetting(settings_, name, value, now());
    if (!error.empty()) return {false, error};
    applyToMachineLocked();
    return {true, {}};
}

SimServer::ControlAnswer SimServer::busyAnswer(const std::string& rest) {
    std::int64_t ms = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), ms);
    if (rest.empty() || ec != std::errc() || end != rest.data() + rest.size() || ms < 0) {
        return {false, "bad busy time: " + rest};
    }
    std::lock_guard lock(mutex_);
    machine_.busyFor(now(), ms);
    return {true, {}};
}

SimServer::ControlAnswer SimServer::injectAnswer(const std::string& rest) {
    std::string bytes;
    if (!unescape(rest, bytes)) return {false, "bad escape in: " + rest};
    std::lock_guard lock(mutex_);
    if (!plugged_) return {false, "unplugged"};
    queueRepliesLocked(std::move(bytes), now());
    return {true, {}};
}

SimServer::ControlAnswer SimServer::failInputAnswer() {
    std::lock_guard lock(mutex_);
    if (!inputPipe_) return {false, "no client on the input"};
    failInput_ = true;
    // From another thread only CancelIoEx reaches the input thread's pending
    // read; it then finds the request and cuts the client off.
    CancelIoEx(inputPipe_, nullptr);
    return {true, {}};
}

void SimServer::applyToMachineLocked() {
    machine_.config() = settings_.machine;
    machine_.faults() = settings_.faults;
}

std::string SimServer::saveRecord(const std::string& folder) {
    std::string received, commands, anomalies, svg, png;
    {
        std::lock_guard lock(mutex_);
        received = machine_.received();
        commands = joinLines(machine_.commandLog());
        anomalies = joinLines(machine_.anomalies());
        svg = toolPathSvg(machine_.toolPath());
        png = toolPathPng(machine_.toolPath());
    }
    std::wstring dir = widen(folder);
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::pair<const char*, const std::string*> files[] = {{"received.bin", &received},
                                                                {"commands.txt", &commands},
                                                                {"anomalies.txt", &anomalies},
                                                                {"toolpath.svg", &svg},
                                                                {"toolpath.png", &png}};
    std::string written;
    for (const auto& [name, bytes] : files) {
        std::string path = folder + "\\" + name;
        if (!writeFile(widen(path), *bytes)) return {};
        written += path + "\n";
    }
    return written;
}

}  // namespace vantrel::sim
