#include "support/simulator_process.h"

#include <atomic>
#include <sstream>

#include "driving/window_driving.h"
#include "support/win_test_support.h"

namespace vantrel::test {
namespace {

// Windows command-line quoting: backslashes are literal except before a quote.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::wstring simulatorExecutable() { return programDirectory() + L"\\vantrel-sim.exe"; }

SimulatorProcess::SimulatorProcess(const std::vector<std::wstring>& arguments) {
    static std::atomic<int> counter{0};
    base_ = L"\\\\.\\pipe\\vantrel-sim-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    std::wstring exe = simulatorExecutable();
    std::wstring commandLine = quoted(exe) + L" --pipe " + quoted(base_);
    for (const auto& argument : arguments) commandLine += L" " + quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return;
    }
    process_.reset(info.hProcess);
    thread_.reset(info.hThread);
    waitFor([&] { return !running() || control("ping"); }, std::chrono::seconds(20));
}

SimulatorProcess::~SimulatorProcess() { stop(); }

bool SimulatorProcess::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::wstring SimulatorProcess::channelPath(int channel) const {
    wchar_t suffix[8];
    swprintf(suffix, 8, L"\\.%02d", channel);
    return base_ + suffix;
}

bool SimulatorProcess::control(const std::string& command, std::string* payload) {
    if (!running()) return false;
    return driving::simulatorCommand(base_, command, payload, [this] { return running(); });
}

std::string SimulatorProcess::received() {
    std::string bytes;
    control("received", &bytes);
    return bytes;
}

std::vector<std::string> SimulatorProcess::commands() {
    std::string text;
    control("commands", &text);
    return splitLines(text);
}

std::vector<std::string> SimulatorProcess::anomalies() {
    std::string text;
    control("anomalies", &text);
    return splitLines(text);
}

std::string SimulatorProcess::status() {
    std::string text;
    control("status", &text);
    return text;
}

bool SimulatorProcess::set(const std::string& name, const std::string& value) {
    return control("set " + name + " " + value);
}

bool SimulatorProcess::unplug() { return control("unplug"); }
bool SimulatorProcess::replug() { return control("replug"); }

bool SimulatorProcess::waitForReceived(std::size_t bytes, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] {
            std::string s = status();
            std::size_t at = s.find("received=");
            return at != std::string::npos && std::stoull(s.substr(at + 9)) >= bytes;
        },
        timeout);
}

bool SimulatorProcess::waitUntilInputClosed(std::chrono::milliseconds timeout) {
    return waitFor([&] { return status().find("input-client=0") != std::string::npos; }, timeout);
}

DWORD SimulatorProcess::stop() {
    if (!process_) return 1;
    if (running()) {
        control("quit");
        if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 5000);
        }
    }
    DWORD code = 1;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

}  // namespace vantrel::test
