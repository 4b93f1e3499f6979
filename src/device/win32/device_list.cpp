#include "device/win32/device_list.h"

#include <setupapi.h>
#include <winioctl.h>

#include "device/cutter_id.h"
#include "device/win32/port_thread.h"
#include "support/win32/unique_handle.h"

namespace vantrel::win {
namespace {

constexpr GUID UsbDeviceInterfaceClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr DWORD IoctlParQueryDeviceId = 0x0016000C;
constexpr const wchar_t* SimulatedInstanceId = L"USB\\VID_0B4D&PID_FFFF\\SIMULATED";
// An identification pipe that does not answer must not hold up the
// user-interface thread for long.
constexpr DWORD SimulatedIdTimeoutMs = 1000;

class DeviceInfoSet {
public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~DeviceInfoSet() {
        if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    HDEVINFO get() const { return set_; }
    explicit operator bool() const { return set_ != INVALID_HANDLE_VALUE; }

private:
    HDEVINFO set_;
};

class UsbDeviceList : public DeviceList {
public:
    std::vector<DeviceInterface> interfaces() override {
        std::vector<DeviceInterface> found;
        forEachInterface([&](const DeviceInterface& device) {
            found.push_back(device);
            return false;
        });
        return found;
    }

    // The enumeration ends with the first cutter; the set is released on every path.
    void forEachInterface(const std::function<bool(const DeviceInterface&)>& visit) override {
        DeviceInfoSet set(SetupDiGetClassDevsW(&UsbDeviceInterfaceClass, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        if (!set) return;
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA interfaceData = {};
            interfaceData.cbSize = sizeof interfaceData;
            if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &UsbDeviceInterfaceClass, index, &interfaceData)) break;
            auto device = describe(set.get(), interfaceData);
            if (device && visit(*device)) break;
        }
    }

    std::optional<std::string> deviceId(const DeviceInterface& device) override {
        UniqueHandle handle(CreateFileW(device.devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!handle) return std::nullopt;
        char buffer[DeviceIdBufferSize] = {};
        DWORD returned = 0;
        if (!DeviceIoControl(handle.get(), IoctlParQueryDeviceId, nullptr, 0, buffer, sizeof buffer, &returned,
                             nullptr))
            return std::nullopt;
        return std::string(deviceIdText(buffer, returned));
    }

private:
    static std::optional<DeviceInterface> describe(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
        DWORD required = 0;
        if (SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required, nullptr) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER || required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            return std::nullopt;
        std::vector<unsigned char> detailBytes(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBytes.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA deviceData = {};
        deviceData.cbSize = sizeof deviceData;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, required, nullptr, &deviceData))
            return std::nullopt;
        // The path ends at its terminator, wherever that lies in the buffer.
        std::size_t pathChars = (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
        std::wstring path(detail->DevicePath, wcsnlen(detail->DevicePath, pathChars));

        DWORD idChars = 0;
        SetupDiGetDeviceInstanceIdW(set, &deviceData, nullptr, 0, &idChars);
        std::vector<wchar_t> id(static_cast<std::size_t>(idChars) + 1, L'\0');
        if (!SetupDiGetDeviceInstanceIdW(set, &deviceData, id.data(), static_cast<DWORD>(id.size()), nullptr))
            return std::nullopt;
        return DeviceInterface{std::wstring(id.data(), wcsnlen(id.data(), id.size())), std::move(path)};
    }
};

class SimulatedDeviceList : public DeviceList {
public:
    explicit SimulatedDeviceList(std::wstring base) : base_(std::move(base)) {}

    std::vector<DeviceInterface> interfaces() override { return {{SimulatedInstanceId, base_}}; }

    std::optional<std::string> deviceId(const DeviceInterface& device) override {
        std::wstring name = device.devicePath + L"\\.id";
        UniqueHandle pipe(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!pipe && GetLastError() == ERROR_PIPE_BUSY && WaitNamedPipeW(name.c_str(), 200))
            pipe.reset(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!pipe) return std::nullopt;
        UniqueHandle completion(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!completion) return std::nullopt;
        char buffer[DeviceIdBufferSize] = {};
        DWORD total = 0;
        DWORD deadline = GetTickCount() + SimulatedIdTimeoutMs;
        // The server answers the text and closes: read until the pipe ends.
        while (total < sizeof buffer) {
            OVERLAPPED overlapped = {};
            overlapped.hEvent = completion.get();
            ResetEvent(completion.get());
            DWORD got = 0;
            BOOL started = ReadFile(pipe.get(), buffer + total, sizeof buffer - total, nullptr, &overlapped);
            if (!started && GetLastError() != ERROR_IO_PENDING) break;
            DWORD left = static_cast<DWORD>(deadline - GetTickCount());
            if (left > SimulatedIdTimeoutMs) left = 0;
            if (WaitForSingleObject(completion.get(), left) != WAIT_OBJECT_0) {
                CancelIo(pipe.get());
                GetOverlappedResult(pipe.get(), &overlapped, &got, TRUE);
                return std::nullopt;
            }
            if (!GetOverlappedResult(pipe.get(), &overlapped, &got, FALSE)) break;
            total += got;
        }
        if (total == 0) return std::nullopt;
        return std::string(deviceIdText(buffer, total));
    }

private:
    std::wstring base_;
};

}  // namespace

void DeviceList::forEachInterface(const std::function<bool(const DeviceInterface&)>& visit) {
    for (const DeviceInterface& device : interfaces())
        if (visit(device)) return;
}

UniqueHandle DeviceList::openChannel(const std::wstring& channelPath) { return openOverlappedChannel(channelPath); }

std::unique_ptr<DeviceList> makeUsbDeviceList() { return std::make_unique<UsbDeviceList>(); }

std::unique_ptr<DeviceList> makeSimulatedDeviceList(const std::wstring& pipeBase) {
    return std::make_unique<SimulatedDeviceList>(pipeBase);
}

std::unique_ptr<DeviceList> makeSystemDeviceList() {
    wchar_t base[512];
    DWORD length = GetEnvironmentVariableW(L"VANTREL_SIMULATOR", base, 512);
    // Anything but a pipe path (a stray value left in a user's environment,
    // say) must not hide a real machine.
    if (length > 0 && length < 512 && isPipePath(std::wstring_view(base, length)))
        return makeSimulatedDeviceList(std::wstring(base, length));
    return makeUsbDeviceList();
}

std::optional<std::wstring> FindCutterPath(bool outgoing, DeviceList& devices) {
    std::optional<std::wstring> path;
    devices.forEachInterface([&](const DeviceInterface& device) {
        if (!hasCutterVendorId(device.instanceId)) return false;
        auto id = devices.deviceId(device);
        if (!id || !namesCutterMaker(*id)) return false;
        path = channelPath(device.devicePath, outgoing ? OutgoingChannel : IncomingChannel);
        return true;
    });
    return path;
}

std::optional<std::wstring> FindCutterPath(bool outgoing) {
    auto devices = makeSystemDeviceList();
    return FindCutterPath(outgoing, *devices);
}

}  // namespace vantrel::win
