#include "design/dashes.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

struct Point {
    double x, y;
};
Point lerp(Point a, Point b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

// A line (its first two points) or a cubic (all four), with its length in the
// stroke's user units; a cubic's length is tabled along its parameter.
struct Piece {
    Point p[4];
    bool cubic = false;
    double start = 0;   // along the figure
    double length = 0;
    std::vector<double> table;  // cubic: the length up to t = i / CubicSamples
};
constexpr int CubicSamples = 32;

// The cubic's halves at t, by de Casteljau's construction.
void split(const Point* p, double t, Point* left, Point* right) {
    const Point ab = lerp(p[0], p[1], t), bc = lerp(p[1], p[2], t), cd = lerp(p[2], p[3], t);
    const Point abc = lerp(ab, bc, t), bcd = lerp(bc, cd, t), m = lerp(abc, bcd, t);
    if (left) left[0] = p[0], left[1] = ab, left[2] = abc, left[3] = m;
    if (right) right[0] = m, right[1] = bcd, right[2] = cd, right[3] = p[3];
}

class Dasher {
public:
    Dasher(const Path& path, Path& out, std::size_t& steps) : in_(path), out_(out), steps_(steps) {}

    // The dashes of each figure of `stroke`; false when there are too many.
    bool run(const DashedStroke& stroke) {
        stroke_ = &stroke;
        for (std::size_t s = stroke.first; s < stroke.end;) {
            std::size_t e = s + 1;
            while (e < stroke.end && (in_.types[e] & PathPointTypeMask) != PathPointTypeStart) ++e;
            if (!figure(s, e)) return false;
            s = e;
        }
        return true;
    }

private:
    double userLength(Point a, Point b) const {
        const double* m = stroke_->toUser;
        const double dx = b.x - a.x, dy = b.y - a.y;
        return std::hypot(m[0] * dx + m[1] * dy, m[2] * dx + m[3] * dy);
    }
    Point at(std::size_t i) const { return {in_.points[i].x, in_.points[i].y}; }

    void add(Point p0, const Point* rest, bool cubic) {
        Piece piece;
        piece.p[0] = p0;
        std::copy(rest, rest + (cubic ? 3 : 1), piece.p + 1);
        piece.cubic = cubic;
        piece.start = length_;
        if (!cubic) {
            piece.length = userLength(p0, rest[0]);
        } else {
            piece.table.resize(CubicSamples + 1);
            Point last = p0;
            for (int i = 1; i <= CubicSamples; ++i) {
                Point q[4];
                split(piece.p, static_cast<double>(i) / CubicSamples, q, nullptr);
                piece.length += userLength(last, q[3]);
                piece.table[static_cast<std::size_t>(i)] = piece.length;
                last = q[3];
            }
        }
        length_ += piece.length;
        pieces_.push_back(std::move(piece));
    }

    // The parameter of a piece where `along` of its length is behind.
    static double parameter(const Piece& piece, double along) {
        if (!(piece.length > 0)) return 0;
        if (!piece.cubic) return std::clamp(along / piece.length, 0.0, 1.0);
        const auto it = std::lower_bound(piece.table.begin(), piece.table.end(), along);
        if (it == piece.table.begin()) return 0;
        if (it == piece.table.end()) return 1;
        const double i = static_cast<double>(it - piece.table.begin());
        const double below = *(it - 1), above = *it;
        return (i - 1 + (above > below ? (along - below) / (above - below) : 0)) / CubicSamples;
    }

    void emit(Point p, std::uint8_t type) {
        out_.points.push_back({static_cast<float>(p.x), static_cast<float>(p.y)});
        out_.types.push_back(type);
    }

    // The stretch [a, b] of the figure; `begin` starts a new figure for it.
    void stretch(double a, double b, bool begin) {
        for (const Piece& piece : pieces_) {
            const double end = piece.start + piece.length;
            if (end < a || piece.start > b || (end == a && piece.length > 0)) continue;
            const double t0 = parameter(piece, a - piece.start), t1 = parameter(piece, b - piece.start);
            if (!piece.cubic) {
                if (begin) emit(lerp(piece.p[0], piece.p[1], t0), PathPointTypeStart);
                emit(lerp(piece.p[0], piece.p[1], t1), PathPointTypeLine);
            } else {
                // Up to t1, then of that the part from t0 (t0 / t1 of the way along it).
                Point upTo[4], part[4];
                split(piece.p, t1, upTo, nullptr);
                if (t0 > 0 && t1 > 0) split(upTo, t0 / t1, nullptr, part);
                else std::copy(upTo, upTo + 4, part);
                if (begin) emit(part[0], PathPointTypeStart);
                for (int i = 1; i < 4; ++i) emit(part[i], PathPointTypeBezier);
            }
            begin = false;
            if (end >= b) break;
        }
    }

    bool figure(std::size_t s, std::size_t e) {
        pieces_.clear();
        length_ = 0;
        Point current = at(s);
        for (std::size_t i = s + 1; i < e;) {
            if ((in_.types[i] & PathPointTypeMask) == PathPointTypeBezier && i + 2 < e) {
                const Point rest[3] = {at(i), at(i + 1), at(i + 2)};
                add(current, rest, true);
                current = rest[2];
                i += 3;
            } else {
                const Point rest[1] = {at(i)};
                add(current, rest, false);
                current = rest[0];
                ++i;
            }
        }
        const bool closed = (in_.types[e - 1] & PathPointTypeCloseSubpath) != 0;
        // A closed figure's pattern runs round it, back to where it began.
        if (closed && (current.x != at(s).x || current.y != at(s).y)) {
            const Point start[1] = {at(s)};
            add(current, start, false);
        }
        // Where the pattern stands at the figure's start.
        const std::vector<double>& pattern = stroke_->pattern;
        std::size_t index = 0;
        double into = stroke_->offset;
        for (std::size_t n = 0; n < pattern.size() && into >= pattern[index]; ++n) {
            into -= pattern[index];
            index = (index + 1) % pattern.size();
        }
        double left = std::max(0.0, pattern[index] - into);
        std::vector<std::pair<double, double>> dashes;
        for (double along = 0; along < length_;) {
            if (++steps_ > MaxDashSteps) return false;
            // A dash of no length cuts nothing.
            if (index % 2 == 0 && left > 0) dashes.emplace_back(along, std::min(along + left, length_));
            along += left;
            index = (index + 1) % pattern.size();
            left = pattern[index];
        }
        if (dashes.empty()) return true;
        if (dashes.size() == 1 && dashes[0].first == 0 && dashes[0].second >= length_) {
            // All dash: the figure as it was.
            out_.points.insert(out_.points.end(), in_.points.begin() + static_cast<std::ptrdiff_t>(s),
                               in_.points.begin() + static_cast<std::ptrdiff_t>(e));
            out_.types.insert(out_.types.end(), in_.types.begin() + static_cast<std::ptrdiff_t>(s),
                              in_.types.begin() + static_cast<std::ptrdiff_t>(e));
            return true;
        }
        std::size_t from = 0, to = dashes.size();
        // The dash over a closed figure's start is one cut, not two.
        if (closed && dashes.size() > 1 && dashes.front().first == 0 && dashes.back().second >= length_) {
            stretch(dashes.back().first, length_, true);
            stretch(0, dashes.front().second, false);
            ++from;
            --to;
        }
        for (std::size_t i = from; i < to; ++i) stretch(dashes[i].first, dashes[i].second, true);
        return true;
    }

    const Path& in_;
    Path& out_;
    std::size_t& steps_;
    const DashedStroke* stroke_ = nullptr;
    std::vector<Piece> pieces_;
    double length_ = 0;
};

}  // namespace

bool applyDashes(Path& path, const std::vector<DashedStroke>& strokes, DashMode mode, std::string& error) {
    if (mode == DashMode::Solid || strokes.empty()) return true;
    Path out;
    std::size_t copied = 0, steps = 0;
    Dasher dasher(path, out, steps);
    const auto copy = [&](std::size_t end) {
        out.points.insert(out.points.end(), path.points.begin() + static_cast<std::ptrdiff_t>(copied),
                          path.points.begin() + static_cast<std::ptrdiff_t>(end));
        out.types.insert(out.types.end(), path.types.begin() + static_cast<std::ptrdiff_t>(copied),
                         path.types.begin() + static_cast<std::ptrdiff_t>(end));
    };
    for (const DashedStroke& stroke : strokes) {
        copy(stroke.first);
        copied = stroke.end;
        if (mode == DashMode::Perforate && !dasher.run(stroke)) {
            error = "the dash patterns make more than " + std::to_string(MaxDashSteps) +
                    " dashes and gaps: cut the dashed lines solid or leave them out (--dashes)";
            return false;
        }
    }
    copy(path.points.size());
    path = std::move(out);
    return true;
}

}  // namespace vantrel
