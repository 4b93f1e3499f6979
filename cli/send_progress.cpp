#include "send_progress.h"

#include <cstdio>

namespace vantrel::cli {

namespace {

// Bytes in the unit that keeps the figure short: 446 B, 70.3 kB, 2.11 MB.
std::string amount(double bytes) {
    char text[32];
    if (bytes < 1e3) std::snprintf(text, sizeof text, "%.0f B", bytes);
    else if (bytes < 1e6) std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
    else std::snprintf(text, sizeof text, "%.2f MB", bytes / 1e6);
    return text;
}

}  // namespace

std::string progressBarText(std::size_t sent, std::size_t total, std::int64_t elapsedMs) {
    constexpr int Width = 30;
    const double fraction = total ? static_cast<double>(sent) / static_cast<double>(total) : 1.0;
    std::string bar(Width, '-');
    for (int i = 0; i < static_cast<int>(fraction * Width) && i < Width; ++i) bar[i] = '#';
    const double seconds = static_cast<double>(elapsedMs) / 1000.0;
    const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0.0;
    char left[32] = "--:--";
    if (rate > 0) {
        const long remaining = static_cast<long>(static_cast<double>(total - sent) / rate + 0.5);
        std::snprintf(left, sizeof left, "%ld:%02ld", remaining / 60, remaining % 60);
    }
    char text[160];
    std::snprintf(text, sizeof text, "[%s] %s of %s %3d%%  %s/s  %s left", bar.c_str(),
                  amount(static_cast<double>(sent)).c_str(), amount(static_cast<double>(total)).c_str(),
                  static_cast<int>(fraction * 100), amount(rate).c_str(), left);
    return text;
}

std::string progressLineText(std::size_t sent, std::size_t total) {
    const int percent = total ? static_cast<int>(static_cast<double>(sent) * 100.0 / static_cast<double>(total)) : 100;
    return "sent " + std::to_string(sent) + " of " + std::to_string(total) + " bytes (" + std::to_string(percent) +
           "%)";
}

}  // namespace vantrel::cli
