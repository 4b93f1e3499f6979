#pragma once
// Design files of the stand-in host and the tools, in one of two forms:
// - SVG path data in inches, one path per file. Lines starting with '#' are
//   comments. Supported commands: M L H V C S Q Z, absolute (upper case) and
//   relative (lower case).
// - SVG documents (svg_geometry.h), told apart by their content or name.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cutdata/path.h"
#include "design/dashes.h"
#include "design/affine.h"

namespace vantrel {

// Something an SVG document draws that cannot be cut, such as "text".
struct LeftOutKind {
    std::string kind;
    int count = 0;
};

// An SVG document's page: from (0, 0) to (width, height) in the design's
// inches (both 0 when the document gives no size), and its root's user units
// in those inches.
struct DesignPage {
    double width = 0, height = 0;
    design::Affine userToInches;
};

struct DesignParseResult {
    bool ok = false;
    Path path;               // points in inches, GDI+ type bytes
    int errorLine = 0;       // 1-based position of the first fault
    int errorColumn = 0;
    std::string errorMessage;
    std::vector<LeftOutKind> leftOut;  // SVG only, in the order first met
    bool millimetres = false;  // an SVG document sized in mm or cm: its lengths are told in mm
    std::vector<DashedStroke> dashed;  // SVG only: shapes stroked dashed, cut solid until applyDashes
    std::optional<DesignPage> page;  // SVG only

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
    // The text's size when known ahead, else 0: a whole-text reader reserves it.
    virtual std::size_t sizeHint() const { return 0; }
};

// The same path and the same errors as parseDesign on the whole text.
DesignParseResult parseDesign(DesignTextSource& source);

// An SVG document, read with the platform's XML library (svg_pugixml.cpp;
// xmllite/svg_xmllite.cpp on Windows). It takes the text to parse it in place.
// `systemLanguage` conditions are answered for `language` (a tag such as
// "en-US"), or without it for the user's (the locale's natively, Windows'
// user locale on Windows; English when none is set).
DesignParseResult parseSvg(std::string document);
DesignParseResult parseSvg(std::string document, std::string_view language);

// Whether a design is an SVG document: its text starts as XML does (after a
// byte order mark and blanks), or its name ends in ".svg".
bool isSvgDesign(std::string_view head, std::string_view name);

// Either form, chosen by isSvgDesign. A path-data design is read piece by
// piece; an SVG document is read whole.
DesignParseResult readDesign(std::string_view text, std::string_view name);
DesignParseResult readDesign(DesignTextSource& source, std::string_view name);

}  // namespace vantrel
