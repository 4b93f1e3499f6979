#pragma once
// The path model: parallel arrays of points and type bytes, the same layout a
// GDI+ path has, so a host path converts both ways without loss.
#include <cstdint>
#include <vector>

namespace vantrel {

struct PointF {
    float x = 0;
    float y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

// Point type bytes: the low three bits say what the point is; 0x80 marks the
// last point of a closed figure. Other flag bits (the marker, 0x20) are ignored.
enum PathPointType : std::uint8_t {
    PathPointTypeStart = 0x00,
    PathPointTypeLine = 0x01,
    PathPointTypeBezier = 0x03,
    PathPointTypeMask = 0x07,
    PathPointTypeCloseSubpath = 0x80,
};

struct Path {
    std::vector<PointF> points;
    std::vector<std::uint8_t> types;

    std::size_t size() const { return points.size(); }
    bool empty() const { return points.empty(); }
    friend bool operator==(const Path&, const Path&) = default;
};

}  // namespace vantrel
