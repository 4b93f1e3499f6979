#include "cutdata/containment.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "cutdata/flatten.h"
#include "cutdata/path_ops.h"

namespace vantrel {
namespace {

constexpr double CurveTolerance = 1.0;  // steps
constexpr double OnOutline = 2.0;       // steps
constexpr std::size_t MaxSamples = 32;
constexpr std::size_t MaxCellsPerFigure = 64;

struct Outline {
    std::size_t first = 0, count = 0;  // in the point pool
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    double area = 0;                   // enclosed, for a closed figure; else 0
};

// Every figure's outline, curves flattened, in one pool.
std::vector<Outline> outlinesOf(const FigureTable& table, std::vector<OrderPoint>& pool) {
    const StepPath& steps = *table.steps;
    std::vector<Outline> outlines(table.size());
    std::vector<PointF> curve;
    for (std::uint32_t f = 0; f < table.size(); ++f) {
        const OrderFigure& g = table.figures[f];
        Outline& o = outlines[f];
        o.first = pool.size();
        for (std::uint32_t i = g.begin; i < g.end;) {
            if (bezierGroupAt(steps.types.data(), i, g.end) && i > g.begin) {
                auto pf = [&](std::uint32_t k) {
                    return PointF{static_cast<float>(steps.points[k].x), static_cast<float>(steps.points[k].y)};
                };
                curve.clear();
                flattenCubic(pf(i - 1), pf(i), pf(i + 1), pf(i + 2), CurveTolerance, curve);
                for (std::size_t k = 0; k + 1 < curve.size(); ++k) pool.push_back({curve[k].x, curve[k].y});
                pool.push_back(table.at(i + 2));
                i += 3;
            } else {
                pool.push_back(table.at(i));
                ++i;
            }
        }
        o.count = pool.size() - o.first;
        const OrderPoint* p = pool.data() + o.first;
        o.minX = o.maxX = p[0].x;
        o.minY = o.maxY = p[0].y;
        double twice = 0;
        for (std::size_t k = 0; k < o.count; ++k) {
            o.minX = std::min(o.minX, p[k].x), o.maxX = std::max(o.maxX, p[k].x);
            o.minY = std::min(o.minY, p[k].y), o.maxY = std::max(o.maxY, p[k].y);
            const OrderPoint a = p[k], b = p[(k + 1) % o.count];
            twice += a.x * b.y - b.x * a.y;
        }
        if (g.closed) o.area = std::fabs(twice) / 2;
    }
    return outlines;
}

double segmentDistance2(OrderPoint p, OrderPoint a, OrderPoint b) {
    const double vx = b.x - a.x, vy = b.y - a.y, wx = p.x - a.x, wy = p.y - a.y;
    const double length2 = vx * vx + vy * vy;
    double t = length2 > 0 ? (wx * vx + wy * vy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double dx = wx - t * vx, dy = wy - t * vy;
    return dx * dx + dy * dy;
}

enum class Where { Outside, On, Inside };

// Even-odd, as the figure is cut: a closed outline, its last point joined to its first.
Where locate(OrderPoint p, const OrderPoint* polygon, std::size_t n) {
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const OrderPoint a = polygon[j], b = polygon[i];
        if (segmentDistance2(p, a, b) <= OnOutline * OnOutline) return Where::On;
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
    }
    return inside ? Where::Inside : Where::Outside;
}

bool liesInside(const Outline& inner, const Outline& outer, const std::vector<OrderPoint>& pool) {
    if (!(outer.area > inner.area)) return false;
    if (inner.minX < outer.minX - OnOutline || inner.maxX > outer.maxX + OnOutline || inner.minY < outer.minY - OnOutline ||
        inner.maxY > outer.maxY + OnOutline)
        return false;
    const OrderPoint* polygon = pool.data() + outer.first;
    const std::size_t stride = std::max<std::size_t>(1, (inner.count + MaxSamples - 1) / MaxSamples);
    bool strictly = false;
    for (std::size_t k = 0; k < inner.count; k += stride) {
        const Where w = locate(pool[inner.first + k], polygon, outer.count);
        if (w == Where::Outside) return false;
        strictly = strictly || w == Where::Inside;
    }
    return strictly;
}

// A grid over the design: each closed figure is listed in the cells its
// bounds cover (a large one in one list for all), so a figure's containers
// are looked for only among those listed at its centre.
class ContainerGrid {
public:
    ContainerGrid(const std::vector<Outline>& outlines, const FigureTable& table) {
        if (outlines.empty()) return;
        minX_ = maxX_ = outlines[0].minX;
        minY_ = maxY_ = outlines[0].minY;
        for (const Outline& o : outlines) {
            minX_ = std::min(minX_, o.minX), maxX_ = std::max(maxX_, o.maxX);
            minY_ = std::min(minY_, o.minY), maxY_ = std::max(maxY_, o.maxY);
        }
        side_ = std::clamp<std::size_t>(static_cast<std::size_t>(std::sqrt(static_cast<double>(outlines.size()))), 1, 1024);
        cellX_ = std::max((maxX_ - minX_) / static_cast<double>(side_), 1.0);
        cellY_ = std::max((maxY_ - minY_) / static_cast<double>(side_), 1.0);
        cells_.resize(side_ * side_);
        for (std::uint32_t f = 0; f < outlines.size(); ++f) {
            const Outline& o = outlines[f];
            if (!table.figures[f].closed || o.count < 3 || !(o.area > 0)) continue;
            const std::size_t x0 = column(o.minX), x1 = column(o.maxX), y0 = row(o.minY), y1 = row(o.maxY);
            if ((x1 - x0 + 1) * (y1 - y0 + 1) > MaxCellsPerFigure) {
                large_.push_back(f);
                continue;
            }
            for (std::size_t y = y0; y <= y1; ++y)
                for (std::size_t x = x0; x <= x1; ++x) cells_[y * side_ + x].push_back(f);
        }
    }

