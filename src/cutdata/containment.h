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

struct Containment {
    // For each figure, the closed figures it lies inside (cut after it) and
    // the figures inside it (cut before it), as ranges of `containers` and
    // `contents`.
    std::vector<std::uint32_t> containerStart, containers;
    std::vector<std::uint32_t> contentStart, contents;
};

Containment containmentOf(const FigureTable& table);

}  // namespace vantrel
