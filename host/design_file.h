#pragma once
// Design files of the stand-in host and the tools: SVG path data in inches,
// one path per file. Lines starting with '#' are comments. Supported commands:
// M L H V C S Q Z, absolute (upper case) and relative (lower case).
#include <string>
#include <string_view>

#include "cutdata/path.h"

namespace vantrel {

struct DesignParseResult {
    bool ok = false;
    Path path;               // points in inches, GDI+ type bytes
    int errorLine = 0;       // 1-based position of the first fault
    int errorColumn = 0;
    std::string errorMessage;

    // "line L, column C: message"
    std::string errorText() const;
};

// Coordinates beyond this many inches are refused: no cutter is that large,
// and it keeps every later conversion to machine steps far from overflow.
inline constexpr double MaxDesignCoordinate = 10000.0;

DesignParseResult parseDesign(std::string_view text);

}  // namespace vantrel
