#pragma once
// Cuts the byte stream of the machine's incoming channel into replies. Every
// reply ends with one ETX; a reply may arrive split over several reads, and
// bytes after the last ETX wait for the next read.
#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

class ReplyFramer {
public:
    // A device that never sends ETX must not grow the buffer without limit:
    // once this many bytes wait without an ETX they are dropped, together with
    // the rest of that reply up to and including its ETX, so that no tail of
    // it is ever taken for a reply of its own.
    static constexpr std::size_t DefaultLimit = 64 * 1024;

    explicit ReplyFramer(std::size_t limit = DefaultLimit) : limit_(limit) {}

    // Appends `length` bytes and returns the replies they complete, in order,
    // without their ETX. Two ETX in a row give an empty reply.
    std::vector<std::string> feed(const char* data, std::size_t length);

    std::size_t pendingBytes() const { return pending_.size(); }
    bool discarding() const { return discarding_; }

private:
    std::size_t limit_;
    std::string pending_;
    bool discarding_ = false;
};

}  // namespace vantrel
