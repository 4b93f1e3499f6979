#include "device/cutter_id.h"

#include <cstring>

namespace vantrel {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// One field: "manufacturer" as its first twelve characters, then the value
// after the first colon.
bool fieldNamesMaker(std::string_view field) {
    if (field.size() < 12 || !equalsNoCase(field.substr(0, 12), "manufacturer")) return false;
    std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view value = field.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    return equalsNoCase(value, "graphtec") || equalsNoCase(value, "silhouette");
}

}  // namespace

bool hasCutterVendorId(std::wstring_view instanceId) { return instanceId.find(L"VID_0B4D") != std::wstring_view::npos; }

std::string_view deviceIdText(const char* buffer, std::size_t returned) {
    std::size_t limit = returned < DeviceIdBufferSize ? returned : DeviceIdBufferSize;
    // No id begins with a control character: its keys are words. The length
    // itself is not trusted: drivers disagree on whether it counts its own
    // two bytes, and the returned count and the terminator already bound the text.
    if (limit >= 2 && static_cast<unsigned char>(buffer[0]) < 0x20) {
        buffer += 2;
        limit -= 2;
    }
    const void* nul = std::memchr(buffer, '\0', limit);
    return {buffer, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : limit};
}

bool namesCutterMaker(std::string_view deviceId) {
    while (!deviceId.empty()) {
        std::size_t end = deviceId.find(';');
        std::string_view field = deviceId.substr(0, end);
        if (!field.empty() && fieldNamesMaker(field)) return true;
        if (end == std::string_view::npos) break;
        deviceId.remove_prefix(end + 1);
    }
    return false;
}

std::wstring channelPath(std::wstring_view devicePath, int channel) {
    std::wstring path(devicePath);
    path += L"\\.";
    path += static_cast<wchar_t>(L'0' + channel / 10 % 10);
    path += static_cast<wchar_t>(L'0' + channel % 10);
    return path;
}

bool isPipePath(std::wstring_view path) {
    constexpr std::wstring_view prefix = L"\\\\.\\pipe\\";
    if (path.size() <= prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = path[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace vantrel
