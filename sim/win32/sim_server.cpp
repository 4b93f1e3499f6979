// The server's lifetime: its threads, the quit, and the cable that the link
// plan or a control command pulls and plugs back in.
#include "win32/sim_server.h"

#include <chrono>
#include <cstdio>

namespace vantrel::sim {
namespace {

constexpr int DevicePipeCount = 3;  // ".id", ".00", ".01"
constexpr DWORD PipeWaitMs = 5000;
constexpr DWORD TickMs = 10;

HANDLE makeEvent(bool manualReset, bool initiallySet) {
    return CreateEventW(nullptr, manualReset, initiallySet, nullptr);
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
    {
        // Taken so that a waiter cannot miss the quit between testing it and
        // going to sleep.
        std::lock_guard lock(pipesMutex_);
    }
    pipesChanged_.notify_all();
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

    while (WaitForSingleObject(quitEvent_.get(), TickMs) == WAIT_TIMEOUT) followLinkPlan();
    controlThread.join();
    identification.join();
    input.join();
    output.join();
    if (!settings_.outputFolder.empty()) saveRecord(settings_.outputFolder);
    return 0;
}

void SimServer::followLinkPlan() {
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

bool SimServer::waitForPipes(int count, DWORD timeoutMs) {
    auto reached = [&] { return count == 0 ? devicePipes_ <= 0 : devicePipes_ >= count; };
    std::unique_lock lock(pipesMutex_);
    // The predicate form of wait_for takes care of spurious wake-ups.
    pipesChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return reached() || quit_; });
    return reached();
}

void SimServer::countDevicePipes(int change) {
    {
        std::lock_guard lock(pipesMutex_);
        devicePipes_ += change;
    }
    pipesChanged_.notify_all();
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

bool SimServer::unplugged() const { return WaitForSingleObject(unplugEvent_.get(), 0) == WAIT_OBJECT_0; }

}  // namespace vantrel::sim
