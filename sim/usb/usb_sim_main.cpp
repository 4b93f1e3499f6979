// vantrel-usb-sim: the simulated cutter as a USB device, for programs that
// reach it through libusb. umockdev fakes the device's sysfs entry and its
// usbdevfs node; this program answers the node's ioctls with the machine
// model, and runs the program under test beside it:
//
//   vantrel-usb-sim [options] -- PROGRAM [ARGS...]
//
// It exits with the program's exit status, after writing the record (--out).
//   --identification TEXT   answer to "FG" (CAMEO V1.10)
//   --device-id TEXT        the IEEE 1284 id (MANUFACTURER:Silhouette;MODEL:CAMEO;...)
//   --other-device-id TEXT  adds a second device of the vendor (at 1:3) with this id
//   --search LIST           found, not-found, or a list such as not-found,found
//   --busy-ms N             busy from the start for N ms
//   --kernel-driver NAME    a kernel driver bound to the interface, to be detached
//   --unplug-after-bytes N  the cable is pulled after N received bytes
//   --stop-after-bytes N    the machine takes no byte beyond N
//   --interrupt-after-bytes N  the signal (SIGINT) to the program after N received bytes
//   --signal-after-ms LIST  the signal at these times from the program's start (500 or 500,700);
//                           events.txt then notes how long after the first one it exited
//   --signal NAME           INT (Ctrl-C), TERM, HUP or QUIT
//   --halt-after-bytes N    the first write after N received bytes stalls the endpoint (EPIPE)
//                           until the program clears its halt
//   --alt-setting-fails     the printer interface is alternate setting 1, and choosing it fails
//   --deny-access           the device node may not be opened
//   --time-byte N           notes when byte N arrived, in ms from the program's start
//   --out FOLDER            writes received.bin and events.txt there
#include <errno.h>
#include <glib.h>
#include <linux/usbdevice_fs.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <deque>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "model/machine.h"

namespace {

using vantrel::sim::Machine;

std::int64_t nowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

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

Options options;
GPid child = 0;
std::chrono::steady_clock::time_point spawned;
bool interrupted = false;
std::int64_t firstSignalMs = -1;
std::int64_t exitedAfterSignalMs = -1;

double msSinceSpawn() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - spawned).count();
}

void sendSignal(Device& d, const std::string& when) {
    if (firstSignalMs < 0) firstSignalMs = nowMs();
    d.events.push_back(std::string("SIG") + sigabbrev_np(options.signal) + " " + when);
    kill(child, options.signal);
}

void finish(Device& d, Urb u, int status, int length) {
    u.urb()->status = status;
    u.urb()->actual_length = length;
    d.finished.push_back(u);
}

void serveIn(Device& d) {
    while (!d.waitingIn.empty() && !d.replies.empty()) {
        Urb u = d.waitingIn.front();
        d.waitingIn.pop_front();
        const std::size_t n = std::min<std::size_t>(d.replies.size(), static_cast<std::size_t>(u.urb()->buffer_length));
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(u.data, offsetof(usbdevfs_urb, buffer), u.urb()->buffer_length, nullptr);
        std::memcpy(buffer->data, d.replies.data(), n);
        d.replies.erase(0, n);
        finish(d, u, 0, static_cast<int>(n));
    }
}

void unplug(Device& d) {
    d.gone = true;
    d.events.push_back("unplugged after " + std::to_string(d.received) + " bytes");
    d.machine.connectionLost(nowMs());
    for (auto* list : {&d.waitingIn, &d.waitingOut})
        while (!list->empty()) {
            finish(d, list->front(), -ENODEV, 0);
            list->pop_front();
        }
}

