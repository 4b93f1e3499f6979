#pragma once
// The shapes of an SVG document and the path grammar of its `d` attributes,
// drawn with the pen.
#include <string_view>

#include "design/svg_pen.h"
#include "design/svg_values.h"

namespace vantrel::svg {

// Draws a path, rect, circle, ellipse, line, polyline or polygon through
// `ctm`; its lengths are user units, percentages of `viewport`.
void drawShape(const Element& e, std::string_view name, const Affine& ctm, const Viewport& viewport, SvgPen& pen);

// The path grammar (commands, implicit repeats, smooth controls, arcs) of `d`.
void drawPathData(const Attribute& d, SvgPen& pen);

}  // namespace vantrel::svg
