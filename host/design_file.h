#pragma once
// Design files of the stand-in host and the tools: SVG path data in inches,
// one path per file. Lines starting with '#' are comments. Supported commands:
// M L H V C S Q Z, absolute (upper case) and relative (lower case).
#include <cstddef>
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

// Where a design's text comes from when it is read piece by piece, so that a
// big file is never held whole: read() fills at most `size` bytes of
// `buffer` and returns how many it wrote, 0 at the end of the text.
class DesignTextSource {
public:
    virtual ~DesignTextSource() = default;
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// The same path and the same errors as parseDesign on the whole text.
DesignParseResult parseDesign(DesignTextSource& source);

}  // namespace vantrel
