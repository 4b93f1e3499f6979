#pragma once
// The About text: name, file version, build time and the legal notice.
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

// The four 16-bit parts of a file version, most significant first.
struct FileVersion {
    std::uint16_t parts[4] = {0, 0, 0, 0};
};
// From the two 32-bit halves of the version resource's fixed block.
FileVersion fileVersionFromHalves(std::uint32_t mostSignificant, std::uint32_t leastSignificant);

// The first `count` parts (1 to 4) joined by "."; a part whose bit is set in
// `twoDigitParts` (bit 0 for the first part) is written with at least two digits.
std::string formatFileVersion(const FileVersion& version, int count, unsigned twoDigitParts = 0);

// "Thu Mar 28 15:01:23 2013" from the compiler's date ("Mar 28 2013") and
// time ("15:01:23"); a day below 10 is padded with a blank, as the C
// library's time text has it. Malformed input is returned as date and time joined.
std::string buildTimestamp(std::string_view compilerDate, std::string_view compilerTime);

// The legal notice that closes the About text; it begins with a line break.
extern const char16_t AboutNotice[];

// name + " v" + version + "\nBuild Timestamp: " + time + notice.
std::u16string aboutText(std::u16string_view appName, std::string_view version, std::string_view buildTime);

}  // namespace vantrel
