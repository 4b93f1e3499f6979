#include "operations/mark_search.h"

#include "device/machine_replies.h"

namespace vantrel {

MarkSearchStep MarkSearch::open() {
    polling_ = true;
    return {.sendSearchCommand = true};
}

MarkSearchStep MarkSearch::finish(MarkSearchStep step, MarkSearchEnd end) {
    end_ = end;
    polling_ = false;
    step.end = end;
    return step;
}

MarkSearchStep MarkSearch::reply(std::string_view text) {
    if (end_ != MarkSearchEnd::None || text.size() < MarkSearchAnswerMinLength) return {};
    // The first answer stops the polling for good, also before a retry.
    MarkSearchStep step{.stopStatusPolling = polling_};
    polling_ = false;
    // Only a number that reads 0 is "found"; an answer without digits is not.
    if (markSearchCode(text) == 0L) return finish(step, MarkSearchEnd::Found);
    if (++failCount_ >= MarkSearchTries) return finish(step, MarkSearchEnd::NotFound);
    step.sendSearchCommand = true;
    return step;
}

MarkSearchStep MarkSearch::linkLost() {
    if (end_ != MarkSearchEnd::None) return {};
    return finish({.stopStatusPolling = polling_}, MarkSearchEnd::LinkLost);
}

MarkSearchStep MarkSearch::cancel() {
    if (end_ != MarkSearchEnd::None) return {};
    return finish({.stopStatusPolling = polling_}, MarkSearchEnd::UserCancelled);
}

}  // namespace vantrel
