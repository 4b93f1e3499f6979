#pragma once
// Operations on the path model. All take and return values in the path's
// current units (inches for the host's design, steps after toMachineUnits).
// Arithmetic is in 32-bit floats, as the platform's path objects do it.
#include <cstdint>
#include <span>

#include "cutdata/path.h"

namespace vantrel {

struct RectF {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    friend bool operator==(const RectF&, const RectF&) = default;
};

// An independent deep copy.
Path clonePath(const Path& path);

// Encloses every point, Bézier control points included; all zero for an empty path.
RectF plainBounds(const Path& path);

// The plain bounds when the path holds no Bézier segment, else the bounds of the
// curves themselves (within 0.25/300 of a path unit of the true extent).
RectF curveAwareBounds(const Path& path);

// Moves the path so that the top-left corner of its plain bounds lands on `point`.
void fitTopLeft(Path& path, PointF point);

void translatePath(Path& path, float dx, float dy);

// Scales x by dpiX and y by dpiY. With keepCurves the points are only scaled;
// without it every Bézier segment is then replaced by straight segments within
// 0.25 step of the curve (start and end points kept).
void toMachineUnits(Path& path, float dpiX, float dpiY, bool keepCurves);

// A copy in which every closed figure ends with an explicit segment back to its
// start point (unless its last point is within 0.001 of the start in both axes);
// open figures are unchanged. Run on a path already in steps.
Path closeFigures(const Path& path);

struct FigureView {
    std::span<const PointF> points;
    std::span<const std::uint8_t> types;
    bool closed = false;
};

// Calls visit(const FigureView&) for each figure, in order.
template <typename Visit>
void forEachFigure(const Path& path, Visit&& visit) {
    const std::size_t n = path.points.size();
    std::size_t begin = 0;
    while (begin < n) {
        std::size_t end = begin + 1;
        while (end < n && (path.types[end] & PathPointTypeMask) != PathPointTypeStart) ++end;
        FigureView figure{std::span<const PointF>(path.points.data() + begin, end - begin),
                          std::span<const std::uint8_t>(path.types.data() + begin, end - begin),
                          (path.types[end - 1] & PathPointTypeCloseSubpath) != 0};
        visit(figure);
        begin = end;
    }
}

}  // namespace vantrel
