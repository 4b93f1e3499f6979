#pragma once
// What the reader and the writer share: one channel handle, opened and closed
// by the connection monitor under the thread's lock, and the 25 ms wait for an
// overlapped transfer that lets the monitor close the channel under it.
#include <windows.h>

#include <memory>
#include <string>

#include "device/win32/worker_thread.h"

namespace vantrel::win {

// How long a port thread waits for a cancelled transfer to end. A USB driver
// may complete a cancelled request late or never; past this the thread gives
// the request up and carries on, so that closing the dialog never hangs.
inline constexpr DWORD CancelledTransferLimitMs = 2000;

// The memory of one overlapped transfer: the kernel writes the OVERLAPPED
// (and, for a read, the bytes) until the transfer has ended. It lives on the
// heap so that a transfer the driver never ends can be left to it.
struct Transfer {
    Transfer() : completion(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    OVERLAPPED overlapped = {};
    UniqueHandle completion;  // auto-reset; ReadFile and WriteFile clear it when they start
    std::string bytes;
};

// Opens a channel as the port threads use it: read and write, shared, for
// overlapped transfers. None when it cannot be opened, GetLastError then
// telling why. A driver may hold the call for as long as it likes: the
// connection monitor makes it off the user-interface thread.
UniqueHandle openOverlappedChannel(const std::wstring& path);

class PortThread : public WorkerThread {
public:
    PortThread();
    // Closes a channel still open; the derived class has stopped the thread.
    ~PortThread() override;

    // Opens `path` overlapped as this thread's channel (closing any previous
    // one); false when it cannot be opened, GetLastError then telling why.
    bool openChannel(const std::wstring& path);
    // Makes `opened` (from openOverlappedChannel, opened on another thread)
    // this thread's channel, closing any previous one; false when it is none.
    bool takeChannel(UniqueHandle opened);
    // Ends any transfer pending on the channel and closes it. The thread
    // notices within one step and reports nothing for it.
    void closeChannel();
    // Read without the lock, like connection().
    bool isChannelOpen() const { return connection() != 0; }
    // Which connection the open channel is (they are counted from 1); 0 when
    // none is open. Read without the lock, which a port thread holds through
    // its transfers: the user-interface thread asks this often.
    unsigned long connection() const { return openConnection_.load(); }
    // Transfers given up because they did not end within
    // CancelledTransferLimitMs of their cancel; their memory is never freed.
    unsigned abandonedTransfers() const { return abandoned_.load(); }

protected:
    enum class IoEnd { Completed, Failed, Closed, Quit };

    // Follows the overlapped transfer in `transfer` that `started` (the result
    // of ReadFile or WriteFile) in 25 ms steps while the caller holds `lock`
    // on the channel. When this returns the transfer has ended and its memory
    // may be reused, or, after a cancel the driver did not honour in time,
    // `transfer` is empty: the block is left to the kernel for good.
    IoEnd finishTransfer(MutexLock& lock, BOOL started, std::unique_ptr<Transfer>& transfer, DWORD& transferred);
    // Closes the channel after a failure of our own; true when it was still
    // open (and the failure is to be reported).
    bool dropChannelAfterFailure();

    // Asks the driver to end the transfers pending on `channel` (one, or all
    // with `which` null) without waiting for them: CancelIoEx. Tests replace
    // it to stage a driver that never ends a cancelled request.
    virtual void cancelTransfers(HANDLE channel, OVERLAPPED* which);

    HANDLE channelLock() const { return lock_.get(); }
    // Under the channel lock: the channel is gone (closed by the monitor or
    // after a failure).
    void resetChannel();
    // Guarded by the channel lock.
    UniqueHandle channel_;
    // Counts the channels opened, so that what was meant for one connection
    // can be told from what is meant for the next. Guarded by the channel lock.
    unsigned long connection_ = 0;

private:
    // Waits for a cancelled transfer to end, at most CancelledTransferLimitMs;
    // false when it has not.
    bool awaitCancelled(MutexLock& lock, const Transfer& transfer);
    UniqueHandle lock_;
    std::atomic<unsigned> abandoned_{0};
    // connection_ while the channel is open, else 0; written under the lock.
    std::atomic<unsigned long> openConnection_{0};
};

}  // namespace vantrel::win
