#include "cutdata/step_path.h"

#include <algorithm>

#include "cutdata/cut_stream.h"
#include "cutdata/flatten.h"
#include "cutdata/step_text.h"

namespace vantrel {

namespace {

StepPoint roundedStep(PointF p) {
    return {static_cast<std::int32_t>(roundHalfAwayFromZero(p.y)), static_cast<std::int32_t>(roundHalfAwayFromZero(p.x))};
}

}  // namespace

bool toClosedSteps(const Path& path, StepPlacement place, StepPath& steps) {
    std::size_t capacity = std::min(path.points.size(), path.types.size());
    for (std::uint8_t type : path.types) capacity += (type & PathPointTypeCloseSubpath) != 0;
    steps.points.resize(capacity);
    steps.types.resize(capacity);
    StepPoint* points = steps.points.data();
    std::uint8_t* types = steps.types.data();
    std::size_t n = 0, passLength = 0;
    int previousLength = 0, bezierIndex = 0;
    bool fits = true;
    visitClosedFigures(path, place, [&](PointF p, std::uint8_t type) {
        fits = fits && fitsSteps(p.x) && fitsSteps(p.y);
        const StepPoint step = fits ? roundedStep(p) : StepPoint{};
        points[n] = step;
        types[n] = type;
        ++n;
        const int length = pairLength(step);
        if ((type & PathPointTypeMask) == PathPointTypeBezier) {
            // "|BZ1," and the start pair before the first of three; "," before each.
            passLength += (bezierIndex == 0 ? 5 + previousLength : 0) + 1 + length;
            bezierIndex = (bezierIndex + 1) % 3;
        } else {
            passLength += 2 + length;  // "|M" or "|D", then the pair
            bezierIndex = 0;
        }
        previousLength = length;
    });
    steps.points.resize(n);
    steps.types.resize(n);
    steps.curvePassLength = passLength;
    return fits;
}

void toFlatClosedSteps(const Path& path, StepPlacement place, double tolerance, StepPath& steps,
                       RectF* bounds, FlatFigureTaker* figures) {
    if (!figures) {
        steps.points.reserve(path.points.size() + path.points.size() / 2);
        steps.types.reserve(path.points.size() + path.points.size() / 2);
    }
    Path figure;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    forEachFigure(path, [&](const FigureView& source) {
        figure.points.clear();
        figure.types.clear();
        const std::size_t count = source.points.size();
        PointF current{};
        for (std::size_t i = 0; i < count;) {
            if (!bezierGroupAt(source.types.data(), i, count)) {
                current = place(source.points[i]);
                figure.points.push_back(current);
                figure.types.push_back(source.types[i]);
                ++i;
                continue;
            }
            const PointF end = place(source.points[i + 2]);
            flattenCubic(current, place(source.points[i]), place(source.points[i + 1]), end, tolerance, figure.points);
            figure.types.resize(figure.points.size(), PathPointTypeLine);
            figure.types.back() = static_cast<std::uint8_t>((source.types[i + 2] & ~PathPointTypeMask) | PathPointTypeLine);
            current = end;
            i += 3;
        }
        // Written in place: a closed figure gains at most its start point again.
        const std::size_t at = steps.points.size();
        steps.points.resize(at + figure.points.size() + 1);
        steps.types.resize(at + figure.points.size() + 1);
        StepPoint* points = steps.points.data() + at;
        std::uint8_t* types = steps.types.data() + at;
        std::size_t n = 0;
        visitClosedFigures(figure, [](PointF p) { return p; }, [&](PointF p, std::uint8_t type) {
            // The closing point repeats the start: the bounds are those of the figure's points.
            if (bounds) {
                if (!any) {
                    minX = maxX = p.x, minY = maxY = p.y;
                    any = true;
                }
                minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
                minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
            }
            points[n] = roundedStep(p);
            types[n] = type;
            ++n;
        });
        steps.points.resize(at + n);
        steps.types.resize(at + n);
        if (figures) {
            figures->take(steps);
            steps.points.clear();
            steps.types.clear();
        }
    });
    if (bounds) *bounds = {minX, minY, maxX - minX, maxY - minY};
}

StepReach reachOf(const StepPath& steps) {
    StepReach reach;
    const StepPoint* points = steps.points.data();
    const std::uint8_t* types = steps.types.data();
    const std::size_t n = steps.size();
    auto touch = [&](StepPoint p) {
        reach.y = std::max(reach.y, static_cast<double>(p.y));
        reach.x = std::max(reach.x, static_cast<double>(p.x));
    };
    // Figures as the body writer walks them: a curve is a Bézier point with
    // its two followers inside the figure, after the figure's first point.
    for (std::size_t begin = 0; begin < n;) {
        std::size_t end = begin + 1;
        while (end < n && (types[end] & PathPointTypeMask) != PathPointTypeStart) ++end;
        if (end - begin < 2) {
            begin = end;  // a lone move: the tool is never lowered there
            continue;
        }
        touch(points[begin]);
        for (std::size_t i = begin + 1; i < end;) {
            if ((types[i] & PathPointTypeMask) == PathPointTypeBezier && i + 2 < end) {
                const StepPoint p0 = points[i - 1], p1 = points[i], p2 = points[i + 1], p3 = points[i + 2];
                touch(p3);
                // A curve lies within its control points: only one whose
                // controls pass the reach so far can take it farther.
                if (std::max(p1.y, p2.y) > reach.y) reach.y = std::max(reach.y, cubicMaximum(p0.y, p1.y, p2.y, p3.y));
                if (std::max(p1.x, p2.x) > reach.x) reach.x = std::max(reach.x, cubicMaximum(p0.x, p1.x, p2.x, p3.x));
                i += 3;
                continue;
            }
            touch(points[i]);
            ++i;
        }
        begin = end;
    }
    return reach;
}

}  // namespace vantrel
