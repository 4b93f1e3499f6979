#pragma once
// vantrel-sim's server: the machine model behind the three pipes a cutter is
// to Vantrel ("<base>\.id", "<base>\.00" the machine reads, "<base>\.01" it
// answers on) and a control pipe "<base>\.ctl" for tests.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "model/machine.h"
#include "model/settings.h"
#include "support/win32/unique_handle.h"

namespace vantrel::sim {

class SimServer {
public:
    explicit SimServer(SimSettings settings);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Serves until a "quit" control command (or `requestQuit`); writes the
    // record to the output folder, if one is set, before returning.
    int run();
    void requestQuit();

    // Answer to one control line: "ok" or "error" with a payload.
    struct ControlAnswer {
        bool ok = true;
        std::string payload;
    };
    ControlAnswer control(const std::string& line);

private:
    // Steps of control(), one a command.
    ControlAnswer statusAnswer();
    ControlAnswer saveAnswer(const std::string& rest);
    ControlAnswer setAnswer(const std::string& rest);
    ControlAnswer busyAnswer(const std::string& rest);
    ControlAnswer injectAnswer(const std::string& rest);

    std::int64_t now() const;
    void unplugLocked();
    bool unplug(bool waitForPipes);
    bool replug(bool waitForPipes);
    bool waitForPipes(int count, DWORD timeoutMs);
    std::string saveRecord(const std::string& folder);
    void applyToMachineLocked();
    // Queues replies the machine made at `nowMs`, at once or after the reply delay.
    void queueRepliesLocked(std::string replies, std::int64_t nowMs);
    // Moves the delayed replies that are due to `replies_`; returns how long
    // until the next one is due (INFINITE when none waits).
    DWORD releaseDueRepliesLocked(std::int64_t nowMs);
    void dropPendingRepliesLocked();

    void serveIdentification();
    void serveMachineInput();
    void serveMachineOutput();
    void serveControl();
    void guarded(const char* name, void (SimServer::*body)());
    bool waitUntilPlugged();

    std::mutex mutex_;  // guards everything below up to the events
    SimSettings settings_;
    Machine machine_;
    LinkPlan plan_;
    bool plugged_ = true;
    std::string replies_;          // bytes waiting to go out on "<base>\.01"
    struct DelayedReply {
        std::int64_t dueMs;
        std::string bytes;
    };
    std::deque<DelayedReply> delayed_;  // replies held back by the reply delay, oldest first
    std::size_t delayedBytes_ = 0;
    std::int64_t rateStart_ = -1;  // slow link: when the current run of reads began
    std::uint64_t rateBytes_ = 0;  // and how many bytes it has taken

    win::UniqueHandle plugEvent_;    // manual reset: set while plugged in
    win::UniqueHandle unplugEvent_;  // manual reset: set while unplugged or quitting
    win::UniqueHandle quitEvent_;    // manual reset
    win::UniqueHandle replyEvent_;   // auto reset: replies_ has bytes
    std::atomic<bool> quit_{false};
    std::atomic<int> devicePipes_{0};  // device pipe instances that exist now
    std::atomic<bool> inputClient_{false}, outputClient_{false};  // someone has ".00" / ".01" open
    std::atomic<int> idReads_{0};  // times the device id was served
    std::uint64_t startTick_ = 0;
    std::wstring base_;
};

}  // namespace vantrel::sim
