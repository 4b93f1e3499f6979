#pragma once
// The order of a job's figures (CutOrder), chosen on the prepared path in
// whole steps, so that the travel it shortens is the machine's own.
//
// Only the order of the figures changes, and where a closed figure starts: it
// may start at any end point of one of its segments and cuts the very same
// segments, in the same direction, round to where it started. An open figure
// is cut backwards only for Travel (its segments, curves too, run from its last
// point to its first). Passes, curves, flattening, placement and the header
// are untouched: each figure is written as before, where it now stands.
//
// Travel: a greedy tour from the origin (always the nearest entry of any
// figure left), improved by 2-opt and Or-opt moves and by choosing every
// closed figure's start again against its new neighbours (tour_search.h).
// InsideOut: the same under the rule that no figure is cut before a figure
// that lies inside it (containment.h), so a piece is cut free only after its
// holes. Either keeps the drawing's order when that travels no farther (for
// InsideOut, when it also keeps the rule). Deterministic; time O(n log n) and
// memory linear in the figures and their points.
#include "cutdata/cut_job.h"
#include "cutdata/step_path.h"

namespace vantrel {

// Reorders `steps` (and sets its curvePassLength again); Drawing leaves it as it is.
void orderFigures(StepPath& steps, CutOrder order);

// The plain greedy order alone, with open figures reversible: what the
// benchmark measures the others against.
void orderFiguresGreedy(StepPath& steps);

// Pen-up travel, in steps, of cutting `steps` with `passCount` passes: from
// the origin, between figures, back to the start of an open figure for each
// further pass, and home at the end.
double penUpTravel(const StepPath& steps, int passCount);

}  // namespace vantrel
