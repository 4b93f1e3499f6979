#include "cutdata/reg_marks.h"

#include <cmath>
#include <limits>

#include "cutdata/commands.h"
#include "cutdata/path_ops.h"
#include "settings/resolution_range.h"

namespace vantrel {

namespace {

Path closedPolygon(std::initializer_list<PointF> corners) {
    Path path;
    for (PointF corner : corners) {
        path.points.push_back(corner);
        path.types.push_back(path.types.empty() ? PathPointTypeStart : PathPointTypeLine);
    }
    path.types.back() |= PathPointTypeCloseSubpath;
    return path;
}

// Half away from zero; empty when the value is not finite or leaves 32 bits.
std::optional<int> toSteps(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    double rounded = std::round(value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(rounded);
}

}  // namespace

Path cornerMark() {
    const float arm = RegMarkArmLength, line = RegMarkLineWidth;
    return closedPolygon({{0, 0}, {arm, 0}, {arm, line}, {line, line}, {line, arm}, {0, arm}});
}

Path mirroredInX(const Path& mark) {
    Path mirrored = mark;
    for (PointF& p : mirrored.points) p.x = -p.x;
    return mirrored;
}

Path mirroredInY(const Path& mark) {
    Path mirrored = mark;
    for (PointF& p : mirrored.points) p.y = -p.y;
    return mirrored;
}

Path squareMark() {
    const float side = RegMarkSquareSide;
    return closedPolygon({{0, 0}, {side, 0}, {side, side}, {0, side}});
}

bool useSquareOriginMark(bool connected, int cutterModel, int hostRegMarkType) {
    if (connected) return cutterModel == 2 || cutterModel == 3;
    return hostRegMarkType == 2;
}

RegMarkLayout RegMarkLayout::around(const Path& design, bool squareOrigin) {
    const RectF bounds = curveAwareBounds(design);
    const float arm = RegMarkArmLength, line = RegMarkLineWidth;
    RegMarkLayout layout;
    layout.markTopLeft = squareOrigin ? squareMark() : cornerMark();
    fitTopLeft(layout.markTopLeft, {bounds.x - arm, bounds.y - line});
    layout.markTopRight = mirroredInX(cornerMark());
    fitTopLeft(layout.markTopRight, {bounds.x + bounds.width, bounds.y - line});
    layout.markBottomLeft = mirroredInY(cornerMark());
    fitTopLeft(layout.markBottomLeft, {bounds.x - arm, bounds.y + bounds.height - arm + line});
    return layout;
}

RegMarkLayout RegMarkLayout::spanning(const RegMarkSpan& span, bool squareOrigin) {
    RegMarkLayout layout;
    layout.markTopLeft = squareOrigin ? squareMark() : cornerMark();
    fitTopLeft(layout.markTopLeft, {span.left, span.top});
    // Moved by their outer corners, which sit at (0, 0): those land on the
    // far edges without a rounding step between.
    layout.markTopRight = mirroredInX(cornerMark());
    translatePath(layout.markTopRight, span.right, span.top);
    layout.markBottomLeft = mirroredInY(cornerMark());
    translatePath(layout.markBottomLeft, span.left, span.bottom);
    return layout;
}

RegMarkSpan RegMarkLayout::span() const {
    const RectF a = curveAwareBounds(markTopLeft);
    const RectF b = curveAwareBounds(markBottomLeft);
    const RectF c = curveAwareBounds(markTopRight);
    return {a.x, a.y, c.x + c.width, b.y + b.height};
}

PointF markOffsetTable(int cutterModel, bool carrierMat) {
    switch (cutterModel) {
    case 1: return carrierMat ? PointF{0.0f, -0.15625f} : PointF{-0.15625f, -0.15625f};
    case 2: return carrierMat ? PointF{0.0f, 0.0f} : PointF{-0.0625f, -0.15625f};
    case 3: return carrierMat ? PointF{-0.0625f, -0.25f} : PointF{-0.21875f, -0.21875f};
    default: return {0.0f, 0.0f};
    }
}

std::optional<RegMarkSearch> computeRegMarkSearch(const RegMarkLayout& layout, int cutterModel, bool carrierMat,
                                                  float dpiX, float dpiY) {
    if (!resolutionInRange(dpiX) || !resolutionInRange(dpiY)) return std::nullopt;
    const RectF a = curveAwareBounds(layout.markTopLeft);
    const RegMarkSpan span = layout.span();
    const PointF offset = markOffsetTable(cutterModel, carrierMat);
    // The correction moves all three marks alike, so it cancels out of the extents.
    const double ax = a.x, ay = a.y;
    const double correctedX = double(a.x + offset.x), correctedY = double(a.y + offset.y);

    auto extentX = toSteps((double(span.right) - ax) * dpiX);
    auto extentY = toSteps((double(span.bottom) - ay) * dpiY);
    auto length = toSteps(double(a.width) * dpiX);
    auto line = toSteps(double(RegMarkLineWidth) * dpiX);
    auto centreY = toSteps((correctedY + a.height / 2.0) * dpiY);
    auto centreX = toSteps((correctedX + a.width / 2.0) * dpiX);
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !extentX || !extentY || !length || !line || !centreY ||
        !centreX)
        return std::nullopt;
    return RegMarkSearch{a.x, a.y, *extentX, *extentY, *length, *line, *centreY, *centreX};
}

std::string regMarkSearchCommand(const RegMarkSearch& search, int speedLevel) {
    MarkSearchValues values;
    values.speed = speedLevel;
    values.markLength = search.markLength;
    values.markThickness = search.lineSteps;
    values.originY = search.originCentreY;
    values.originX = search.originCentreX;
    values.farY = search.markExtentY;
    values.farX = search.markExtentX;
    return markSearchText(values);
}

}  // namespace vantrel
