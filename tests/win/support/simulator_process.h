#pragma once
// The simulated cutter (vantrel-sim.exe, built beside the test programs) run
// as a child process of a test, on a pipe base of its own.
//
//   vantrel::test::SimulatorProcess sim({L"--identification", L" CAMEO V1.10 "});
//   ASSERT_TRUE(sim.running());
//   SetEnvironmentVariableW(L"VANTREL_SIMULATOR", sim.pipeBase().c_str());
//   ... drive the plug-in ...
//   EXPECT_EQ(sim.received(), expectedWireBytes);
//   sim.unplug();  // all device pipes close; opening them fails with 2
//   sim.replug();  // they are back when this returns
//
// Control commands (see sim/README.md) go over "<base>\.ctl"; control()
// returns false when the simulator refused the command or did not answer.
// The destructor asks the simulator to quit and ends it if it does not.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/win32/unique_handle.h"

namespace vantrel::test {

class SimulatorProcess {
public:
    // `arguments` are vantrel-sim options; "--pipe" is added with a fresh base.
    // Waits until the simulator answers on its control pipe (its device pipes
    // exist by then).
    explicit SimulatorProcess(const std::vector<std::wstring>& arguments = {});
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool running() const;
    // For example \\.\pipe\vantrel-sim-1234-1: what VANTREL_SIMULATOR names.
    const std::wstring& pipeBase() const { return base_; }
    // "<base>\.00" (the machine reads it), "<base>\.01" (it answers there).
    std::wstring channelPath(int channel) const;
    std::wstring identificationPipe() const { return base_ + L"\\.id"; }

    bool control(const std::string& command, std::string* payload = nullptr);

    std::string received();                 // every byte received, in order
    std::vector<std::string> commands();    // decoded commands, e.g. "FG", "<ESC ENQ>"
    std::vector<std::string> anomalies();   // what a real machine would not take
    std::string status();                   // "plugged=1 received=... busy=0 ..."
    bool set(const std::string& name, const std::string& value);
    bool unplug();
    bool replug();
    // Polls until at least `bytes` have been received or `timeout` passes.
    bool waitForReceived(std::size_t bytes, std::chrono::milliseconds timeout);
    // Polls until no client has the machine's input ("<base>\.00") open: the
    // simulator notices a closed client only once it has read everything the
    // client wrote, so received() is then complete.
    bool waitUntilInputClosed(std::chrono::milliseconds timeout);

    // Quits the simulator (idempotent); returns its exit code.
    DWORD stop();

private:
    std::wstring base_;
    win::UniqueHandle process_;
    win::UniqueHandle thread_;
};

// Path of vantrel-sim.exe beside the running test program.
std::wstring simulatorExecutable();

}  // namespace vantrel::test
