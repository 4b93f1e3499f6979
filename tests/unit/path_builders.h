#pragma once
// Paths written out point by point for the core's tests.
#include <cstdint>
#include <initializer_list>
#include <tuple>

#include "cutdata/path.h"

namespace vantrel::testing_paths {

inline constexpr std::uint8_t S = PathPointTypeStart, L = PathPointTypeLine, B = PathPointTypeBezier,
                              C = PathPointTypeCloseSubpath;

// Each point with its type byte: {x, y, S}, {x, y, L}, {x, y, B}, {x, y, L | C}.
inline Path makePath(std::initializer_list<std::tuple<float, float, std::uint8_t>> points) {
    Path path;
    for (auto [x, y, type] : points) {
        path.points.push_back({x, y});
        path.types.push_back(type);
    }
    return path;
}

}  // namespace vantrel::testing_paths
