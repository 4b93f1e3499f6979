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
//   --held                  another program holds the printer interface (claims fail with EBUSY)
//   --no-device             no USB device at all
//   --usb-id VVVV:PPPP      the device's vendor and product ids (0b4d:113a)
//   --time-byte N           notes when byte N arrived, in ms from the program's start
//   --out FOLDER            writes received.bin and events.txt there
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "usb_sim.h"

namespace vantrel::usbsim {

Options options;

namespace {

GPid child = 0;
std::chrono::steady_clock::time_point spawned;
std::int64_t firstSignalMs = -1;
std::int64_t exitedAfterSignalMs = -1;

}  // namespace

double msSinceSpawn() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - spawned).count();
}

void sendSignal(Device& d, const std::string& when) {
    if (firstSignalMs < 0) firstSignalMs = nowMs();
    d.events.push_back(std::string("SIG") + sigabbrev_np(options.signal) + " " + when);
    kill(child, options.signal);
}

namespace {

const char* const DeviceText =
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-%d\n"
    "N: bus/usb/001/00%d\n"
    "E: DEVNAME=/dev/bus/usb/001/00%d\n"
    "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=00%d\n"
    "A: busnum=1\nA: devnum=%d\nA: idVendor=%.4s\nA: idProduct=%.4s\nA: bDeviceClass=00\n"
    "A: bNumConfigurations=1\nA: bConfigurationValue=1\nA: speed=12\n"
    "H: descriptors=1201000200000040%.4s%.4s0001010203010902%s\n";

// The configuration: one printer-class interface with its bulk endpoints;
// with --alt-setting-fails they are its alternate setting 1, setting 0 having
// none.
const char* const Configuration = "2000010100c0320904000002070102000705010240000007058202400000";
const char* const ConfigurationWithAltSetting =
    "2900010100c032090400000007010200090400010207010200" "0705010240000007058202400000";

// `id` is "vvvv:pppp" in hex, as lsusb shows it.
bool addDevice(UMockdevTestbed* testbed, int address, const std::string& id,
               const char* configuration = Configuration) {
    // The descriptor holds both numbers little-endian.
    const std::string vendorLe = id.substr(2, 2) + id.substr(0, 2), productLe = id.substr(7, 2) + id.substr(5, 2);
    char text[1024];
    std::snprintf(text, sizeof text, DeviceText, address - 1, address, address, address, address, id.c_str(),
                  id.c_str() + 5, vendorLe.c_str(), productLe.c_str(), configuration);
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
        if (a == "--deny-access" || a == "--alt-setting-fails" || a == "--held" || a == "--no-device") {
            (a == "--deny-access" ? options.denyAccess : a == "--held" ? options.held
             : a == "--no-device" ? options.noDevice : options.altSettingFails) = true;
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
        else if (a == "--usb-id" && v.size() == 9 && v[4] == ':' &&
                 v.find_first_not_of("0123456789abcdef:") == std::string::npos) options.usbId = v;
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
    bool ok = options.noDevice ||
              (addDevice(testbed, 2, options.usbId, options.altSettingFails ? ConfigurationWithAltSetting : Configuration) &&
               attach(testbed, cutter));
    if (ok && !options.otherDeviceId.empty()) ok = addDevice(testbed, 3, "0b4d:1121") && attach(testbed, other);
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    if (ok && options.denyAccess && !options.noDevice) {
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
}  // namespace vantrel::usbsim


int main(int argc, char** argv) {
    try {
        return vantrel::usbsim::run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "vantrel-usb-sim: " << e.what() << '\n';
        return 1;
    }
}
