#pragma once
// Discovery off the user-interface thread. Finding the cutter opens each
// candidate device and asks for its identification with synchronous calls,
// which a device that never answers would hold for good: the search runs on a
// thread of its own, and each device's query on one more, given up after a
// limit, so that a device that hangs is skipped (and logged) and the next one
// is still looked at. The connection monitor starts a search and carries on
// with the result when it comes.
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device/win32/device_list.h"

namespace vantrel::win {

// Posted to the monitor's window when a search has ended (no parameters);
// the result is read with take(), also on the next check if this is lost.
inline constexpr UINT WM_DISCOVERY_DONE = 3031;

// How long one device may take to open and tell its identification.
inline constexpr DWORD DeviceQueryLimitMs = 1000;

using DeviceListFactory = std::function<std::unique_ptr<DeviceList>()>;

// Makes the lists of `factory` run each identification query on its own
// thread and give it up after `limitMs` (the query is then reported as
// failed, with ERROR_TIMEOUT as the last error). A device whose earlier query
// has still not returned, in any list of this factory, is not asked again
// until it has.
DeviceListFactory withQueryLimit(DeviceListFactory factory, DWORD limitMs);

class Discovery {
public:
    explicit Discovery(DeviceListFactory devices);
    // Waits for a search under way; its queries are bounded, so this is too.
    ~Discovery();
    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    struct Found {
        bool outgoing = true;
        std::optional<std::wstring> path;  // none: no cutter
    };

    // Starts looking for the outgoing or incoming channel's path unless a
    // search is under way; posts WM_DISCOVERY_DONE to `window` when done.
    void start(bool outgoing, HWND window);
    bool searching() const;
    // The last finished search's result, once.
    std::optional<Found> take();

private:
    DeviceListFactory devices_;
    mutable std::mutex mutex_;
    bool searching_ = false;
    std::optional<Found> found_;
    std::thread thread_;
};

}  // namespace vantrel::win
