#include "cutdata/path_ops.h"

#include <algorithm>
#include <cmath>

#include "cutdata/flatten.h"

namespace vantrel {

namespace {

std::uint8_t segmentType(std::uint8_t type) { return type & PathPointTypeMask; }

std::size_t usableSize(const Path& path) { return std::min(path.points.size(), path.types.size()); }

struct Extent {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    void add(double x, double y) {
        if (!any) {
            minX = maxX = x;
            minY = maxY = y;
            any = true;
            return;
        }
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
};

// Values of one coordinate of a cubic at the zeros of its derivative.
template <typename Add>
void cubicExtrema(double a, double b, double c, double d, Add&& add) {
    const double d0 = b - a, d1 = c - b, d2 = d - c;
    double roots[2];
    const int n = quadraticRootsInUnitInterval(d0 - 2 * d1 + d2, 2 * (d1 - d0), d0, roots);
    for (int i = 0; i < n; ++i) {
        const double t = roots[i], s = 1 - t;
        add(s * s * s * a + 3 * s * s * t * b + 3 * s * t * t * c + t * t * t * d);
    }
}

}  // namespace

Path clonePath(const Path& path) { return path; }

RectF plainBounds(const Path& path) {
    if (path.points.empty()) return {};
    float minX = path.points[0].x, maxX = minX, minY = path.points[0].y, maxY = minY;
    for (const PointF& p : path.points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return {minX, minY, maxX - minX, maxY - minY};
}

RectF curveAwareBounds(const Path& path) {
    const std::size_t n = usableSize(path);
    const PointF* points = path.points.data();
    const std::uint8_t* types = path.types.data();
    bool hasCurve = false;
    for (std::size_t i = 0; i < n && !hasCurve; ++i) hasCurve = bezierGroupAt(types, i, n);
    if (!hasCurve) return plainBounds(path);

    // Exact: end points, plus each curve's extremes from the roots of its derivative.
    Extent extent;
    for (std::size_t i = 0; i < n;) {
        if (!bezierGroupAt(types, i, n)) {
            extent.add(points[i].x, points[i].y);
            ++i;
            continue;
        }
        const PointF &p0 = points[i - 1], &p1 = points[i], &p2 = points[i + 1], &p3 = points[i + 2];
        extent.add(p3.x, p3.y);
        cubicExtrema(p0.x, p1.x, p2.x, p3.x, [&](double x) { extent.add(x, p3.y); });
        cubicExtrema(p0.y, p1.y, p2.y, p3.y, [&](double y) { extent.add(p3.x, y); });
        i += 3;
    }
    // Points beyond the type array (a malformed path) still count, as in the plain bounds.
    for (std::size_t i = n; i < path.points.size(); ++i) extent.add(path.points[i].x, path.points[i].y);
    const float minX = static_cast<float>(extent.minX), minY = static_cast<float>(extent.minY);
    return {minX, minY, static_cast<float>(extent.maxX) - minX, static_cast<float>(extent.maxY) - minY};
}

void fitTopLeft(Path& path, PointF point) {
    const RectF bounds = plainBounds(path);
    translatePath(path, point.x - bounds.x, point.y - bounds.y);
}

void translatePath(Path& path, float dx, float dy) {
    for (PointF& p : path.points) {
        p.x += dx;
        p.y += dy;
    }
}

void toMachineUnits(Path& path, float dpiX, float dpiY, bool keepCurves) {
    for (PointF& p : path.points) {
        p.x *= dpiX;
        p.y *= dpiY;
    }
    if (!keepCurves) path = flattenPath(path, 0.25);
}

Path flattenPath(const Path& path, double tolerance) {
    return flattenPath(path, [](PointF p) { return p; }, tolerance);
}

namespace {

template <typename Map>
Path closeFiguresMapped(const Path& path, Map map) {
    // Exact room: each closed figure gains at most its closing point.
    std::size_t closed = 0;
    for (std::uint8_t type : path.types) closed += (type & PathPointTypeCloseSubpath) != 0;
    Path result;
    result.points.reserve(path.points.size() + closed);
    result.types.reserve(path.points.size() + closed);
    visitClosedFigures(path, map, [&](PointF p, std::uint8_t type) {
        result.points.push_back(p);
        result.types.push_back(type);
    });
    return result;
}

}  // namespace

Path closeFigures(const Path& path) {
    return closeFiguresMapped(path, [](PointF p) { return p; });
}

Path closeFiguresPlacedAndScaled(const Path& path, float dx, float dy, float scaleX, float scaleY) {
    return closeFiguresMapped(path, [=](PointF p) { return placeAndScale(p, dx, dy, scaleX, scaleY); });
}

PathFault findPathFault(const Path& path) {
    const std::size_t n = path.points.size();
    if (path.types.size() != n) return PathFault::SizeMismatch;
    if (n == 0) return PathFault::None;
    if (segmentType(path.types[0]) != PathPointTypeStart) return PathFault::NoStartPoint;
    for (std::size_t i = 1; i < n;) {
        switch (segmentType(path.types[i])) {
        case PathPointTypeStart:
        case PathPointTypeLine:
            ++i;
            break;
        case PathPointTypeBezier:
            if (!bezierGroupAt(path.types.data(), i, n)) return PathFault::IncompleteBezier;
            i += 3;
            break;
        default:
            return PathFault::UnknownType;
        }
    }
    for (const PointF& p : path.points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return PathFault::NonFinite;
    return PathFault::None;
}

const char* pathFaultText(PathFault fault) {
    switch (fault) {
    case PathFault::None: return "no fault";
    case PathFault::SizeMismatch: return "the path's points and point types differ in number";
    case PathFault::NoStartPoint: return "the path does not begin with a start point";
    case PathFault::UnknownType: return "the path holds a point of unknown type";
    case PathFault::IncompleteBezier: return "the path holds a curve segment without all of its points";
    case PathFault::NonFinite: return "the path holds a coordinate that is not a finite number";
    }
    return "unknown fault";
}

}  // namespace vantrel