    template <typename Visit>
    void forCandidates(const Outline& o, Visit&& visit) const {
        if (cells_.empty()) return;
        for (std::uint32_t f : cells_[row((o.minY + o.maxY) / 2) * side_ + column((o.minX + o.maxX) / 2)]) visit(f);
        for (std::uint32_t f : large_) visit(f);
    }

private:
    std::size_t column(double x) const {
        return std::min(side_ - 1, static_cast<std::size_t>(std::max(0.0, (x - minX_) / cellX_)));
    }
    std::size_t row(double y) const {
        return std::min(side_ - 1, static_cast<std::size_t>(std::max(0.0, (y - minY_) / cellY_)));
    }

    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0, cellX_ = 1, cellY_ = 1;
    std::size_t side_ = 1;
    std::vector<std::vector<std::uint32_t>> cells_;
    std::vector<std::uint32_t> large_;
};

// Pairs as ranges: for each key, its values.
void groupPairs(std::size_t keys, std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs,
                std::vector<std::uint32_t>& start, std::vector<std::uint32_t>& values) {
    std::sort(pairs.begin(), pairs.end());
    start.assign(keys + 1, 0);
    values.clear();
    values.reserve(pairs.size());
    for (const auto& [key, value] : pairs) {
        ++start[key + 1];
        values.push_back(value);
    }
    for (std::size_t k = 0; k < keys; ++k) start[k + 1] += start[k];
}

}  // namespace

Containment containmentOf(const FigureTable& table) {
    std::vector<OrderPoint> pool;
    const std::vector<Outline> outlines = outlinesOf(table, pool);
    const ContainerGrid grid(outlines, table);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> insideOf;  // (figure, its container)
    for (std::uint32_t f = 0; f < outlines.size(); ++f) {
        if (outlines[f].count == 0) continue;
        grid.forCandidates(outlines[f], [&](std::uint32_t container) {
            if (container != f && liesInside(outlines[f], outlines[container], pool)) insideOf.push_back({f, container});
        });
    }
    Containment c;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> holds(insideOf.size());
    for (std::size_t k = 0; k < insideOf.size(); ++k) holds[k] = {insideOf[k].second, insideOf[k].first};
    groupPairs(table.size(), std::move(insideOf), c.containerStart, c.containers);
    groupPairs(table.size(), std::move(holds), c.contentStart, c.contents);
    return c;
}

}  // namespace vantrel