// Bytes of a bulk OUT URB reaching the machine; false when it must wait.
bool takeOut(Device& d, Urb u) {
    UMockdevIoctlData* buffer =
        umockdev_ioctl_data_resolve(u.data, offsetof(usbdevfs_urb, buffer), u.urb()->buffer_length, nullptr);
    std::size_t size = static_cast<std::size_t>(u.urb()->buffer_length);
    std::size_t take = std::min(size, options.stopAfter - std::min(options.stopAfter, d.received));
    const bool unplugging = d.received + take >= options.unplugAfter;
    if (unplugging) take = options.unplugAfter - d.received;
    if (take == 0 && !unplugging) return false;
    d.replies += d.machine.receive(std::string_view(reinterpret_cast<const char*>(buffer->data), take), nowMs());
    if (options.timeByte && d.received < options.timeByte && d.received + take >= options.timeByte) {
        const double ms = msSinceSpawn();
        d.events.push_back("byte " + std::to_string(options.timeByte) + " at " + std::to_string(ms) + " ms");
    }
    d.received += take;
    if (d.received >= options.interruptAfter && !interrupted) {
        interrupted = true;
        sendSignal(d, "after " + std::to_string(d.received) + " bytes");
    }
    if (unplugging) {
        finish(d, u, -EPROTO, static_cast<int>(take));
        unplug(d);
    } else if (take < size) {
        // Part taken; the rest waits for a discard (the sender's time-out).
        u.urb()->actual_length = static_cast<int>(take);
        d.waitingOut.push_back(u);
    } else {
        finish(d, u, 0, static_cast<int>(take));
    }
    serveIn(d);
    return true;
}

void submit(Device& d, UMockdevIoctlData* arg) {
    Urb u{umockdev_ioctl_data_ref(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr))};
    usbdevfs_urb* urb = u.urb();
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(u.data, offsetof(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
        const std::uint8_t* setup = buffer->data;
        int length = 0;
        if (setup[0] == 0xA1 && setup[1] == 0) {  // the printer class's GET_DEVICE_ID
            d.events.push_back("GET_DEVICE_ID");
            const std::size_t wanted = static_cast<std::size_t>(setup[6] | setup[7] << 8);
            std::string answer;
            answer += static_cast<char>((d.deviceId.size() + 2) >> 8);
            answer += static_cast<char>((d.deviceId.size() + 2) & 0xFF);
            answer += d.deviceId;
            length = static_cast<int>(std::min({answer.size(), wanted, static_cast<std::size_t>(urb->buffer_length - 8)}));
            std::memcpy(buffer->data + 8, answer.data(), length);
        }
        finish(d, u, 0, length);
    } else if (urb->endpoint & 0x80) {
        d.waitingIn.push_back(u);
        serveIn(d);
    } else if (d.halted || (!d.haltedOnce && d.received >= options.haltAfter)) {
        if (!d.halted) d.events.push_back("endpoint halted after " + std::to_string(d.received) + " bytes");
        d.halted = d.haltedOnce = true;
        finish(d, u, -EPIPE, 0);
    } else if (!d.waitingOut.empty() || !takeOut(d, u)) {
        urb->actual_length = 0;
        d.waitingOut.push_back(u);
    }
}

gboolean handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer userData) {
    Device& d = *static_cast<Device*>(userData);
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    auto complete = [&](long result, int error) {
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    };
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        if (d.finished.empty()) return complete(-1, d.gone ? ENODEV : EAGAIN);
        Urb u = d.finished.front();
        d.finished.pop_front();
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, u.data);
        umockdev_ioctl_data_unref(u.data);
        return complete(0, 0);
    }
    if (request == USBDEVFS_DISCARDURB) {
        const gulong address = *reinterpret_cast<const gulong*>(arg->data);
        for (auto* list : {&d.waitingIn, &d.waitingOut})
            for (auto it = list->begin(); it != list->end(); ++it)
                if (it->data->client_addr == address) {
                    Urb u = *it;
                    list->erase(it);
                    finish(d, u, -ENOENT, u.urb()->actual_length);
                    return complete(0, 0);
                }
        return complete(-1, EINVAL);
    }
    if (d.gone) return complete(-1, ENODEV);
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
            const std::uint32_t none = 0;
            std::memcpy(caps->data, &none, sizeof none);
            return complete(0, 0);
        }
        case USBDEVFS_GETDRIVER: {
            if (!d.driverBound) return complete(-1, ENODATA);
            auto* g = reinterpret_cast<usbdevfs_getdriver*>(
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr)->data);
            std::snprintf(g->driver, sizeof g->driver, "%s", options.kernelDriver.c_str());
            return complete(0, 0);
        }
        case USBDEVFS_DISCONNECT_CLAIM:
            d.events.push_back(d.driverBound ? "claimed, " + options.kernelDriver + " detached" : "claimed");
            d.driverBound = false;
            return complete(0, 0);
        case USBDEVFS_CLAIMINTERFACE:
            if (d.driverBound) return complete(-1, EBUSY);
            d.events.push_back("claimed");
            return complete(0, 0);
        case USBDEVFS_RELEASEINTERFACE:
            d.events.push_back("released");
            return complete(0, 0);
        case USBDEVFS_IOCTL: {
            auto* c = reinterpret_cast<usbdevfs_ioctl*>(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr)->data);
            if (c->ioctl_code == USBDEVFS_CONNECT && !options.kernelDriver.empty()) {
                d.driverBound = true;
                d.events.push_back(options.kernelDriver + " given back");
            }
            return complete(0, 0);
        }
        case USBDEVFS_SUBMITURB:
            submit(d, arg);
            return complete(0, 0);
        case USBDEVFS_SETINTERFACE:
            if (!options.altSettingFails) return complete(0, 0);
            d.events.push_back("alternate setting refused");
            return complete(-1, EIO);
        case USBDEVFS_CLEAR_HALT:
            if (d.halted) d.events.push_back("halt cleared");
            d.halted = false;
            return complete(0, 0);
        case USBDEVFS_RESET:
            return complete(0, 0);
        default:
            return complete(-1, ENOTTY);
    }
}

