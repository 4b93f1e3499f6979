#pragma once
// vantrel-sim's server: the machine model behind the three pipes a cutter is
// to Vantrel ("<base>\.id", "<base>\.00" the machine reads, "<base>\.01" it
// answers on) and a control pipe "<base>\.ctl" for tests.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "model/machine.h"
#include "model/settings.h"
#include "support/win32/unique_handle.h"
#include "win32/pipe_io.h"

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
    // The server's lifetime and the cable (sim_server.cpp).
    std::int64_t now() const;
    void guarded(const char* name, void (SimServer::*body)());
    // Unplugs or replugs when the link plan says so; run() asks at every tick.
    void followLinkPlan();
    void unplugLocked();
    bool unplug(bool waitForPipes);
    bool replug(bool waitForPipes);
    // Waits until at least `count` device pipe instances exist (0: until none
    // does); false after `timeoutMs` or on a quit.
    bool waitForPipes(int count, DWORD timeoutMs);
    void countDevicePipes(int change);
    bool waitUntilPlugged();
    bool unplugged() const;

    // The device pipes' common steps and "<base>\.id" (sim_device_pipes.cpp).
    void serveIdentification();
    std::string deviceIdText();
    // Serves ".00" or ".01": one instance, client after client, until unplugged.
    void serveDevicePipe(const wchar_t* suffix, std::atomic<bool>& clientConnected,
                         void (SimServer::*serveClient)(HANDLE pipe));
    // Once plugged in, one counted instance of a device pipe; empty when
    // quitting or when the name could not be taken this time.
    win::UniqueHandle openDevicePipe(const std::wstring& name, DWORD maxInstances, DWORD bufferBytes = 65536);
    void closeDevicePipe(win::UniqueHandle& pipe, bool disconnect);
    win::UniqueHandle createPipeOrPause(const std::wstring& name, DWORD maxInstances, DWORD bufferBytes = 65536);

    // The machine's input, "<base>\.00" (sim_machine_input.cpp).
    struct ReadAllowance {
        std::size_t bytes = 0;  // 0: the cable is to be pulled first
        std::int64_t rate = 0;  // the slow link's bytes per second, 0 when off
        bool stalled = false;   // the machine takes nothing now
        bool inputFails = false;  // "fail-input": the client is to be cut off
    };
    void serveMachineInput();
    void serveInputClient(HANDLE pipe);
    ReadAllowance allowedRead(std::size_t capacity);
    // Gives bytes read to the machine; false once the cable is out. `delayMs`
    // is how long the slow link holds back the next read.
    bool deliverInput(std::string_view bytes, std::int64_t rate, std::int64_t& delayMs);
    std::int64_t paceLocked(std::size_t bytes, std::int64_t rate, std::int64_t nowMs);

    // The machine's output, "<base>\.01", and the replies waiting for it
    // (sim_machine_output.cpp).
    void serveMachineOutput();
    void serveOutputClient(HANDLE pipe);
    // How long the output thread may wait: 0 when replies wait to go out.
    DWORD untilRepliesDue();
    bool noteStrayInput(HANDLE pipe, Overlapped& readOp);
    bool sendDueReplies(HANDLE pipe);
    // Queues replies the machine made at `nowMs`, at once or after the reply delay.
    void queueRepliesLocked(std::string replies, std::int64_t nowMs);
    // Moves the delayed replies that are due to `replies_`; returns how long
    // until the next one is due (INFINITE when none waits).
    DWORD releaseDueRepliesLocked(std::int64_t nowMs);
    void dropPendingRepliesLocked();

    // The control pipe, "<base>\.ctl", and the record (sim_control.cpp).
    void serveControl();
    // Reads up to the first line end; false when no whole line came.
    bool readControlLine(HANDLE pipe, std::string& line);
    // Steps of control(), one a command.
    ControlAnswer statusAnswer();
    ControlAnswer saveAnswer(const std::string& rest);
    ControlAnswer setAnswer(const std::string& rest);
    ControlAnswer busyAnswer(const std::string& rest);
    ControlAnswer injectAnswer(const std::string& rest);
    ControlAnswer failInputAnswer();
    void applyToMachineLocked();
    std::string saveRecord(const std::string& folder);

    std::mutex mutex_;  // guards everything below up to the events
    SimSettings settings_;
    Machine machine_;
    LinkPlan plan_;
    bool plugged_ = true;
    std::string replies_;          // bytes waiting to go out on "<base>\.01"
    HANDLE inputPipe_ = nullptr;   // "<base>\.00" while a client is served there
    bool failInput_ = false;       // "fail-input" asked: cut that client off
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
    std::mutex pipesMutex_;                  // guards devicePipes_
    std::condition_variable pipesChanged_;   // a change of devicePipes_, or a quit
    int devicePipes_ = 0;                    // device pipe instances that exist now
    std::atomic<bool> inputClient_{false}, outputClient_{false};  // someone has ".00" / ".01" open
    std::atomic<int> idReads_{0};  // times the device id was served
    std::uint64_t startTick_ = 0;
    std::wstring base_;
};

}  // namespace vantrel::sim
