#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "cutdata/path_ops.h"
#include "path_builders.h"

namespace vantrel {
namespace {

using namespace testing_paths;

// A circle of radius r about (cx, cy) in four Bézier segments, as a platform's
// AddEllipse makes it.
Path circle(float cx, float cy, float r) {
    const float k = 0.5522847f * r;
    return makePath({{cx + r, cy, S},
                     {cx + r, cy + k, B}, {cx + k, cy + r, B}, {cx, cy + r, B},
                     {cx - k, cy + r, B}, {cx - r, cy + k, B}, {cx - r, cy, B},
                     {cx - r, cy - k, B}, {cx - k, cy - r, B}, {cx, cy - r, B},
                     {cx + k, cy - r, B}, {cx + r, cy - k, B}, {cx + r, cy, std::uint8_t(B | C)}});
}

struct Figure {
    std::vector<PointF> points;
    std::vector<std::uint8_t> types;
    bool closed;
};

std::vector<Figure> figuresOf(const Path& path) {
    std::vector<Figure> figures;
    forEachFigure(path, [&](const FigureView& f) {
        figures.push_back({{f.points.begin(), f.points.end()}, {f.types.begin(), f.types.end()}, f.closed});
    });
    return figures;
}

TEST(PathOps, CloseFiguresAddsTheClosingSideOnlyWhereItIsMissing) {
    struct Case {
        const char* what;
        Path source;
        Path expected;
    } cases[] = {
        {"square already ending at its start",
         makePath({{0, 0, S}, {100, 0, L}, {100, 100, L}, {0, 100, L}, {0, 0, std::uint8_t(L | C)}}),
         makePath({{0, 0, S}, {100, 0, L}, {100, 100, L}, {0, 100, L}, {0, 0, std::uint8_t(L | C)}})},
        {"square of four corners with the close flag",
         makePath({{0, 0, S}, {100, 0, L}, {100, 100, L}, {0, 100, std::uint8_t(L | C)}}),
         makePath({{0, 0, S}, {100, 0, L}, {100, 100, L}, {0, 100, L}, {0, 0, std::uint8_t(L | C)}})},
        {"last point 0.0005 step off: the same point",
         makePath({{100, 100, S}, {200, 100, L}, {100.0005f, 99.9995f, std::uint8_t(L | C)}}),
         makePath({{100, 100, S}, {200, 100, L}, {100.0005f, 99.9995f, std::uint8_t(L | C)}})},
        {"last point 0.002 step off in y: a closing segment",
         makePath({{100, 100, S}, {200, 100, L}, {100, 100.002f, std::uint8_t(L | C)}}),
         makePath({{100, 100, S}, {200, 100, L}, {100, 100.002f, L}, {100, 100, std::uint8_t(L | C)}})},
        {"last point 0.002 step off in x only",
         makePath({{100, 100, S}, {200, 100, L}, {99.998f, 100, std::uint8_t(L | C)}}),
         makePath({{100, 100, S}, {200, 100, L}, {99.998f, 100, L}, {100, 100, std::uint8_t(L | C)}})},
        {"open polyline unchanged, marker kept",
         makePath({{0, 0, S}, {10, 0, std::uint8_t(L | 0x20)}, {10, 10, L}}),
         makePath({{0, 0, S}, {10, 0, std::uint8_t(L | 0x20)}, {10, 10, L}})},
        {"closed curve: control points, end point, closing line",
         makePath({{0, 0, S}, {0, 10, B}, {10, 10, B}, {10, 0, std::uint8_t(B | C)}}),
         makePath({{0, 0, S}, {0, 10, B}, {10, 10, B}, {10, 0, B}, {0, 0, std::uint8_t(L | C)}})},
        {"two figures keep their order",
         makePath({{5, 5, S}, {6, 5, L}, {6, 6, std::uint8_t(L | C)}, {1, 1, S}, {2, 2, L}}),
         makePath({{5, 5, S}, {6, 5, L}, {6, 6, L}, {5, 5, std::uint8_t(L | C)}, {1, 1, S}, {2, 2, L}})},
        {"closed single point", makePath({{3, 4, std::uint8_t(S | C)}}), makePath({{3, 4, std::uint8_t(S | C)}})},
        {"empty", Path(), Path()},
    };
    for (const Case& c : cases) {
        const Path result = closeFigures(c.source);
        EXPECT_EQ(result.points, c.expected.points) << c.what;
        EXPECT_EQ(result.types, c.expected.types) << c.what;
        EXPECT_EQ(figuresOf(result).size(), figuresOf(c.source).size()) << c.what;
    }
}

TEST(PathOps, CurveAwareBoundsOfACircleAreItsExtent) {
    const Path path = circle(3, -2, 1.5f);
    const RectF tight = curveAwareBounds(path);
    const float tolerance = 0.25f / 300;
    EXPECT_NEAR(tight.x, 1.5f, tolerance);
    EXPECT_NEAR(tight.y, -3.5f, tolerance);
    EXPECT_NEAR(tight.width, 3.0f, tolerance);
    EXPECT_NEAR(tight.height, 3.0f, tolerance);
    // A circle's control points lie on its bounding square: rotate it by 45
    // degrees and they stick out, while the curve's extent stays (almost) the same.
    Path rotated = path;
    for (PointF& p : rotated.points) {
        const float x = p.x - 3, y = p.y + 2;
        p = {3 + (x - y) * 0.70710678f, -2 + (x + y) * 0.70710678f};
    }
    const RectF plain = plainBounds(rotated);
    const RectF rotatedTight = curveAwareBounds(rotated);
    EXPECT_GT(plain.width, rotatedTight.width + 0.2f);
    EXPECT_NEAR(rotatedTight.width, 3.0f, 0.002f);  // the four-segment circle is 0.03% out of round
    EXPECT_NEAR(rotatedTight.x + rotatedTight.width / 2, 3.0f, tolerance);
}

TEST(PathOps, CurveAwareBoundsContainEveryPointOfRandomCurves) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> coordinate(-50, 50);
    for (int n = 0; n < 200; ++n) {
        const PointF p[4] = {{coordinate(random), coordinate(random)}, {coordinate(random), coordinate(random)},
                             {coordinate(random), coordinate(random)}, {coordinate(random), coordinate(random)}};
        const Path path = makePath({{p[0].x, p[0].y, S}, {p[1].x, p[1].y, B}, {p[2].x, p[2].y, B}, {p[3].x, p[3].y, B}});
        double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
        for (int i = 0; i <= 20000; ++i) {
            const double t = i / 20000.0, s = 1 - t;
            const double x = s * s * s * p[0].x + 3 * s * s * t * p[1].x + 3 * s * t * t * p[2].x + t * t * t * p[3].x;
            const double y = s * s * s * p[0].y + 3 * s * s * t * p[1].y + 3 * s * t * t * p[2].y + t * t * t * p[3].y;
            minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
        const RectF b = curveAwareBounds(path);
        const double tolerance = 0.25 / 300;
        EXPECT_NEAR(b.x, minX, tolerance);
        EXPECT_NEAR(b.y, minY, tolerance);
        EXPECT_NEAR(b.x + b.width, maxX, tolerance);
        EXPECT_NEAR(b.y + b.height, maxY, tolerance);
    }
}

TEST(PathOps, BoundsMovesAndScaling) {
    const Path lines = makePath({{2, 3, S}, {-1, 5, L}, {4, 4, std::uint8_t(L | C)}});
    EXPECT_EQ(plainBounds(lines), (RectF{-1, 3, 5, 2}));
    EXPECT_EQ(curveAwareBounds(lines), plainBounds(lines));
    EXPECT_EQ(plainBounds(Path()), RectF{});
    EXPECT_EQ(curveAwareBounds(Path()), RectF{});

    Path moved = lines;
    fitTopLeft(moved, {10, 20});
    EXPECT_EQ(plainBounds(moved), (RectF{10, 20, 5, 2}));
    EXPECT_EQ(moved.types, lines.types);
    translatePath(moved, -10, -20);
    EXPECT_EQ(moved.points[1], (PointF{0, 2}));

    // keepCurves: only scaled, each axis by its own resolution; types untouched.
    Path curve = makePath({{0, 0, S}, {0, 1, B}, {1, 1, B}, {1, 0, std::uint8_t(B | C)}});
    Path kept = curve;
    toMachineUnits(kept, 508, 400, true);
    EXPECT_EQ(kept.types, curve.types);
    EXPECT_EQ(kept.points[2], (PointF{508, 400}));
    // Flattened: lines only, ending on the curve's end point, still closed.
    Path flat = curve;
    toMachineUnits(flat, 508, 400, false);
    EXPECT_GT(flat.size(), 10u);
    EXPECT_EQ(flat.points.back(), (PointF{508, 0}));
    EXPECT_EQ(flat.types.back(), L | C);
    for (std::size_t i = 1; i < flat.size(); ++i) EXPECT_EQ(flat.types[i] & PathPointTypeMask, L);
}

TEST(PathOps, PlacedAndScaledClosingMatchesTheOperationsInTurn) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-30, 30);
    std::uniform_int_distribution<int> kind(0, 9);
    for (int n = 0; n < 50; ++n) {
        Path path;
        for (int figure = 0; figure < 5; ++figure) {
            const std::size_t start = path.points.size();
            path.points.push_back({coordinate(random), coordinate(random)});
            path.types.push_back(S);
            const int length = kind(random);
            for (int i = 0; i < length; ++i) {
                const int count = kind(random) < 3 ? 3 : 1;
                for (int k = 0; k < count; ++k) {
                    path.points.push_back({coordinate(random), coordinate(random)});
                    path.types.push_back(count == 3 ? B : L);
                }
            }
            if (kind(random) < 6) {
                if (kind(random) < 3) path.points.back() = path.points[start];  // already back at its start
                path.types.back() |= C;
            }
        }
        Path reference = clonePath(path);
        translatePath(reference, -0.15625f, 0.03125f);
        toMachineUnits(reference, 508, 401.5f, true);
        reference = closeFigures(reference);
        EXPECT_EQ(closeFiguresPlacedAndScaled(path, -0.15625f, 0.03125f, 508, 401.5f), reference);
    }
}

