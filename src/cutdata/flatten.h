#pragma once
// Flattening of cubic Bézier segments into straight segments. We never use the
// platform's flattening for cutting: it is allowed to be coarse (one platform
// turns a long S-curve into a single line), and a coarse cut is a wrong cut.
//
// Method: greedy chords, guessed and checked. From the current parameter the
// next chord's length is guessed from the bend there (and how well the last
// guess fared), then checked against a bound of the sub-curve's distance from
// it that is exact on pieces of circles and made exact (the extremes are roots
// of a quadratic) whenever it decides; a refused guess shrinks, a timid one
// grows once. A short last chord is shared out among the others when they can
// take it. The count stays within a few hundredths of the least (on circular
// arcs) at about a fifth of the cost of searching every chord to its end, and
// never a chord strays beyond the tolerance.
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

// The largest value one coordinate of a cubic takes for 0 <= t <= 1, from its
// four control values: how far the machine's own curve command moves the tool.
double cubicMaximum(double c0, double c1, double c2, double c3);

}  // namespace vantrel
