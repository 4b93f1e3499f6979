#pragma once
// The figures of a prepared step path as the cut order sees them: where each
// may be entered and where it is then left. Internal to the cut order.
#include <cmath>
#include <cstdint>
#include <vector>

#include "cutdata/step_path.h"

namespace vantrel {

struct OrderPoint {
    double x = 0;  // along the feed (steps)
    double y = 0;  // along the carriage
};

inline double distance(OrderPoint a, OrderPoint b) {
    const double dx = a.x - b.x, dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

struct OrderFigure {
    std::uint32_t begin = 0, end = 0;             // its points in the step path
    std::uint32_t firstEntry = 0, entryCount = 0;  // where it may be entered (FigureTable::entries)
    // Closed and ending exactly where it starts: it may start at any end point
    // of its segments and is left where it was entered. A single point is one too.
    bool loop = false;
    bool closed = false;
    // Open: may be cut from its last point back to its first.
    bool reversible = false;
};

struct FigureTable {
    const StepPath* steps = nullptr;
    std::vector<OrderFigure> figures;
    // Step indices: for a loop every end point of a segment (its closing
    // point, a repeat of the first, left out); for an open figure its first
    // point, and its last when it may be reversed.
    std::vector<std::uint32_t> entries;

    OrderPoint at(std::uint32_t step) const {
        const StepPoint p = steps->points[step];
        return {static_cast<double>(p.x), static_cast<double>(p.y)};
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(figures.size()); }
};

// `reverseOpen`: open figures may be cut backwards.
FigureTable figureTableOf(const StepPath& steps, bool reverseOpen);

// How each figure is cut: for a loop the step index it starts at; for an open
// figure whether it runs backwards.
struct FigureVisit {
    std::uint32_t entry = 0;
    bool reversed = false;
};

inline OrderPoint entryPoint(const FigureTable& t, std::uint32_t f, const FigureVisit& v) {
    const OrderFigure& g = t.figures[f];
    if (g.loop) return t.at(v.entry);
    return t.at(v.reversed ? g.end - 1 : g.begin);
}

inline OrderPoint exitPoint(const FigureTable& t, std::uint32_t f, const FigureVisit& v) {
    const OrderFigure& g = t.figures[f];
    if (g.loop) return t.at(v.entry);
    return t.at(v.reversed ? g.begin : g.end - 1);
}

// Pen-up travel of visiting `order` from the origin and back to it.
double tourTravel(const FigureTable& t, const std::vector<std::uint32_t>& order, const std::vector<FigureVisit>& visits);

}  // namespace vantrel
