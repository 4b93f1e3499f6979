#pragma once
// Why this user may not open a USB device node, as far as udev decides it:
// the rules that name the device, what they grant (mode, group, the seat's
// user through "uaccess"), and whether this user is in the group. Linux only.
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::cli {

// Vantrel's own rule (packaging/linux/60-vantrel.rules holds the same line).
inline constexpr const char* VantrelUdevRule =
    "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"0b4d\", MODE=\"0660\", TAG+=\"uaccess\"";

struct UdevRule {
    std::string file;
    int line = 0;
    bool matches = false;  // it names this device's vendor and, if it names one, its product
    std::string mode, group;
    bool uaccess = false;  // the user logged in at the seat gets the node
};

// The folders udev reads rules from, in its order; VANTREL_UDEV_RULES_DIRS
// (folders separated by ":") stands in for them, for tests.
std::vector<std::string> udevRuleFolders();

// Every rule in `folders` that names `vendorId` (as ATTR or ATTRS idVendor).
std::vector<UdevRule> udevRulesNaming(const std::vector<std::string>& folders, std::uint16_t vendorId,
                                      std::uint16_t productId);

struct GroupMembership {
    bool inGroup = false;       // this process has the group now
    bool afterLogin = false;    // the group database has the user in it: a new login would have it
    bool exists = false;
};
GroupMembership groupMembership(const std::string& group);

std::string userName();

// "owner:group, mode 0660" of a file, or empty when it cannot be read.
std::string nodeOwnership(const std::string& path);

}  // namespace vantrel::cli
