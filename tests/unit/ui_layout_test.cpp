#include <gtest/gtest.h>

#include "ui/control_layout.h"

namespace vantrel::ui {
namespace {

TEST(UiLayout, GroupBoxIconSitsSixPixelsFromTheRightInTheBand) {
    EXPECT_EQ(groupBoxIconRect(239, 10, 10), (IntRect{223, 4, 233, 14}));
    IntRect r = groupBoxIconRect(100, 16, 12);
    EXPECT_EQ(r.width(), 16);
    EXPECT_EQ(r.height(), 12);
    EXPECT_TRUE(r.contains(78, 4));
    EXPECT_FALSE(r.contains(94, 4)) << "right and bottom edges are outside";
    EXPECT_FALSE(r.contains(78, 16));
}

TEST(UiLayout, GroupBoxInteriorNeverTurnsInsideOut) {
    EXPECT_EQ(groupBoxInterior(239, 91), (IntRect{6, 21, 232, 85}));
    EXPECT_EQ(groupBoxInterior(5, 10), (IntRect{6, 21, 6, 21}));
    EXPECT_EQ(groupBoxInterior(0, 0).width(), 0);
}

TEST(UiLayout, DrawnLengthsScaleWithTheDisplay) {
    EXPECT_EQ(scaled(11, 96), 11);
    EXPECT_EQ(scaled(11, 144), 17) << "16.5 rounds away from zero";
    EXPECT_EQ(scaled(-3, 144), -5);
    EXPECT_EQ(scaled(20, 192), 40);
    EXPECT_EQ(scaled(6, 120), 8) << "7.5";
    EXPECT_EQ(lineWidth(96), 1);
    EXPECT_EQ(lineWidth(144), 1) << "whole pixels keep the lines sharp";
    EXPECT_EQ(lineWidth(192), 2);
    // The icon, its gap and the band's top inset grow together; the inside with them.
    EXPECT_EQ(groupBoxIconRect(360, 10, 10, 144), (IntRect{336, 6, 351, 21}));
    EXPECT_EQ(groupBoxIconRect(478, 10, 10, 192), (IntRect{446, 8, 466, 28}));
    EXPECT_EQ(groupBoxInterior(478, 182, 192), (IntRect{12, 42, 464, 170}));
    ComboEntryLayout entry = layoutComboEntry({0, 0, 200, 40}, 32, 32, true, 192);
    EXPECT_EQ(entry.bitmapLeft, 4);
    EXPECT_EQ(entry.text, (IntRect{44, 24, 200, 40}));
}

TEST(UiLayout, ShadowSizeRoundsHalvesAwayFromZero) {
    struct Case {
        int size, shadow;
    } cases[] = {{0, 0}, {1, 1}, {5, 4}, {15, 11}, {25, 18}, {35, 25}, {239, 167}, {363, 254}, {-5, -4}};
    // 5 * 0.7 = 3.5 -> 4; 15 * 0.7 = 10.5 -> 11; 35 * 0.7 = 24.5 -> 25.
    for (const auto& c : cases) EXPECT_EQ(shadowSize(c.size), c.shadow) << c.size;
}

TEST(UiLayout, SeparatorCaptionGetsItsSpacesByAlignment) {
    EXPECT_EQ(separatorCaption(L"Options", SeparatorAlign::Centre), L"  Options  ");
    EXPECT_EQ(separatorCaption(L"Options", SeparatorAlign::Right), L"  Options");
    EXPECT_EQ(separatorCaption(L"Options", SeparatorAlign::Left), L"Options  ");
}

TEST(UiLayout, ComboEntryPlacesPictureThenText) {
    IntRect item{0, 40, 150, 60};
    ComboEntryLayout withPicture = layoutComboEntry(item, 16, 16, false);
    EXPECT_EQ(withPicture.bitmapLeft, 2);
    EXPECT_EQ(withPicture.bitmapTop, 42);
    EXPECT_EQ(withPicture.text, (IntRect{22, 40, 150, 60}));
    EXPECT_EQ(layoutComboEntry(item, 0, 0, false).text.left, 6) << "no picture: text 6 pixels in";
    EXPECT_EQ(layoutComboEntry(item, 16, 16, true).text.top, 52) << "with a second line the text rectangle starts 12 pixels lower";
}

}  // namespace
}  // namespace vantrel::ui
