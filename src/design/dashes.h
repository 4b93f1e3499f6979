#pragma once
// Dashed strokes (fold and score lines): noted by the SVG reader, then cut
// solid as drawn, cut as their dashes alone (a perforation), or left out.
#include <cstddef>
#include <string>
#include <vector>

#include "cutdata/path.h"

namespace vantrel {

enum class DashMode { Solid, Perforate, Skip };

// One shape drawn with a dash pattern: its figures in the design's path, and
// the pattern in the shape's own user units, which its transform may stretch
// differently along each axis.
struct DashedStroke {
    std::size_t first = 0;        // its points: [first, end) of the path, whole figures
    std::size_t end = 0;
    std::vector<double> pattern;  // dash, gap, dash, gap...: an even count, none below 0, their sum above 0
    double offset = 0;            // where the pattern starts, within [0, sum)
    // The transform's linear part undone: a step in inches (dx, dy) is
    // (m[0] dx + m[1] dy, m[2] dx + m[3] dy) in user units.
    double toUser[4] = {1, 0, 0, 1};
};

// A pattern far finer than its line cannot make more pieces than this in all:
// a small file must not ask for millions of cuts.
inline constexpr std::size_t MaxDashSteps = 2'000'000;

// The path with `strokes` (in path order) as `mode` says: as they are, only
// their dashes (each figure's pattern starting afresh, a closed figure's
// running round it and joined where it meets its start), or left out. False
// with `error` set when the patterns make too many pieces.
bool applyDashes(Path& path, const std::vector<DashedStroke>& strokes, DashMode mode, std::string& error);

}  // namespace vantrel
