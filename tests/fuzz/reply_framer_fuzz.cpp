// Any bytes as what a device sends on its incoming channel, cut into reads of
// any size: no reply holds an ETX, the framer never holds more than its limit
// between reads, every reply is a run of the stream between two ETX, in
// order, and every run short enough to wait whole is given, however the
// stream is cut. A run too long to wait (limit plus a read) is never given.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cutdata/commands.h"
#include "device/reply_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t limit = 1 + data[0] % 64;
    const std::size_t step = 1 + data[1] % 16;
    const std::string stream(reinterpret_cast<const char*>(data) + 2, size - 2);

    // The runs between ETX that an ETX ends.
    std::vector<std::string> runs;
    std::string run;
    for (char c : stream) {
        if (c != vantrel::ETX) run += c;
        else runs.push_back(std::exchange(run, {}));
    }

    // One read: nothing waits before it, so every ended run is a reply.
    vantrel::ReplyFramer whole(limit);
    if (whole.feed(stream.data(), stream.size()) != runs) std::abort();
    if (whole.pendingBytes() > limit) std::abort();

    vantrel::ReplyFramer pieces(limit);
    std::vector<std::string> replies;
    for (std::size_t at = 0; at < stream.size(); at += step) {
        const std::size_t n = std::min(step, stream.size() - at);
        for (std::string& reply : pieces.feed(stream.data() + at, n)) replies.push_back(std::move(reply));
        if (pieces.pendingBytes() > limit) std::abort();
    }
    std::size_t next = 0;
    for (const std::string& r : runs) {
        const bool given = next < replies.size() && replies[next] == r;
        if (r.size() <= limit && !given) std::abort();
        if (r.size() >= limit + step && given) std::abort();
        if (given) ++next;
    }
    if (next != replies.size()) std::abort();
    return 0;
}
