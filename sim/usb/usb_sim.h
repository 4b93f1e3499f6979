#pragma once
// vantrel-usb-sim's parts: its options, and the faked devices whose usbdevfs
// calls the machine model answers (usb_device.cpp); the main program sets up
// the testbed and runs the program under test (usb_sim_main.cpp).
#include <glib.h>
#include <linux/usbdevice_fs.h>
#include <signal.h>
#include <umockdev.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "model/machine.h"

namespace vantrel::usbsim {

using vantrel::sim::Machine;

// Milliseconds on a steady clock, from its first use.
std::int64_t nowMs();


struct Options {
    std::string identification = "CAMEO V1.10    ";
    std::string deviceId = "MANUFACTURER:Silhouette;MODEL:CAMEO;CLASS:PRINTER;DESCRIPTION:Silhouette CAMEO;";
    std::string otherDeviceId;
    std::string search = "found";
    std::int64_t busyMs = 0;
    std::string kernelDriver;
    std::size_t unplugAfter = SIZE_MAX;
    std::size_t stopAfter = SIZE_MAX;
    std::size_t interruptAfter = SIZE_MAX;
    std::vector<int> signalAtMs;
    int signal = SIGINT;
    std::size_t haltAfter = SIZE_MAX;
    bool altSettingFails = false;
    std::size_t timeByte = 0;
    bool denyAccess = false;
    bool held = false;
    bool noDevice = false;
    std::string usbId = "0b4d:113a";
    std::string out;
    std::vector<std::string> command;
};

// A submitted URB, held until it is finished and reaped.
struct Urb {
    UMockdevIoctlData* data = nullptr;  // one reference, ours
    usbdevfs_urb* urb() const { return reinterpret_cast<usbdevfs_urb*>(data->data); }
};

// One faked device: the machine behind its node.
struct Device {
    const char* node;
    std::string deviceId;
    Machine machine;
    std::string replies;           // made, not yet read
    std::deque<Urb> waitingIn;     // bulk IN URBs waiting for replies
    std::deque<Urb> waitingOut;    // bulk OUT URBs the machine does not take
    std::deque<Urb> finished;
    std::size_t received = 0;
    bool gone = false;
    bool driverBound = false;
    std::vector<std::string> events;
    bool halted = false;  // the OUT endpoint stalls until its halt is cleared
    bool haltedOnce = false;
};

extern Options options;

// The usbdevfs calls on one device's node, answered for `userData`, a Device.
gboolean handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData);

// Both belong to the main program: its time since the program under test
// started, and the signal sent to that program.
double msSinceSpawn();
void sendSignal(Device& d, const std::string& when);

}  // namespace vantrel::usbsim
