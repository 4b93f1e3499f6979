#pragma once
// Where discovery looks for cutters: the USB device interfaces present, and a
// device's IEEE 1284 identification. Everything else about a channel (open,
// read, write, cancel, close) uses the same calls for every list; the open
// goes through the list only so that it can be bounded like the query.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

struct DeviceInterface {
    std::wstring instanceId;  // USB\VID_xxxx&PID_xxxx\...
    std::wstring devicePath;  // what the channel suffixes are appended to
};

class DeviceList {
public:
    virtual ~DeviceList() = default;
    // The present device interfaces, in enumeration order.
    virtual std::vector<DeviceInterface> interfaces() = 0;
    // Hands them to `visit` one by one, in the same order, and stops as soon
    // as it returns true (a list that can enumerate lazily stops there too).
    virtual void forEachInterface(const std::function<bool(const DeviceInterface&)>& visit);
    // The device's identification text, or nothing when it cannot be opened
    // or does not answer.
    virtual std::optional<std::string> deviceId(const DeviceInterface& device) = 0;
    // Opens a channel path of a device of this list for overlapped transfers
    // (openOverlappedChannel); none when it cannot be opened, GetLastError
    // then telling why. Tests override it to stage an open that never returns.
    virtual UniqueHandle openChannel(const std::wstring& channelPath);
};

// SetupAPI's USB device interfaces, identified with IOCTL_PAR_QUERY_DEVICE_ID.
std::unique_ptr<DeviceList> makeUsbDeviceList();

// One simulated cutter served on named pipes under `pipeBase`: instance id
// USB\VID_0B4D&PID_FFFF\SIMULATED, device path `pipeBase`, and the
// identification answered by the pipe <pipeBase>\.id.
std::unique_ptr<DeviceList> makeSimulatedDeviceList(const std::wstring& pipeBase);

// The simulated list when the environment variable VANTREL_SIMULATOR names a
// pipe base (\\.\pipe\...), else the USB list. Chosen afresh at every call.
std::unique_ptr<DeviceList> makeSystemDeviceList();

// The first cutter's channel path (outgoing or incoming), or nothing when no
// cutter is attached. Keeps no state: every call enumerates afresh.
std::optional<std::wstring> FindCutterPath(bool outgoing, DeviceList& devices);
std::optional<std::wstring> FindCutterPath(bool outgoing);

}  // namespace vantrel::win
