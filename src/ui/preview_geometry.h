#pragma once
// Geometry of the path preview: where the mat, its grid, the machine pictures,
// the design and the status line go. Rectangles and points are in pixels of
// the drawing surface before the world transform unless a name says inches.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cutdata/path.h"
#include "cutdata/path_ops.h"

namespace vantrel::preview {

// One inch of design is PreviewScale x DPI pixels.
inline constexpr float PreviewScale = 0.165f;
// The whole picture is scaled by this under the world transform.
inline constexpr float WorldScale = 0.75f;

// Colours, ARGB.
inline constexpr std::uint32_t CheckerForeground = 0xFFF0F0F0;
inline constexpr std::uint32_t CheckerBackground = 0xFFFFFFFF;
inline constexpr std::uint32_t CuttingAreaFill = 0x5AFF6400;
inline constexpr std::uint32_t DesignSheetFill = 0xDCFF6400;
inline constexpr std::uint32_t DesignLine = 0xFF652700;
inline constexpr std::uint32_t MatFill = 0x46FFFFFF;
inline constexpr std::uint32_t MatLine = 0x7F000000;
inline constexpr std::uint32_t MatTriangle = 0xFF000000;
inline constexpr std::uint32_t StatusShadow = 0xFFC8C8C8;
inline constexpr std::uint32_t VersionColour = 0xFF969696;
inline constexpr std::uint32_t DefaultStatusColour = 0xFF000000;

// Platform hatch style of the background: the large checkerboard.
inline constexpr int CheckerHatchStyle = 50;
// Corner arcs of the mat's rounded rectangle, width and height.
inline constexpr float MatCornerArc = 5;

// Status line band and the version text above it.
inline constexpr float StatusBandHeight = 17;
inline constexpr float VersionGap = 18;
inline constexpr float StatusFontPixels = 11;
inline constexpr float CaptionFontPixels = 8;

// Machine pictures (PNG resources).
inline constexpr int ToolHeadImage = 9000;

struct Dpi {
    float x = 96;
    float y = 96;
};

// Pixels per inch of design on a surface of this resolution.
struct InchScale {
    float x;
    float y;
    explicit InchScale(Dpi dpi) : x(PreviewScale * dpi.x), y(PreviewScale * dpi.y) {}
};

// The mat of a model, in inches: its corner, its size and the inset from that
// corner to the cutting area's origin. Models other than 2 and 3 use model 1's.
struct MatPlacement {
    PointF origin;
    float width;
    float height;
    PointF inset;
};
MatPlacement matPlacement(int model);

struct MatLayout {
    RectF mat;
    RectF cuttingArea;
};
// The mat and cutting area of `model` for a cutting area of matWidth x
// matHeight inches. Without the mat drawn the cutting area sits a quarter inch
// further toward negative x.
MatLayout matLayout(int model, float matWidth, float matHeight, bool matDrawn, Dpi surface);

struct GridLine {
    PointF from;
    PointF to;
    bool dashed = true;
};
// The grid on the mat, in drawing order.
std::vector<GridLine> gridLines(int model, const MatLayout& layout, Dpi surface);

// The solid triangle at the middle of the mat's left edge, pointing toward negative x.
struct Triangle {
    PointF apex;
    PointF baseTop;
    PointF baseBottom;
};
Triangle matTriangle(const RectF& mat);

// x' = scale * x + dx, y' = scale * y + dy.
struct WorldTransform {
    float scale = WorldScale;
    float dx = 0;
    float dy = 0;
};
WorldTransform worldTransform(bool showMachine, int model);

// Resource ids and positions of the machine pictures of a model; the body is
// drawn at (0, 0) at its own size. Models other than 2 and 3 use model 1's.
struct MachinePictures {
    int body;
    int rail;
    int head;
    PointF railAt;
    PointF headAt;
};
MachinePictures machinePictures(int model);

// Where the top-left corner of a scaled design (or mark) goes: the cutting
// area's origin plus the top-left corner of its bounds in inches.
PointF placementTarget(const RectF& cuttingArea, const RectF& boundsInches, Dpi surface);

// How far to move a scaled shape so that the top-left corner of its plain
// bounds (`scaledBounds`) lands on the placement target. Worked out as the
// cutting area's origin plus the small difference between the two corners,
// so that one coordinate far out (whose float has no small digits left) does
// not shift the rest of the shape.
PointF placementOffset(const RectF& cuttingArea, const RectF& boundsInches, const RectF& scaledBounds, Dpi surface);

// The design as the preview draws it: the closed figures together with the
// cutting area's rectangle (filled with the alternate rule, so closed shapes
// stay lighter inside a darker sheet) and the open figures (drawn as lines).
struct DesignLayer {
    Path closed;
    Path open;
};
// Moves `scaled` by `offset`, appends the cutting area (cut down to `visible`)
// as one more closed figure and sorts the figures, keeping their order within
// each group. Every figure is prepared as layoutShape does. `pixel` is the
// size of a surface pixel in these units.
DesignLayer layoutDesign(const Path& scaled, PointF offset, const RectF& cuttingArea, const RectF& visible,
                         float pixel = 1);

// A shape moved by `offset` in the form the platform draws quickly and
// safely: only straight segments, and only what can be seen.
//  - Figures wholly outside `visible` are left out, and so are figures with a
//    point that is not finite.
//  - Curves are flattened to within a quarter pixel. A curve reaching far
//    beyond `visible` is first cut into pieces; pieces that miss it become
//    their chords.
//  - A figure reaching beyond `visible` is clipped to it (closed figures as
//    polygons: the fill inside is unchanged; the cut edges run along the
//    border of `visible`, which lies off the surface).
//  - Vertices closer than half a pixel to the previous one are merged.
// The platform's drawing costs grow with a path's points and with the area it
// spans: a design of tens of thousands of tiny curves, or one coordinate a
// billion pixels out, would otherwise hold the window for seconds.
Path layoutShape(const Path& scaled, PointF offset, const RectF& visible, float pixel = 1);

// The part of the world (before the transform) that a surface of width x
// height shows, grown by `margin` pixels on every side so that cut edges lie
// off the surface.
RectF visibleWorld(const WorldTransform& transform, float width, float height, float margin = 8);
// The overlap of two rectangles; width and height 0 when there is none.
RectF intersection(const RectF& a, const RectF& b);
// Grid lines cut down to `visible`; lines outside it are left out.
std::vector<GridLine> clipLines(const std::vector<GridLine>& lines, const RectF& visible);

// A copy holding only what can be drawn sanely: a figure with a non-finite
// point or fewer than two points is left out, a Bézier run cut short becomes
// straight lines, every figure begins with a start point, the close flag sits
// on the last point of each closed figure and marker flags are dropped.
// A well-formed path comes back equal to itself.
Path drawablePath(const Path& path);

// Every point scaled by (sx, sy); types kept. The source is not changed.
Path scaledPath(const Path& path, float sx, float sy);

struct StatusLayout {
    RectF band;         // filled with the button-face colour
    PointF dashFrom;    // dashed line along the band's top edge
    PointF dashTo;
    RectF text;         // status text, centred, bottom-aligned
    RectF shadow;       // the same, one pixel left and one down
    RectF version;      // version text, right-aligned at the top
};
StatusLayout statusLayout(float width, float height);

// The plug-in's version text from the four parts of its file version: the
// first three, in decimal, joined by "." ("3.0.0" for 3.0.0.0).
std::wstring versionText(const std::array<std::uint16_t, 4>& fileVersion);

}  // namespace vantrel::preview
