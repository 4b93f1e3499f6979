// vantrel-cut --doctor: why no machine can be used, found out the way --send
// would find it, with one line per finding and the fix beside it. Linux: the
// answers name udev, usbdevfs nodes and the sandboxes of Linux desktops.
#include <dirent.h>
#include <fcntl.h>
#include <libusb.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "quit_signals.h"
#include "send_command.h"
#include "session/link_trace.h"
#include "usb/udev_rules.h"
#include "usb/usb_link.h"

namespace vantrel::cli {
namespace {

void found(const char* kind, const std::string& text) { std::cout << kind << ": " << text << '\n' << std::flush; }
void ok(const std::string& text) { found("ok", text); }
void note(const std::string& text) { found("note", text); }
void problem(const std::string& text, const std::string& fix) { found("problem", text + "; fix: " + fix); }

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

std::string nodePath(int bus, int address) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", bus & 0xFF, address & 0xFF);
    return path;
}

const char* const ReadmeSection = "see \"When the machine is not found\" in Vantrel's README";

// A sandboxed program sees only the USB devices its sandbox gives it; both
// sandboxes say so in the environment of every program they run.
void sandboxFinding() {
    const char* flatpak = std::getenv("FLATPAK_ID");
    if (flatpak || access("/.flatpak-info", F_OK) == 0) {
        const std::string id = flatpak ? flatpak : "this application";
        problem("running inside the Flatpak sandbox of " + id + ", which sees no USB device it was not given",
                "flatpak override --user --device=all " + id +
                    " and start it again, or use Inkscape from the distribution's packages (sudo apt install inkscape)");
    } else if (const char* snap = std::getenv("SNAP_NAME")) {
        problem(std::string("running inside the Snap sandbox of ") + snap + ", which may not open USB devices",
                std::string("sudo snap connect ") + snap +
                    ":raw-usb where the snap offers it, else use Inkscape from the distribution's packages "
                    "(sudo apt install inkscape)");
    } else {
        ok("not inside a Flatpak or Snap sandbox");
    }
}

std::string installRuleCommand() {
    return std::string("echo '") + VantrelUdevRule + "' | sudo tee /etc/udev/rules.d/" + UdevRuleName +
           " && sudo udevadm control --reload-rules && sudo udevadm trigger (the rule of packaging/linux/" +
           UdevRuleName + "), then plug the machine in again";
}

std::string folderList(const std::vector<std::string>& folders) {
    std::string list;
    for (const std::string& f : folders) list += (list.empty() ? "" : ", ") + f;
    return list;
}

void permissionFindings(const UsbCandidate& c, const std::string& where) {
    const std::string node = nodePath(c.bus, c.address);
    const std::string ownership = nodeOwnership(node);
    const std::string user = userName();
    const std::string denied =
        where + ": " + user + " may not open " + node + (ownership.empty() ? "" : " (" + ownership + ")");
    const std::vector<std::string> folders = udevRuleFolders();
    const std::vector<UdevRule> rules = udevRulesNaming(folders, CutterVendorId, c.productId);
    const UdevRule* rule = nullptr;
    for (const UdevRule& r : rules)
        if (r.matches && !rule) rule = &r;
    if (rules.empty()) return problem(denied + ", and no udev rule names vendor 0b4d in " + folderList(folders),
                                      installRuleCommand());
    if (!rule)
        return problem(denied + "; " + rules.front().file + " line " + std::to_string(rules.front().line) +
                           " names vendor 0b4d but not this device (0b4d:" + hex4(c.productId) + ")",
                       "install Vantrel's rule, which takes every machine of the vendor: " + installRuleCommand());
    note("the udev rule in " + rule->file + " line " + std::to_string(rule->line) + " matches this device" +
         (rule->mode.empty() ? "" : ": mode " + rule->mode) + (rule->group.empty() ? "" : ", group " + rule->group) +
         (rule->uaccess ? ", the user at the seat (uaccess)" : ""));
    if (!rule->group.empty()) {
        const GroupMembership m = groupMembership(rule->group);
        if (!m.exists)
            return problem(denied + "; the rule names group " + rule->group + ", which does not exist",
                           "sudo groupadd " + rule->group + " && sudo usermod -aG " + rule->group + " " + user +
                               ", then log out and in again and plug the machine in again");
        if (!m.inGroup && m.afterLogin)
            return problem(denied + "; " + user + " is in group " + rule->group + " only from the next login",
                           "log out and in again");
        if (!m.inGroup)
            return problem(denied + "; " + user + " is not in group " + rule->group,
                           "sudo usermod -aG " + rule->group + " " + user + ", then log out and in again");
    }
    problem(denied + "; the rule has not been applied to the device",
            std::string("sudo udevadm control --reload-rules && sudo udevadm trigger, or plug the machine in again") +
                (rule->uaccess ? "; still refused, this login is not the one at the seat that uaccess serves (ssh, "
                                 "su): log in at the computer itself, or add GROUP=\"plugdev\" to the rule and "
                                 "sudo usermod -aG plugdev " + user
                               : ""));
}

// The driver bound to the interface, as usbdevfs names it ("usbfs" is a
// program holding it through libusb); empty when none or unreadable.
std::string boundDriver(const UsbCandidate& c) {
    const int fd = open(nodePath(c.bus, c.address).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return {};
    usbdevfs_getdriver query{};
    query.interface = static_cast<unsigned>(c.interfaceNumber < 0 ? 0 : c.interfaceNumber);
    std::string driver;
    if (ioctl(fd, USBDEVFS_GETDRIVER, &query) == 0) driver.assign(query.driver);
    close(fd);
    return driver;
}

// The other processes with the node open: "1234 (cupsd)", as far as /proc
// shows this user.
std::vector<std::string> holdersOf(const std::string& node) {
    std::vector<std::string> holders;
    DIR* proc = opendir("/proc");
    if (!proc) return holders;
    const std::string self = std::to_string(getpid());
    while (dirent* entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        const std::string fds = "/proc/" + pid + "/fd";
        DIR* dir = opendir(fds.c_str());
        if (!dir) continue;
        bool holds = false;
        while (dirent* fd = readdir(dir)) {
            char target[256] = {};
            const ssize_t n = readlink((fds + "/" + fd->d_name).c_str(), target, sizeof target - 1);
            if (n > 0 && node == std::string(target, static_cast<std::size_t>(n))) holds = true;
        }
        closedir(dir);
        if (!holds) continue;
        std::string name;
        if (std::FILE* comm = std::fopen(("/proc/" + pid + "/comm").c_str(), "r")) {
            char text[64] = {};
            if (std::fgets(text, sizeof text, comm)) name = text;
            std::fclose(comm);
            if (!name.empty() && name.back() == '\n') name.pop_back();
        }
        holders.push_back(pid + " (" + name + ")");
    }
    closedir(proc);
    return holders;
}

void inUseFindings(const UsbCandidate& c, const std::string& where, const std::string& driver) {
    const std::string node = nodePath(c.bus, c.address);
    if (!driver.empty() && driver != "usbfs")
        return problem(where + ": the kernel's " + driver + " driver holds its printer interface and could not be set aside",
                       "sudo modprobe -r " + driver + " while cutting, then run --doctor again");
    std::string holders;
    for (const std::string& h : holdersOf(node)) holders += (holders.empty() ? "" : ", ") + h;
    problem(where + ": its printer interface is held by another program" + (holders.empty() ? "" : ": " + holders),
            holders.empty() ? "find it with: fuser -v " + node +
                                  " (a print queue's USB backend, another cutter program, a second vantrel-cut), "
                                  "close it, then run --doctor again"
                            : "close it, then run --doctor again");
}

// One device of the vendor; true when it is ready to cut on.
bool deviceFindings(const UsbCandidate& c) {
    const std::string where = "the device at " + usbAddressText(c) + " (0b4d:" + hex4(c.productId) + ")";
    if (!c.deviceId.empty()) ok(where + ": IEEE 1284 id " + c.deviceId);
    if (c.failure == UsbFailure::Permission) {
        permissionFindings(c, where);
        return false;
    }
    ok(where + ": this user may open " + nodePath(c.bus, c.address));
    const std::string driver = c.interfaceNumber >= 0 ? boundDriver(c) : std::string();
    if (!driver.empty() && driver != "usbfs" && c.failure != UsbFailure::InUse)
        note(where + ": the kernel's " + driver + " driver is bound to its printer interface: fine, vantrel-cut sets "
                     "it aside while it uses the machine and gives it back after");
    if (c.failure == UsbFailure::InUse) {
        inUseFindings(c, where, driver);
        return false;
    }
    if (c.accepted) {
        ok(where + ": ready to cut on (vantrel-cut --send --device " + usbAddressText(c) + ")");
        return true;
    }
    const std::string prefix = "passed over: ";
    const std::string why = c.reason.rfind(prefix, 0) == 0 ? c.reason.substr(prefix.size()) : c.reason;
    if (c.failure == UsbFailure::NotFound)
        note(where + ": not a machine vantrel-cut cuts on (" + why + ")");
    else
        problem(where + ": " + why, "unplug the machine, switch it off and on, plug it in again, then run --doctor again");
    return false;
}

// No device of the vendor: what is there tells off, unplugged, or another id.
void presentDevices(libusb_context* context) {
    libusb_device** devices = nullptr;
    const ssize_t count = libusb_get_device_list(context, &devices);
    std::string present;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(devices[i], &d) != 0) continue;
        present += (present.empty() ? "" : ", ") + hex4(d.idVendor) + ":" + hex4(d.idProduct) + " at " +
                   std::to_string(libusb_get_bus_number(devices[i])) + ":" +
                   std::to_string(libusb_get_device_address(devices[i]));
    }
    if (count >= 0) libusb_free_device_list(devices, 1);
    const std::string fix = "switch the machine on, connect its USB cable straight to this computer, wait a few "
                            "seconds and run --doctor again; a machine that shows here with another vendor id is "
                            "not one vantrel-cut knows (" + std::string(ReadmeSection) + ")";
    if (present.empty()) return problem("no USB device is visible at all, so none of vendor 0b4d", fix);
    problem("no USB device of vendor 0b4d; the USB devices present: " + present, fix);
}

