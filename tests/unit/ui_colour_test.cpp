#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "ui/colour.h"

namespace vantrel::ui {
namespace {

TEST(UiColour, TintMultipliesEachChannelByTheFaceAndTruncates) {
    struct Case {
        Argb colour, face, expected;
    } cases[] = {
        {0xFFFFFFFF, 0xFFF0F0F0, 0xFFF0F0F0},  // white takes the face colour exactly
        {0x80000000, 0xFFF0F0F0, 0x80000000},  // black stays black; alpha is kept
        {0x00FFFFFF, 0xFFD4D0C8, 0x00D4D0C8},  // a transparent pixel keeps alpha 0
        {0xFF7F7F7F, 0xFFFFFFFF, 0xFF7F7F7F},  // a white face changes nothing
        {0xFF807F01, 0xFF7F8081, 0xFF3F3F00},  // 128*127/255 = 63.75 -> 63; 1*129/255 -> 0
    };
    for (const auto& c : cases) EXPECT_EQ(multiplyRgb(c.colour, c.face), c.expected) << std::hex << c.colour;
}

TEST(UiColour, BlendMovesTowardWhiteOrBlackByTheFactor) {
    struct Case {
        Argb colour;
        double factor;
        bool towardWhite;
        Argb expected;
    } cases[] = {
        {0xFF000000, 0.25, true, 0xFF3F3F3F},   // 0 + 0.25 * 255 = 63.75 -> 63
        {0x7FFF6400, 0.25, true, 0x7FFF8A3F},   // 100 -> 138.75; 0 -> 63.75; alpha kept
        {0xFFFFFFFF, 0.25, true, 0xFFFFFFFF},
        {0xFFF0F0F0, 0.3, false, 0xFFA8A8A8},   // the group-box outline: 240 - 72 = 168
        {0xFF123456, 0.0, true, 0xFF123456},
        {0xFF123456, 1.0, false, 0xFF000000},
        {0xFF123456, 7.0, true, 0xFFFFFFFF},    // factors beyond 1 are clamped
        {0xFF123456, -3.0, true, 0xFF123456},
    };
    for (const auto& c : cases)
        EXPECT_EQ(blendColour(c.colour, c.factor, c.towardWhite), c.expected) << std::hex << c.colour << " " << c.factor;
    EXPECT_EQ(blendColour(0xFF123456, std::numeric_limits<double>::quiet_NaN(), true), 0xFF123456u);
}

TEST(UiColour, BlendAgreesWithTheFormulaOnRandomColours) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        Argb c = random();
        double f = std::uniform_real_distribution<double>(0, 1)(random);
        Argb up = blendColour(c, f, true), down = blendColour(c, f, false);
        for (auto channel : {redOf, greenOf, blueOf}) {
            double v = channel(c);
            ASSERT_EQ(channel(up), static_cast<unsigned>(std::floor(v + f * (255 - v))));
            ASSERT_EQ(channel(down), static_cast<unsigned>(std::floor(v - f * v)));
            ASSERT_GE(channel(up), channel(c));
            ASSERT_LE(channel(down), channel(c));
        }
        ASSERT_EQ(alphaOf(up), alphaOf(c));
        ASSERT_EQ(alphaOf(down), alphaOf(c));
    }
}

TEST(UiColour, HalvedOrangeEndsTheBandGradientAt7F3200) {
    EXPECT_EQ(halveRgb(0xFFFF6400), 0xFF7F3200u);
    EXPECT_EQ(halveRgb(0x40010203), 0x40000101u);
}

TEST(UiColour, ColorrefAndArgbSwapRedAndBlue) {
    EXPECT_EQ(argbFromColorref(0x00C8D0D4), 0xFFD4D0C8u);
    EXPECT_EQ(colorrefFromArgb(0xFFD4D0C8), 0x00C8D0D4u);
    EXPECT_EQ(colorrefFromArgb(argbFromColorref(0x00123456)), 0x00123456u);
}

TEST(UiColour, PixelRunsChangeEveryPixelAndNothingBeyond) {
    Argb pixels[4] = {0xFFFFFFFF, 0x00000000, 0xFF808080, 0x12345678};
    multiplyPixels(pixels, 3, 0xFF808080);
    EXPECT_EQ(pixels[0], 0xFF808080u);
    EXPECT_EQ(pixels[1], 0x00000000u);
    EXPECT_EQ(pixels[2], 0xFF404040u);
    EXPECT_EQ(pixels[3], 0x12345678u);
    blendPixels(pixels, 1, 0.5, false);
    EXPECT_EQ(pixels[0], 0xFF404040u);
}

}  // namespace
}  // namespace vantrel::ui
