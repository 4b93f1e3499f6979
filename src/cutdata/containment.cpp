#include "cutdata/containment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "cutdata/flatten.h"
#include "cutdata/path_ops.h"

namespace vantrel {
namespace {

constexpr double CurveTolerance = 1.0;  // steps
constexpr double OnOutline = 2.0;       // steps
constexpr std::size_t MaxSamples = 32;

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

// Closed figures in a loose quadtree by the size of their bounds: a figure
// sits in the cell of its centre at the deepest level whose cells are at least
// as wide as its bounds, so it lies within that cell widened by half a cell on
// every side. A point lies in the widened cells of at most three columns and
// three rows a level, and a figure's containers are only looked for there, at
// the levels that hold figures at least its size: no pair of figures is ever
// held, and each list is kept in the order of area, so the search for the
// smallest container stops at the first that holds the figure.
class ContainerIndex {
public:
    ContainerIndex(const std::vector<Outline>& outlines, const FigureTable& table) : outlines_(outlines) {
        std::vector<std::uint32_t> closed;
        for (std::uint32_t f = 0; f < outlines.size(); ++f)
            if (table.figures[f].closed && outlines[f].count >= 3 && outlines[f].area > 0) closed.push_back(f);
        if (closed.empty()) return;
        double maxX = outlines[closed[0]].maxX, maxY = outlines[closed[0]].maxY;
        originX_ = outlines[closed[0]].minX, originY_ = outlines[closed[0]].minY;
        for (std::uint32_t f : closed) {
            originX_ = std::min(originX_, outlines[f].minX), originY_ = std::min(originY_, outlines[f].minY);
            maxX = std::max(maxX, outlines[f].maxX), maxY = std::max(maxY, outlines[f].maxY);
        }
        originX_ -= OnOutline, originY_ -= OnOutline;
        side_ = std::max({maxX + OnOutline - originX_, maxY + OnOutline - originY_, 1.0});
        entries_.reserve(closed.size());
        for (std::uint32_t f : closed) {
            const Outline& o = outlines[f];
            const double size = std::max(o.maxX - o.minX, o.maxY - o.minY) + 2 * OnOutline;
            int level = 0;
            while (level < MaxLevel && width(level + 1) >= size) ++level;
            const double w = width(level);
            entries_.push_back({key(level, cellOf((o.minX + o.maxX) / 2 - originX_, w, level),
                                    cellOf((o.minY + o.maxY) / 2 - originY_, w, level)),
                                o.area, f});
            levels_ |= 1u << level;
        }
        std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.cell != b.cell ? a.cell < b.cell : a.area != b.area ? a.area < b.area : a.figure < b.figure;
        });
        cells_.reserve(entries_.size());
        for (std::uint32_t i = 0, j; i < entries_.size(); i = j) {
            for (j = i + 1; j < entries_.size() && entries_[j].cell == entries_[i].cell;) ++j;
            cells_.emplace(entries_[i].cell, std::make_pair(i, j));
        }
    }

    // Of the closed figures `f` lies inside, the one of least area (the lower
    // index between equals); Containment::None when there is none.
    std::uint32_t nearestContainer(std::uint32_t f, const std::vector<OrderPoint>& pool) const {
        const Outline& o = outlines_[f];
        const double cx = (o.minX + o.maxX) / 2 - originX_, cy = (o.minY + o.maxY) / 2 - originY_;
        const double size = std::max(o.maxX - o.minX, o.maxY - o.minY);
        Entry best{0, std::numeric_limits<double>::infinity(), Containment::None};
        for (int level = 0; level <= MaxLevel && width(level) >= size; ++level) {
            if (!(levels_ >> level & 1u)) continue;
            const double w = width(level);
            const long long x0 = cellOf(cx - 1.5 * w, w, level), x1 = cellOf(cx + 0.5 * w, w, level);
            const long long y0 = cellOf(cy - 1.5 * w, w, level), y1 = cellOf(cy + 0.5 * w, w, level);
            for (long long x = x0; x <= x1; ++x)
                for (long long y = y0; y <= y1; ++y) {
                    const auto cell = cells_.find(key(level, x, y));
                    if (cell == cells_.end()) continue;
                    const Entry* end = entries_.data() + cell->second.second;
                    const Entry* e = std::upper_bound(entries_.data() + cell->second.first, end, o.area,
                                                      [](double area, const Entry& c) { return area < c.area; });
                    for (; e != end && (e->area < best.area || (e->area == best.area && e->figure < best.figure)); ++e)
                        if (e->figure != f && liesInside(o, outlines_[e->figure], pool)) {
                            best = *e;
                            break;
                        }
                }
        }
        return best.figure;
    }

private:
    static constexpr int MaxLevel = 20;
    struct Entry {
        std::uint64_t cell;
        double area;
        std::uint32_t figure;
    };

    double width(int level) const { return side_ / static_cast<double>(1u << level); }
    static long long cellOf(double at, double w, int level) {
        return std::clamp<long long>(static_cast<long long>(std::floor(at / w)), 0, (1ll << level) - 1);
    }
    static std::uint64_t key(int level, long long x, long long y) {
        return static_cast<std::uint64_t>(level) << 48 | static_cast<std::uint64_t>(x) << 24 | static_cast<std::uint64_t>(y);
    }

    const std::vector<Outline>& outlines_;
    double originX_ = 0, originY_ = 0, side_ = 1;
    std::uint32_t levels_ = 0;
    std::vector<Entry> entries_;
    std::unordered_map<std::uint64_t, std::pair<std::uint32_t, std::uint32_t>> cells_;  // ranges of entries_
};

}  // namespace

Containment containmentOf(const FigureTable& table) {
    std::vector<OrderPoint> pool;
    const std::vector<Outline> outlines = outlinesOf(table, pool);
    const ContainerIndex index(outlines, table);
    const std::uint32_t n = table.size();
    Containment c;
    c.parent.assign(n, Containment::None);
    c.childStart.assign(n + 1, 0);
    for (std::uint32_t f = 0; f < n; ++f) {
        if (outlines[f].count != 0) c.parent[f] = index.nearestContainer(f, pool);
        if (c.parent[f] != Containment::None) ++c.childStart[c.parent[f] + 1];
    }
    for (std::uint32_t f = 0; f < n; ++f) c.childStart[f + 1] += c.childStart[f];
    c.children.resize(c.childStart[n]);
    std::vector<std::uint32_t> filled(c.childStart.begin(), c.childStart.end() - 1);
    for (std::uint32_t f = 0; f < n; ++f)
        if (c.parent[f] != Containment::None) c.children[filled[c.parent[f]]++] = f;
    // Containers first (a container encloses more area, so there is no cycle),
    // then what lies inside each: depths down the forest, counts up it.
    std::vector<std::uint32_t> downward;
    downward.reserve(n);
    for (std::uint32_t f = 0; f < n; ++f)
        if (c.parent[f] == Containment::None) downward.push_back(f);
    for (std::size_t k = 0; k < downward.size(); ++k)
        for (std::uint32_t i = c.childStart[downward[k]]; i < c.childStart[downward[k] + 1]; ++i)
            downward.push_back(c.children[i]);
    c.depth.assign(n, 0);
    c.descendants.assign(n, 0);
    for (std::uint32_t f : downward)
        if (c.parent[f] != Containment::None) c.depth[f] = c.depth[c.parent[f]] + 1;
    for (auto f = downward.rbegin(); f != downward.rend(); ++f)
        if (c.parent[*f] != Containment::None) c.descendants[c.parent[*f]] += c.descendants[*f] + 1;
    return c;
}

}  // namespace vantrel
