#pragma once
// Affine transforms of design coordinates, as SVG writes them.
#include <algorithm>
#include <cmath>

namespace vantrel::design {

// x' = a x + c y + e, y' = b x + d y + f
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // This transform applied after `inner`.
    Affine operator*(const Affine& inner) const {
        return {a * inner.a + c * inner.b, b * inner.a + d * inner.b, a * inner.c + c * inner.d,
                b * inner.c + d * inner.d, a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
    }
    // The largest factor by which the transform stretches any length.
    double maxScale() const {
        const double s = a * a + b * b + c * c + d * d, det = a * d - b * c;
        return std::sqrt((s + std::sqrt(std::max(0.0, s * s - 4 * det * det))) / 2);
    }
};

inline Affine translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
inline Affine scaling(double x, double y) { return {x, 0, 0, y, 0, 0}; }

}  // namespace vantrel::design
