#include "device/win32/port_thread.h"

#include "diagnostics/win32/diagnostics_run.h"

namespace vantrel::win {

PortThread::PortThread() : lock_(CreateMutexW(nullptr, FALSE, nullptr)) {}

PortThread::~PortThread() {
    if (channel_) CloseHandle(channel_);
}

bool PortThread::openChannel(const std::wstring& path) {
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD openError = GetLastError();
    MutexLock lock(lock_.get());
    if (channel_) {
        CancelIoEx(channel_, nullptr);
        CloseHandle(channel_);
        channel_ = nullptr;
    }
    if (opened == INVALID_HANDLE_VALUE) {
        SetLastError(openError);
        return false;
    }
    channel_ = opened;
    ++connection_;
    return true;
}

void PortThread::closeChannel() {
    MutexLock lock(lock_.get());
    if (!channel_) return;
    // CancelIo would cancel only this thread's transfers; the pending one
    // belongs to the worker.
    CancelIoEx(channel_, nullptr);
    CloseHandle(channel_);
    channel_ = nullptr;
}

bool PortThread::isChannelOpen() const {
    MutexLock lock(lock_.get());
    return channel_ != nullptr;
}

unsigned long PortThread::connection() const {
    MutexLock lock(lock_.get());
    return channel_ ? connection_ : 0;
}

bool PortThread::dropChannelAfterFailure() {
    if (!channel_) return false;
    logChannelLost(notifyMessage(), GetLastError());
    CloseHandle(channel_);
    channel_ = nullptr;
    return true;
}

void PortThread::awaitEnd(MutexLock& lock, OVERLAPPED& overlapped) {
    while (WaitForSingleObject(overlapped.hEvent, WorkerStepMs) == WAIT_TIMEOUT) lock.yield();
}

PortThread::IoEnd PortThread::finishTransfer(MutexLock& lock, BOOL started, OVERLAPPED& overlapped,
                                             DWORD& transferred) {
    transferred = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) return IoEnd::Failed;
    for (;;) {
        DWORD waited = WaitForSingleObject(overlapped.hEvent, WorkerStepMs);
        if (waited == WAIT_OBJECT_0) {
            // The lock has been held since the channel was last seen open.
            return GetOverlappedResult(channel_, &overlapped, &transferred, FALSE) ? IoEnd::Completed
                                                                                  : IoEnd::Failed;
        }
        if (waited != WAIT_TIMEOUT) {
            CancelIo(channel_);
            awaitEnd(lock, overlapped);
            return IoEnd::Failed;
        }
        lock.yield();
        bool quit = quitRequested();
        if (!channel_) {
            // The monitor closed it and cancelled the transfer; wait for the end.
            awaitEnd(lock, overlapped);
            return quit ? IoEnd::Quit : IoEnd::Closed;
        }
        if (quit) {
            // Our own transfer: CancelIo from this thread reaches it.
            CancelIo(channel_);
            awaitEnd(lock, overlapped);
            return IoEnd::Quit;
        }
    }
}

}  // namespace vantrel::win
