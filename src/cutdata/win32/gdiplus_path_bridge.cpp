#include "cutdata/win32/gdiplus_path_bridge.h"

#include <climits>
#include <cstring>
#include <vector>

namespace vantrel::win {

static_assert(sizeof(PointF) == sizeof(Gdiplus::PointF), "both are two 32-bit floats, x then y");

GpStatus readGdiplusPath(GpPath* source, Path& out) {
    out = Path();
    if (!source) return Gdiplus::InvalidParameter;
    INT count = 0;
    GpStatus status = gp::GdipGetPointCount(source, &count);
    if (status != Gdiplus::Ok) return status;
    if (count <= 0) return Gdiplus::Ok;
    Path read;
    read.points.resize(static_cast<std::size_t>(count));
    read.types.resize(static_cast<std::size_t>(count));
    std::vector<Gdiplus::PointF> points(static_cast<std::size_t>(count));
    status = gp::GdipGetPathPoints(source, points.data(), count);
    if (status != Gdiplus::Ok) return status;
    status = gp::GdipGetPathTypes(source, read.types.data(), count);
    if (status != Gdiplus::Ok) return status;
    for (std::size_t i = 0; i < points.size(); ++i) read.points[i] = {points[i].X, points[i].Y};
    out = std::move(read);
    return Gdiplus::Ok;
}

UniqueGpPath makeGdiplusPath(const Path& path) {
    UniqueGpPath made;
    if (path.points.size() != path.types.size() || path.points.size() > static_cast<std::size_t>(INT_MAX))
        return made;
    if (path.empty()) {
        gp::GdipCreatePath(Gdiplus::FillModeAlternate, made.receive());
        return made;
    }
    std::vector<Gdiplus::PointF> points;
    points.reserve(path.points.size());
    for (const PointF& p : path.points) points.emplace_back(p.x, p.y);
    const INT count = static_cast<INT>(path.points.size());
    if (gp::GdipCreatePath2(points.data(), path.types.data(), count, Gdiplus::FillModeAlternate, made.receive()) !=
        Gdiplus::Ok) {
        made.reset();
        return made;
    }
    // The platform may quietly rewrite what it takes for a malformed path; a
    // copy that is not exact is no copy.
    Path check;
    if (readGdiplusPath(made.get(), check) != Gdiplus::Ok || check.types != path.types ||
        std::memcmp(check.points.data(), path.points.data(), path.points.size() * sizeof(PointF)) != 0)
        made.reset();
    return made;
}

}  // namespace vantrel::win
