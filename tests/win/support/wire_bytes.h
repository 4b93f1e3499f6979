#pragma once
// What the machine may receive while no job is under way.
#include <string_view>

#include "cutdata/commands.h"

namespace vantrel::test {

// Only status requests and identification requests, in any number.
inline bool onlyPollsAndIdentify(std::string_view bytes) {
    while (!bytes.empty()) {
        if (bytes.substr(0, 2) == StatusRequest)
            bytes.remove_prefix(2);
        else if (bytes.substr(0, 3) == "FG\x03")
            bytes.remove_prefix(3);
        else
            return false;
    }
    return true;
}

}  // namespace vantrel::test
