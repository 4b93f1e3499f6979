#include "operations/mark_search.h"

#include <limits>

namespace vantrel {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

long leadingDecimal(std::string_view reply) {
    std::size_t i = 0;
    while (i < reply.size() && isBlank(reply[i])) ++i;
    bool negative = false;
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) negative = reply[i++] == '-';
    // Accumulate towards the sign so the most negative value is reachable.
    constexpr long low = std::numeric_limits<long>::min();
    constexpr long high = std::numeric_limits<long>::max();
    long value = 0;
    for (; i < reply.size() && isDigit(reply[i]); ++i) {
        int digit = reply[i] - '0';
        if (negative) {
            if (value < (low + digit) / 10) return low;
            value = value * 10 - digit;
        } else {
            if (value > (high - digit) / 10) return high;
            value = value * 10 + digit;
        }
    }
    return value;
}

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
    if (leadingDecimal(text) == 0) return finish(step, MarkSearchEnd::Found);
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
