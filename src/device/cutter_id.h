#pragma once
// Recognising the cutter among the USB devices, and naming its two channels.
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// The IEEE 1284 identification buffer; a text that fills it without a
// terminator is cut at its end.
inline constexpr std::size_t DeviceIdBufferSize = 512;

// Channel numbers appended to the device path.
inline constexpr int OutgoingChannel = 0;
inline constexpr int IncomingChannel = 1;

// Exact, case-sensitive test for the maker's USB vendor id in a device
// instance id such as USB\VID_0B4D&PID_1121\5&2B4E....
bool hasCutterVendorId(std::wstring_view instanceId);

// The identification text held in a device's answer buffer: up to its first
// NUL, never beyond the bytes the device returned nor beyond the buffer.
// Some USB printer-class drivers put the IEEE 1284 id's two-byte big-endian
// length in front; an answer that begins with a control character (a
// length's high byte: 0, 1 or 2 for an id that fits the buffer) is read
// from its third byte on.
std::string_view deviceIdText(const char* buffer, std::size_t returned);

// True when a "manufacturer" field (key compared without regard to case, the
// short key MFG not recognised) names one of the two makers in full, after
// leading blanks and tabs.
bool namesCutterMaker(std::string_view deviceId);

// The device path, a backslash, a dot and the channel as two digits.
std::wstring channelPath(std::wstring_view devicePath, int channel);

// True for a named-pipe path: \\.\pipe\ (case ignored, as Windows does)
// followed by a name. Only such a path names the simulated cutter.
bool isPipePath(std::wstring_view path);

}  // namespace vantrel
