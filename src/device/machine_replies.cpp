#include "device/machine_replies.h"

#include <limits>

namespace vantrel {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool isStatusReply(std::string_view reply) { return reply.size() == 1; }
bool isBusyReply(std::string_view reply) { return isStatusReply(reply) && reply[0] == BusyStatus; }
bool isIdleReply(std::string_view reply) { return isStatusReply(reply) && reply[0] != BusyStatus; }
bool beginsBusy(std::string_view reply) { return !reply.empty() && reply[0] == BusyStatus; }

std::optional<long> markSearchCode(std::string_view reply) {
    std::size_t i = 0;
    while (i < reply.size() && isBlank(reply[i])) ++i;
    bool negative = false;
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) negative = reply[i++] == '-';
    // Accumulate towards the sign so the most negative value is reachable.
    constexpr long low = std::numeric_limits<long>::min();
    constexpr long high = std::numeric_limits<long>::max();
    if (i == reply.size() || !isDigit(reply[i])) return std::nullopt;
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

}  // namespace vantrel
