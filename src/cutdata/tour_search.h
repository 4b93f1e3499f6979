#pragma once
// The search for a short pen-up tour through the figures: a greedy first tour,
// then local improvement. Deterministic: the same figures give the same tour,
// on any machine and however loaded (the improvement stops after an amount of
// work set by the number of figures, never after a time). Internal to the cut
// order.
#include <cstdint>
#include <vector>

#include "cutdata/containment.h"
#include "cutdata/order_figures.h"

namespace vantrel {

struct Tour {
    std::vector<std::uint32_t> order;    // figures, in cutting order
    std::vector<FigureVisit> visits;     // by figure
};

// The figures as the drawing lists them, each entered at its first point.
Tour drawingTour(const FigureTable& table);

// From the origin, always to the nearest entry of any figure left; a loop is
// left where it was entered. With `containment`, a figure becomes a choice only
// once every figure inside it is cut.
Tour greedyTour(const FigureTable& table, const Containment* containment);

// Shortens `tour`: 2-opt and Or-opt moves (segments of up to three figures,
// either way round) towards each figure's nearest neighbours, and every loop's
// entry chosen again between its new neighbours, in rounds. A move never
// lengthens the tour, never reverses a figure that may not be reversed and,
// with `containment`, never puts a figure after one it lies inside.
void improveTour(const FigureTable& table, const Containment* containment, Tour& tour);

// Whether `tour` cuts every figure before each one it lies inside.
bool keepsContainment(const Tour& tour, const Containment& containment);

}  // namespace vantrel
