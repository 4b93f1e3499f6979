// The machine's input, "<base>\.00": bytes the plug-in writes reach the
// machine model here, through the link faults (an unplug after so many bytes,
// a slow link that takes them at a set rate).
#include "win32/sim_server.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vantrel::sim {
namespace {

constexpr std::size_t ReadBufferBytes = 65536;
// A slow link takes at most this much at a time, and no more than it takes in
// this time, so its pacing stays smooth (and a small job stays on its way for
// as long as its rate says).
constexpr std::size_t SlowLinkChunk = 4096;
constexpr std::int64_t SlowLinkSliceMs = 50;
// A stalled machine looks this often whether it takes bytes again.
constexpr DWORD StallCheckMs = 50;
// A slow link that sat idle longer than this starts a new run.
constexpr std::int64_t SlowLinkIdleMs = 50;

}  // namespace

void SimServer::serveMachineInput() { serveDevicePipe(L"\\.00", inputClient_, &SimServer::serveInputClient); }

void SimServer::serveInputClient(HANDLE pipe) {
    struct Served {
        SimServer& server;
        explicit Served(SimServer& s, HANDLE pipe) : server(s) {
            std::lock_guard lock(server.mutex_);
            server.inputPipe_ = pipe;
            server.failInput_ = false;
        }
        ~Served() {
            std::lock_guard lock(server.mutex_);
            server.inputPipe_ = nullptr;
        }
    } served(*this, pipe);
    std::vector<char> buffer(ReadBufferBytes);
    while (true) {
        ReadAllowance allowed = allowedRead(buffer.size());
        // Cut off: the pipe is disconnected with what was not read in it.
        if (allowed.inputFails) return;
        if (allowed.stalled) {
            // Taking nothing: the writer's bytes wait in the pipe until the
            // stall is set off or the cable is pulled.
            if (WaitForSingleObject(unplugEvent_.get(), StallCheckMs) == WAIT_OBJECT_0) return;
            // The plug-in may close its end meanwhile; reading nothing, only a
            // look at the pipe tells.
            DWORD waiting = 0;
            if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return;
            continue;
        }
        if (allowed.bytes == 0) {
            unplug(false);
            return;
        }
        Overlapped op;
        DWORD got = 0;
        BOOL started = ReadFile(pipe, buffer.data(), static_cast<DWORD>(allowed.bytes), nullptr, op.prepare());
        if (finishIo(pipe, op, started, unplugEvent_.get(), got) != IoResult::Done) return;
        std::int64_t delay = 0;
        if (!deliverInput(std::string_view(buffer.data(), got), allowed.rate, delay)) return;
        if (delay > 0 && WaitForSingleObject(unplugEvent_.get(), static_cast<DWORD>(delay)) == WAIT_OBJECT_0) return;
    }
}

SimServer::ReadAllowance SimServer::allowedRead(std::size_t capacity) {
    ReadAllowance allowed;
    {
        std::lock_guard lock(mutex_);
        allowed.bytes = plan_.admit(settings_.link, capacity);
        allowed.rate = settings_.link.bytesPerSecond;
        allowed.stalled = LinkPlan::stalled(settings_.link);
        allowed.inputFails = std::exchange(failInput_, false);
    }
    if (allowed.rate > 0) {
        const auto slice = static_cast<std::size_t>(std::max<std::int64_t>(1, allowed.rate * SlowLinkSliceMs / 1000));
        allowed.bytes = std::min({allowed.bytes, SlowLinkChunk, slice});
    }
    return allowed;
}

bool SimServer::deliverInput(std::string_view bytes, std::int64_t rate, std::int64_t& delayMs) {
    std::lock_guard lock(mutex_);
    if (!plugged_) return false;
    std::int64_t t = now();
    std::string replies = machine_.receive(bytes, t);
    plan_.took(settings_.link, bytes.size());
    queueRepliesLocked(std::move(replies), t);
    delayMs = paceLocked(bytes.size(), rate, t);
    if (plan_.unplugDue(settings_.link, t)) unplugLocked();
    return true;
}

std::int64_t SimServer::paceLocked(std::size_t bytes, std::int64_t rate, std::int64_t nowMs) {
    if (rate <= 0) {
        rateStart_ = -1;
        return 0;
    }
    // Pace against the start of the run, so rounding does not add up.
    auto runEnd = [&] { return rateStart_ + static_cast<std::int64_t>(rateBytes_ * 1000 / rate); };
    if (rateStart_ < 0 || runEnd() < nowMs - SlowLinkIdleMs) {
        rateStart_ = nowMs;
        rateBytes_ = 0;
    }
    rateBytes_ += bytes;
    return runEnd() - nowMs;
}

}  // namespace vantrel::sim
