#pragma once
// A stroke's dash pattern as SVG reads it, noted for the shape just drawn.
#include <cstddef>
#include <vector>

#include "design/dashes.h"
#include "design/svg_style.h"
#include "design/svg_values.h"

namespace vantrel::svg {

// Notes the shape drawn into points [first, end) when `style` strokes it
// with a dash pattern: its lengths and offset in user units (percentages of
// the viewport's normalised diagonal), an odd count repeated to be even. A
// pattern SVG renders solid (none, a negative or faulty value, all zero) is
// not noted, nor is a shape whose transform flattens it.
void noteDashedStroke(std::vector<DashedStroke>& dashed, const Style& style, const Affine& ctm,
                      const Viewport& viewport, std::size_t first, std::size_t end);

}  // namespace vantrel::svg
