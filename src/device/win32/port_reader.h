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
    PortReader() = default;
    ~PortReader() override;

protected:
    DWORD Run() override;

private:
    void deliver(const char* bytes, DWORD length);

    ReplyFramer framer_;
    // The read's buffer and OVERLAPPED, made anew after a read was given up.
    std::unique_ptr<Transfer> transfer_;
};

// A reply posted with WM_READER_EVENT: the first parameter is its length, the
// second its zero-terminated text, which the receiver owns and frees through
// this (null when the message carried none).
std::unique_ptr<char[]> takeReplyText(LPARAM value);

}  // namespace vantrel::win
