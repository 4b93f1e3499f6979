#pragma once
// Discovery and the channel's open, off the user-interface thread. Finding
// the cutter opens each candidate device and asks for its identification with
// synchronous calls, and opening the channel found is one more call into its
// driver; a device that never answers would hold any of them for good. The
// search and the open run on a thread of their own, and each call into a
// device on one more, given up after a limit, so that a device that hangs is
// skipped (and logged) and the next one is still looked at. The connection
// monitor starts a search and carries on with the result when it comes.
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device/win32/device_list.h"
#include "support/win32/unique_handle.h"

namespace vantrel::win {

// Posted to the monitor's window when a search has ended (no parameters);
// the result is read with take(), also on the next check if this is lost.
inline constexpr UINT WM_DISCOVERY_DONE = 3031;

// How long one device may take to open and tell its identification, and a
// channel to open.
inline constexpr DWORD DeviceCallLimitMs = 1000;

using DeviceListFactory = std::function<std::unique_ptr<DeviceList>()>;

// Makes the lists of `factory` run each identification query and each
// channel's open on a thread of its own and give it up after `limitMs` (the
// call then fails with ERROR_TIMEOUT as the last error). Until a call on a
// path has returned, nothing in this process calls on that path again (the
// call fails at once, with ERROR_TIMEOUT): a device that hangs holds at most
// one thread per path, however often the dialog is opened. Each of these
// threads holds a reference on this module while it runs.
DeviceListFactory withDeviceCallLimit(DeviceListFactory factory, DWORD limitMs);

class Discovery {
public:
    explicit Discovery(DeviceListFactory devices);
    // Waits for a search under way; its calls are bounded, so this is too.
    ~Discovery();
    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    struct Found {
        bool outgoing = true;
        std::optional<std::wstring> path;  // none: no cutter
        // The channel at `path`, opened for overlapped transfers; none when
        // it could not be opened, `openError` then telling why.
        UniqueHandle channel;
        DWORD openError = ERROR_SUCCESS;
    };

    // Starts looking for the outgoing or incoming channel's path, and opening
    // the channel found, unless a search is under way; posts
    // WM_DISCOVERY_DONE to `window` when done.
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
