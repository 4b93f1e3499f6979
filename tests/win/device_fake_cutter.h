#pragma once
// A small cutter on named pipes for the device-link tests: it serves the two
// channels and the identification pipe under one base name, answers status
// requests and "FG", records every byte it receives, and can be unplugged and
// plugged in again.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::test {

class FakeCutter {
public:
    struct Behaviour {
        std::string deviceId = "MANUFACTURER:Silhouette;MODEL:CAMEO;";
        std::string identification = "  CAMEO V1.10  ";
        int busyAnswers = 0;          // "1" to this many status requests per connection
        bool answerIdentify = true;   // never answer "FG" when false
        std::size_t bytesPerSecond = 0;  // 0: as fast as the pipe goes
    };

    explicit FakeCutter(Behaviour behaviour)
        : behaviour_(std::move(behaviour)), answerIdentify_(behaviour_.answerIdentify) {
        static std::atomic<int> serial{0};
        base_ = L"\\\\.\\pipe\\vantrel-device-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial);
    }
    ~FakeCutter() { unplug(); }
    FakeCutter(const FakeCutter&) = delete;
    FakeCutter& operator=(const FakeCutter&) = delete;

    const std::wstring& base() const { return base_; }

    void plug() {
        if (plugged_) return;
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        // The pipes exist before plug() returns, so a search right after finds them.
        data_ = makePipe(L"\\.00");
        replies_ = makePipe(L"\\.01");
        HANDLE firstId = makeIdPipe();
        plugged_ = true;
        dataThread_ = std::thread([this] { serveData(); });
        idThread_ = std::thread([this, firstId] { serveId(firstId); });
    }

    void unplug() {
        if (!plugged_) return;
        SetEvent(stop_);
        if (dataThread_.joinable()) dataThread_.join();
        if (idThread_.joinable()) idThread_.join();
        CloseHandle(stop_);
        plugged_ = false;
    }
    bool plugged() const { return plugged_; }
    void setAnswerIdentify(bool answer) { answerIdentify_ = answer; }

    // Every byte received on the outgoing channel, over all connections.
    std::string received() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    std::size_t receivedSize() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_.size();
    }
    int statusRequests() const { return statusRequests_.load(); }
    int identifyRequests() const { return identifyRequests_.load(); }
    int connections() const { return connections_.load(); }

private:
    HANDLE makePipe(const wchar_t* suffix) {
        return CreateNamedPipeW((base_ + suffix).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
    }

    // Waits for an overlapped operation or for unplugging; false when unplugged
    // (the operation is cancelled and has ended).
    bool await(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD& transferred) {
        transferred = 0;
        if (!started) {
            DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED) return true;
            if (error != ERROR_IO_PENDING) {
                SetLastError(error);
                return false;
            }
        }
        HANDLE waits[] = {overlapped.hEvent, stop_};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
            SetLastError(ERROR_OPERATION_ABORTED);
            return false;
        }
        return GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) != FALSE;
    }

    bool stopped() const { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

    bool connect(HANDLE pipe) {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event;
        DWORD ignored = 0;
        bool ok = await(pipe, overlapped, ConnectNamedPipe(pipe, &overlapped), ignored);
        CloseHandle(event);
        return ok;
    }

    void reply(const std::string& text) {
        std::string bytes = text + '\x03';
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event;
        DWORD written = 0;
        await(replies_, overlapped, WriteFile(replies_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped),
              written);
        CloseHandle(event);
    }

    // Answers what the machine answers: the status character after ESC ENQ,
    // the identification after "FG" and ETX.
    void interpret(const char* bytes, DWORD length, int& busyLeft) {
        for (DWORD i = 0; i < length; ++i) {
            char c = bytes[i];
            if (afterEscape_) {
                afterEscape_ = false;
                if (c == 0x05) {
                    ++statusRequests_;
                    reply(busyLeft > 0 ? "1" : "0");
                    if (busyLeft > 0) --busyLeft;
                }
                continue;
            }
            if (c == 0x1B) {
                afterEscape_ = true;
            } else if (c == 0x03) {
                if (command_ == "FG") {
                    ++identifyRequests_;
                    if (answerIdentify_) reply(behaviour_.identification);
                }
                command_.clear();
            } else if (command_.size() < 16) {
                command_ += c;
            }
        }
    }

    void serveData() {
        std::vector<char> buffer(65536);
        while (!stopped()) {
            if (!connect(data_) || !connect(replies_)) break;
            ++connections_;
            int busyLeft = behaviour_.busyAnswers;
            command_.clear();
            afterEscape_ = false;
            HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            while (!stopped()) {
                DWORD chunk = static_cast<DWORD>(buffer.size());
                if (behaviour_.bytesPerSecond) chunk = static_cast<DWORD>(std::min<std::size_t>(chunk, behaviour_.bytesPerSecond / 50));
                OVERLAPPED overlapped = {};
                overlapped.hEvent = event;
                DWORD got = 0;
                if (!await(data_, overlapped, ReadFile(data_, buffer.data(), chunk, nullptr, &overlapped), got)) break;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    received_.append(buffer.data(), got);
                }
                interpret(buffer.data(), got, busyLeft);
                // About 20 ms per chunk: the pace of the machine's slow link.
                if (behaviour_.bytesPerSecond) Sleep(20);
            }
            CloseHandle(event);
            // The client closed its channels (or the cutter is unplugged):
            // listen again for the next connection.
            DisconnectNamedPipe(data_);
            DisconnectNamedPipe(replies_);
        }
        CloseHandle(data_);
        CloseHandle(replies_);
    }

    HANDLE makeIdPipe() {
        return CreateNamedPipeW((base_ + L"\\.id").c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED,
                                PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
    }

    void serveId(HANDLE pipe) {
        while (pipe != INVALID_HANDLE_VALUE) {
            if (!connect(pipe)) {
                CloseHandle(pipe);
                return;
            }
            // The next instance listens before this one answers, so a second
            // search right after the first always finds the pipe.
            HANDLE next = makeIdPipe();
            HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            OVERLAPPED overlapped = {};
            overlapped.hEvent = event;
            DWORD written = 0;
            const std::string& id = behaviour_.deviceId;
            await(pipe, overlapped, WriteFile(pipe, id.data(), static_cast<DWORD>(id.size()), nullptr, &overlapped),
                  written);
            CloseHandle(event);
            // Closing without disconnecting keeps the text readable for the client.
            CloseHandle(pipe);
            pipe = next;
        }
    }

    Behaviour behaviour_;
    std::wstring base_;
    HANDLE stop_ = nullptr;
    HANDLE data_ = INVALID_HANDLE_VALUE;
    HANDLE replies_ = INVALID_HANDLE_VALUE;
    bool plugged_ = false;
    std::thread dataThread_;
    std::thread idThread_;
    std::atomic<bool> answerIdentify_;
    mutable std::mutex mutex_;
    std::string received_;
    std::string command_;
    bool afterEscape_ = false;
    std::atomic<int> statusRequests_{0};
    std::atomic<int> identifyRequests_{0};
    std::atomic<int> connections_{0};
};

}  // namespace vantrel::test
