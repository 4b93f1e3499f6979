#pragma once
// What decides whether an element of an SVG document is drawn: its style's
// display, visibility, fill and stroke, its name and its conditions.
#include <string_view>

#include "design/svg_geometry.h"

namespace vantrel::svg {

// Presentation attributes and the `style` attribute's declarations that
// decide whether an element is drawn. Other properties do not change a cut.
struct Style {
    bool displayNone = false;
    bool hidden = false;      // visibility; inherited
    bool fillNone = false;    // inherited
    bool strokeNone = true;   // inherited
    std::string_view dashArray;   // stroke-dasharray as written; inherited
    std::string_view dashOffset;  // stroke-dashoffset; inherited
};

Style styleOf(const Element& e, const Style& parent);

// The name without its prefix ("svg:path" is "path").
std::string_view localName(std::string_view qualified);

// What holds no drawing of its own, or is drawn only through `use`.
bool isNeverDrawn(std::string_view name);

// The conditional attributes, answered as a viewer answers them: it supports
// no extension (and an empty list names none); requiredFeatures is not asked
// any more (viewers dropped it and pass it); systemLanguage passes when one
// of its tags names the user's `language`.
bool conditionsPass(const Element& e, std::string_view language);

}  // namespace vantrel::svg
