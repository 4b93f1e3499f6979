#include "win32/pipe_io.h"

namespace vantrel::sim {

Overlapped::Overlapped() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

OVERLAPPED* Overlapped::prepare() {
    record_ = OVERLAPPED{};
    record_.hEvent = event_.get();
    ResetEvent(event_.get());
    return &record_;
}

IoResult finishIo(HANDLE pipe, Overlapped& op, BOOL started, HANDLE stop, DWORD& bytes) {
    bytes = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) return IoResult::Failed;
    HANDLE waits[2] = {op.event(), stop};
    DWORD woke = WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 + 1) {
        cancelIo(pipe, op, bytes);
        return IoResult::Stopped;
    }
    return GetOverlappedResult(pipe, op.record(), &bytes, FALSE) ? IoResult::Done : IoResult::Failed;
}

void cancelIo(HANDLE pipe, Overlapped& op, DWORD& bytes) {
    // CancelIo cancels only this thread's operations, which is what we want:
    // each pipe belongs to one thread.
    CancelIo(pipe);
    GetOverlappedResult(pipe, op.record(), &bytes, TRUE);
}

win::UniqueHandle createPipe(const std::wstring& name, DWORD maxInstances, DWORD bufferBytes) {
    HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, maxInstances, bufferBytes, bufferBytes, 0,
                                   nullptr);
    return win::UniqueHandle(pipe == INVALID_HANDLE_VALUE ? nullptr : pipe);
}

IoResult connectPipe(HANDLE pipe, HANDLE stop) {
    Overlapped op;
    BOOL started = ConnectNamedPipe(pipe, op.prepare());
    if (!started && GetLastError() == ERROR_PIPE_CONNECTED) return IoResult::Done;
    DWORD ignored = 0;
    return finishIo(pipe, op, started, stop, ignored);
}

IoResult writeAll(HANDLE pipe, std::string_view bytes, HANDLE stop) {
    while (!bytes.empty()) {
        Overlapped op;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        BOOL started = WriteFile(pipe, bytes.data(), chunk, nullptr, op.prepare());
        IoResult result = finishIo(pipe, op, started, stop, written);
        if (result != IoResult::Done) return result;
        if (written == 0) return IoResult::Failed;
        bytes.remove_prefix(written);
    }
    return IoResult::Done;
}

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace vantrel::sim
