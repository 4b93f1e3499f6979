// The GDI+ path bridge against the platform's own path objects: what the
// platform builds reads back point for point and type for type, and what we
// build holds exactly our data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "cutdata/path_ops.h"
#include "cutdata/win32/gdiplus_path_bridge.h"
#include "support/win_test_support.h"

namespace vantrel::test {
namespace {

using win::gp::GdipAddPathBezier;
using win::gp::GdipAddPathLine;
using win::gp::GdipClosePathFigure;
using win::gp::GdipCreatePath;
using win::gp::GdipGetPathWorldBounds;
using win::gp::GdipSetPathMarker;
using win::gp::GdipStartPathFigure;

class GdiplusBridge : public ::testing::Test {
protected:
    GdiplusSession gdiplus_;
};

bool sameBits(const Path& a, const Path& b) {
    return a.types == b.types && a.points.size() == b.points.size() &&
           std::memcmp(a.points.data(), b.points.data(), a.points.size() * sizeof(PointF)) == 0;
}

TEST_F(GdiplusBridge, ReadsWhatThePlatformBuilt) {
    win::UniqueGpPath path;
    ASSERT_EQ(GdipCreatePath(Gdiplus::FillModeAlternate, path.receive()), Gdiplus::Ok);
    ASSERT_EQ(GdipAddPathLine(path.get(), 1.5f, 2.25f, 3, 4), Gdiplus::Ok);
    ASSERT_EQ(GdipAddPathBezier(path.get(), 3, 4, 5, 6, 7, 6, 8, 4), Gdiplus::Ok);
    ASSERT_EQ(GdipSetPathMarker(path.get()), Gdiplus::Ok);
    ASSERT_EQ(GdipClosePathFigure(path.get()), Gdiplus::Ok);
    ASSERT_EQ(GdipStartPathFigure(path.get()), Gdiplus::Ok);
    ASSERT_EQ(GdipAddPathLine(path.get(), -10, 0.1f, 20, -0.1f), Gdiplus::Ok);

    Path read;
    ASSERT_EQ(win::readGdiplusPath(path.get(), read), Gdiplus::Ok);
    const std::vector<PointF> points{{1.5f, 2.25f}, {3, 4}, {5, 6}, {7, 6}, {8, 4}, {-10, 0.1f}, {20, -0.1f}};
    EXPECT_EQ(read.points, points);
    const std::vector<std::uint8_t> types{PathPointTypeStart, PathPointTypeLine,   PathPointTypeBezier,
                                          PathPointTypeBezier, 0x83 | 0x20,          PathPointTypeStart,
                                          PathPointTypeLine};
    EXPECT_EQ(read.types, types);
}

TEST_F(GdiplusBridge, RoundTripIsExact) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Path source;
    auto add = [&](float x, float y, std::uint8_t type) {
        source.points.push_back({x, y});
        source.types.push_back(type);
    };
    add(0.1f, -0.0f, PathPointTypeStart);
    add(1234567.875f, 1e-30f, PathPointTypeBezier);
    add(3.4e38f, -3.4e38f, PathPointTypeBezier);
    add(nan, 7, PathPointTypeBezier | 0x20 | PathPointTypeCloseSubpath);
    add(5, 5, PathPointTypeStart);
    add(6, 6, PathPointTypeLine | PathPointTypeCloseSubpath);

    win::UniqueGpPath made = win::makeGdiplusPath(source);
    ASSERT_TRUE(made);
    Path back;
    ASSERT_EQ(win::readGdiplusPath(made.get(), back), Gdiplus::Ok);
    EXPECT_TRUE(sameBits(back, source));
}

TEST_F(GdiplusBridge, EmptyNullAndMismatchedPaths) {
    win::UniqueGpPath empty = win::makeGdiplusPath(Path());
    ASSERT_TRUE(empty);
    Path read;
    read.points.push_back({1, 1});
    read.types.push_back(0);
    EXPECT_EQ(win::readGdiplusPath(empty.get(), read), Gdiplus::Ok);
    EXPECT_TRUE(read.empty());

    read.points.push_back({1, 1});
    EXPECT_EQ(win::readGdiplusPath(nullptr, read), Gdiplus::InvalidParameter);
    EXPECT_TRUE(read.empty() && read.types.empty());

    Path mismatched;
    mismatched.points = {{0, 0}, {1, 1}};
    mismatched.types = {PathPointTypeStart};
    EXPECT_FALSE(win::makeGdiplusPath(mismatched));
}

TEST_F(GdiplusBridge, PlainBoundsAreThePlatformsWorldBounds) {
    // Control points included, no transform and no pen: the two must agree exactly.
    Path source;
    source.points = {{1, 2}, {1, -3}, {6, 9}, {4, 2}, {-2.5f, 0.125f}, {3, 3}};
    source.types = {PathPointTypeStart, PathPointTypeBezier, PathPointTypeBezier,
                    PathPointTypeBezier | PathPointTypeCloseSubpath, PathPointTypeStart, PathPointTypeLine};
    win::UniqueGpPath made = win::makeGdiplusPath(source);
    ASSERT_TRUE(made);
    Gdiplus::RectF platform;
    ASSERT_EQ(GdipGetPathWorldBounds(made.get(), &platform, nullptr, nullptr), Gdiplus::Ok);
    const RectF ours = plainBounds(source);
    EXPECT_EQ(ours.x, platform.X);
    EXPECT_EQ(ours.y, platform.Y);
    EXPECT_EQ(ours.width, platform.Width);
    EXPECT_EQ(ours.height, platform.Height);
}

}  // namespace
}  // namespace vantrel::test
