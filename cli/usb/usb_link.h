#pragma once
// vantrel-cut's link to the machine through libusb: discovery of the maker's
// devices by their printer-class interface and IEEE 1284 id, and a claimed
// interface as a MachineLink. libusb serves Linux and macOS alike; the kernel
// driver detaching is libusb's own (on Linux usbdevfs claims with detach, and
// the driver is given back at release).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "session/machine_link.h"

namespace vantrel {
class LinkTrace;
}

struct libusb_context;
struct libusb_device_handle;

namespace vantrel::cli {

inline constexpr std::uint16_t CutterVendorId = 0x0B4D;
inline constexpr const char* UdevRuleName = "60-vantrel.rules";

enum class UsbFailure {
    None,
    NotFound,    // no such device, or not a cutter
    Permission,  // the device node may not be opened
    InUse,       // another program or driver holds the interface
    Other,
};

struct UsbCandidate {
    int bus = 0;
    int address = 0;
    std::uint16_t productId = 0;
    std::string deviceId;        // the 1284 id, as read
    bool accepted = false;
    UsbFailure failure = UsbFailure::None;
    std::string reason;          // why it was taken or passed over
    // The printer-class interface and its endpoints (0 when none).
    int interfaceNumber = -1;
    int alternateSetting = 0;
    int configIndex = 0;
    std::uint8_t endpointOut = 0;
    std::uint8_t endpointIn = 0;
    std::uint16_t packetSize = 64;
};

class UsbContext {
public:
    UsbContext();  // throws std::runtime_error when libusb cannot start
    ~UsbContext();
    UsbContext(const UsbContext&) = delete;
    UsbContext& operator=(const UsbContext&) = delete;
    libusb_context* get() const { return context_; }

    // Every device with the maker's vendor id, each with the verdict. Each is
    // claimed while its 1284 id is read and released before the next; a quit
    // request stops before the next device (the caller looks at it).
    std::vector<UsbCandidate> discover(const std::atomic<bool>& quit);
    // Discovery writes each device's USB ids and the 1284 id it gave here.
    void setTrace(LinkTrace* trace) { trace_ = trace; }

private:
    libusb_context* context_ = nullptr;
    LinkTrace* trace_ = nullptr;
};

// The claimed printer interface of one machine. Releasing it (at destruction)
// gives the kernel's driver back.
class UsbMachineLink : public MachineLink {
public:
    ~UsbMachineLink() override;
    UsbMachineLink(const UsbMachineLink&) = delete;
    UsbMachineLink& operator=(const UsbMachineLink&) = delete;

    LinkTransfer write(const char* data, std::size_t size, std::int64_t timeoutMs) override;
    LinkTransfer read(char* buffer, std::size_t size, std::int64_t timeoutMs) override;
    std::int64_t nowMs() override;

    struct Opened {
        std::unique_ptr<UsbMachineLink> link;
        UsbFailure failure = UsbFailure::None;
        std::string error;  // one line
    };
    static Opened open(UsbContext& context, const UsbCandidate& candidate);

private:
    UsbMachineLink(libusb_device_handle* handle, const UsbCandidate& candidate);
    libusb_device_handle* handle_;
    int interfaceNumber_;
    std::uint8_t endpointOut_;
    std::uint8_t endpointIn_;
};

// The clock of UsbMachineLink::nowMs.
std::int64_t steadyNowMs();

// "BUS:ADDR"
std::string usbAddressText(const UsbCandidate& candidate);

}  // namespace vantrel::cli
