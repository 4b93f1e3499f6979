#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/preview_geometry.h"

namespace vantrel::preview {
namespace {

constexpr float Tolerance = 1e-3f;

void expectRect(const RectF& actual, const RectF& expected) {
    EXPECT_NEAR(actual.x, expected.x, Tolerance);
    EXPECT_NEAR(actual.y, expected.y, Tolerance);
    EXPECT_NEAR(actual.width, expected.width, Tolerance);
    EXPECT_NEAR(actual.height, expected.height, Tolerance);
}

TEST(PreviewGeometry, MatAndCuttingAreaPerModel) {
    // At 96 DPI one inch is 0.165 * 96 = 15.84 pixels.
    struct Case {
        int model;
        RectF mat;
        PointF areaOrigin;
    } cases[] = {
        {1, {36.432f, 48.312f, 213.84f, 140.58f}, {48.312f, 51.282f}},
        {2, {34.848f, 63.36f, 213.84f, 201.96f}, {46.728f, 69.3f}},
        {3, {34.848f, 53.064f, 213.84f, 140.58f}, {46.728f, 56.034f}},
        {0, {36.432f, 48.312f, 213.84f, 140.58f}, {48.312f, 51.282f}},  // any other value: model 1's
        {7, {36.432f, 48.312f, 213.84f, 140.58f}, {48.312f, 51.282f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const MatLayout layout = matLayout(c.model, 11, 8.5f, true, {96, 96});
        expectRect(layout.mat, c.mat);
        expectRect(layout.cuttingArea, {c.areaOrigin.x, c.areaOrigin.y, 174.24f, 134.64f});
        // Without the mat the cutting area moves a quarter inch toward negative x, nothing else.
        const MatLayout bare = matLayout(c.model, 11, 8.5f, false, {96, 96});
        expectRect(bare.cuttingArea, {c.areaOrigin.x - 3.96f, c.areaOrigin.y, 174.24f, 134.64f});
        expectRect(bare.mat, c.mat);
    }
}

TEST(PreviewGeometry, EachAxisUsesItsOwnResolution) {
    const MatLayout layout = matLayout(2, 12, 12, true, {120, 144});
    expectRect(layout.mat, {2.2f * 0.165f * 120, 4.0f * 0.165f * 144, 13.5f * 0.165f * 120, 12.75f * 0.165f * 144});
    EXPECT_NEAR(layout.cuttingArea.width, 12 * 0.165f * 120, Tolerance);
    EXPECT_NEAR(layout.cuttingArea.height, 12 * 0.165f * 144, Tolerance);
    const PointF target = placementTarget(layout.cuttingArea, {1, 2, 5, 5}, {120, 144});
    EXPECT_NEAR(target.x, layout.cuttingArea.x + 0.165f * 120, Tolerance);
    EXPECT_NEAR(target.y, layout.cuttingArea.y + 2 * 0.165f * 144, Tolerance);
}

TEST(PreviewGeometry, CameoGridIsElevenDashedLinesEachWay) {
    const MatLayout layout = matLayout(2, 12, 12, true, {96, 96});
    const RectF& a = layout.cuttingArea;
    const auto lines = gridLines(2, layout, {96, 96});
    ASSERT_EQ(lines.size(), 22u);
    for (int i = 1; i <= 11; ++i) {
        const GridLine& across = lines[static_cast<std::size_t>(2 * (i - 1))];
        const GridLine& along = lines[static_cast<std::size_t>(2 * (i - 1) + 1)];
        EXPECT_TRUE(across.dashed && along.dashed);
        EXPECT_NEAR(across.from.x, a.x + i * 15.84f, Tolerance);
        EXPECT_EQ(across.from.x, across.to.x);
        EXPECT_EQ(across.from.y, a.y);
        EXPECT_NEAR(across.to.y, a.y + a.height, Tolerance);
        EXPECT_NEAR(along.from.y, a.y + i * 15.84f, Tolerance);
        EXPECT_EQ(along.from.y, along.to.y);
        EXPECT_EQ(along.from.x, a.x);
        EXPECT_NEAR(along.to.x, a.x + a.width, Tolerance);
    }
}

TEST(PreviewGeometry, SmallMatGridHasTwoGroupsWithTwoSolidLines) {
    for (int model : {1, 3}) {
        SCOPED_TRACE(model);
        const MatLayout layout = matLayout(model, 11, 8.5f, true, {96, 96});
        const RectF& a = layout.cuttingArea;
        const float matY = layout.mat.y;
        const auto lines = gridLines(model, layout, {96, 96});
        ASSERT_EQ(lines.size(), 21u);
        for (int i = 1; i <= 11; ++i) {
            const GridLine& across = lines[static_cast<std::size_t>(i - 1)];
            EXPECT_TRUE(across.dashed);
            EXPECT_NEAR(across.from.x, a.x + i * 15.84f, Tolerance);
            EXPECT_EQ(across.from.y, a.y);
            // Down to the mat's top plus the area's height, not the area's bottom.
            EXPECT_NEAR(across.to.y, matY + a.height, Tolerance);
        }
        int solid = 0;
        for (int i = 0; i <= 4; ++i) {
            const GridLine& upper = lines[static_cast<std::size_t>(11 + 2 * i)];
            const GridLine& lower = lines[static_cast<std::size_t>(12 + 2 * i)];
            EXPECT_NEAR(upper.from.y, matY + (0.375f + i) * 15.84f, Tolerance);
            EXPECT_NEAR(lower.from.y, matY + (0.5625f + i + 4) * 15.84f - (i == 4 ? 2 : 0), Tolerance);
            EXPECT_EQ(upper.dashed, i != 0);
            EXPECT_EQ(lower.dashed, i != 4);
            solid += !upper.dashed + !lower.dashed;
            for (const GridLine* line : {&upper, &lower}) {
                EXPECT_EQ(line->from.x, a.x);
                EXPECT_NEAR(line->to.x, a.x + a.width, Tolerance);
                EXPECT_EQ(line->from.y, line->to.y);
            }
        }
        EXPECT_EQ(solid, 2);
    }
}

TEST(PreviewGeometry, TriangleAndTransformsAndPictures) {
    const Triangle t = matTriangle({10, 20, 100, 60});
    EXPECT_EQ(t.apex, (PointF{12, 50}));
    EXPECT_EQ(t.baseTop, (PointF{16, 44}));
    EXPECT_EQ(t.baseBottom, (PointF{16, 56}));

    struct Case {
        bool machine;
        int model;
        float dx, dy;
    } transforms[] = {{true, 0, 3, 3},   {true, 2, 3, 3},   {false, 2, -5, -20}, {false, 1, -14, 3},
                      {false, 3, -14, 3}, {false, 0, 0, 0}, {false, 9, 0, 0}};
    for (const Case& c : transforms) {
        const WorldTransform w = worldTransform(c.machine, c.model);
        EXPECT_EQ(w.scale, 0.75f);
        EXPECT_EQ(w.dx, c.dx) << c.machine << " " << c.model;
        EXPECT_EQ(w.dy, c.dy) << c.machine << " " << c.model;
    }

    struct Pictures {
        int model, body, rail;
        PointF rail_at, head_at;
    } pictures[] = {{1, 9003, 9001, {52, 41}, {28, 47}},
                    {2, 9022, 9021, {50, 52}, {24, 52}},
                    {3, 9024, 9023, {45, 44}, {20, 52}},
                    {5, 9003, 9001, {52, 41}, {28, 47}}};
    for (const Pictures& p : pictures) {
        const MachinePictures m = machinePictures(p.model);
        EXPECT_EQ(m.body, p.body);
        EXPECT_EQ(m.rail, p.rail);
        EXPECT_EQ(m.head, 9000);
        EXPECT_EQ(m.railAt, p.rail_at);
        EXPECT_EQ(m.headAt, p.head_at);
    }
}

Path figure(std::initializer_list<PointF> points, std::initializer_list<std::uint8_t> types) {
    return Path{points, types};
}

void append(Path& to, const Path& more) {
    to.points.insert(to.points.end(), more.points.begin(), more.points.end());
    to.types.insert(to.types.end(), more.types.begin(), more.types.end());
}

TEST(PreviewGeometry, DesignLayerSortsFiguresAndAddsTheCuttingArea) {
    // Open line, closed triangle, open curve, closed square: host order.
    Path design = figure({{10, 10}, {20, 10}}, {0, 1});
    append(design, figure({{30, 30}, {40, 30}, {35, 40}}, {0, 1, 0x81}));
    append(design, figure({{5, 50}, {6, 60}, {7, 60}, {8, 50}}, {0, 3, 3, 3}));
    append(design, figure({{50, 5}, {60, 5}, {60, 15}, {50, 15}}, {0, 1, 1, 0x81}));
    const Path source = design;

    const RectF area{100, 200, 300, 150};
    const RectF everything{-1000, -1000, 3000, 3000};
    const DesignLayer layer = layoutDesign(design, {115, 205}, area, everything);
    EXPECT_EQ(design, source);
    // Everything moves by (115, 205); the curve becomes straight segments
    // within a quarter pixel of it, from its start to its end.
    ASSERT_GT(layer.open.size(), 4u);
    EXPECT_EQ(Path({layer.open.points[0], layer.open.points[1], layer.open.points[2]},
                   {layer.open.types[0], layer.open.types[1], layer.open.types[2]}),
              figure({{125, 215}, {135, 215}, {120, 255}}, {0, 1, 0}));
    EXPECT_EQ(layer.open.points.back(), (PointF{123, 255}));
    for (std::size_t i = 3; i < layer.open.size(); ++i) {
        EXPECT_EQ(layer.open.types[i], PathPointTypeLine);
        // On the curve x(t) = 120 + 3t, y(t) = 255 + 30t - 30t^2 (to within the tolerance).
        const PointF p = layer.open.points[i];
        const float t = (p.x - 120) / 3;
        EXPECT_NEAR(p.y, 255 + 30 * t - 30 * t * t, 0.3f) << i;
    }
    EXPECT_EQ(layer.closed,
              figure({{145, 235}, {155, 235}, {150, 245}, {165, 210}, {175, 210}, {175, 220}, {165, 220},
                      {100, 200}, {400, 200}, {400, 350}, {100, 350}},
                     {0, 1, 0x81, 0, 1, 1, 0x81, 0, 1, 1, 0x81}));

    // No design figures at all: the sheet alone.
    const DesignLayer empty = layoutDesign(Path{}, {0, 0}, area, everything);
    EXPECT_TRUE(empty.open.empty());
    EXPECT_EQ(empty.closed.size(), 4u);
}

TEST(PreviewGeometry, WhatLiesOffTheSurfaceIsLeftOut) {
    // The machine view's transform on a 204 x 220 surface, with an 8-pixel margin.
    const RectF visible = visibleWorld({0.75f, 3, 3}, 204, 220);
    EXPECT_NEAR(visible.x, -11 / 0.75f, Tolerance);
    EXPECT_NEAR(visible.y, -11 / 0.75f, Tolerance);
    EXPECT_NEAR(visible.x + visible.width, 209 / 0.75f, Tolerance);
    EXPECT_NEAR(visible.y + visible.height, 225 / 0.75f, Tolerance);

    // A square on the surface, one far off it, one reaching into it.
    Path design = figure({{0, 0}, {10, 0}, {10, 10}}, {0, 1, 0x81});
    append(design, figure({{1e6f, 1e6f}, {1e6f + 10, 1e6f}, {1e6f, 1e6f + 10}}, {0, 1, 0x81}));
    append(design, figure({{50, 50}, {1e7f, 60}}, {0, 1}));
    const RectF hugeArea{20, 30, 1e7f, 1e7f};
    const DesignLayer layer = layoutDesign(design, {20, 30}, hugeArea, {0, 0, 300, 300});
    EXPECT_EQ(layer.closed, figure({{20, 30}, {30, 30}, {30, 40}, {20, 30}, {300, 30}, {300, 300}, {20, 300}},
                                   {0, 1, 0x81, 0, 1, 1, 0x81}));
    // The long line ends where it leaves what can be seen.
    ASSERT_EQ(layer.open.size(), 2u);
    EXPECT_EQ(layer.open.points[0], (PointF{70, 80}));
    EXPECT_EQ(layer.open.points[1].x, 300);
    EXPECT_NEAR(layer.open.points[1].y, 80 + 10 * 230 / (1e7f - 50), 1e-3);
    // An area wholly off the surface leaves no sheet.
    EXPECT_TRUE(layoutDesign(Path{}, {0, 0}, {400, 400, 10, 10}, {0, 0, 300, 300}).closed.empty());

    EXPECT_EQ(intersection({0, 0, 10, 10}, {5, -5, 10, 10}), (RectF{5, 0, 5, 5}));
    EXPECT_EQ(intersection({0, 0, 10, 10}, {20, 0, 10, 10}).width, 0);

    const std::vector<GridLine> lines{{{-50, 5}, {500, 5}, true},  // across: cut at both ends
                                      {{5, -50}, {5, 20}, false},  // down: cut at the top
                                      {{-5, 5}, {-5, 20}, true},   // left of the surface: out
                                      {{0, 400}, {20, 400}, true}};  // below it: out
    const auto clipped = clipLines(lines, {0, 0, 100, 100});
    ASSERT_EQ(clipped.size(), 2u);
    EXPECT_EQ(clipped[0].from, (PointF{0, 5}));
    EXPECT_EQ(clipped[0].to, (PointF{100, 5}));
    EXPECT_TRUE(clipped[0].dashed);
    EXPECT_EQ(clipped[1].from, (PointF{5, 0}));
    EXPECT_EQ(clipped[1].to, (PointF{5, 20}));
    EXPECT_FALSE(clipped[1].dashed);
}

TEST(PreviewGeometry, PlacingPutsThePlainBoundsCornerOnTheTarget) {
    const Path mark = figure({{-2, 3}, {-1, 3}, {-1, 4}}, {0, 1, 0x81});
    const RectF area{40, 50, 100, 100};
    // Corner in inches (-2/15.84, 3/15.84) at 96 DPI: the mark lands on the area's corner plus that.
    const PointF offset = placementOffset(area, {-2 / 15.84f, 3 / 15.84f, 1, 1}, plainBounds(mark), {96, 96});
    const PointF target = placementTarget(area, {-2 / 15.84f, 3 / 15.84f, 1, 1}, {96, 96});
    const Path placed = layoutShape(mark, offset, {0, 0, 300, 300});
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_NEAR(placed.points[0].x, target.x, Tolerance);
    EXPECT_NEAR(placed.points[0].y, target.y, Tolerance);
    EXPECT_EQ(placed.types, (std::vector<std::uint8_t>{0, 1, 0x81}));

    // One point a billion pixels out leaves no trace on where the rest goes:
    // its float keeps no small digits, so the offset is not taken from it.
    const Path far = figure({{-1.6e9f, 3}, {-1, 3}, {-1, 4}}, {0, 1, 0x81});
    const RectF farInches{-1.6e9f / 15.84f, 3 / 15.84f, 1, 1};
    const Path farPlaced = layoutShape(far, placementOffset(area, farInches, plainBounds(far), {96, 96}), {0, 0, 300, 300});
    bool cornerInPlace = false;
    for (const PointF& p : farPlaced.points) cornerInPlace |= std::fabs(p.x - 39) < 0.01f && std::fabs(p.y - 54) < 0.01f;
    EXPECT_TRUE(cornerInPlace) << "(-1, 4) lands at the area's corner plus (-1, 4)";
}

TEST(PreviewGeometry, ShapesFarOutAreClippedToWhatShows) {
    const RectF visible{-15, -15, 300, 300};
    auto within = [&](const Path& path, float margin) {
        for (const PointF& p : path.points)
            if (p.x < visible.x - margin || p.y < visible.y - margin || p.x > visible.x + visible.width + margin ||
                p.y > visible.y + visible.height + margin)
                return false;
        return true;
    };
    // A closed sliver running a billion pixels right, a curve whose control
    // point lies as far left, a square wholly out of sight, and a small square.
    Path design = figure({{100, 100}, {1e9f, 140}, {100, 120}}, {0, 1, 0x81});
    append(design, figure({{50, 200}, {-1e9f, 300}, {200, 300}, {250, 200}}, {0, 3, 3, 3}));
    append(design, figure({{5e8f, 5e8f}, {5e8f + 10, 5e8f}, {5e8f, 5e8f + 10}}, {0, 1, 0x81}));
    append(design, figure({{20, 20}, {40, 20}, {40, 40}, {20, 40}}, {0, 1, 1, 0x81}));
    const Path shape = layoutShape(design, {0, 0}, visible);
    EXPECT_TRUE(within(shape, 0.01f));
    std::size_t figures = 0, curvePoints = 0;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        figures += (shape.types[i] & PathPointTypeMask) == PathPointTypeStart;
        EXPECT_NE(shape.types[i] & PathPointTypeMask, PathPointTypeBezier);
        curvePoints += shape.points[i].y > 150;
    }
    EXPECT_EQ(figures, 3u) << "the square out of sight is left out";
    EXPECT_GT(curvePoints, 3u) << "the visible stretch of the curve is drawn";
    // The sliver keeps its fill where it shows: its clipped outline runs along the right edge.
    EXPECT_EQ(shape.points[0], (PointF{100, 100}));
    bool reachesRightEdge = false;
    for (std::size_t i = 0; i < 6 && i < shape.size(); ++i) reachesRightEdge |= shape.points[i].x == 285;
    EXPECT_TRUE(reachesRightEdge);
    // The small square comes out as it went in.
    EXPECT_EQ(Path({shape.points.end() - 4, shape.points.end()}, {shape.types.end() - 4, shape.types.end()}),
              figure({{20, 20}, {40, 20}, {40, 40}, {20, 40}}, {0, 1, 1, 0x81}));
}

TEST(PreviewGeometry, DrawableCopyMendsWhatCannotBeDrawn) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        Path in;
        Path out;
    } cases[] = {
        {"well formed stays equal", figure({{0, 0}, {1, 0}, {1, 1}, {2, 1}, {3, 0}}, {0, 1, 3, 3, 0x83}),
         figure({{0, 0}, {1, 0}, {1, 1}, {2, 1}, {3, 0}}, {0, 1, 3, 3, 0x83})},
        {"Bezier run cut short becomes lines", figure({{0, 0}, {1, 1}, {2, 2}}, {0, 3, 0x83}),
         figure({{0, 0}, {1, 1}, {2, 2}}, {0, 1, 0x81})},
        {"marker flags dropped", figure({{0, 0}, {1, 0}, {1, 1}}, {0x20, 0x21, 0xA1}),
         figure({{0, 0}, {1, 0}, {1, 1}}, {0, 1, 0x81})},
        {"unknown segment types drawn as lines", figure({{0, 0}, {1, 0}, {1, 1}}, {0, 2, 5}),
         figure({{0, 0}, {1, 0}, {1, 1}}, {0, 1, 1})},
        {"figure with a non-finite point left out",
         figure({{0, 0}, {nan, 1}, {5, 5}, {6, 6}, {inf, 0}, {7, 7}, {8, 8}}, {0, 1, 0, 1, 1, 0, 1}),
         figure({{7, 7}, {8, 8}}, {0, 1})},
        {"single-point figures left out", figure({{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {0, 0x80, 0, 1}),
         figure({{2, 2}, {3, 3}}, {0, 1})},
        {"types and points of different lengths: nothing", Path{{{0, 0}, {1, 1}}, {0}}, Path{}},
    };
    for (const Case& c : cases) EXPECT_EQ(drawablePath(c.in), c.out) << c.name;
}

TEST(PreviewGeometry, ScalingCopiesAndKeepsTypes) {
    const Path source = figure({{1, 2}, {3, -4}}, {0, 0x81});
    const Path scaled = scaledPath(source, 15.84f, 10);
    EXPECT_EQ(scaled, figure({{15.84f, 20}, {3 * 15.84f, -40}}, {0, 0x81}));
    EXPECT_EQ(source, figure({{1, 2}, {3, -4}}, {0, 0x81}));
}

TEST(PreviewGeometry, StatusBandAndVersionAreas) {
    const StatusLayout s = statusLayout(204, 220);
    EXPECT_EQ(s.band, (RectF{0, 203, 204, 17}));
    EXPECT_EQ(s.dashFrom, (PointF{0, 203}));
    EXPECT_EQ(s.dashTo, (PointF{204, 203}));
    EXPECT_EQ(s.text, s.band);
    EXPECT_EQ(s.shadow, (RectF{-1, 204, 204, 17}));
    EXPECT_EQ(s.version, (RectF{0, 0, 204, 202}));
}

TEST(PreviewGeometry, VersionTextShowsThreeParts) {
    struct Case {
        std::array<std::uint16_t, 4> parts;
        const wchar_t* text;
    } cases[] = {{{3, 0, 0, 0}, L"3.0.0"},
                 {{1, 2, 3, 4}, L"1.2.3"},
                 {{10, 0, 12, 0}, L"10.0.12"},
                 {{0, 0, 0, 0}, L"0.0.0"},
                 {{65535, 65535, 65535, 65535}, L"65535.65535.65535"}};
    for (const Case& c : cases) EXPECT_EQ(versionText(c.parts), c.text);
}

}  // namespace
}  // namespace vantrel::preview
