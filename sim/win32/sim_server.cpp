#include "win32/sim_server.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "model/toolpath_render.h"
#include "win32/pipe_io.h"

namespace vantrel::sim {
namespace {

constexpr int DevicePipeCount = 3;  // ".id", ".00", ".01"
constexpr DWORD PipeWaitMs = 5000;
// Replies the client never reads are dropped beyond this, as a real
// machine's small buffer would.
constexpr std::size_t MaxPendingReplies = 1u << 20;
constexpr std::size_t MaxControlLine = 1u << 20;
constexpr DWORD SlowLinkChunk = 4096;

HANDLE makeEvent(bool manualReset, bool initiallySet) {
    return CreateEventW(nullptr, manualReset, initiallySet, nullptr);
}

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

}  // namespace

SimServer::SimServer(SimSettings settings)
    : settings_(std::move(settings)),
      machine_(settings_.machine),
      plugEvent_(makeEvent(true, true)),
      unplugEvent_(makeEvent(true, false)),
      quitEvent_(makeEvent(true, false)),
      replyEvent_(makeEvent(false, false)),
      startTick_(GetTickCount64()),
      base_(widen(settings_.pipeBase)) {
    machine_.faults() = settings_.faults;
}

SimServer::~SimServer() { requestQuit(); }

std::int64_t SimServer::now() const { return static_cast<std::int64_t>(GetTickCount64() - startTick_); }

void SimServer::requestQuit() {
    quit_ = true;
    SetEvent(quitEvent_.get());
    SetEvent(unplugEvent_.get());
    SetEvent(plugEvent_.get());
}

void SimServer::guarded(const char* name, void (SimServer::*body)()) {
    try {
        (this->*body)();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrel-sim: %s thread failed: %s\n", name, e.what());
        requestQuit();
    } catch (...) {
        std::fprintf(stderr, "vantrel-sim: %s thread failed\n", name);
        requestQuit();
    }
}

int SimServer::run() {
    std::jthread identification(&SimServer::guarded, this, "identification", &SimServer::serveIdentification);
    std::jthread input(&SimServer::guarded, this, "input", &SimServer::serveMachineInput);
    std::jthread output(&SimServer::guarded, this, "output", &SimServer::serveMachineOutput);
    if (!waitForPipes(DevicePipeCount, PipeWaitMs)) {
        std::fprintf(stderr, "vantrel-sim: cannot create the pipes of %s\n", settings_.pipeBase.c_str());
        requestQuit();
        return 1;
    }
    // The control pipe appears last: once it answers, the device pipes exist.
    std::jthread controlThread(&SimServer::guarded, this, "control", &SimServer::serveControl);
    std::printf("vantrel-sim: serving %s\n", settings_.pipeBase.c_str());
    std::fflush(stdout);

    while (WaitForSingleObject(quitEvent_.get(), 10) == WAIT_TIMEOUT) {
        bool replugNow = false;
        {
            std::lock_guard lock(mutex_);
            std::int64_t t = now();
            if (plugged_ && plan_.unplugDue(settings_.link, t)) {
                unplugLocked();
            } else if (!plugged_ && plan_.replugDue(t)) {
                replugNow = true;
            }
        }
        if (replugNow) replug(false);
    }
    controlThread.join();
    identification.join();
    input.join();
    output.join();
    if (!settings_.outputFolder.empty()) saveRecord(settings_.outputFolder);
    return 0;
}

bool SimServer::waitForPipes(int count, DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (count == 0 ? devicePipes_.load() > 0 : devicePipes_.load() < count) {
        if (GetTickCount64() >= deadline || quit_) return false;
        Sleep(2);
    }
    return true;
}

void SimServer::unplugLocked() {
    if (!plugged_) return;
    plugged_ = false;
    std::int64_t t = now();
    machine_.connectionLost(t);
    plan_.unplugged(settings_.link, t);
    dropPendingRepliesLocked();
    rateStart_ = -1;
    ResetEvent(plugEvent_.get());
    SetEvent(unplugEvent_.get());
}

bool SimServer::unplug(bool wait) {
    {
        std::lock_guard lock(mutex_);
        unplugLocked();
    }
    return !wait || waitForPipes(0, PipeWaitMs);
}

bool SimServer::replug(bool wait) {
    // The old instances must be gone before the names come back.
    if (!waitForPipes(0, PipeWaitMs)) return false;
    {
        std::lock_guard lock(mutex_);
        if (quit_) return false;
        if (!plugged_) {
            plugged_ = true;
            plan_.plugged();
            ResetEvent(unplugEvent_.get());
            SetEvent(plugEvent_.get());
        }
    }
    return !wait || waitForPipes(DevicePipeCount, PipeWaitMs);
}

bool SimServer::waitUntilPlugged() {
    HANDLE waits[2] = {plugEvent_.get(), quitEvent_.get()};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return !quit_;
}

void SimServer::serveIdentification() {
    std::wstring name = base_ + L"\\.id";
    win::UniqueHandle listening;
    auto closeInstance = [&](win::UniqueHandle& pipe, IoResult result) {
        // Closing without disconnecting leaves the text readable; the client
        // then finds the end of the pipe. An unplug throws it away instead.
        if (result == IoResult::Stopped) DisconnectNamedPipe(pipe.get());
        pipe.reset();
        --devicePipes_;
    };
    while (!quit_) {
        if (!listening) {
            if (!waitUntilPlugged()) break;
            listening = createPipe(name, PIPE_UNLIMITED_INSTANCES);
            if (!listening) {
                WaitForSingleObject(quitEvent_.get(), 50);
                continue;
            }
            ++devicePipes_;
        }
        IoResult result = connectPipe(listening.get(), unplugEvent_.get());
        if (result != IoResult::Done) {
            closeInstance(listening, result);
            if (result == IoResult::Failed) WaitForSingleObject(quitEvent_.get(), 10);
            continue;
        }
        // Discovery reads the id once per channel, back to back: the next
        // instance listens before this one is served and closed.
        win::UniqueHandle served = std::move(listening);
        if (WaitForSingleObject(unplugEvent_.get(), 0) == WAIT_TIMEOUT) {
            listening = createPipe(name, PIPE_UNLIMITED_INSTANCES);
            if (listening) ++devicePipes_;
        }
        std::string text;
        {
            std::lock_guard lock(mutex_);
            text = settings_.deviceId.substr(0, MaxDeviceIdBytes);
        }
        ++idReads_;
        closeInstance(served, writeAll(served.get(), text, unplugEvent_.get()));
    }
    if (listening) closeInstance(listening, IoResult::Stopped);
}

void SimServer::serveMachineInput() {
    std::vector<char> buffer(65536);
    while (!quit_) {
        if (!waitUntilPlugged()) break;
        win::UniqueHandle pipe = createPipe(base_ + L"\\.00", 1);
        if (!pipe) {
            WaitForSingleObject(quitEvent_.get(), 50);
            continue;
        }
        ++devicePipes_;
        // One instance serves client after client until the cable is pulled.
        while (!quit_ && connectPipe(pipe.get(), unplugEvent_.get()) == IoResult::Done) {
            inputClient_ = true;
            while (true) {
                std::size_t want = 0;
                std::int64_t rate = 0;
                {
                    std::lock_guard lock(mutex_);
                    want = plan_.admit(settings_.link, buffer.size());
                    rate = settings_.link.bytesPerSecond;
                }
                if (rate > 0) want = std::min<std::size_t>(want, SlowLinkChunk);
                if (want == 0) {
                    unplug(false);
                    break;
                }
                Overlapped op;
                DWORD got = 0;
                BOOL started = ReadFile(pipe.get(), buffer.data(), static_cast<DWORD>(want), nullptr, op.prepare());
                if (finishIo(pipe.get(), op, started, unplugEvent_.get(), got) != IoResult::Done) break;
                std::int64_t delay = 0;
                {
                    std::lock_guard lock(mutex_);
                    if (!plugged_) break;
                    std::int64_t t = now();
                    std::string replies = machine_.receive(std::string_view(buffer.data(), got), t);
                    plan_.took(settings_.link, got);
                    queueRepliesLocked(std::move(replies), t);
                    if (rate > 0) {
                        // Pace against the start of the run, so rounding does
                        // not add up; a link that sat idle starts a new run.
                        if (rateStart_ < 0 ||
                            rateStart_ + static_cast<std::int64_t>(rateBytes_ * 1000 / rate) < t - 50) {
                            rateStart_ = t;
                            rateBytes_ = 0;
                        }
                        rateBytes_ += got;
                        delay = rateStart_ + static_cast<std::int64_t>(rateBytes_ * 1000 / rate) - t;
                    } else {
                        rateStart_ = -1;
                    }
                    if (plan_.unplugDue(settings_.link, t)) unplugLocked();
                }
                if (delay > 0 && WaitForSingleObject(unplugEvent_.get(), static_cast<DWORD>(delay)) == WAIT_OBJECT_0) {
                    break;
                }
            }
            inputClient_ = false;
            DisconnectNamedPipe(pipe.get());
            if (WaitForSingleObject(unplugEvent_.get(), 0) == WAIT_OBJECT_0) break;
        }
        DisconnectNamedPipe(pipe.get());
        pipe.reset();
        --devicePipes_;
    }
}

void SimServer::serveMachineOutput() {
    char sink[512];
    while (!quit_) {
        if (!waitUntilPlugged()) break;
        win::UniqueHandle pipe = createPipe(base_ + L"\\.01", 1);
        if (!pipe) {
            WaitForSingleObject(quitEvent_.get(), 50);
            continue;
        }
        ++devicePipes_;
        while (!quit_ && connectPipe(pipe.get(), unplugEvent_.get()) == IoResult::Done) {
            // Nothing should arrive on this channel; the pending read is how
            // we learn that the client has closed it.
            outputClient_ = true;
            Overlapped readOp;
            bool reading = false;
            while (true) {
                if (!reading) {
                    BOOL started = ReadFile(pipe.get(), sink, sizeof sink, nullptr, readOp.prepare());
                    if (!started && GetLastError() != ERROR_IO_PENDING) break;
                    reading = true;
                }
                DWORD untilDue = INFINITE;
                {
                    std::lock_guard lock(mutex_);
                    untilDue = releaseDueRepliesLocked(now());
                    if (!replies_.empty()) untilDue = 0;
                }
                HANDLE waits[3] = {readOp.event(), replyEvent_.get(), unplugEvent_.get()};
                DWORD woke = WaitForMultipleObjects(3, waits, FALSE, untilDue);
                if (woke == WAIT_OBJECT_0) {
                    reading = false;
                    DWORD got = 0;
                    if (!GetOverlappedResult(pipe.get(), readOp.record(), &got, FALSE)) break;
                    std::lock_guard lock(mutex_);
                    if (got > 0) machine_.noteAnomaly(std::to_string(got) + " bytes written to the reply channel");
                    continue;
                }
                // A time-out means a delayed reply is due.
                if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT) break;
                std::string out;
                {
                    std::lock_guard lock(mutex_);
                    releaseDueRepliesLocked(now());
                    out.swap(replies_);
                }
                if (!out.empty() && writeAll(pipe.get(), out, unplugEvent_.get()) != IoResult::Done) break;
            }
            if (reading) {
                CancelIo(pipe.get());
                DWORD ignored = 0;
                GetOverlappedResult(pipe.get(), readOp.record(), &ignored, TRUE);
            }
            {
                // Replies meant for a client that has gone are not given to the next.
                std::lock_guard lock(mutex_);
                dropPendingRepliesLocked();
            }
            outputClient_ = false;
            DisconnectNamedPipe(pipe.get());
            if (WaitForSingleObject(unplugEvent_.get(), 0) == WAIT_OBJECT_0) break;
        }
        DisconnectNamedPipe(pipe.get());
        pipe.reset();
        --devicePipes_;
    }
}

