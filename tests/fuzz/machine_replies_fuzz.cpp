// Any bytes as one reply of the machine: each reader reads within the bytes
// given and agrees with what it promises: a status is one character, busy or
// idle but not both; the mark search's code is what strtol reads, saturated
// alike, and nothing where strtol finds no digits.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "device/machine_replies.h"

namespace {

void checkReply(std::string_view reply) {
    using namespace vantrel;
    if (isStatusReply(reply) != (reply.size() == 1)) std::abort();
    if (isStatusReply(reply) && isBusyReply(reply) == isIdleReply(reply)) std::abort();
    if (isBusyReply(reply) && !beginsBusy(reply)) std::abort();

    const std::string text(reply);  // strtol needs a terminator
    char* end = nullptr;
    errno = 0;
    const long strtolValue = std::strtol(text.c_str(), &end, 10);
    const std::optional<long> code = markSearchCode(reply);
    // strtol stops at an embedded NUL; the reply does not.
    const bool hasNul = text.find('\0') != std::string::npos;
    if (!hasNul) {
        const bool digits = end != text.c_str();
        if (code.has_value() != digits) std::abort();
        if (code && *code != strtolValue) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkReply(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
