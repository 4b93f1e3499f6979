#pragma once
// The machine's end of one channel, held by a test: it writes replies and
// reads what the plug-in sent.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

#include "device_test_window.h"

namespace vantrel::test {

using namespace std::chrono_literals;

class PipeEnd {
public:
    PipeEnd() {
        static std::atomic<int> serial{0};
        name_ = L"\\\\.\\pipe\\vantrel-port-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial) + L"\\.00";
        pipe_ = CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
        event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~PipeEnd() { close(); }
    const std::wstring& name() const { return name_; }
    void close() {
        if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
        if (event_) CloseHandle(event_);
        event_ = nullptr;
    }
    void write(std::string_view bytes) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event_;
        DWORD written = 0;
        WriteFile(pipe_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped);
        GetOverlappedResult(pipe_, &overlapped, &written, TRUE);
    }
    // Everything that arrives within `time`.
    std::string readFor(std::chrono::milliseconds time) {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + time;
        char buffer[4096];
        while (std::chrono::steady_clock::now() < deadline) {
            DWORD available = 0;
            if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) break;
            if (available == 0) {
                EventWindow::pumpFor(5ms);
                continue;
            }
            OVERLAPPED overlapped = {};
            overlapped.hEvent = event_;
            DWORD n = 0;
            ReadFile(pipe_, buffer, std::min<DWORD>(available, sizeof buffer), nullptr, &overlapped);
            GetOverlappedResult(pipe_, &overlapped, &n, TRUE);
            got.append(buffer, n);
        }
        return got;
    }

    // A machine that takes its data slowly: at most `chunk` bytes every
    // `pause`, until `stop` is set and nothing more is waiting.
    std::string readSlowly(std::size_t chunk, std::chrono::milliseconds pause, const std::atomic<bool>& stop) {
        std::string got;
        std::string buffer(chunk, '\0');
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) break;
            if (available == 0) {
                if (stop.load()) break;
            } else {
                OVERLAPPED overlapped = {};
                overlapped.hEvent = event_;
                DWORD n = 0;
                ReadFile(pipe_, buffer.data(), std::min<DWORD>(available, static_cast<DWORD>(chunk)), nullptr, &overlapped);
                GetOverlappedResult(pipe_, &overlapped, &n, TRUE);
                got.append(buffer.data(), n);
            }
            Sleep(static_cast<DWORD>(pause.count()));  // paces the slow machine
        }
        return got;
    }

private:
    std::wstring name_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
};

}  // namespace vantrel::test