const char* const DeviceText =
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-%d\n"
    "N: bus/usb/001/00%d\n"
    "E: DEVNAME=/dev/bus/usb/001/00%d\n"
    "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=00%d\n"
    "A: busnum=1\nA: devnum=%d\nA: idVendor=0b4d\nA: idProduct=%s\nA: bDeviceClass=00\n"
    "A: bNumConfigurations=1\nA: bConfigurationValue=1\nA: speed=12\n"
    "H: descriptors=12010002000000404d0b%s0001010203010902%s\n";

// The configuration: one printer-class interface with its bulk endpoints;
// with --alt-setting-fails they are its alternate setting 1, setting 0 having
// none.
const char* const Configuration = "2000010100c0320904000002070102000705010240000007058202400000";
const char* const ConfigurationWithAltSetting =
    "2900010100c032090400000007010200090400010207010200" "0705010240000007058202400000";

bool addDevice(UMockdevTestbed* testbed, int address, const char* product, const char* productLe,
               const char* configuration = Configuration) {
    char text[1024];
    std::snprintf(text, sizeof text, DeviceText, address - 1, address, address, address, address, product, productLe,
                  configuration);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, text, &error)) {
        std::cerr << "vantrel-usb-sim: " << error->message << '\n';
        g_error_free(error);
        return false;
    }
    return true;
}

bool attach(UMockdevTestbed* testbed, Device& device) {
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(handleIoctl), &device);
    GError* error = nullptr;
    const bool ok = umockdev_testbed_attach_ioctl(testbed, device.node, handler, &error);
    g_object_unref(handler);
    if (!ok) {
        std::cerr << "vantrel-usb-sim: " << error->message << '\n';
        g_error_free(error);
    }
    return ok;
}

bool parse(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            options.command.assign(argv + i + 1, argv + argc);
            return !options.command.empty();
        }
        if (a == "--deny-access" || a == "--alt-setting-fails") {
            (a == "--deny-access" ? options.denyAccess : options.altSettingFails) = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        if (a == "--identification") options.identification = v;
        else if (a == "--device-id") options.deviceId = v;
        else if (a == "--other-device-id") options.otherDeviceId = v;
        else if (a == "--search") options.search = v;
        else if (a == "--busy-ms") options.busyMs = std::stoll(v);
        else if (a == "--kernel-driver") options.kernelDriver = v;
        else if (a == "--unplug-after-bytes") options.unplugAfter = std::stoull(v);
        else if (a == "--stop-after-bytes") options.stopAfter = std::stoull(v);
        else if (a == "--interrupt-after-bytes") options.interruptAfter = std::stoull(v);
        else if (a == "--halt-after-bytes") options.haltAfter = std::stoull(v);
        else if (a == "--signal-after-ms") {
            for (std::size_t start = 0; start < v.size();) {
                std::size_t used = 0;
                options.signalAtMs.push_back(std::stoi(v.substr(start), &used));
                start += used + 1;
            }
        } else if (a == "--signal") {
            const int number = v == "INT" ? SIGINT : v == "TERM" ? SIGTERM : v == "HUP" ? SIGHUP : v == "QUIT" ? SIGQUIT : 0;
            if (!number) return false;
            options.signal = number;
        }
        else if (a == "--time-byte") options.timeByte = std::stoull(v);
        else if (a == "--out") options.out = v;
        else return false;
    }
    return false;
}

