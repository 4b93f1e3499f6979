#pragma once
// The three registration marks around a design for "Print and Cut": their
// shapes, where they sit, and what the machine is told to search for. The host
// prints the same marks, so every length here is the host's, to the float.
#include <optional>
#include <string>

#include "cutdata/path.h"

namespace vantrel {

// Inches. The arm length is also the gap between the design and the side marks.
inline constexpr float RegMarkArmLength = 0.5f;
// 0.8 mm, worked out in floats as the host does: 0.031496063.
inline constexpr float RegMarkLineWidth = 0.8f * 0.03937008f;
// 5 mm plus one line width: 0.22834645.
inline constexpr float RegMarkSquareSide = 0.19685039f + RegMarkLineWidth;

// The label of the layer that holds printed marks in an SVG document: it is
// printed with the artwork, never cut.
inline constexpr const char* RegMarkLayerLabel = "Registration marks";

// Closed figures in their own coordinates, before placement.
// The L of a corner mark: (0,0) (arm,0) (arm,line) (line,line) (line,arm) (0,arm);
// its outer corner is at (0,0) and its arms run along +x and +y.
Path cornerMark();
// Every point (px, py) becomes (-px, py): the arms run along -x and +y.
Path mirroredInX(const Path& mark);
// Every point becomes (px, -py): the arms run along +x and -y.
Path mirroredInY(const Path& mark);
// The square (0,0) (side,0) (side,side) (0,side), as a platform rectangle is added.
Path squareMark();

// The origin mark is square for a connected CAMEO (2) or PORTRAIT (3); with no
// machine connected it follows the host's "reg_mark_type" (2 is square).
bool useSquareOriginMark(bool connected, int cutterModel, int hostRegMarkType);

// The marks around the curve-aware bounds (x, y, w, h) of the design:
//   markTopLeft    (origin) top-left at (x - 0.5, y - line)
//   markTopRight   corner mirrored in x, top-left at (x + w, y - line),
//                  outer corner at (x + w + 0.5, y - line)
//   markBottomLeft corner mirrored in y, top-left at (x - 0.5, y + h - 0.5 + line),
//                  outer corner at (x - 0.5, y + h + line)
// The outer box the three marks span, in inches: from the origin mark's
// top-left corner to the far edge of markTopRight (right) and of
// markBottomLeft (bottom), each edge as the search computes it.
struct RegMarkSpan {
    float left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const RegMarkSpan&, const RegMarkSpan&) = default;
};

struct RegMarkLayout {
    Path markTopLeft;
    Path markTopRight;
    Path markBottomLeft;

    static RegMarkLayout around(const Path& design, bool squareOrigin);
    // Marks already printed somewhere: placed so that they span `span` exactly,
    // so around(...).span() given back here makes the same search to the bit.
    static RegMarkLayout spanning(const RegMarkSpan& span, bool squareOrigin);
    RegMarkSpan span() const;
};

// Correction in inches (dx, dy) added to every mark's bounds before the search
// command is formed, by CutterModel and the carrier mat; none for other models.
PointF markOffsetTable(int cutterModel, bool carrierMat);

// What the search of one "Print and Cut" run yields. The origin is in inches and
// goes into the job uncorrected; everything else is in machine steps, rounded
// half away from zero.
struct RegMarkSearch {
    float markOriginX = 0;      // top-left of the origin mark's bounds
    float markOriginY = 0;
    int markExtentX = 0;        // origin mark to the far edge of markTopRight, along the feed
    int markExtentY = 0;        // origin mark to the far edge of markBottomLeft, along the carriage
    int markLength = 0;         // width of the origin mark ("TB51")
    int lineSteps = 0;          // mark line thickness ("TB53")
    int originCentreY = 0;      // centre of the corrected origin mark, along the carriage
    int originCentreX = 0;      // and along the feed

    friend bool operator==(const RegMarkSearch&, const RegMarkSearch&) = default;
};

// Empty when the resolution lies outside 1 to 100000 steps per inch, or when a value would not
// fit the machine's integers: no search is better than a search for marks that
// are not where the machine is told to look.
std::optional<RegMarkSearch> computeRegMarkSearch(const RegMarkLayout& layout, int cutterModel, bool carrierMat,
                                                  float dpiX, float dpiY);

// "!%i,0|FJ|FN1|TB99|TB51,%i|TB52,2|TB53,%i|TB54,0,0|TB55,1|M%i,%i|TB23,%i,%i|"
// with the speed level, mark length, line steps, origin centre (y, x) and the
// extents (y, x).
std::string regMarkSearchCommand(const RegMarkSearch& search, int speedLevel);

}  // namespace vantrel
