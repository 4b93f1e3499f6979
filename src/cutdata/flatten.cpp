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
// Coordinates stay far below the square root of the largest double: no need for hypot's care.
double length(Vec a) { return std::sqrt(a.x * a.x + a.y * a.y); }

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

// The cubic in power form, for evaluation of points and derivatives at any t.
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
    Vec second(double t) const { return c3_ * (6 * t) + c2_ * 2; }

private:
    Vec c3_, c2_, c1_, c0_;
};

double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

// Distance of a sub-curve from its chord: the sub-curve starts at q0, its
// control points lie at q0 + v1 and q0 + v2 and it ends at q0 + chord. An
// upper bound is enough while it is within `limit`; past it the value is exact,
// so that no piece is refused that the tolerance allows.
double pieceError(Vec v1, Vec v2, Vec chord, double limit) {
    const double chordLength = length(chord);
    if (!(chordLength > 1e-9)) {
        // The sub-curve comes back to its start: it lies inside the hull of
        // its control points, hence within this radius of q0.
        return std::max({length(v1), length(v2), chordLength});
    }
    const Vec along = chord * (1 / chordLength);
    const double c = dot(along, v1), e = dot(along, v2);
    const double w1 = cross(along, v1), w2 = cross(along, v2);
    const bool withinChord = c >= 0 && c <= chordLength && e >= 0 && e <= chordLength;
    // Sideways the sub-curve is 3st(s w1 + t w2) with s = 1 - t. Of one sign,
    // that is at most 3st max(|w1|, |w2|) <= 3/4 max (exact when w1 = w2, as on
    // a piece of a circle) and at most 4/9 (|w1| + |w2|), the two terms' peaks;
    // of opposite signs the terms cancel and the larger peak, 4/9 max, bounds it.
    if (withinChord) {
        const double a = std::fabs(w1), b = std::fabs(w2), larger = std::max(a, b);
        const double bound =
            (w1 >= 0) == (w2 >= 0) ? std::min(0.75 * larger, (4.0 / 9.0) * (a + b)) : (4.0 / 9.0) * larger;
        if (bound <= limit) return bound;
    }
    // Exact: the sideways extremes, and how far the ends of the sub-curve
    // reach beyond the chord's ends (roots of the derivative of each cubic).
    const Range offset = bernsteinRange(w1, w2, 0);
    const double sideways = std::max(-offset.min, offset.max);
    if (withinChord) return sideways;
    const Range reach = bernsteinRange(c, e, chordLength);
    const double overshoot = std::max({0.0, -reach.min, reach.max - chordLength});
    return overshoot == 0 ? sideways : std::hypot(sideways, overshoot);
}

