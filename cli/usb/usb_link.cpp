#include "usb/usb_link.h"

#include <libusb.h>

#include <chrono>
#include <climits>
#include <stdexcept>

#include "device/cutter_id.h"
#include "session/link_trace.h"
#include "quit_signals.h"

namespace vantrel::cli {
namespace {

// The printer class's GET_DEVICE_ID: class request to the interface, device to host.
constexpr std::uint8_t GetDeviceIdRequestType = 0xA1;
constexpr std::uint8_t GetDeviceIdRequest = 0;
constexpr unsigned ControlTimeoutMs = 2000;
constexpr std::uint8_t PrinterInterfaceClass = 7;

struct DeviceList {
    libusb_device** devices = nullptr;
    ssize_t count = 0;
    explicit DeviceList(libusb_context* context) { count = libusb_get_device_list(context, &devices); }
    ~DeviceList() {
        if (count >= 0) libusb_free_device_list(devices, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
};

struct ConfigDescriptor {
    libusb_config_descriptor* config = nullptr;
    ~ConfigDescriptor() {
        if (config) libusb_free_config_descriptor(config);
    }
};

// An open device; closing it is the owner's.
struct OpenDevice {
    libusb_device_handle* handle = nullptr;
    ~OpenDevice() {
        if (handle) libusb_close(handle);
    }
    libusb_device_handle* release() {
        libusb_device_handle* h = handle;
        handle = nullptr;
        return h;
    }
};

// The first printer-class alternate setting with a bulk endpoint each way.
bool findPrinterInterface(libusb_device* device, UsbCandidate& candidate) {
    ConfigDescriptor descriptor;
    int configIndex = 0;
    if (libusb_get_active_config_descriptor(device, &descriptor.config) != 0) {
        if (libusb_get_config_descriptor(device, 0, &descriptor.config) != 0) return false;
    } else {
        // GET_DEVICE_ID names the configuration by its index.
        libusb_device_descriptor d{};
        libusb_get_device_descriptor(device, &d);
        for (int i = 0; i < d.bNumConfigurations; ++i) {
            ConfigDescriptor other;
            if (libusb_get_config_descriptor(device, static_cast<std::uint8_t>(i), &other.config) == 0 &&
                other.config->bConfigurationValue == descriptor.config->bConfigurationValue)
                configIndex = i;
        }
    }
    for (int i = 0; i < descriptor.config->bNumInterfaces; ++i) {
        const libusb_interface& interface = descriptor.config->interface[i];
        for (int a = 0; a < interface.num_altsetting; ++a) {
            const libusb_interface_descriptor& setting = interface.altsetting[a];
            if (setting.bInterfaceClass != PrinterInterfaceClass) continue;
            std::uint8_t out = 0, in = 0;
            std::uint16_t packet = 64;
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
                if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
                if (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                    if (!in) in = endpoint.bEndpointAddress;
                    if (endpoint.wMaxPacketSize) packet = endpoint.wMaxPacketSize;
                } else if (!out) {
                    out = endpoint.bEndpointAddress;
                }
            }
            if (!out || !in) continue;
            candidate.interfaceNumber = setting.bInterfaceNumber;
            candidate.alternateSetting = setting.bAlternateSetting;
            candidate.configIndex = configIndex;
            candidate.endpointOut = out;
            candidate.endpointIn = in;
            candidate.packetSize = packet;
            return true;
        }
    }
    return false;
}

UsbFailure failureOf(int error) {
    switch (error) {
        case LIBUSB_ERROR_ACCESS: return UsbFailure::Permission;
        case LIBUSB_ERROR_BUSY: return UsbFailure::InUse;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND: return UsbFailure::NotFound;
        default: return UsbFailure::Other;
    }
}

std::string failureText(int error, const UsbCandidate& candidate, const char* doing) {
    const std::string where = "the machine at " + usbAddressText(candidate);
    switch (failureOf(error)) {
        case UsbFailure::Permission:
            return std::string("no permission to ") + doing + " " + where + ": install the udev rule " +
                   UdevRuleName + " (see README), or run as root";
        case UsbFailure::InUse:
            return where + " is in use by another program or driver";
        case UsbFailure::NotFound:
            return where + " is gone";
        default:
            return std::string("cannot ") + doing + " " + where + ": " + libusb_strerror(error);
    }
}

OpenDevice openDevice(libusb_context* context, const UsbCandidate& candidate, int& error) {
    OpenDevice open;
    DeviceList list(context);
    error = LIBUSB_ERROR_NO_DEVICE;
    for (ssize_t i = 0; i < list.count; ++i) {
        libusb_device* device = list.devices[i];
        if (libusb_get_bus_number(device) != candidate.bus || libusb_get_device_address(device) != candidate.address)
            continue;
        error = libusb_open(device, &open.handle);
        if (error != 0) open.handle = nullptr;
        break;
    }
    return open;
}

// Claims the interface, the kernel's printer driver detached while we hold it.
// Claimed only when it returns 0.
int claim(libusb_device_handle* handle, const UsbCandidate& candidate) {
    libusb_set_auto_detach_kernel_driver(handle, 1);  // unsupported where no kernel driver can be detached
    const int error = libusb_claim_interface(handle, candidate.interfaceNumber);
    if (error != 0 || candidate.alternateSetting == 0) return error;
    const int altError =
        libusb_set_interface_alt_setting(handle, candidate.interfaceNumber, candidate.alternateSetting);
    // Only the release gives the detached driver back (libusb's auto-detach
    // attaches it there); closing the handle would drop the claim without it.
    if (altError != 0) libusb_release_interface(handle, candidate.interfaceNumber);
    return altError;
}

void readDeviceId(libusb_context* context, UsbCandidate& candidate, LinkTrace* trace) {
    int error = 0;
    OpenDevice open = openDevice(context, candidate, error);
    if (!open.handle) {
        candidate.failure = failureOf(error);
        candidate.reason = "passed over: " + failureText(error, candidate, "open");
        return;
    }
    error = claim(open.handle, candidate);
    if (error != 0) {
        candidate.failure = failureOf(error);
        candidate.reason = "passed over: " + failureText(error, candidate, "claim");
        return;
    }
    unsigned char buffer[DeviceIdBufferSize] = {};
    const int got = libusb_control_transfer(
        open.handle, GetDeviceIdRequestType, GetDeviceIdRequest, static_cast<std::uint16_t>(candidate.configIndex),
        static_cast<std::uint16_t>(candidate.interfaceNumber << 8 | candidate.alternateSetting), buffer,
        sizeof buffer, ControlTimeoutMs);
    libusb_release_interface(open.handle, candidate.interfaceNumber);
    if (trace && got > 0)
        trace->deviceId(std::string_view(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got)),
                        steadyNowMs());
    if (got < 0) {
        candidate.failure = failureOf(got);
        candidate.reason = "passed over: its IEEE 1284 id could not be read (" + std::string(libusb_strerror(got)) + ")";
        return;
    }
    candidate.deviceId = std::string(deviceIdText(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(got)));
    candidate.accepted = namesCutterMaker(candidate.deviceId);
    candidate.failure = candidate.accepted ? UsbFailure::None : UsbFailure::NotFound;
    candidate.reason = candidate.accepted ? "taken: its IEEE 1284 id names the maker"
                                          : "passed over: its IEEE 1284 id names no cutter maker";
}

}  // namespace

std::string usbAddressText(const UsbCandidate& candidate) {
    return std::to_string(candidate.bus) + ":" + std::to_string(candidate.address);
}

UsbContext::UsbContext() {
    // Any thread libusb starts keeps the signals held back: they go to ours.
    QuitSignalsHeld held;
    const int error = libusb_init(&context_);
    if (error != 0) throw std::runtime_error(std::string("cannot start libusb: ") + libusb_strerror(error));
}

UsbContext::~UsbContext() {
    QuitSignalsHeld held;
    libusb_exit(context_);
}

std::vector<UsbCandidate> UsbContext::discover(const std::atomic<bool>& quit) {
    std::vector<UsbCandidate> found;
    DeviceList list(context_);
    if (list.count < 0)
        throw std::runtime_error(std::string("cannot list USB devices: ") +
                                 libusb_strerror(static_cast<int>(list.count)));
    for (ssize_t i = 0; i < list.count && !quit.load(); ++i) {
        QuitSignalsHeld held;  // a quit request is seen between devices
        libusb_device* device = list.devices[i];
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != 0 || descriptor.idVendor != CutterVendorId) continue;
        UsbCandidate candidate;
        candidate.bus = libusb_get_bus_number(device);
        candidate.address = libusb_get_device_address(device);
        candidate.productId = descriptor.idProduct;
        if (trace_) trace_->device(descriptor.idVendor, descriptor.idProduct, steadyNowMs());
        if (!findPrinterInterface(device, candidate)) {
            candidate.failure = UsbFailure::NotFound;
            candidate.reason = "passed over: no printer-class interface with bulk endpoints both ways";
        } else {
            readDeviceId(context_, candidate, trace_);
        }
        found.push_back(std::move(candidate));
    }
    return found;
}

