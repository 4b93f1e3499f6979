#include "log/log_queue.h"

namespace vantrel {

LogQueue::LogQueue(std::size_t capacity) : capacity_(capacity) { pending_.reserve(capacity); }

bool LogQueue::push(std::string_view text) {
    if (text.size() > capacity_ - pending_.size()) {
        ++dropped_;
        return false;
    }
    pending_.append(text);
    return true;
}

std::size_t LogQueue::take(std::string& batch) {
    batch.clear();
    // The batch's storage becomes the queue's: give it room for a full queue
    // now, so that no push ever allocates under the owner's lock.
    if (batch.capacity() < capacity_) batch.reserve(capacity_);
    pending_.swap(batch);
    const std::size_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

bool mustRotate(std::uint64_t fileSize, std::uint64_t adding, std::uint64_t limit) {
    return fileSize > 0 && adding > limit - (fileSize < limit ? fileSize : limit);
}

std::string_view newestLinesWithin(std::string_view batch, std::uint64_t limit) {
    if (batch.size() <= limit) return batch;
    // The first line that begins within the last `limit` bytes.
    const std::size_t lineEnd = batch.find('\n', batch.size() - static_cast<std::size_t>(limit) - 1);
    return lineEnd == std::string_view::npos ? std::string_view() : batch.substr(lineEnd + 1);
}

}  // namespace vantrel
