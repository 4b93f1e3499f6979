#pragma once
// Which figures of a prepared step path lie inside which closed figures, for
// the inside-out order. Internal to the cut order.
//
// B lies inside A when A is closed, encloses a larger area, and every point of
// B (its flattened outline, at most 32 points spread along it) is inside A or
// on A's outline, at least one strictly inside. "On" is within 2 steps, so a
// figure that touches its container from inside is still inside it, and two
// figures side by side that share an edge are inside neither. Curves are
// flattened to 1 step for this.
#include <cstdint>
#include <vector>

#include "cutdata/order_figures.h"

namespace vantrel {

// Containment as a forest: each figure's nearest container (the closed
// figure of least area it lies inside), which is all the order needs, since a
// figure cut before its nearest container is cut before every container of
// that one in turn. Found without holding any pair: time O(n log n) and
// memory O(n) in the figures, beside their flattened outlines.
struct Containment {
    static constexpr std::uint32_t None = 0xFFFFFFFFu;
    std::vector<std::uint32_t> parent;                // by figure: its nearest container, or None
    std::vector<std::uint32_t> childStart, children;  // by figure: those it is the nearest container of
    // By figure: how many figures it lies inside, and how many lie inside it,
    // in all (what a check of the order against the rule would walk).
    std::vector<std::uint32_t> depth, descendants;
};

Containment containmentOf(const FigureTable& table);

}  // namespace vantrel
