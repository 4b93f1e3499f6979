#include "usb/udev_rules.h"

#include <fnmatch.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

namespace vantrel::cli {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// udev compares with shell patterns; "|" separates alternatives.
bool udevMatch(const std::string& pattern, const std::string& value) {
    std::size_t start = 0;
    for (std::size_t bar; start <= pattern.size(); start = bar + 1) {
        bar = pattern.find('|', start);
        if (bar == std::string::npos) bar = pattern.size();
        if (fnmatch(lower(pattern.substr(start, bar - start)).c_str(), lower(value).c_str(), 0) == 0) return true;
    }
    return false;
}

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

}  // namespace

std::vector<std::string> udevRuleFolders() {
    std::vector<std::string> folders;
    if (const char* given = std::getenv("VANTREL_UDEV_RULES_DIRS")) {
        std::string list = given;
        for (std::size_t start = 0, colon; start <= list.size(); start = colon + 1) {
            colon = list.find(':', start);
            if (colon == std::string::npos) colon = list.size();
            if (colon > start) folders.push_back(list.substr(start, colon - start));
        }
        return folders;
    }
    return {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
}

std::vector<UdevRule> udevRulesNaming(const std::vector<std::string>& folders, std::uint16_t vendorId,
                                      std::uint16_t productId) {
    // KEY{ATTRIBUTE} OPERATOR "VALUE"
    static const std::regex pair(R"re(([A-Z_]+)(\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)")re");
    std::vector<UdevRule> rules;
    std::vector<std::filesystem::path> files;
    for (const std::string& folder : folders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            if (entry.path().extension() == ".rules") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
    for (const auto& file : files) {
        std::ifstream in(file);
        std::string text;
        for (int number = 1; std::getline(in, text); ++number) {
            if (text.find_first_not_of(" \t") == std::string::npos || text[text.find_first_not_of(" \t")] == '#')
                continue;
            UdevRule rule;
            rule.file = file.string();
            rule.line = number;
            bool namesVendor = false, fits = true;
            for (std::sregex_iterator it(text.begin(), text.end(), pair), end; it != end; ++it) {
                const std::string key = (*it)[1], attribute = (*it)[3], op = (*it)[4], value = (*it)[5];
                const bool attr = key == "ATTR" || key == "ATTRS" || key == "SYSFS";
                if (op == "==" || op == "!=") {
                    bool equal = true;
                    if (attr && attribute == "idVendor") {
                        equal = udevMatch(value, hex4(vendorId));
                        namesVendor = namesVendor || (op == "==" && equal);
                    } else if (attr && attribute == "idProduct") {
                        equal = udevMatch(value, hex4(productId));
                    } else if (key == "SUBSYSTEM" || key == "SUBSYSTEMS") {
                        equal = udevMatch(value, "usb");
                    } else {
                        continue;  // a key this check cannot judge is taken to fit
                    }
                    fits = fits && (op == "==" ? equal : !equal);
                } else if (key == "MODE") {
                    rule.mode = value;
                } else if (key == "GROUP") {
                    rule.group = value;
                } else if (key == "TAG" && value == "uaccess") {
                    rule.uaccess = true;
                }
            }
            if (!namesVendor) continue;
            rule.matches = fits;
            rules.push_back(rule);
        }
    }
    return rules;
}

GroupMembership groupMembership(const std::string& group) {
    GroupMembership m;
    const struct group* g = getgrnam(group.c_str());
    if (!g) return m;
    m.exists = true;
    const gid_t wanted = g->gr_gid;
    std::vector<gid_t> now(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)) + 1);
    const int count = getgroups(static_cast<int>(now.size()), now.data());
    m.inGroup = getegid() == wanted || std::find(now.begin(), now.begin() + std::max(count, 0), wanted) != now.end();
    if (const passwd* pw = getpwuid(geteuid())) {
        int n = 64;
        std::vector<gid_t> listed(static_cast<std::size_t>(n));
        if (getgrouplist(pw->pw_name, pw->pw_gid, listed.data(), &n) < 0) {
            listed.resize(static_cast<std::size_t>(n));
            getgrouplist(pw->pw_name, pw->pw_gid, listed.data(), &n);
        }
        m.afterLogin = std::find(listed.begin(), listed.begin() + std::max(n, 0), wanted) != listed.begin() + std::max(n, 0);
    }
    return m;
}

std::string userName() {
    if (const passwd* pw = getpwuid(geteuid())) return pw->pw_name;
    return std::to_string(geteuid());
}

std::string nodeOwnership(const std::string& path) {
    struct stat s {};
    if (stat(path.c_str(), &s) != 0) return {};
    const passwd* pw = getpwuid(s.st_uid);
    std::string owner = pw ? pw->pw_name : std::to_string(s.st_uid);
    const struct group* g = getgrgid(s.st_gid);
    owner += ":" + (g ? std::string(g->gr_name) : std::to_string(s.st_gid));
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(s.st_mode & 07777));
    return owner + ", mode " + mode;
}

}  // namespace vantrel::cli