// With --deny-access the node is made unreadable; root would open it all the
// same, so the program under test runs without the capabilities that
// override file modes (dropped from the bounding set, so exec keeps them off).
void withoutFileModeOverride(gpointer) {
    prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

vantrel::sim::MachineConfig machineConfig() {
    vantrel::sim::MachineConfig config;
    config.identification = options.identification;
    config.startBusyMs = options.busyMs;
    config.busyMs = 0;
    config.searchOutcomes.clear();
    std::string list = options.search + ",";
    for (std::size_t start = 0, comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
        const std::string word = list.substr(start, comma - start);
        config.searchOutcomes.push_back(word == "found" || word == "f" ? vantrel::sim::SearchOutcome::Found
                                                                       : vantrel::sim::SearchOutcome::NotFound);
    }
    return config;
}

int run(int argc, char** argv) {
    if (!parse(argc, argv)) {
        std::cerr << "usage: vantrel-usb-sim [options] -- PROGRAM [ARGS...] (options: see the source's head)\n";
        return 2;
    }
    UMockdevTestbed* testbed = umockdev_testbed_new();
    Device cutter{"/dev/bus/usb/001/002", options.deviceId, Machine(machineConfig()), {}, {}, {}, {}, 0, false,
                  !options.kernelDriver.empty(), {}, false, false};
    Device other{"/dev/bus/usb/001/003", options.otherDeviceId, Machine(), {}, {}, {}, {}, 0, false, false, {}, false, false};
    bool ok = addDevice(testbed, 2, "113a", "3a11", options.altSettingFails ? ConfigurationWithAltSetting : Configuration) &&
              attach(testbed, cutter);
    if (ok && !options.otherDeviceId.empty()) ok = addDevice(testbed, 3, "1121", "2111") && attach(testbed, other);
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    if (ok && options.denyAccess) {
        const std::string node = std::string(root) + "/dev/bus/usb/001/002";
        ok = chmod(node.c_str(), 0) == 0;
    }
    int status = 1;
    if (ok) {
        gchar** environment = g_get_environ();
        environment = g_environ_setenv(environment, "UMOCKDEV_DIR", root, TRUE);
        environment = g_environ_setenv(environment, "LD_PRELOAD", "libumockdev-preload.so.0", TRUE);
        std::vector<gchar*> command;
        for (auto& word : options.command) command.push_back(word.data());
        command.push_back(nullptr);
        GError* error = nullptr;
        const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                                    G_SPAWN_CHILD_INHERITS_STDIN);
        spawned = std::chrono::steady_clock::now();
        if (g_spawn_async(nullptr, command.data(), environment, flags,
                          options.denyAccess ? withoutFileModeOverride : nullptr, nullptr, &child, &error)) {
            GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
            int waitStatus = 0;
            struct Watch {
                GMainLoop* loop;
                int* status;
            } watch{loop, &waitStatus};
            for (int ms : options.signalAtMs)
                g_timeout_add(static_cast<guint>(ms), [](gpointer d) {
                    sendSignal(*static_cast<Device*>(d), "at " + std::to_string(static_cast<long>(msSinceSpawn())) + " ms");
                    return G_SOURCE_REMOVE;
                }, &cutter);
            g_child_watch_add(
                child,
                [](GPid pid, gint s, gpointer w) {
                    if (firstSignalMs >= 0) exitedAfterSignalMs = nowMs() - firstSignalMs;
                    *static_cast<Watch*>(w)->status = s;
                    g_spawn_close_pid(pid);
                    g_main_loop_quit(static_cast<Watch*>(w)->loop);
                },
                &watch);
            g_main_loop_run(loop);
            g_main_loop_unref(loop);
            status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
        } else {
            std::cerr << "vantrel-usb-sim: " << error->message << '\n';
            g_error_free(error);
        }
        g_strfreev(environment);
    }
    if (!options.out.empty()) {
        g_mkdir_with_parents(options.out.c_str(), 0755);
        std::ofstream(options.out + "/received.bin", std::ios::binary) << cutter.machine.received();
        std::ofstream events(options.out + "/events.txt");
        for (const auto& e : cutter.events) events << e << '\n';
        if (exitedAfterSignalMs >= 0)
            events << "exited " << exitedAfterSignalMs << " ms after SIG" << sigabbrev_np(options.signal) << '\n';
        for (const auto& e : cutter.machine.anomalies()) events << "anomaly: " << e << '\n';
    }
    g_free(root);
    g_object_unref(testbed);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "vantrel-usb-sim: " << e.what() << '\n';
        return 1;
    }
}
