#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "tools/calibration.h"

namespace vantrel {
namespace {

TEST(Calibration, SquareJobAtTheNominalResolution) {
    EXPECT_EQ(calibrationSquareJob(508, 508),
              "FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z4120,20000|FX10,0|!10,0|L0|L0|"
              "M508.000000,508.000000|D508.000000,3556.000000|D3556.000000,3556.000000|"
              "D3556.000000,508.000000|D508.000000,508.000000|"
              "&1,1,1|TB50,0|FO0|H|");
}

TEST(Calibration, SquareIsScaledInSinglePrecisionVerticalFirst) {
    // 500 1/2 horizontally, 510 vertically: the first pair is y, x.
    EXPECT_EQ(calibrationMoves(calibrationSquarePath(500.5, 510)),
              "M510.000000,500.500000|D510.000000,3503.500000|D3570.000000,3503.500000|"
              "D3570.000000,500.500000|D510.000000,500.500000|");
    // A resolution that single precision cannot hold shows its float value.
    const float sx = static_cast<float>(508.123456789);
    char expected[64];
    std::snprintf(expected, sizeof expected, "M508.000000,%f|", static_cast<double>(sx));
    EXPECT_EQ(calibrationMoves(calibrationSquarePath(508.123456789, 508)).substr(0, std::strlen(expected)), expected);
}

TEST(Calibration, MoveListFollowsPointTypesAndClosure) {
    Path p;
    p.points = {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {1.0005f, 2.0005f}, {9, 9}};
    p.types = {0, 3, 3, 3, 1 | 0x80, 0};
    // Curve points give nothing; a closing point next to the start gives no extra draw.
    EXPECT_EQ(calibrationMoves(p), "M2.000000,1.000000|D2.000500,1.000500|M9.000000,9.000000|");
    p.points[4] = {1.0015f, 2};
    EXPECT_EQ(calibrationMoves(p),
              "M2.000000,1.000000|D2.000000,1.001500|D2.000000,1.000000|M9.000000,9.000000|");
    EXPECT_EQ(calibrationMoves(Path{}), "");
}

TEST(Calibration, ProposedResolutions) {
    struct Case {
        double x, y, width, height;
        const char* xText;
        const char* yText;
    } cases[] = {
        {508, 508, 6, 6, "508.000", "508.000"},
        {508, 508, 6.0625, 5.9375, "502.763", "513.347"},
        {508, 508, 5.5, 6.5, "554.182", "468.923"},
        {500.5, 508, 6, 0.001, "500.500", "3048000.000"},
        {508, 508, -6, 6, "-508.000", "508.000"},
    };
    for (const auto& c : cases) {
        auto r = proposeResolution(c.x, c.y, c.width, c.height);
        ASSERT_TRUE(r.has_value()) << c.width << " " << c.height;
        EXPECT_EQ(r->xText, c.xText);
        EXPECT_EQ(r->yText, c.yText);
    }
    auto r = proposeResolution(508, 508, 6.0625, 5.9375);
    EXPECT_EQ(resultsQuestion(*r),
              u"Based on the information you provided, your new resolution would be:\n\nX Axis: 502.763\n"
              u"Y Axis: 513.347\n\nWould you like to use these new values?");
}

TEST(Calibration, MeasurementsNearZeroAreRefused) {
    for (double bad : {0.0, -0.0, 0.0005, -0.0009999, 0.000999, std::nan("")}) {
        EXPECT_FALSE(proposeResolution(508, 508, bad, 6)) << bad;
        EXPECT_FALSE(proposeResolution(508, 508, 6, bad)) << bad;
    }
    EXPECT_TRUE(proposeResolution(508, 508, 0.001, -0.001));
}

TEST(Calibration, OnlyResolutionsAMachineCanHaveAreStored) {
    for (double bad : {0.0, -508.0, -0.0, std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, 1e-50, 0.001, 0.999, 100000.5, 1e6})
        EXPECT_FALSE(resolutionUsable(bad)) << bad;
    for (double good : {508.0, 1.0, 500.5, 100000.0}) EXPECT_TRUE(resolutionUsable(good)) << good;
}

TEST(Calibration, ThreeDecimalsMatchPrintf) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> values(-5000, 5000);
    for (int i = 0; i < 2000; ++i) {
        double v = values(random);
        char reference[64];
        std::snprintf(reference, sizeof reference, "%0.3f", v);
        ASSERT_EQ(formatThreeDecimals(v), reference) << v;
    }
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST(CalibrationFields, TypedTextsAreReadAsMeasurements) {
    struct Case {
        const char16_t *x, *y, *width, *height;
        const char* xText;  // null: refused with the invalid-input message
        const char* yText;
    } cases[] = {
        {u"508.0", u"508.0", u"6", u"6", "508.000", "508.000"},
        {u"508", u"508", u"6 1/16", u"5 15/16", "502.763", "513.347"},
        {u"508", u"508", u"5.5", u"6.5", "554.182", "468.923"},
        {u"500 1/2", u"508", u"6", u"6", "500.500", "508.000"},
        {u"508", u"508", u"1/0", u"6", nullptr, nullptr},
        {u"508", u"508", u"inches", u"6", nullptr, nullptr},
        {u"508", u"508", u"", u"6", nullptr, nullptr},
        {u"508", u"508", u"6", u"0.0005", nullptr, nullptr},
        {u"508", u"508", u"0.001", u"6", "3048000.000", "508.000"},
    };
    for (const auto& c : cases) {
        auto r = proposeResolution(c.x, c.y, c.width, c.height);
        if (!c.xText) {
            EXPECT_FALSE(r.has_value()) << std::u16string(c.width).size();
            continue;
        }
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->xText, c.xText);
        EXPECT_EQ(r->yText, c.yText);
    }
}

TEST(CalibrationFields, ApplyNeedsTwoPositiveResolutions) {
    EXPECT_TRUE(resolutionTextsUsable(u"508.0", u"500 1/2"));
    EXPECT_TRUE(resolutionTextsUsable(u"502.763", u"1016/2"));
    for (const char16_t* bad : {u"0", u"", u"abc", u"-508", u"1/0", u"0.0", u"-1 1/2", u"1e999", u"1e300", u"1e-30",
                                u"1e9", u"1/2"}) {
        EXPECT_FALSE(resolutionTextsUsable(bad, u"508")) << std::u16string(bad).size();
        EXPECT_FALSE(resolutionTextsUsable(u"508", bad)) << std::u16string(bad).size();
    }
}

}  // namespace
}  // namespace vantrel
