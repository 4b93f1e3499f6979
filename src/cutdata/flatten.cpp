#include "cutdata/flatten.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

struct Vec {
    double x = 0;
    double y = 0;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double length(Vec a) { return std::hypot(a.x, a.y); }

}  // namespace

int quadraticRootsInUnitInterval(double a, double b, double c, double roots[2]) {
    int count = 0;
    auto keep = [&](double t) {
        if (t > 0 && t < 1) roots[count++] = t;
    };
    const double scale = std::max({std::fabs(a), std::fabs(b), std::fabs(c)});
    if (scale == 0) return 0;
    if (std::fabs(a) <= scale * 1e-12) {
        if (b != 0) keep(-c / b);
        return count;
    }
    const double discriminant = b * b - 4 * a * c;
    if (discriminant < 0) return 0;
    // The numerically stable pair of formulas: no cancellation in either root.
    const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
    keep(q / a);
    if (q != 0) keep(c / q);
    return count;
}

namespace {

// Largest |f| over [0, 1] of the cubic in Bernstein form with coefficients
// (0, w1, w2, w3) relative to its start, together with its minimum and maximum.
struct Range {
    double min = 0;
    double max = 0;
};
Range bernsteinRange(double w1, double w2, double w3) {
    auto value = [&](double t) {
        const double s = 1 - t;
        return 3 * s * s * t * w1 + 3 * s * t * t * w2 + t * t * t * w3;
    };
    Range range{std::min(0.0, w3), std::max(0.0, w3)};
    // Derivative / 3: Bernstein quadratic (w1, w2 - w1, w3 - w2).
    const double d0 = w1, d1 = w2 - w1, d2 = w3 - w2;
    double roots[2];
    const int n = quadraticRootsInUnitInterval(d0 - 2 * d1 + d2, 2 * (d1 - d0), d0, roots);
    for (int i = 0; i < n; ++i) {
        const double v = value(roots[i]);
        range.min = std::min(range.min, v);
        range.max = std::max(range.max, v);
    }
    return range;
}

// The cubic in power form, for evaluation of points and tangents at any t.
class Cubic {
public:
    Cubic(PointF p0, PointF p1, PointF p2, PointF p3) {
        const Vec a{p0.x, p0.y}, b{p1.x, p1.y}, c{p2.x, p2.y}, d{p3.x, p3.y};
        c3_ = (d - a) + (b - c) * 3;
        c2_ = (a - b * 2 + c) * 3;
        c1_ = (b - a) * 3;
        c0_ = a;
    }
    Vec at(double t) const { return ((c3_ * t + c2_) * t + c1_) * t + c0_; }
    Vec tangent(double t) const { return (c3_ * (3 * t) + c2_ * 2) * t + c1_; }

    // Distance bound of the sub-curve over [t0, t1] from the chord between its ends.
    double chordError(double t0, double t1) const {
        const double dt = t1 - t0;
        const Vec q0 = at(t0), q3 = at(t1);
        const Vec v1 = tangent(t0) * (dt / 3);               // q1 - q0
        const Vec chord = q3 - q0;
        const Vec v2 = chord - tangent(t1) * (dt / 3);       // q2 - q0
        const double chordLength = length(chord);
        if (!(chordLength > 1e-9)) {
            // The sub-curve comes back to its start: it lies inside the hull of
            // its control points, hence within this radius of q0.
            return std::max({length(v1), length(v2), chordLength});
        }
        const Vec along = chord * (1 / chordLength);
        const Vec across{-along.y, along.x};
        const Range offset = bernsteinRange(dot(across, v1), dot(across, v2), 0);
        const double sideways = std::max(-offset.min, offset.max);
        const double c = dot(along, v1), e = dot(along, v2);
        double overshoot = 0;
        if (c < 0 || c > chordLength || e < 0 || e > chordLength) {
            const Range reach = bernsteinRange(c, e, chordLength);
            overshoot = std::max({0.0, -reach.min, reach.max - chordLength});
        }
        return overshoot == 0 ? sideways : std::hypot(sideways, overshoot);
    }

private:
    Vec c3_, c2_, c1_, c0_;
};

bool finite(PointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// A cubic needing more chords than this is degenerate beyond use; its rest is
// finished with one chord rather than running without bound.
constexpr std::size_t MaxChordsPerCubic = std::size_t{1} << 22;

}  // namespace

std::size_t flattenCubic(PointF p0, PointF p1, PointF p2, PointF p3, double tolerance,
                         std::vector<PointF>& out) {
    const std::size_t before = out.size();
    if (!finite(p0) || !finite(p1) || !finite(p2) || !finite(p3) || !(tolerance > 0)) {
        out.push_back(p3);
        return 1;
    }
    const Cubic cubic(p0, p1, p2, p3);

    // Vertices are stored as floats; keep their rounding inside the tolerance.
    double magnitude = 0;
    for (PointF p : {p0, p1, p2, p3})
        magnitude = std::max({magnitude, double(std::fabs(p.x)), double(std::fabs(p.y))});
    const double rounding = magnitude * 0x1p-24 * 1.5;
    const double limit = std::max(tolerance * 0.5, tolerance - rounding);
    // Stop refining a chord once it uses this much of the limit: longer chords
    // would need more evaluations than they save vertices.
    const double goodEnough = limit * 0.998;

    // First guess of the parameter step from Wang's bound on the second difference.
    const Vec d1 = Vec{p0.x, p0.y} - Vec{p1.x, p1.y} * 2 + Vec{p2.x, p2.y};
    const Vec d2 = Vec{p1.x, p1.y} - Vec{p2.x, p2.y} * 2 + Vec{p3.x, p3.y};
    const double wangCount = std::sqrt(0.75 * std::max(length(d1), length(d2)) / limit);
    double step = wangCount > 1 ? 1.2 / wangCount : 1.0;

    double t0 = 0;
    for (std::size_t chords = 0; chords < MaxChordsPerCubic; ++chords) {
        if (1 - t0 <= 2 * step && cubic.chordError(t0, 1) <= limit) break;
        double feasible = t0;
        double infeasible = 1;
        double guess = std::min(1.0, t0 + step);
        for (int iteration = 0; iteration < 60; ++iteration) {
            const double error = cubic.chordError(t0, guess);
            if (error <= limit) {
                feasible = guess;
                if (error >= goodEnough) break;
            } else {
                infeasible = guess;
            }
            if (infeasible - feasible <= 1e-12) break;
            // The error of a short chord grows with the square of its length.
            const double dt = guess - t0;
            double next = error > 0 ? t0 + dt * std::sqrt(goodEnough * 1.0005 / error) : t0 + 2 * dt;
            if (!(next > feasible && next < infeasible)) next = 0.5 * (feasible + infeasible);
            guess = next;
        }
        if (feasible <= t0) feasible = std::min(1.0, t0 + 1e-9);  // no progress is never an option
        if (feasible >= 1) break;
        step = feasible - t0;
        t0 = feasible;
        const Vec v = cubic.at(t0);
        out.push_back({static_cast<float>(v.x), static_cast<float>(v.y)});
    }
    out.push_back(p3);
    return out.size() - before;
}

}  // namespace vantrel
