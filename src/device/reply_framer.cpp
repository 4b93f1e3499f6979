#include "device/reply_framer.h"

#include "cutdata/commands.h"

namespace vantrel {

std::vector<std::string> ReplyFramer::feed(const char* data, std::size_t length) {
    std::vector<std::string> replies;
    std::size_t start = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] != ETX) continue;
        if (discarding_) {
            // The ETX that ends an over-long reply ends the drop, not a reply.
            discarding_ = false;
        } else {
            pending_.append(data + start, i - start);
            replies.push_back(std::move(pending_));
            pending_.clear();
        }
        start = i + 1;
    }
    if (!discarding_) {
        pending_.append(data + start, length - start);
        if (pending_.size() > limit_) {
            pending_.clear();
            pending_.shrink_to_fit();
            discarding_ = true;
        }
    }
    return replies;
}

}  // namespace vantrel
