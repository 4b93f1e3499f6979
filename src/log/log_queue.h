#pragma once
// What keeps the diagnostics log from ever holding anyone up: events wait in
// a queue of bounded size for the log's own writer, and an event that does
// not fit is dropped (and counted) rather than waited for. The file is
// bounded too: before it would pass its limit it is moved aside as the one
// older file kept.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

inline constexpr std::uint64_t LogFileLimit = 1024 * 1024;
inline constexpr std::size_t LogQueueBytes = 64 * 1024;

// Not synchronised: the owner guards it with a lock it holds only for a push
// or a take, neither of which allocates once the queue is constructed
// (as long as every batch handed to take() keeps the queue's capacity).
class LogQueue {
public:
    explicit LogQueue(std::size_t capacity);

    // Appends the text whole, or drops it whole when it does not fit.
    bool push(std::string_view text);
    // Hands everything queued to `batch` (its earlier content is discarded,
    // its storage becomes the queue's) and returns how many texts were
    // dropped since the last take.
    std::size_t take(std::string& batch);
    bool empty() const { return pending_.empty(); }
    std::size_t capacity() const { return capacity_; }

private:
    std::size_t capacity_;
    std::string pending_;
    std::size_t dropped_ = 0;
};

// A log file of `fileSize` bytes is moved aside before `adding` more bytes
// would take it past `limit`; an empty file takes any batch.
bool mustRotate(std::uint64_t fileSize, std::uint64_t adding, std::uint64_t limit);

// What of a batch of whole lines a file of `limit` bytes can hold: all of it,
// or, when the batch alone is larger, its newest whole lines.
std::string_view newestLinesWithin(std::string_view batch, std::uint64_t limit);

}  // namespace vantrel
