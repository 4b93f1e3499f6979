#pragma once
// Operations on the path model. All take and return values in the path's
// current units (inches for the host's design, steps after toMachineUnits).
// Arithmetic is in 32-bit floats, as the platform's path objects do it.
#include <cstdint>
#include <span>

#include "cutdata/flatten.h"
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

// Every Bézier segment replaced by line points within `tolerance` of it (see
// flatten.h); the segment's end point keeps its flags (a close flag stays on
// the figure's last point). Points of an incomplete Bézier run are copied as
// they are.
Path flattenPath(const Path& path, double tolerance);
// The same for the path with every point first mapped by map(PointF) -> PointF.
template <typename Map>
Path flattenPath(const Path& path, Map&& map, double tolerance);

// A copy in which every closed figure ends with an explicit segment back to its
// start point (unless its last point is within 0.001 of the start in both axes);
// open figures are unchanged. Run on a path already in steps.
Path closeFigures(const Path& path);

// In one pass, what translatePath(dx, dy), then toMachineUnits(scaleX, scaleY)
// keeping curves, then closeFigures give: the same float arithmetic, point for
// point, without the two intermediate copies.
Path closeFiguresPlacedAndScaled(const Path& path, float dx, float dy, float scaleX, float scaleY);

// One point moved by (dx, dy), then scaled: rounded to float after each step,
// as translatePath and toMachineUnits round when they store the point.
inline PointF placeAndScale(PointF p, float dx, float dy, float scaleX, float scaleY) {
#if defined(__i386__) && !defined(__SSE2_MATH__)
    // x87 arithmetic keeps extra precision in registers; a store rounds it, so
    // 32-bit builds cut the very same steps as 64-bit ones.
    volatile float x = p.x + dx, y = p.y + dy;
    x = x * scaleX;
    y = y * scaleY;
    return PointF{x, y};
#else
    return PointF{(p.x + dx) * scaleX, (p.y + dy) * scaleY};
#endif
}

// What makes a path unfit to be cut. Every operation above stays safe on such
// a path (no read outside it, no hang), but only a path without a fault gives a
// meaningful result; the cut stream refuses the others.
enum class PathFault {
    None,
    SizeMismatch,       // points and type bytes differ in number
    NoStartPoint,       // the first point is not a start point
    UnknownType,        // a segment type other than start, line or Bézier
    IncompleteBezier,   // a Bézier run that is not made of whole groups of three
    NonFinite,          // a NaN or infinite coordinate
};
PathFault findPathFault(const Path& path);
const char* pathFaultText(PathFault fault);

struct FigureView {
    std::span<const PointF> points;
    std::span<const std::uint8_t> types;
    bool closed = false;
};

// Calls visit(const FigureView&) for each figure, in order. A path whose two
// arrays differ in length is read only as far as both reach.
template <typename Visit>
void forEachFigure(const Path& path, Visit&& visit) {
    const std::size_t n = path.points.size() < path.types.size() ? path.points.size() : path.types.size();
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

// True when a whole Bézier group (three Bézier points after a current point)
// begins at index i of a run of `end` type bytes. The points of a broken run
// are treated as plain points everywhere, so no operation reads past a path.
inline bool bezierGroupAt(const std::uint8_t* types, std::size_t i, std::size_t end) {
    auto isBezier = [&](std::size_t k) { return (types[k] & PathPointTypeMask) == PathPointTypeBezier; };
    return i > 0 && i + 2 < end && isBezier(i) && isBezier(i + 1) && isBezier(i + 2);
}

// The points closeFigures would hold for the path with every point first
// mapped by map(PointF) -> PointF, handed to emit(PointF, std::uint8_t type)
// in order, without building the result.
template <typename Map, typename Emit>
void visitClosedFigures(const Path& path, Map&& map, Emit&& emit) {
    forEachFigure(path, [&](const FigureView& figure) {
        const std::size_t count = figure.points.size();
        if (!figure.closed) {
            for (std::size_t i = 0; i < count; ++i) emit(map(figure.points[i]), figure.types[i]);
            return;
        }
        const PointF first = map(figure.points[0]);
        PointF last = first;
        std::uint8_t lastType = PathPointTypeStart;
        // Each point is emitted once its successor is known, so that the last
        // one can carry the close flag.
        bool pending = false;
        auto add = [&](PointF p, std::uint8_t type) {
            if (pending) emit(last, lastType);
            last = p;
            lastType = type;
            pending = true;
        };
        add(first, PathPointTypeStart);
        for (std::size_t i = 1; i < count;) {
            if (bezierGroupAt(figure.types.data(), i, count)) {
                for (std::size_t k = 0; k < 3; ++k) add(map(figure.points[i + k]), PathPointTypeBezier);
                i += 3;
            } else {
                add(map(figure.points[i]), PathPointTypeLine);
                ++i;
            }
        }
        // Within 0.001 in both axes counts as the same point: a closing segment
        // that short would only repeat the start position.
        const float dx = last.x - first.x, dy = last.y - first.y;
        if (!(dx < 0.001f && dx > -0.001f && dy < 0.001f && dy > -0.001f)) add(first, PathPointTypeLine);
        emit(last, static_cast<std::uint8_t>(lastType | PathPointTypeCloseSubpath));
    });
}

template <typename Map>
Path flattenPath(const Path& path, Map&& map, double tolerance) {
    const std::size_t n = path.points.size() < path.types.size() ? path.points.size() : path.types.size();
    const PointF* points = path.points.data();
    const std::uint8_t* types = path.types.data();
    Path flat;
    flat.points.reserve(n);
    flat.types.reserve(n);
    PointF current{};
    for (std::size_t i = 0; i < n;) {
        if (!bezierGroupAt(types, i, n)) {
            current = map(points[i]);
            flat.points.push_back(current);
            flat.types.push_back(types[i]);
            ++i;
            continue;
        }
        const PointF end = map(points[i + 2]);
        flattenCubic(current, map(points[i]), map(points[i + 1]), end, tolerance, flat.points);
        flat.types.resize(flat.points.size(), PathPointTypeLine);
        flat.types.back() = static_cast<std::uint8_t>((types[i + 2] & ~PathPointTypeMask) | PathPointTypeLine);
        current = end;
        i += 3;
    }
    return flat;
}

}  // namespace vantrel
