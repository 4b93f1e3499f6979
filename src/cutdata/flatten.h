#pragma once
// Flattening of cubic Bézier segments into straight segments. We never use the
// platform's flattening for cutting: it is allowed to be coarse (one platform
// turns a long S-curve into a single line), and a coarse cut is a wrong cut.
//
// Method: greedy longest chords. From the current parameter the next vertex is
// the farthest point on the curve whose chord still lies within the tolerance;
// the chord's error is computed exactly (the sub-curve's distance from its
// chord is a cubic polynomial whose extrema are roots of a quadratic), so every
// chord is as long as the tolerance allows and the count is near the minimum.
#include <cstddef>
#include <vector>

#include "cutdata/path.h"

namespace vantrel {

// Vertices of one cubic (p0, p1, p2, p3), written after p0: the interior
// vertices in order, then p3 itself, exactly. p0 is not written (the caller
// already holds it as the current point). Every point of the curve lies within
// `tolerance` of the polyline and every point of the polyline within
// `tolerance` of the curve, up to the float rounding of the vertices, which is
// kept inside the tolerance for coordinates below 2^21. Returns the number of
// vertices written (at least 1). A cubic with a non-finite coordinate becomes
// one straight segment to p3.
std::size_t flattenCubic(PointF p0, PointF p1, PointF p2, PointF p3, double tolerance,
                         std::vector<PointF>& out);

// Real roots of a t^2 + b t + c strictly inside (0, 1); returns their number.
int quadraticRootsInUnitInterval(double a, double b, double c, double roots[2]);

}  // namespace vantrel