bool finite(PointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// A cubic needing more chords than this is degenerate beyond use; it is cut
// into this many chords all the same rather than running without bound.
constexpr double MaxChordsPerCubic = double(std::size_t{1} << 22);

// Each chord aims at this share of the limit: long enough that the count
// stays near the least, short enough that a guess is seldom refused.
constexpr double Aim = 0.93;
// A chord that uses this share of the limit is long enough to keep.
constexpr double GoodEnough = 0.8;
// Curves of at most this many chords try to do with one fewer.
constexpr int MostRebalanced = 10;

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

    // Wang's step: a chord this long in the parameter is always within the
    // limit (the second derivative is linear, so its largest size is at an
    // end). No chord is ever shorter, so none is refused at this length.
    const Vec d1 = Vec{p0.x, p0.y} - Vec{p1.x, p1.y} * 2 + Vec{p2.x, p2.y};
    const Vec d2 = Vec{p1.x, p1.y} - Vec{p2.x, p2.y} * 2 + Vec{p3.x, p3.y};
    const double wang = std::min(MaxChordsPerCubic, std::ceil(std::sqrt(0.75 * std::max(length(d1), length(d2)) / limit)));
    if (!(wang > 1)) {
        out.push_back(p3);
        return 1;
    }
    const double safeStep = 1 / wang;

    // Greedy chords: from each vertex the next chord's length is guessed from
    // the bend there (a piece of parameter length h strays about h^2/8 times
    // the sideways part of the second derivative), then checked; a refused
    // guess shrinks by the root of how far it strayed, a timid one grows.
    // The first chords' ends and errors are kept for the rebalancing below.
    constexpr int Kept = 16;
    double ends[Kept], errors[Kept];
    int chords = 0;
    double t0 = 0, learned = 1;
    Vec q0 = cubic.at(0), v0 = cubic.tangent(0);
    while (true) {
        const double remaining = 1 - t0;
        const Vec bendVector = cubic.second(t0);
        const double speed = length(v0);
        const double bend = speed > 1e-9 ? std::fabs(cross(v0, bendVector)) / speed : length(bendVector);
        // How the last chord's error compared with its bend's guess: the next
        // one, near by, most likely compares the same.
        double h = bend > 0 ? std::sqrt(8 * Aim * limit / (bend * learned)) : remaining;
        h = std::min(remaining, std::max(h, safeStep));
        // The longest chord known to fit and the shortest known not to.
        double acceptedH = 0, acceptedError = 0, refusedH = 2;
        Vec accepted{}, acceptedTangent{};
        for (int attempt = 0; attempt < 16; ++attempt) {
            const double t1 = h >= remaining ? 1.0 : t0 + h;
            const Vec q1 = cubic.at(t1), v1 = cubic.tangent(t1);
            const Vec chord = q1 - q0;
            const double error = pieceError(v0 * (h / 3), chord - v1 * (h / 3), chord, limit);
            if (error <= limit || h <= safeStep) {
                acceptedH = h, acceptedError = error, accepted = q1, acceptedTangent = v1;
                if (h >= remaining || error >= GoodEnough * limit) break;
            } else {
                refusedH = h;
            }
            if (refusedH - acceptedH <= 0.01 * acceptedH) break;
            // Chords of a smooth piece stray with the square of their length;
            // where that guess leaves the bracket (a fold, a cusp), halve it.
            double next = error > 0 ? h * std::sqrt(Aim * limit / error) : 2 * h;
            if (!(next > acceptedH && next < refusedH)) next = refusedH > 1 ? 2 * acceptedH : 0.5 * (acceptedH + refusedH);
            h = std::min(remaining, std::max(next, safeStep));
        }
        if (!(acceptedH > 0)) {
            // Guesses that kept missing: Wang's step, which never does.
            acceptedH = std::min(remaining, safeStep);
            accepted = cubic.at(acceptedH >= remaining ? 1.0 : t0 + acceptedH);
            acceptedTangent = cubic.tangent(acceptedH >= remaining ? 1.0 : t0 + acceptedH);
            acceptedError = limit;
        }
        if (bend > 0 && acceptedError > 0)
            learned = std::clamp(8 * acceptedError / (bend * acceptedH * acceptedH), 0.25, 4.0);
        const bool last = acceptedH >= remaining;
        if (chords < Kept) {
            ends[chords] = last ? 1.0 : t0 + acceptedH;
            errors[chords] = acceptedError;
        }
        ++chords;
        if (last) break;
        t0 += acceptedH;
        q0 = accepted, v0 = acceptedTangent;
        out.push_back({static_cast<float>(q0.x), static_cast<float>(q0.y)});
        if (out.size() - before >= static_cast<std::size_t>(MaxChordsPerCubic)) break;
    }

    // A short last chord costs a whole vertex, which matters most when there
    // are few (past ten, one more is at most a tenth and the check costs more
    // than it saves). Each other chord may grow until it reaches the limit (its error
    // growing with the square of its length); when together they would cover
    // the curve, share it out among them in that proportion and check.
    if (chords >= 2 && chords <= MostRebalanced) {
        double reach[Kept];
        double total = 0;
        for (int i = 0; i < chords - 1; ++i) {
            const double h = ends[i] - (i > 0 ? ends[i - 1] : 0);
            reach[i] = errors[i] > 0 ? h * std::sqrt(0.999 * limit / errors[i]) : 2 * h;
            total += reach[i];
        }
        if (total >= 1) {
            const std::size_t vertices = out.size();
            double t = 0;
            Vec q = cubic.at(0), v = cubic.tangent(0);
            bool fits = true;
            for (int i = 0; i < chords - 1 && fits; ++i) {
                const bool final = i == chords - 2;
                const double t1 = final ? 1.0 : t + reach[i] / total;
                const double h = t1 - t;
                const Vec q1 = cubic.at(t1), v1 = cubic.tangent(t1);
                const Vec chord = q1 - q;
                fits = pieceError(v * (h / 3), chord - v1 * (h / 3), chord, limit) <= limit;
                if (!final) out.push_back({static_cast<float>(q1.x), static_cast<float>(q1.y)});
                t = t1, q = q1, v = v1;
            }
            if (fits) {
                // The new vertices replace the old ones, one fewer.
                const std::size_t kept = out.size() - vertices;
                std::copy(out.begin() + static_cast<std::ptrdiff_t>(vertices), out.end(),
                          out.begin() + static_cast<std::ptrdiff_t>(before));
                out.resize(before + kept);
            } else {
                out.resize(vertices);
            }
        }
    }
    out.push_back(p3);
    return out.size() - before;
}

}  // namespace vantrel
