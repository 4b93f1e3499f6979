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

// At an end, or where the derivative, 3 (a t^2 + b t + c), vanishes.
double cubicMaximum(double c0, double c1, double c2, double c3) {
    double best = std::max(c0, c3);
    // Within the hull of its control values: the common case needs no roots.
    if (c1 <= best && c2 <= best) return best;
    auto consider = [&](double t) {
        if (!(t > 0 && t < 1)) return;
        const double u = 1 - t;
        best = std::max(best, u * u * u * c0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * c3);
    };
    const double a = -c0 + 3 * c1 - 3 * c2 + c3, b = 2 * (c0 - 2 * c1 + c2), c = c1 - c0;
    const double d = b * b - 4 * a * c;
    if (d < 0) return best;
    // The roots in the form that loses no digits when b*b outweighs a*c.
    const double q = -0.5 * (b + std::copysign(std::sqrt(d), b));
    if (a != 0) consider(q / a);
    if (q != 0) consider(c / q);
    return best;
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

// Called for every chord tried: inline in the fitting loop. Not where x87
// arithmetic keeps doubles in wider registers (32-bit builds): there where
// values are spilled decides their rounding, and the chords must not move.
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ == 0
#define PIECE_ERROR_INLINE [[gnu::always_inline]] inline
#else
#define PIECE_ERROR_INLINE
#endif

// Distance of a sub-curve from its chord: the sub-curve starts at q0, its
// control points lie at q0 + v1 and q0 + v2 and it ends at q0 + chord. An
// upper bound is enough while it is within `limit`; past it the value is exact,
// so that no piece is refused that the tolerance allows.
PIECE_ERROR_INLINE double pieceError(Vec v1, Vec v2, Vec chord, double limit) {
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

// The error each chord may have: the tolerance less what storing vertices
// as floats may add.
double chordLimit(PointF p0, PointF p1, PointF p2, PointF p3, double tolerance) {
    double magnitude = 0;
    for (PointF p : {p0, p1, p2, p3})
        magnitude = std::max({magnitude, double(std::fabs(p.x)), double(std::fabs(p.y))});
    const double rounding = magnitude * 0x1p-24 * 1.5;
    return std::max(tolerance * 0.5, tolerance - rounding);
}

// Wang's count: chords of 1 / count in the parameter are always within the
// limit (the second derivative is linear, so its largest size is at an end).
double wangCount(PointF p0, PointF p1, PointF p2, PointF p3, double limit) {
    const Vec d1 = Vec{p0.x, p0.y} - Vec{p1.x, p1.y} * 2 + Vec{p2.x, p2.y};
    const Vec d2 = Vec{p1.x, p1.y} - Vec{p2.x, p2.y} * 2 + Vec{p3.x, p3.y};
    return std::min(MaxChordsPerCubic, std::ceil(std::sqrt(0.75 * std::max(length(d1), length(d2)) / limit)));
}

// One chord from a vertex: its length in the parameter, its error, and the
// point and tangent where it ends.
struct Chord {
    double h = 0;
    double error = 0;
    Vec end{};
    Vec tangent{};
};

// Lays chords one after another from the start, each as long as the limit
// lets it be, and keeps the first ones' ends and errors for rebalancing.
class GreedyChords {
public:
    static constexpr int Kept = 16;

    GreedyChords(const Cubic& cubic, double limit, double safeStep)
        : cubic_(cubic), limit_(limit), safeStep_(safeStep), q0_(cubic.at(0)), v0_(cubic.tangent(0)) {}

    // Appends the inner vertices to `out`; the end point is the caller's.
    void run(std::vector<PointF>& out, std::size_t before) {
        while (true) {
            const Chord chord = next();
            const bool last = chord.h >= 1 - t0_;
            if (chords_ < Kept) {
                ends_[chords_] = last ? 1.0 : t0_ + chord.h;
                errors_[chords_] = chord.error;
            }
            ++chords_;
            if (last) break;
            t0_ += chord.h;
            q0_ = chord.end, v0_ = chord.tangent;
            out.push_back({static_cast<float>(q0_.x), static_cast<float>(q0_.y)});
            if (out.size() - before >= static_cast<std::size_t>(MaxChordsPerCubic)) break;
        }
    }
    int chords() const { return chords_; }
    const double* ends() const { return ends_; }
    const double* errors() const { return errors_; }

private:
    // The next chord's length is guessed from the bend at the vertex (a piece
    // of parameter length h strays about h^2/8 times the sideways part of the
    // second derivative), then checked; a refused guess shrinks by the root of
    // how far it strayed, a timid one grows.
    Chord next() {
        const double remaining = 1 - t0_;
        const Vec bendVector = cubic_.second(t0_);
        const double speed = length(v0_);
        const double bend = speed > 1e-9 ? std::fabs(cross(v0_, bendVector)) / speed : length(bendVector);
        // How the last chord's error compared with its bend's guess: the next
        // one, near by, most likely compares the same.
        double h = bend > 0 ? std::sqrt(8 * Aim * limit_ / (bend * learned_)) : remaining;
        Chord chord = fit(std::min(remaining, std::max(h, safeStep_)));
        if (!(chord.h > 0)) {
            // Guesses that kept missing: Wang's step, which never does.
            chord.h = std::min(remaining, safeStep_);
            const double t1 = chord.h >= remaining ? 1.0 : t0_ + chord.h;
            chord.end = cubic_.at(t1);
            chord.tangent = cubic_.tangent(t1);
            chord.error = limit_;
        }
        if (bend > 0 && chord.error > 0)
            learned_ = std::clamp(8 * chord.error / (bend * chord.h * chord.h), 0.25, 4.0);
        return chord;
    }

    // The longest chord found to fit, starting from the guess `h`; h = 0 when
    // every try missed.
    Chord fit(double h) const {
        const double remaining = 1 - t0_;
        Chord accepted;
        double refusedH = 2;  // the shortest known not to fit
        for (int attempt = 0; attempt < 16; ++attempt) {
            const double t1 = h >= remaining ? 1.0 : t0_ + h;
            const Vec q1 = cubic_.at(t1), v1 = cubic_.tangent(t1);
            const Vec chord = q1 - q0_;
            const double error = pieceError(v0_ * (h / 3), chord - v1 * (h / 3), chord, limit_);
            if (error <= limit_ || h <= safeStep_) {
                accepted = {h, error, q1, v1};
                if (h >= remaining || error >= GoodEnough * limit_) break;
            } else {
                refusedH = h;
            }
            if (refusedH - accepted.h <= 0.01 * accepted.h) break;
            // Chords of a smooth piece stray with the square of their length;
            // where that guess leaves the bracket (a fold, a cusp), halve it.
            double next = error > 0 ? h * std::sqrt(Aim * limit_ / error) : 2 * h;
            if (!(next > accepted.h && next < refusedH))
                next = refusedH > 1 ? 2 * accepted.h : 0.5 * (accepted.h + refusedH);
            h = std::min(remaining, std::max(next, safeStep_));
        }
        return accepted;
    }

    const Cubic& cubic_;
    const double limit_;
    const double safeStep_;
    double t0_ = 0;
    double learned_ = 1;
    Vec q0_, v0_;
    int chords_ = 0;
    double ends_[Kept], errors_[Kept];
};

// A short last chord costs a whole vertex, which matters most when there
// are few (past ten, one more is at most a tenth and the check costs more
// than it saves). Each other chord may grow until it reaches the limit (its
// error growing with the square of its length); when together they would
// cover the curve, share it out among them in that proportion and check.
// The vertices after `before` are replaced when the shared-out chords fit.
void rebalance(const Cubic& cubic, const GreedyChords& greedy, double limit, std::vector<PointF>& out,
               std::size_t before) {
    const int chords = greedy.chords();
    if (chords < 2 || chords > MostRebalanced) return;
    const double* ends = greedy.ends();
    const double* errors = greedy.errors();
    double reach[GreedyChords::Kept];
    double total = 0;
    for (int i = 0; i < chords - 1; ++i) {
        const double h = ends[i] - (i > 0 ? ends[i - 1] : 0);
        reach[i] = errors[i] > 0 ? h * std::sqrt(0.999 * limit / errors[i]) : 2 * h;
        total += reach[i];
    }
    if (total < 1) return;
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
    if (!fits) {
        out.resize(vertices);
        return;
    }
    // The new vertices replace the old ones, one fewer.
    const std::size_t kept = out.size() - vertices;
    std::copy(out.begin() + static_cast<std::ptrdiff_t>(vertices), out.end(),
              out.begin() + static_cast<std::ptrdiff_t>(before));
    out.resize(before + kept);
}

}  // namespace

std::size_t flattenCubic(PointF p0, PointF p1, PointF p2, PointF p3, double tolerance,
                         std::vector<PointF>& out) {
    const std::size_t before = out.size();
    if (!finite(p0) || !finite(p1) || !finite(p2) || !finite(p3) || !(tolerance > 0)) {
        out.push_back(p3);
        return 1;
    }
    const double limit = chordLimit(p0, p1, p2, p3, tolerance);
    // No chord is ever shorter than Wang's step, so none is refused at that length.
    const double wang = wangCount(p0, p1, p2, p3, limit);
    if (!(wang > 1)) {
        out.push_back(p3);
        return 1;
    }
    const Cubic cubic(p0, p1, p2, p3);
    GreedyChords greedy(cubic, limit, 1 / wang);
    greedy.run(out, before);
    rebalance(cubic, greedy, limit, out, before);
    out.push_back(p3);
    return out.size() - before;
}

}  // namespace vantrel
