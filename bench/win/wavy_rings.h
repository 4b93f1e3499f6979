#pragma once
// A big design for the Windows benchmarks: closed wavy rings of 100 Bézier
// segments each, laid out on a 10 x 7 inch field `margin` inches from the
// origin, until `segments` segments are reached.
#include <algorithm>
#include <cmath>

#include "cutdata/path.h"

namespace vantrel::bench {

inline Path wavyRings(int segments, double margin) {
    Path design;
    const int perFigure = 100;
    const int figures = (segments + perFigure - 1) / perFigure;
    const int columns = static_cast<int>(std::ceil(std::sqrt(figures * 10.0 / 7.0)));
    const double cell = 10.0 / columns;
    int left = segments;
    for (int f = 0; f < figures; ++f) {
        const double cx = margin + cell * (f % columns + 0.5), cy = margin + cell * (f / columns + 0.5);
        const int count = std::min(perFigure, left);
        left -= count;
        auto at = [&](double t) {
            const double r = cell * (0.3 + 0.08 * std::sin(7 * t));
            return PointF{static_cast<float>(cx + r * std::cos(t)), static_cast<float>(cy + r * std::sin(t))};
        };
        const double step = 2 * 3.14159265358979 / count;
        design.points.push_back(at(0));
        design.types.push_back(PathPointTypeStart);
        for (int s = 0; s < count; ++s) {
            const PointF a = at(s * step), b = at((s + 1) * step);
            design.points.push_back({a.x + (b.x - a.x) / 3 + 0.01f, a.y + (b.y - a.y) / 3});
            design.points.push_back({a.x + 2 * (b.x - a.x) / 3, a.y + 2 * (b.y - a.y) / 3 - 0.01f});
            design.points.push_back(b);
            design.types.insert(design.types.end(), 3, PathPointTypeBezier);
        }
        design.types.back() |= PathPointTypeCloseSubpath;
    }
    return design;
}

}  // namespace vantrel::bench
