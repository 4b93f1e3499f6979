#include <gtest/gtest.h>

#include "ui/progress_animation.h"

namespace vantrel::ui {
namespace {

TEST(UiProgress, PulseFallsToZeroIn34TicksThenRisesBack) {
    ProgressAnimation a;
    EXPECT_EQ(a.pulse(), 1.0);
    EXPECT_FALSE(a.rising());
    a.tick(65);
    EXPECT_NEAR(a.pulse(), 0.97, 1e-9);
    int ticks = 1;
    while (!a.rising()) {
        a.tick(65);
        ++ticks;
        ASSERT_LT(ticks, 100);
    }
    EXPECT_EQ(ticks, 34);
    EXPECT_EQ(a.pulse(), 0.0);
    int up = 0;
    while (a.rising()) {
        a.tick(65);
        ++up;
        ASSERT_LT(up, 100);
    }
    EXPECT_EQ(a.pulse(), 1.0);
    EXPECT_EQ(up, 34);
}

TEST(UiProgress, CaptionGreysFollowThePulse) {
    struct Case {
        int ticks;  // from the start (pulse 1.0, falling)
        int b, c;
    } cases[] = {{0, 200, 0}, {34, 0, 255}, {1, 194, 7}, {17, 97, 130}};  // 17 steps of 0.03 land just below 0.49
    for (const auto& c : cases) {
        ProgressAnimation a;
        for (int i = 0; i < c.ticks; ++i) a.tick(65);
        EXPECT_EQ(a.greyB(), c.b) << c.ticks;
        EXPECT_EQ(a.greyC(), c.c) << c.ticks;
        EXPECT_GE(a.greyB(), 0);
        EXPECT_LE(a.greyC(), 255);
    }
}

TEST(UiProgress, StopResetsThePulseToItsDarkestRisingPhase) {
    ProgressAnimation a;
    for (int i = 0; i < 10; ++i) a.tick(65);
    a.resetPulse();
    EXPECT_EQ(a.pulse(), 0.0);
    EXPECT_TRUE(a.rising());
    a.tick(65);
    EXPECT_NEAR(a.pulse(), 0.03, 1e-9);
}

TEST(UiProgress, StripesScrollLeftAndWrapAfterOneTileWithoutARepeatedFrame) {
    ProgressAnimation a;
    int previous = 0;
    for (int i = 1; i <= 200; ++i) {
        a.tick(65);
        int now = a.stripeOffset();
        ASSERT_GT(now, -65) << "offset -65 would show the same picture as 0";
        ASSERT_LE(now, 0);
        // Every tick moves the picture one pixel: either one left, or the wrap.
        ASSERT_TRUE(now == previous - 1 || (previous == -64 && now == 0)) << i;
        previous = now;
    }
    ProgressAnimation missing;
    missing.tick(0);
    EXPECT_EQ(missing.stripeOffset(), 0);
}

TEST(UiProgress, FilledWidthIsTheShareOfTheRangeClampedToTheBar) {
    struct Case {
        int position, lower, upper, width, filled;
    } cases[] = {
        {0, 0, 100, 281, 0},     {100, 0, 100, 281, 281}, {50, 0, 100, 281, 140},
        {150, 0, 100, 281, 281}, {-5, 0, 100, 281, 0},    {5, 0, 0, 281, 0},  // empty range: no division by zero
        {5, 10, 0, 281, 0},      {60, 20, 100, 100, 50},  {50, 0, 100, 0, 0},
        {2147483647, -2147483647 - 1, 2147483647, 100, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filledWidth(c.position, c.lower, c.upper, c.width), c.filled)
            << c.position << " of " << c.lower << ".." << c.upper;
}

TEST(UiProgress, StripeTilesCoverTheBarFromTheOffset) {
    EXPECT_EQ(stripeTiles(0, 65, 281), (std::vector<int>{0, 65, 130, 195, 260}));
    EXPECT_EQ(stripeTiles(-64, 65, 130), (std::vector<int>{-64, 1, 66}));
    EXPECT_TRUE(stripeTiles(0, 65, 0).empty());
    EXPECT_TRUE(stripeTiles(0, 0, 281).empty()) << "no picture: no tiles, no endless loop";
    EXPECT_TRUE(stripeTiles(-3, -65, 281).empty());
}

}  // namespace
}  // namespace vantrel::ui