UsbMachineLink::UsbMachineLink(libusb_device_handle* handle, const UsbCandidate& candidate)
    : handle_(handle),
      interfaceNumber_(candidate.interfaceNumber),
      endpointOut_(candidate.endpointOut),
      endpointIn_(candidate.endpointIn) {}

UsbMachineLink::~UsbMachineLink() {
    // Gives the kernel's driver back (auto-detach), then closes.
    QuitSignalsHeld held;
    libusb_release_interface(handle_, interfaceNumber_);
    libusb_close(handle_);
}

UsbMachineLink::Opened UsbMachineLink::open(UsbContext& context, const UsbCandidate& candidate) {
    QuitSignalsHeld held;
    Opened opened;
    int error = 0;
    OpenDevice device = openDevice(context.get(), candidate, error);
    if (device.handle) error = claim(device.handle, candidate);
    if (error != 0) {
        opened.failure = failureOf(error);
        opened.error = failureText(error, candidate, device.handle ? "claim" : "open");
        return opened;
    }
    opened.link.reset(new UsbMachineLink(device.release(), candidate));
    return opened;
}

namespace {

LinkTransfer bulk(libusb_device_handle* handle, std::uint8_t endpoint, unsigned char* data, std::size_t size,
                  std::int64_t timeoutMs) {
    QuitSignalsHeld held;
    int transferred = 0;
    const int length = static_cast<int>(size > INT_MAX ? INT_MAX : size);
    const unsigned timeout = static_cast<unsigned>(timeoutMs < 1 ? 1 : timeoutMs);
    int error = libusb_bulk_transfer(handle, endpoint, data, length, &transferred, timeout);
    transferred = transferred > 0 ? transferred : 0;
    if (error == LIBUSB_ERROR_PIPE && libusb_clear_halt(handle, endpoint) == 0) {
        // A stalled endpoint: the halt cleared, the rest is tried once more
        // before the machine is taken for lost.
        int more = 0;
        error = transferred == length ? 0  // all had gone: no empty packet after it
                                      : libusb_bulk_transfer(handle, endpoint, data + transferred,
                                                             length - transferred, &more, timeout);
        transferred += more > 0 ? more : 0;
    }
    LinkTransfer result;
    result.bytes = static_cast<std::size_t>(transferred);
    switch (error) {
        case 0:
        case LIBUSB_ERROR_OVERFLOW:  // the device sent more than asked: keep what came
            result.status = LinkStatus::Ok;
            break;
        case LIBUSB_ERROR_TIMEOUT:
        case LIBUSB_ERROR_INTERRUPTED:
            result.status = LinkStatus::TimedOut;
            break;
        default:  // no device, an I/O error, a pipe stalled again: the cable is out or the machine is gone
            result.status = LinkStatus::Lost;
            break;
    }
    return result;
}

}  // namespace

LinkTransfer UsbMachineLink::write(const char* data, std::size_t size, std::int64_t timeoutMs) {
    // libusb does not write through the pointer of an OUT transfer.
    return bulk(handle_, endpointOut_, reinterpret_cast<unsigned char*>(const_cast<char*>(data)), size, timeoutMs);
}

LinkTransfer UsbMachineLink::read(char* buffer, std::size_t size, std::int64_t timeoutMs) {
    return bulk(handle_, endpointIn_, reinterpret_cast<unsigned char*>(buffer), size, timeoutMs);
}

std::int64_t UsbMachineLink::nowMs() { return steadyNowMs(); }

std::int64_t steadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace vantrel::cli
