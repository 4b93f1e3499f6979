#pragma once
// What the reader and the writer share: one channel handle, opened and closed
// by the connection monitor under the thread's lock, and the 25 ms wait for an
// overlapped transfer that lets the monitor close the channel under it.
#include <windows.h>

#include <string>

#include "device/win32/worker_thread.h"

namespace vantrel::win {

class PortThread : public WorkerThread {
public:
    PortThread();
    // Closes a channel still open; the derived class has stopped the thread.
    ~PortThread() override;

    // Opens `path` overlapped as this thread's channel (closing any previous
    // one); false when it cannot be opened, GetLastError then telling why.
    bool openChannel(const std::wstring& path);
    // Ends any transfer pending on the channel and closes it. The thread
    // notices within one step and reports nothing for it.
    void closeChannel();
    bool isChannelOpen() const;
    // Which connection the open channel is (they are counted from 1); 0 when
    // none is open.
    unsigned long connection() const;

protected:
    enum class IoEnd { Completed, Failed, Closed, Quit };

    // Follows an overlapped transfer that `started` (the result of ReadFile or
    // WriteFile) in 25 ms steps while the caller holds `lock` on the channel.
    // Whatever the outcome, the transfer has ended when this returns, so its
    // buffer and OVERLAPPED may be reused or freed.
    IoEnd finishTransfer(MutexLock& lock, BOOL started, OVERLAPPED& overlapped, DWORD& transferred);
    // Closes the channel after a failure of our own; true when it was still
    // open (and the failure is to be reported).
    bool dropChannelAfterFailure();

    HANDLE channelLock() const { return lock_.get(); }
    // Guarded by the channel lock.
    HANDLE channel_ = nullptr;
    // Counts the channels opened, so that what was meant for one connection
    // can be told from what is meant for the next. Guarded by the channel lock.
    unsigned long connection_ = 0;

private:
    void awaitEnd(MutexLock& lock, OVERLAPPED& overlapped);
    UniqueHandle lock_;
};

}  // namespace vantrel::win