TEST(PathOps, FaultsAreFoundAndNoOperationReadsOutsideAMalformedPath) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Path shortTypes = makePath({{0, 0, S}, {1, 0, B}, {1, 1, B}, {0, 1, B}});
    shortTypes.types.resize(2);
    Path shortPoints = makePath({{0, 0, S}, {1, 0, L}});
    shortPoints.points.resize(1);
    struct Case {
        const char* what;
        Path path;
        PathFault fault;
    } cases[] = {
        {"empty", Path(), PathFault::None},
        {"well formed", circle(0, 0, 1), PathFault::None},
        {"types short", shortTypes, PathFault::SizeMismatch},
        {"points short", shortPoints, PathFault::SizeMismatch},
        {"first point a line", makePath({{0, 0, L}, {1, 1, L}}), PathFault::NoStartPoint},
        {"type 2", makePath({{0, 0, S}, {1, 1, 2}}), PathFault::UnknownType},
        {"type 5 with flags", makePath({{0, 0, S}, {1, 1, 0xA5}}), PathFault::UnknownType},
        {"one Bezier point at the end", makePath({{0, 0, S}, {1, 1, L}, {2, 2, B}}), PathFault::IncompleteBezier},
        {"five Bezier points", makePath({{0, 0, S}, {1, 1, B}, {2, 2, B}, {3, 3, B}, {4, 4, B}, {5, 5, B}}),
         PathFault::IncompleteBezier},
        {"Bezier run cut by a start", makePath({{0, 0, S}, {1, 1, B}, {2, 2, B}, {3, 3, S}}),
         PathFault::IncompleteBezier},
        {"NaN", makePath({{0, 0, S}, {nan, 1, L}}), PathFault::NonFinite},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findPathFault(c.path), c.fault) << c.what;
        EXPECT_STRNE(pathFaultText(c.fault), "");
        // Under the address sanitizer, any read past either array fails here.
        Path work = clonePath(c.path);
        (void)plainBounds(work);
        (void)curveAwareBounds(work);
        fitTopLeft(work, {1, 1});
        (void)closeFigures(work);
        (void)figuresOf(work);
        toMachineUnits(work, 508, 508, false);
        (void)closeFigures(work);
    }
}

}  // namespace
}  // namespace vantrel
