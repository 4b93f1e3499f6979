#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "cutdata/path_ops.h"
#include "cutdata/reg_marks.h"

namespace vantrel {
namespace {

Path rectangle(float x, float y, float w, float h) {
    return Path{{{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}},
                {PathPointTypeStart, PathPointTypeLine, PathPointTypeLine,
                 PathPointTypeLine | PathPointTypeCloseSubpath}};
}

// An arch: one cubic whose control points rise half an inch above its top.
Path arch() {
    return Path{{{1, 3}, {1, 1}, {4, 1}, {4, 3}},
                {PathPointTypeStart, PathPointTypeBezier, PathPointTypeBezier,
                 PathPointTypeBezier | PathPointTypeCloseSubpath}};
}

TEST(RegMarks, LengthsAreTheHostsToTheFloat) {
    EXPECT_EQ(RegMarkLineWidth, 0.031496063f);
    EXPECT_EQ(RegMarkSquareSide, 0.22834645f);
    const RectF corner = plainBounds(cornerMark());
    EXPECT_EQ(corner, (RectF{0, 0, 0.5f, 0.5f}));
    EXPECT_EQ(plainBounds(mirroredInX(cornerMark())), (RectF{-0.5f, 0, 0.5f, 0.5f}));
    EXPECT_EQ(plainBounds(mirroredInY(cornerMark())), (RectF{0, -0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(plainBounds(squareMark()), (RectF{0, 0, RegMarkSquareSide, RegMarkSquareSide}));
}

TEST(RegMarks, SearchForTheOneByOneByFourByThreeDesign) {
    const RegMarkLayout layout = RegMarkLayout::around(rectangle(1, 1, 4, 3), false);
    auto search = computeRegMarkSearch(layout, 1, true, 508.0f, 508.0f);
    ASSERT_TRUE(search);
    EXPECT_EQ(regMarkSearchCommand(*search, 10),
              "!10,0|FJ|FN1|TB99|TB51,254|TB52,2|TB53,16|TB54,0,0|TB55,1|M540,381|TB23,1556,2540|");
    EXPECT_EQ(search->markOriginX, 0.5f);
    EXPECT_EQ(search->markOriginY, 0.96850395f);
    EXPECT_EQ(search->markExtentX, 2540);
    EXPECT_EQ(search->markExtentY, 1556);

    // Without the carrier mat only the origin centre moves.
    auto bare = computeRegMarkSearch(layout, 1, false, 508.0f, 508.0f);
    ASSERT_TRUE(bare);
    EXPECT_EQ(regMarkSearchCommand(*bare, 10),
              "!10,0|FJ|FN1|TB99|TB51,254|TB52,2|TB53,16|TB54,0,0|TB55,1|M540,302|TB23,1556,2540|");
}

// Marks placed by the box they span, as printed ones are found again, make
// the search of the marks laid around the design, to the bit.
TEST(RegMarks, MarksPlacedByTheirSpanSearchAsTheLayoutDoes) {
    std::mt19937 random(30);
    std::uniform_real_distribution<float> at(0.5f, 40), size(0, 30);
    for (int i = 0; i < 3000; ++i) {
        const bool square = i % 2 == 1;
        const Path design = rectangle(at(random), at(random), size(random), size(random));
        const RegMarkLayout laid = RegMarkLayout::around(design, square);
        const RegMarkLayout placed = RegMarkLayout::spanning(laid.span(), square);
        ASSERT_EQ(placed.span(), laid.span()) << i;
        EXPECT_EQ(plainBounds(placed.markTopLeft), plainBounds(laid.markTopLeft));
        for (int model : {1, 2})
            for (float dpi : {508.0f, 500.5f})
                ASSERT_EQ(computeRegMarkSearch(placed, model, true, dpi, dpi),
                          computeRegMarkSearch(laid, model, true, dpi, dpi))
                    << i;
    }
}

TEST(RegMarks, SquareOriginMarkOfCameoAndPortrait) {
    const RegMarkLayout layout = RegMarkLayout::around(rectangle(1, 1, 4, 3), true);
    auto search = computeRegMarkSearch(layout, 2, true, 508.0f, 508.0f);
    ASSERT_TRUE(search);
    EXPECT_EQ(search->markLength, 116);
    EXPECT_EQ(search->lineSteps, 16);
    // The square starts where the corner mark would: the job's origin does not depend on the form.
    EXPECT_EQ(search->markOriginX, 0.5f);
    EXPECT_EQ(search->markOriginY, 0.96850395f);
    // CAMEO on the mat has no correction: the centre of the square itself.
    EXPECT_EQ(search->originCentreY, std::lround((0.96850395 + RegMarkSquareSide / 2.0) * 508));
    EXPECT_EQ(search->originCentreX, std::lround((0.5 + RegMarkSquareSide / 2.0) * 508));

    struct Case {
        bool connected;
        int model, hostType;
        bool square;
    } cases[] = {{true, 2, 0, true},  {true, 3, 0, true},  {true, 1, 2, false}, {true, 0, 2, false},
                 {false, 0, 2, true}, {false, 2, 1, false}, {false, 0, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(useSquareOriginMark(c.connected, c.model, c.hostType), c.square)
            << c.connected << ' ' << c.model << ' ' << c.hostType;
}

TEST(RegMarks, OuterCornersSitAHalfInchBesideAndOneLineBelowTheDesign) {
    const float x = 2.25f, y = 0.75f, w = 3.5f, h = 6.0f;
    const RegMarkLayout layout = RegMarkLayout::around(rectangle(x, y, w, h), false);
    const RectF topLeft = plainBounds(layout.markTopLeft);
    const RectF topRight = plainBounds(layout.markTopRight);
    const RectF bottomLeft = plainBounds(layout.markBottomLeft);
    EXPECT_FLOAT_EQ(topLeft.x, x - 0.5f);
    EXPECT_FLOAT_EQ(topLeft.y, y - RegMarkLineWidth);
    EXPECT_FLOAT_EQ(topRight.x + topRight.width, x + w + 0.5f);
    EXPECT_FLOAT_EQ(topRight.y, y - RegMarkLineWidth);
    EXPECT_FLOAT_EQ(bottomLeft.x, x - 0.5f);
    EXPECT_FLOAT_EQ(bottomLeft.y + bottomLeft.height, y + h + RegMarkLineWidth);
    // The outer corners are the marks' own (0, 0) points after placement.
    EXPECT_FLOAT_EQ(layout.markTopRight.points[0].x, x + w + 0.5f);
    EXPECT_FLOAT_EQ(layout.markBottomLeft.points[0].y, y + h + RegMarkLineWidth);
}

TEST(RegMarks, MarksHugTheCurvesNotTheirControlPoints) {
    const Path design = arch();  // the curve's top is at y 1.5, its control points at 1
    const RegMarkLayout layout = RegMarkLayout::around(design, false);
    const float tolerance = 0.25f / 300 + 1e-5f;
    EXPECT_NEAR(plainBounds(layout.markTopLeft).x, 1.0f - 0.5f, tolerance);
    EXPECT_NEAR(plainBounds(layout.markTopLeft).y, 1.5f - RegMarkLineWidth, tolerance);
    const RectF topRight = plainBounds(layout.markTopRight);
    EXPECT_NEAR(topRight.x + topRight.width, 4.0f + 0.5f, tolerance);
    EXPECT_NEAR(topRight.y, 1.5f - RegMarkLineWidth, tolerance);
    const RectF bottomLeft = plainBounds(layout.markBottomLeft);
    EXPECT_NEAR(bottomLeft.y + bottomLeft.height, 3.0f + RegMarkLineWidth, tolerance);
}

TEST(RegMarks, CorrectionMovesOnlyTheOriginCentre) {
    const RegMarkLayout layout = RegMarkLayout::around(rectangle(1.3f, 0.7f, 5.1f, 2.9f), false);
    auto reference = computeRegMarkSearch(layout, 0, true, 508.0f, 512.0f);
    ASSERT_TRUE(reference);
    // PORTRAIT on the mat searches a quarter inch up, not where its WYSIWYG placement puts the design.
    EXPECT_EQ(markOffsetTable(3, true), (PointF{-0.0625f, -0.25f}));
    for (int model : {-1, 0, 1, 2, 3, 4}) {
        for (bool mat : {true, false}) {
            auto search = computeRegMarkSearch(layout, model, mat, 508.0f, 512.0f);
            ASSERT_TRUE(search);
            EXPECT_EQ(search->markExtentX, reference->markExtentX);
            EXPECT_EQ(search->markExtentY, reference->markExtentY);
            EXPECT_EQ(search->markOriginX, reference->markOriginX);
            const PointF d = markOffsetTable(model, mat);
            EXPECT_EQ(search->originCentreX,
                      std::lround((double(reference->markOriginX + d.x) + 0.25) * 508.0)) << model << mat;
            EXPECT_EQ(search->originCentreY,
                      std::lround((double(reference->markOriginY + d.y) + 0.25) * 512.0)) << model << mat;
        }
    }
    EXPECT_EQ(markOffsetTable(7, false), (PointF{0, 0}));
}

TEST(RegMarks, NoSearchForAnUnusableResolutionOrDesign) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const RegMarkLayout layout = RegMarkLayout::around(rectangle(1, 1, 4, 3), false);
    for (auto [dpiX, dpiY] : {std::pair{0.0f, 508.0f}, {508.0f, -508.0f}, {inf, 508.0f}, {508.0f, nan},
                              {1e30f, 508.0f}, {508.0f, 1e-30f}, {1e8f, 508.0f}})
        EXPECT_FALSE(computeRegMarkSearch(layout, 1, true, dpiX, dpiY)) << dpiX << ' ' << dpiY;

    const RegMarkLayout far = RegMarkLayout::around(rectangle(1, 1, 4e7f, 3), false);
    EXPECT_FALSE(computeRegMarkSearch(far, 1, true, 508.0f, 508.0f));
    const RegMarkLayout broken = RegMarkLayout::around(rectangle(nan, 1, 4, 3), false);
    EXPECT_FALSE(computeRegMarkSearch(broken, 1, true, 508.0f, 508.0f));
}

}  // namespace
}  // namespace vantrel
