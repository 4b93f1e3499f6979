#pragma once
// The incoming channel's thread: reads at most 512 bytes at a time and posts
// every reply (the bytes before an ETX) to its notify window.
#include <memory>

#include "device/reply_framer.h"
#include "device/win32/port_thread.h"

namespace vantrel::win {

class PortReader : public PortThread {
public:
    static constexpr DWORD ReadSize = 512;
    // Replies posted and not yet taken by their receiver, at most. A thread's
    // message queue holds 10,000 messages; a machine streaming short replies
    // must not fill it, or the writer's and the timers' messages would be
    // lost. Replies beyond this are dropped (and counted).
    static constexpr long MaxRepliesInFlight = 1000;
    PortReader() = default;
    ~PortReader() override;

    // Replies dropped because too many were still waiting for the receiver.
    unsigned long droppedReplies() const { return dropped_.load(); }

protected:
    DWORD Run() override;

private:
    void deliver(const char* bytes, DWORD length);

    ReplyFramer framer_;
    // The connection framer_ has read; every connection starts with empty
    // framing, so no part of a reply cut off by an unplug reaches the next.
    unsigned long framedConnection_ = 0;
    std::atomic<unsigned long> dropped_{0};
    // Reply texts of every reader in flight when this one started.
    long inFlightBefore_ = 0;
    // The read's buffer and OVERLAPPED, made anew after a read was given up.
    std::unique_ptr<Transfer> transfer_;
};

// A reply posted with WM_READER_EVENT: the first parameter is its length, the
// second its zero-terminated text, which the receiver owns and frees through
// this (null when the message carried none).
std::unique_ptr<char[]> takeReplyText(LPARAM value);

}  // namespace vantrel::win
