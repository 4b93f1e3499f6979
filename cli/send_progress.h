#pragma once
// What vantrel-cut --send shows while the job goes out: a bar redrawn in place
// on a terminal, plain lines (every tenth of the job) otherwise.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel::cli {

// "[#####-----] 1.20 MB of 4.80 MB  25%  1.00 MB/s  0:03 left"
std::string progressBarText(std::size_t sent, std::size_t total, std::int64_t elapsedMs);
// "sent 1200000 of 4800000 bytes (25%)"
std::string progressLineText(std::size_t sent, std::size_t total);

}  // namespace vantrel::cli