int diagnose(LinkTrace* trace) {
    const libusb_version* version = libusb_get_version();
    ok("libusb " + std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
       std::to_string(version->micro) + " is present");
    sandboxFinding();
    std::optional<UsbContext> usb;
    try {
        usb.emplace();
    } catch (const std::exception& e) {
        problem(e.what(), "reinstall libusb (sudo apt install --reinstall libusb-1.0-0), then run --doctor again");
        return ExitFailure;
    }
    usb->setTrace(trace);
    std::vector<UsbCandidate> found;
    {
        // A quit signal waits until every device looked at is released.
        QuitSignalsHeld held;
        const std::atomic<bool> never{false};
        found = usb->discover(never);
    }
    if (found.empty()) {
        presentDevices(usb->get());
        return ExitNoMachine;
    }
    int status = ExitNoMachine;
    bool ready = false;
    for (const UsbCandidate& c : found) {
        ready = deviceFindings(c) || ready;
        if (status == ExitNoMachine && c.failure != UsbFailure::NotFound && c.failure != UsbFailure::None)
            status = exitFor(c.failure);
    }
    if (ready) return ExitDone;
    if (status == ExitNoMachine)
        problem("no machine vantrel-cut cuts on among the devices of vendor 0b4d",
                std::string("check that the machine is on and connected (") + ReadmeSection + ")");
    return status;
}

}  // namespace

int runDoctor(const std::string& tracePath) {
    std::unique_ptr<std::ofstream> traceFile;
    std::optional<LinkTrace> trace;
    if (!tracePath.empty()) {
        std::string error;
        if (!(traceFile = openTraceFile(tracePath, error))) {
            std::cerr << "vantrel-cut: " << error << '\n';
            return ExitBadInput;
        }
        trace.emplace(*traceFile, steadyNowMs());
    }
    return diagnose(trace ? &*trace : nullptr);
}

}  // namespace vantrel::cli
