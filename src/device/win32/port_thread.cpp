#include "device/win32/port_thread.h"

#include "log/win32/diagnostics_run.h"

namespace vantrel::win {

UniqueHandle openOverlappedChannel(const std::wstring& path) {
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
}

PortThread::PortThread() : lock_(CreateMutexW(nullptr, FALSE, nullptr)) {}

PortThread::~PortThread() = default;

bool PortThread::openChannel(const std::wstring& path) {
    UniqueHandle opened = openOverlappedChannel(path);
    const DWORD openError = GetLastError();
    if (takeChannel(std::move(opened))) return true;
    SetLastError(openError);
    return false;
}

bool PortThread::takeChannel(UniqueHandle opened) {
    MutexLock lock(lock_.get());
    if (channel_) {
        cancelTransfers(channel_.get(), nullptr);
        resetChannel();
    }
    if (!opened) return false;
    channel_ = std::move(opened);
    openConnection_.store(++connection_);
    return true;
}

void PortThread::closeChannel() {
    MutexLock lock(lock_.get());
    if (!channel_) return;
    // CancelIo would cancel only this thread's transfers; the pending one
    // belongs to the worker.
    cancelTransfers(channel_.get(), nullptr);
    resetChannel();
}

void PortThread::resetChannel() {
    openConnection_.store(0);
    channel_.reset();
}


bool PortThread::dropChannelAfterFailure() {
    if (!channel_) return false;
    logChannelLost(notifyMessage(), GetLastError());
    resetChannel();
    return true;
}

void PortThread::cancelTransfers(HANDLE channel, OVERLAPPED* which) {
    // Documented not to wait for the cancelled operations to complete: the
    // driver ends them when it will, and awaitCancelled follows that with a
    // limit. From any thread, and for the one transfer named.
    CancelIoEx(channel, which);
}

bool PortThread::awaitCancelled(MutexLock& lock, const Transfer& transfer) {
    const ULONGLONG started = GetTickCount64();
    for (;;) {
        DWORD waited = WaitForSingleObject(transfer.completion.get(), WorkerStepMs);
        if (waited == WAIT_OBJECT_0) return true;
        // A failed wait cannot tell when the transfer ends: give it up too.
        if (waited != WAIT_TIMEOUT || GetTickCount64() - started >= CancelledTransferLimitMs) return false;
        lock.yield();
    }
}

PortThread::IoEnd PortThread::finishTransfer(MutexLock& lock, BOOL started, std::unique_ptr<Transfer>& transfer,
                                             DWORD& transferred) {
    transferred = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) return IoEnd::Failed;
    const unsigned long ours = connection_;
    // Once the cancel has gone unanswered for the limit, the kernel may still
    // write the OVERLAPPED and the bytes at any time: the block is left to it
    // for good, a deliberate leak rather than freed memory written later.
    auto giveUpUnlessEnded = [&] {
        if (awaitCancelled(lock, *transfer)) return;
        (void)transfer.release();
        ++abandoned_;
    };
    for (;;) {
        DWORD waited = WaitForSingleObject(transfer->completion.get(), WorkerStepMs);
        if (waited == WAIT_OBJECT_0) {
            // The lock has been held since the channel was last seen open.
            return GetOverlappedResult(channel_.get(), &transfer->overlapped, &transferred, FALSE) ? IoEnd::Completed
                                                                                            : IoEnd::Failed;
        }
        if (waited != WAIT_TIMEOUT) {
            cancelTransfers(channel_.get(), &transfer->overlapped);
            giveUpUnlessEnded();
            return IoEnd::Failed;
        }
        lock.yield();
        bool quit = quitRequested();
        if (!channel_ || connection_ != ours) {
            // The monitor closed it and cancelled the transfer.
            giveUpUnlessEnded();
            return quit ? IoEnd::Quit : IoEnd::Closed;
        }
        if (quit) {
            cancelTransfers(channel_.get(), &transfer->overlapped);
            giveUpUnlessEnded();
            return IoEnd::Quit;
        }
    }
}

}  // namespace vantrel::win
