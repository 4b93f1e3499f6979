#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "cutdata/flatten.h"
#include "cutdata/path_ops.h"

namespace vantrel {
namespace {

constexpr double Tolerance = 0.25;

struct Cubic {
    PointF p[4];
    const char* family;
};

struct V {
    double x, y;
};

V at(const Cubic& c, double t) {
    const double s = 1 - t;
    const double a = s * s * s, b = 3 * s * s * t, d = 3 * s * t * t, e = t * t * t;
    return {a * c.p[0].x + b * c.p[1].x + d * c.p[2].x + e * c.p[3].x,
            a * c.p[0].y + b * c.p[1].y + d * c.p[2].y + e * c.p[3].y};
}

double distanceToSegment(V p, V a, V b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double distance(V a, V b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The parameter in [lo, hi] where `f` is least, by golden-section search.
template <typename F>
double argmin(F&& f, double lo, double hi) {
    const double g = (std::sqrt(5.0) - 1) / 2;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    double fa = f(a), fb = f(b);
    for (int i = 0; i < 60; ++i) {
        if (fa < fb) {
            hi = b, b = a, fb = fa;
            a = hi - g * (hi - lo), fa = f(a);
        } else {
            lo = a, a = b, fa = fb;
            b = lo + g * (hi - lo), fb = f(b);
        }
    }
    return fa < fb ? a : b;
}

// Checks the polyline against the curve, both ways. Each vertex is matched, in
// order, to its parameter on the curve, and each chord is compared with the
// piece of curve between its ends only, so a loop cannot hide one branch
// behind the other. Returns the largest distance seen.
double worstDeviation(const Cubic& c, const std::vector<PointF>& vertices) {
    constexpr int Samples = 4000;
    std::vector<V> poly{{c.p[0].x, c.p[0].y}};
    for (PointF v : vertices) poly.push_back({v.x, v.y});
    std::vector<double> param{0};
    for (std::size_t k = 1; k + 1 < poly.size(); ++k) {
        const double from = param.back();
        int best = 0;
        double bestDistance = std::numeric_limits<double>::max();
        for (int i = 0; i <= Samples; ++i) {
            const double d = distance(at(c, from + (1 - from) * i / Samples), poly[k]);
            if (d < bestDistance) bestDistance = d, best = i;
        }
        const double step = (1 - from) / Samples;
        const double guess = from + best * step;
        param.push_back(argmin([&](double t) { return distance(at(c, t), poly[k]); }, std::max(from, guess - step),
                               std::min(1.0, guess + step)));
    }
    param.push_back(1);
    double worst = 0;
    for (std::size_t k = 0; k + 1 < poly.size(); ++k) {
        const double t0 = param[k], t1 = param[k + 1];
        constexpr int PieceSamples = 200;
        for (int i = 0; i <= PieceSamples; ++i)
            worst = std::max(worst, distanceToSegment(at(c, t0 + (t1 - t0) * i / PieceSamples), poly[k], poly[k + 1]));
        for (int j = 0; j <= 32; ++j) {
            const double u = j / 32.0;
            const V p{poly[k].x + u * (poly[k + 1].x - poly[k].x), poly[k].y + u * (poly[k + 1].y - poly[k].y)};
            int best = 0;
            double bestDistance = std::numeric_limits<double>::max();
            for (int i = 0; i <= PieceSamples; ++i) {
                const double d = distance(at(c, t0 + (t1 - t0) * i / PieceSamples), p);
                if (d < bestDistance) bestDistance = d, best = i;
            }
            const double step = (t1 - t0) / PieceSamples;
            const double t = argmin([&](double s) { return distance(at(c, s), p); },
                                    std::max(t0, t0 + (best - 1) * step), std::min(t1, t0 + (best + 1) * step));
            worst = std::max(worst, std::min(bestDistance, distance(at(c, t), p)));
        }
    }
    return worst;
}

std::vector<Cubic> randomCubics() {
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> coordinate(-600, 600);
    std::uniform_real_distribution<float> unit(0, 1);
    auto point = [&] { return PointF{coordinate(random), coordinate(random)}; };
    std::vector<Cubic> cubics;
    for (int i = 0; i < 40; ++i) cubics.push_back({{point(), point(), point(), point()}, "general"});
    for (int i = 0; i < 15; ++i) {
        // S-curve: control points on opposite sides of the chord.
        PointF a = point(), b = point();
        const float nx = -(b.y - a.y) * 0.8f, ny = (b.x - a.x) * 0.8f;
        cubics.push_back({{a, {a.x + (b.x - a.x) / 3 + nx, a.y + (b.y - a.y) / 3 + ny},
                           {a.x + 2 * (b.x - a.x) / 3 - nx, a.y + 2 * (b.y - a.y) / 3 - ny}, b},
                          "S-curve"});
    }
    for (int i = 0; i < 15; ++i) {
        // Cusp: crossed control polygon with p1 - p0 and p3 - p2 balanced.
        PointF a = point(), d = point();
        const float s = 0.5f + unit(random);
        cubics.push_back({{a, {d.x + s * (a.x - d.x) * 0.1f, d.y + s * 400}, {a.x, d.y + s * 400}, d}, "cusp"});
        cubics.push_back({{{0, 0}, {300, 300}, {0, 300}, {300, 0}}, "exact cusp"});
    }
    for (int i = 0; i < 15; ++i) {
        // Loop: control points crossed well beyond each other.
        PointF a = point();
        const float w = 100 + 400 * unit(random);
        cubics.push_back({{a, {a.x + 2 * w, a.y + w}, {a.x - w, a.y + w}, {a.x + w, a.y}}, "loop"});
    }
    PointF p = point();
    cubics.push_back({{p, p, p, p}, "single point"});
    cubics.push_back({{{0, 0}, {0, 0}, {500, 500}, {500, 500}}, "straight, coincident controls"});
    cubics.push_back({{{0, 0}, {900, 0}, {900, 0}, {300, 0}}, "straight, doubling back"});
    cubics.push_back({{{0, 0}, {400, 300}, {-400, 300}, {0, 0}}, "closed teardrop"});
    cubics.push_back({{{0, 0}, {1e-3f, 0}, {2e-3f, 1e-3f}, {3e-3f, 0}}, "tiny"});
    // A symmetric S-curve 4 inches long at 508 steps per inch.
    cubics.push_back({{{0, 0}, {677, 400}, {1355, -400}, {2032, 0}}, "long S-curve"});
    return cubics;
}

TEST(Flatten, StaysWithinTheToleranceAndKeepsTheEndPoint) {
    for (const Cubic& c : randomCubics()) {
        std::vector<PointF> vertices;
        const std::size_t count = flattenCubic(c.p[0], c.p[1], c.p[2], c.p[3], Tolerance, vertices);
        ASSERT_EQ(count, vertices.size());
        ASSERT_GE(count, 1u);
        EXPECT_EQ(vertices.back(), c.p[3]) << c.family;
        EXPECT_LE(worstDeviation(c, vertices), Tolerance + 1e-3) << c.family << " with " << count << " segments";
    }
}

TEST(Flatten, NeverTooFewSegmentsForTheBend) {
    // A long S-curve needs many chords: one straight line misses it by 300 steps.
    std::vector<PointF> vertices;
    flattenCubic({0, 0}, {677, 400}, {1355, -400}, {2032, 0}, Tolerance, vertices);
    EXPECT_GT(vertices.size(), 20u);
    // A straight cubic needs none.
    vertices.clear();
    EXPECT_EQ(flattenCubic({0, 0}, {100, 100}, {200, 200}, {300, 300}, Tolerance, vertices), 1u);
}

// Circular arcs: the fewest chords that keep within the tolerance of a circle
// of radius r over an angle a is ceil(a / (2 acos(1 - tol / r))).
TEST(Flatten, CircularArcsNeedAtMostATenthMoreThanTheMinimum) {
    double worstRatio = 0;
    for (double angleDegrees : {90.0, 60.0, 45.0}) {
        for (double radius : {40.0, 100.0, 254.0, 508.0, 1000.0, 2540.0, 5080.0, 20000.0}) {
            const double angle = angleDegrees * std::numbers::pi / 180;
            const double k = 4.0 / 3.0 * std::tan(angle / 4);
            const Cubic arc{{{float(radius), 0},
                             {float(radius), float(radius * k)},
                             {float(radius * (std::cos(angle) + k * std::sin(angle))),
                              float(radius * (std::sin(angle) - k * std::cos(angle)))},
                             {float(radius * std::cos(angle)), float(radius * std::sin(angle))}},
                            "arc"};
            std::vector<PointF> vertices;
            const std::size_t count = flattenCubic(arc.p[0], arc.p[1], arc.p[2], arc.p[3], Tolerance, vertices);
            const double minimum = std::ceil(angle / (2 * std::acos(1 - Tolerance / radius)));
            const double ratio = count / minimum;
            worstRatio = std::max(worstRatio, ratio);
            EXPECT_LE(ratio, 1.1) << angleDegrees << " degrees, radius " << radius << ": " << count << " against "
                                  << minimum;
            if (radius <= 5080) {
                EXPECT_LE(worstDeviation(arc, vertices), Tolerance + 1e-3);
            }
        }
    }
    RecordProperty("worst_ratio_to_minimum", std::to_string(worstRatio));
}

TEST(Flatten, NonFiniteCubicsEndInOneSegment) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (PointF bad : {PointF{nan, 0}, PointF{0, inf}, PointF{-inf, nan}}) {
        std::vector<PointF> vertices;
        EXPECT_EQ(flattenCubic({0, 0}, bad, {1, 1}, {2, 0}, Tolerance, vertices), 1u);
        EXPECT_EQ(vertices.back(), (PointF{2, 0}));
    }
}

TEST(Flatten, PathKeepsFiguresFlagsAndEndPoints) {
    Path path;
    auto add = [&](float x, float y, std::uint8_t type) {
        path.points.push_back({x, y});
        path.types.push_back(type);
    };
    add(0, 0, PathPointTypeStart);
    add(0, 400, PathPointTypeBezier);
    add(400, 400, PathPointTypeBezier);
    add(400, 0, PathPointTypeBezier | 0x20 | PathPointTypeCloseSubpath);
    add(500, 500, PathPointTypeStart);
    add(600, 500, PathPointTypeLine);
    const Path flat = flattenPath(path, Tolerance);
    ASSERT_GT(flat.size(), 6u);
    EXPECT_EQ(flat.points.front(), (PointF{0, 0}));
    std::size_t closeAt = 0;
    for (std::size_t i = 1; i < flat.size(); ++i) {
        EXPECT_NE(flat.types[i] & PathPointTypeMask, PathPointTypeBezier);
        if (flat.types[i] & PathPointTypeCloseSubpath) closeAt = i;
    }
    // The curve's end point keeps its flags; the second figure follows unchanged.
    ASSERT_EQ(closeAt, flat.size() - 3);
    EXPECT_EQ(flat.points[closeAt], (PointF{400, 0}));
    EXPECT_EQ(flat.types[closeAt], PathPointTypeLine | 0x20 | PathPointTypeCloseSubpath);
    EXPECT_EQ(flat.points[closeAt + 1], (PointF{500, 500}));
    EXPECT_EQ(flat.types[closeAt + 1], PathPointTypeStart);
    EXPECT_EQ(flat.types[closeAt + 2], PathPointTypeLine);
}

}  // namespace
}  // namespace vantrel