void SimServer::serveControl() {
    std::vector<char> buffer(4096);
    while (!quit_) {
        win::UniqueHandle pipe = createPipe(base_ + L"\\.ctl", PIPE_UNLIMITED_INSTANCES);
        if (!pipe) {
            WaitForSingleObject(quitEvent_.get(), 50);
            continue;
        }
        if (connectPipe(pipe.get(), quitEvent_.get()) != IoResult::Done) continue;
        std::string line;
        bool complete = false;
        while (line.size() < MaxControlLine) {
            Overlapped op;
            DWORD got = 0;
            BOOL started = ReadFile(pipe.get(), buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, op.prepare());
            if (finishIo(pipe.get(), op, started, quitEvent_.get(), got) != IoResult::Done) break;
            line.append(buffer.data(), got);
            if (line.find('\n') != std::string::npos) {
                complete = true;
                break;
            }
        }
        if (!complete) continue;
        line.resize(line.find('\n'));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ControlAnswer answer = control(line);
        std::string reply = (answer.ok ? "ok " : "error ") + std::to_string(answer.payload.size()) + "\n";
        reply += answer.payload;
        // No stop event: the answer to "quit" must still reach the client. A
        // client that has gone makes the write fail at once.
        writeAll(pipe.get(), reply, nullptr);
        // Closing without disconnecting leaves the answer readable.
    }
}

