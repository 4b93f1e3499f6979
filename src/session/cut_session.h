#pragma once
// One cut on a machine reached through a MachineLink: wait until it is idle,
// identify it, search the registration marks, send the job. Each step ends
// within a time limit and takes a quit request between transfers (each at
// most `chunkTimeoutMs`), so a machine that takes nothing never holds the
// caller; the job goes out whole, in order, never twice, and `sent()` never
// counts a byte the link did not take.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/reply_framer.h"
#include "session/machine_link.h"

namespace vantrel {

struct SessionLimits {
    std::int64_t idleWaitMs = 60000;      // a machine still busy (or silent) this long is reported
    std::int64_t replyWaitMs = 5000;      // for the identification
    std::int64_t searchWaitMs = 120000;   // for the mark search's answers
    std::int64_t stallMs = 30000;         // a machine taking no byte this long has stopped
    std::int64_t statusPeriodMs = 200;    // status requests while waiting for idle
    // Writes go out in pieces this big, each waiting at most this long, so a
    // quit request or a stall is noticed promptly.
    std::size_t chunkBytes = 64 * 1024;
    std::int64_t chunkTimeoutMs = 250;
    std::int64_t readStepMs = 50;
    // A job stopped inside a command has that command finished first, for at
    // most this long (a machine that takes nothing more is not waited for).
    std::int64_t commandEndWaitMs = 500;
};

enum class SessionEnd {
    Done,
    LinkLost,       // the device went, or a transfer failed
    MachineBusy,    // still busy at the end of the wait
    MachineSilent,  // no answer within the limit
    Stalled,        // stopped taking bytes (the job's, or a command's before it)
    NotFoundDeclined,  // marks not found and the answer was No
    Interrupted,    // the quit request
};

class CutSession {
public:
    CutSession(MachineLink& link, const std::atomic<bool>& quit, SessionLimits limits = {});

    // Status requests every statusPeriodMs until an idle answer.
    SessionEnd waitUntilIdle();
    // The identification request; its reply sets identification() and model().
    SessionEnd identify();
    // The mark search with `searchCommand` (command text, "|" form) under the
    // dialog's rules. When the marks are not found the carriage is sent home
    // and `continueAnyway` decides; a quit request also sends it home, with
    // one transfer's try.
    SessionEnd searchMarks(const std::string& searchCommand, const std::function<bool()>& continueAnyway);
    // The job (command text, "|" form; turned into the wire form in place).
    // `progress` gets (sent, total) after every piece the machine took. A
    // quit request or a stall ends it on a command boundary: the command in
    // flight (a few bytes) goes out first, as the next job's first bytes would
    // otherwise complete it into another; a lost link ends it where it stands.
    SessionEnd send(std::string& job, const std::function<void(std::size_t, std::size_t)>& progress);

    const std::string& identification() const { return identification_; }
    int model() const { return model_; }
    std::size_t sent() const { return sent_; }
    std::size_t total() const { return total_; }

private:
    // Writes a short command whole: Done, LinkLost, Stalled (the machine took
    // none of it for stallMs) or Interrupted. At least one transfer is tried;
    // a quit request ends it between transfers.
    SessionEnd writeCommand(std::string_view wire);
    SessionEnd goHome();
    SessionEnd endOnCommandBoundary(const std::string& job, SessionEnd end);
    // Reads for up to `waitMs` and returns the whole replies that came.
    std::vector<std::string> readReplies(std::int64_t waitMs, bool& lost);
    bool quitRequested() const { return quit_.load(std::memory_order_relaxed); }

    MachineLink& link_;
    const std::atomic<bool>& quit_;
    SessionLimits limits_;
    ReplyFramer framer_;
    std::string identification_;
    int model_ = 0;
    std::size_t sent_ = 0;
    std::size_t total_ = 0;
};

}  // namespace vantrel
