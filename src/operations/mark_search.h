#pragma once
// The registration-mark search as a state machine: what the dialog sends and
// when it ends, from the replies the machine gives. The dialog only carries
// out the steps.
#include <cstddef>
#include <string_view>

namespace vantrel {

// An answer is read with markSearchCode (device/machine_replies.h); one with
// no digits counts as not found.
// Shorter replies are status characters, which the search ignores.
inline constexpr std::size_t MarkSearchAnswerMinLength = 5;
// Status requests keep the link busy until the first answer arrives.
inline constexpr unsigned MarkSearchStatusPeriodMs = 255;
// Answers meaning "not found" that end the search; the first one retries.
inline constexpr int MarkSearchTries = 2;

enum class MarkSearchEnd {
    None,           // still searching
    Found,          // cut
    NotFound,       // two answers meaning not found
    LinkLost,       // a channel failed
    UserCancelled,  // Escape or the close box
};

struct MarkSearchStep {
    bool sendSearchCommand = false;
    bool stopStatusPolling = false;
    MarkSearchEnd end = MarkSearchEnd::None;
};

class MarkSearch {
public:
    // The first try: send the search and poll the status until an answer.
    MarkSearchStep open();
    // Whether a status-poll tick sends the status request.
    bool pollsStatus() const { return polling_ && end_ == MarkSearchEnd::None; }
    MarkSearchStep reply(std::string_view text);
    MarkSearchStep linkLost();
    MarkSearchStep cancel();

    int failCount() const { return failCount_; }
    bool userCancelled() const { return end_ == MarkSearchEnd::UserCancelled; }
    MarkSearchEnd end() const { return end_; }

private:
    MarkSearchStep finish(MarkSearchStep step, MarkSearchEnd end);

    bool polling_ = false;
    int failCount_ = 0;
    MarkSearchEnd end_ = MarkSearchEnd::None;
};

}  // namespace vantrel
