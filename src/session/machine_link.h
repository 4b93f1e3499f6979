#pragma once
// What a cut session needs of the link to the machine, on any platform: write
// bytes, read the machine's bytes, each waiting a bounded time, and a steady
// clock in milliseconds on which the session measures its time limits. A
// platform realises it over its own I/O (libusb in vantrel-cut; an in-process
// machine model in the tests).
#include <cstddef>
#include <cstdint>

namespace vantrel {

enum class LinkStatus {
    Ok,
    TimedOut,  // the wait ended first; `bytes` still counts what did move
    Lost,      // the device is gone or the transfer failed: nothing more will move
};

struct LinkTransfer {
    std::size_t bytes = 0;
    LinkStatus status = LinkStatus::Ok;
};

class MachineLink {
public:
    virtual ~MachineLink() = default;
    // Writes at most `size` bytes, waiting at most `timeoutMs`. The bytes
    // reported are the machine's; a time-out may still report some, and the
    // caller goes on after them, never sending them again.
    virtual LinkTransfer write(const char* data, std::size_t size, std::int64_t timeoutMs) = 0;
    // Reads what the machine has sent, waiting at most `timeoutMs` for it.
    virtual LinkTransfer read(char* buffer, std::size_t size, std::int64_t timeoutMs) = 0;
    virtual std::int64_t nowMs() = 0;
};

}  // namespace vantrel