void SimServer::queueRepliesLocked(std::string replies, std::int64_t nowMs) {
    if (replies.empty() || replies_.size() + delayedBytes_ + replies.size() > MaxPendingReplies) return;
    if (settings_.link.replyDelayMs > 0) {
        delayedBytes_ += replies.size();
        delayed_.push_back({nowMs + settings_.link.replyDelayMs, std::move(replies)});
    } else if (delayed_.empty()) {
        replies_ += replies;
    } else {
        // The delay was switched off with replies still held back: they keep their place.
        delayedBytes_ += replies.size();
        delayed_.push_back({nowMs, std::move(replies)});
    }
    // Also wakes the output thread to wait for a new due time.
    SetEvent(replyEvent_.get());
}

DWORD SimServer::releaseDueRepliesLocked(std::int64_t nowMs) {
    while (!delayed_.empty() && delayed_.front().dueMs <= nowMs) {
        replies_ += delayed_.front().bytes;
        delayedBytes_ -= delayed_.front().bytes.size();
        delayed_.pop_front();
    }
    if (delayed_.empty()) return INFINITE;
    return static_cast<DWORD>(delayed_.front().dueMs - nowMs);
}

void SimServer::dropPendingRepliesLocked() {
    replies_.clear();
    delayed_.clear();
    delayedBytes_ = 0;
}

void SimServer::applyToMachineLocked() {
    machine_.config() = settings_.machine;
    machine_.faults() = settings_.faults;
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
    ToolPoint p = machine_.position();
    std::snprintf(text, sizeof text,
                  "plugged=%d received=%llu commands=%zu busy=%d position=%.3f,%.3f tool=%s searches=%d "
                  "anomalies=%zu pending-replies=%zu input-client=%d output-client=%d id-reads=%d\n",
                  plugged_ ? 1 : 0, static_cast<unsigned long long>(machine_.received().size()),
                  machine_.commandLog().size(), machine_.busy(now()) ? 1 : 0, p.y, p.x,
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
