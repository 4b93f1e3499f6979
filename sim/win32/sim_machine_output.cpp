// The machine's output, "<base>\.01": the replies the machine made, at once or
// after the reply delay, go out here in order; replies meant for a client
// that has gone are never given to the next one.
#include "win32/sim_server.h"

#include <algorithm>

namespace vantrel::sim {
namespace {

// Replies the client never reads are dropped beyond this, as a real
// machine's small buffer would.
constexpr std::size_t MaxPendingReplies = 1u << 20;

}  // namespace

void SimServer::serveMachineOutput() {
    serveDevicePipe(L"\\.01", outputClient_, &SimServer::serveOutputClient);
}

void SimServer::serveOutputClient(HANDLE pipe) {
    // Nothing should arrive on this channel; the pending read is how we learn
    // that the client has closed it.
    char sink[512];
    Overlapped readOp;
    bool reading = false;
    while (true) {
        if (!reading) {
            BOOL started = ReadFile(pipe, sink, sizeof sink, nullptr, readOp.prepare());
            if (!started && GetLastError() != ERROR_IO_PENDING) break;
            reading = true;
        }
        HANDLE waits[3] = {readOp.event(), replyEvent_.get(), unplugEvent_.get()};
        DWORD woke = WaitForMultipleObjects(3, waits, FALSE, untilRepliesDue());
        if (woke == WAIT_OBJECT_0) {
            reading = false;
            if (!noteStrayInput(pipe, readOp)) break;
            continue;
        }
        // A time-out means a delayed reply is due.
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT) break;
        if (!sendDueReplies(pipe)) break;
    }
    if (reading) {
        DWORD ignored = 0;
        cancelIo(pipe, readOp, ignored);
    }
    std::lock_guard lock(mutex_);
    dropPendingRepliesLocked();
}

DWORD SimServer::untilRepliesDue() {
    std::lock_guard lock(mutex_);
    DWORD untilDue = releaseDueRepliesLocked(now());
    return replies_.empty() ? untilDue : 0;
}

bool SimServer::noteStrayInput(HANDLE pipe, Overlapped& readOp) {
    DWORD got = 0;
    if (!GetOverlappedResult(pipe, readOp.record(), &got, FALSE)) return false;
    std::lock_guard lock(mutex_);
    if (got > 0) machine_.noteAnomaly(std::to_string(got) + " bytes written to the reply channel");
    return true;
}

bool SimServer::sendDueReplies(HANDLE pipe) {
    std::string out;
    {
        std::lock_guard lock(mutex_);
        releaseDueRepliesLocked(now());
        out.swap(replies_);
    }
    return out.empty() || writeAll(pipe, out, unplugEvent_.get()) == IoResult::Done;
}

void SimServer::queueRepliesLocked(std::string replies, std::int64_t nowMs) {
    if (replies.empty() || replies_.size() + delayedBytes_ + replies.size() > MaxPendingReplies) return;
    if (settings_.link.replyDelayMs <= 0 && delayed_.empty()) {
        replies_ += replies;
    } else {
        // A delay switched off while replies are still held back: the new ones
        // queue behind them, due at once, so the order holds.
        delayedBytes_ += replies.size();
        delayed_.push_back({nowMs + std::max<std::int64_t>(settings_.link.replyDelayMs, 0), std::move(replies)});
    }
    // Also wakes the output thread to wait for a new due time.
    SetEvent(replyEvent_.get());
}

DWORD SimServer::releaseDueRepliesLocked(std::int64_t nowMs) {
    while (!delayed_.empty() && delayed_.front().dueMs <= nowMs) {
        replies_ += delayed_.front().bytes;
        delayedBytes_ -= delayed_.front().bytes.size();
        delayed_.pop_front();
    }
    if (delayed_.empty()) return INFINITE;
    return static_cast<DWORD>(delayed_.front().dueMs - nowMs);
}

void SimServer::dropPendingRepliesLocked() {
    replies_.clear();
    delayed_.clear();
    delayedBytes_ = 0;
}

}  // namespace vantrel::sim
