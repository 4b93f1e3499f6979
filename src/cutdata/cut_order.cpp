#include "cutdata/cut_order.h"

#include <optional>

#include "cutdata/containment.h"
#include "cutdata/order_figures.h"
#include "cutdata/step_text.h"
#include "cutdata/tour_search.h"

namespace vantrel {
namespace {

bool sameStep(StepPoint a, StepPoint b) { return a.x == b.x && a.y == b.y; }

// Appends the end point of every segment of [begin, end) but the last.
void addSegmentEnds(const StepPath& steps, std::uint32_t begin, std::uint32_t end, std::vector<std::uint32_t>& out) {
    for (std::uint32_t i = begin + 1; i < end;) {
        const std::uint32_t last = bezierGroupAt(steps.types.data(), i, end) ? i + 2 : i;
        if (last + 1 < end) out.push_back(last);
        i = last + 1;
    }
}

// Writes figure `g` as visited by `visit` at `out`.
void writeFigure(const StepPath& from, const OrderFigure& g, const FigureVisit& visit, StepPath& to, std::size_t out) {
    const std::uint32_t count = g.end - g.begin;
    if (g.loop && visit.entry != g.begin) {
        // Round from the entry: the rest of the figure, its closing point (a
        // repeat of the first), then the segments up to the entry again.
        const std::uint32_t k = visit.entry;
        to.points[out] = from.points[k];
        to.types[out++] = PathPointTypeStart;
        for (std::uint32_t i = k + 1; i < g.end; ++i, ++out) {
            to.points[out] = from.points[i];
            to.types[out] = static_cast<std::uint8_t>(from.types[i] & ~PathPointTypeCloseSubpath);
        }
        for (std::uint32_t i = g.begin + 1; i <= k; ++i, ++out) {
            to.points[out] = from.points[i];
            to.types[out] = from.types[i];
        }
        to.types[out - 1] |= PathPointTypeCloseSubpath;
        return;
    }
    if (!g.loop && visit.reversed) {
        // Point j backwards is point count - 1 - j; the segment ending there
        // is the one that began there, of the same kind (a curve's two
        // control points swap places with the points).
        for (std::uint32_t j = 0; j < count; ++j) {
            to.points[out + j] = from.points[g.end - 1 - j];
            to.types[out + j] = j == 0 ? static_cast<std::uint8_t>(PathPointTypeStart)
                                       : static_cast<std::uint8_t>(from.types[g.begin + count - j] & PathPointTypeMask);
        }
        return;
    }
    for (std::uint32_t i = g.begin; i < g.end; ++i, ++out) {
        to.points[out] = from.points[i];
        to.types[out] = from.types[i];
    }
}

// The curve form's length of one pass, as toClosedSteps counts it.
std::size_t curvePassLengthOf(const StepPath& steps) {
    std::size_t length = 0;
    int previous = 0, bezierIndex = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const int pair = pairLength(steps.points[i]);
        if ((steps.types[i] & PathPointTypeMask) == PathPointTypeBezier) {
            length += (bezierIndex == 0 ? 5 + previous : 0) + 1 + pair;
            bezierIndex = (bezierIndex + 1) % 3;
        } else {
            length += 2 + pair;
            bezierIndex = 0;
        }
        previous = pair;
    }
    return length;
}

void applyTour(StepPath& steps, const FigureTable& table, const Tour& tour) {
    StepPath ordered;
    ordered.points.resize(steps.size());
    ordered.types.resize(steps.size());
    std::size_t out = 0;
    for (std::uint32_t f : tour.order) {
        const OrderFigure& g = table.figures[f];
        writeFigure(steps, g, tour.visits[f], ordered, out);
        out += g.end - g.begin;
    }
    ordered.curvePassLength = curvePassLengthOf(ordered);
    steps = std::move(ordered);
}

}  // namespace

FigureTable figureTableOf(const StepPath& steps, bool reverseOpen) {
    FigureTable table;
    table.steps = &steps;
    const std::uint32_t n = static_cast<std::uint32_t>(steps.size());
    for (std::uint32_t begin = 0; begin < n;) {
        std::uint32_t end = begin + 1;
        while (end < n && (steps.types[end] & PathPointTypeMask) != PathPointTypeStart) ++end;
        OrderFigure g;
        g.begin = begin;
        g.end = end;
        g.closed = (steps.types[end - 1] & PathPointTypeCloseSubpath) != 0;
        // A closed figure whose closing point rounded a step away from its
        // first keeps its start: started elsewhere it would jump that step.
        g.loop = end - begin == 1 || (g.closed && sameStep(steps.points[begin], steps.points[end - 1]));
        g.reversible = !g.closed && reverseOpen;
        g.firstEntry = static_cast<std::uint32_t>(table.entries.size());
        table.entries.push_back(begin);
        if (g.loop) addSegmentEnds(steps, begin, end, table.entries);
        else if (g.reversible) table.entries.push_back(end - 1);
        g.entryCount = static_cast<std::uint32_t>(table.entries.size()) - g.firstEntry;
        table.figures.push_back(g);
        begin = end;
    }
    return table;
}

void orderFigures(StepPath& steps, CutOrder order) {
    if (order == CutOrder::Drawing || steps.size() == 0) return;
    const FigureTable table = figureTableOf(steps, order == CutOrder::Travel);
    std::optional<Containment> containment;
    if (order == CutOrder::InsideOut) containment = containmentOf(table);
    const Containment* rule = containment ? &*containment : nullptr;
    Tour tour = greedyTour(table, rule);
    improveTour(table, rule, tour);
    const Tour drawing = drawingTour(table);
    const bool drawingAllowed = !rule || keepsContainment(drawing, *rule);
    if (drawingAllowed && !(tourTravel(table, tour.order, tour.visits) < tourTravel(table, drawing.order, drawing.visits)))
        return;
    applyTour(steps, table, tour);
}

void orderFiguresGreedy(StepPath& steps) {
    const FigureTable table = figureTableOf(steps, true);
    applyTour(steps, table, greedyTour(table, nullptr));
}

double penUpTravel(const StepPath& steps, int passCount) {
    const FigureTable table = figureTableOf(steps, false);
    const Tour drawing = drawingTour(table);
    double travel = tourTravel(table, drawing.order, drawing.visits);
    for (const OrderFigure& g : table.figures)
        if (!g.closed) travel += (passCount - 1) * distance(table.at(g.begin), table.at(g.end - 1));
    return travel;
}

}  // namespace vantrel
