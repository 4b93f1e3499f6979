#pragma once
// SVG documents as cuttable geometry. The XML library of each platform reads
// the document into the small element tree below (pugixml natively, XmlLite on
// Windows); everything that gives the drawing its shape is here, in portable
// code: the path grammar with arcs, shapes, transforms, units, the viewBox,
// `use`, and what is not drawn.
//
// The design is SVG user space in inches: SVG x is the design's x (along the
// media feed), SVG y is the design's y (along the carriage), as in our path
// data files. A px is 1/96 inch; a document without width and height is read
// at 96 user units per inch.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "design/design_file.h"
#include "design/pen.h"

namespace vantrel::svg {

struct Attribute {
    std::string_view name;   // qualified, as written ("xlink:href")
    std::string_view value;  // entities resolved
    int line = 0;            // where the value starts, 1-based; columns count characters
    int column = 0;
};

struct Element {
    std::string_view name;   // qualified, as written ("svg:path", "sodipodi:namedview")
    std::vector<Attribute> attributes;
    std::vector<Element> children;
    int line = 0;
    int column = 0;

    const Attribute* find(std::string_view attributeName) const;
};

// Largest number of points a document may make: `use` can multiply a small
// file into an endless one. Within it, time grows with the points made (about
// a second at the cap in a release build); a fuzzing build, whose sanitizers
// make each point some ten times dearer, caps lower so that the cap is met
// well within its time-out, through the same code.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t MaxSvgPoints = 1'000'000;
#else
inline constexpr std::size_t MaxSvgPoints = 20'000'000;
#endif

// Deeper nesting of elements is refused by the readers, and a deeper walk
// (counting what `use` draws) by buildSvgDesign, so that no recursion runs
// out of stack: not even a thread's 1 MB.
inline constexpr int MaxSvgDepth = 200;

// The path of the document whose root element is `root`, and what was left
// out (`DesignParseResult::leftOut`). Faults are refused with the line and
// column of the value at fault. `language` is the user's (a tag such as
// "en-US"), against which `systemLanguage` conditions are answered.
DesignParseResult buildSvgDesign(const Element& root, std::string_view language);

// The language tag of a POSIX locale name ("de_DE.UTF-8" is "de-DE"); English
// for none, "C" and "POSIX".
std::string languageOfLocale(std::string_view locale);

// Arcs become cubic Béziers no further than this from the true ellipse.
inline constexpr double ArcTolerance = design::ArcTolerance;

}  // namespace vantrel::svg
