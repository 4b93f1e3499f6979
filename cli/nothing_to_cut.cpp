#include "nothing_to_cut.h"

#include <algorithm>

namespace vantrel::cli {

std::string nothingToCutLine(const DesignParseResult& design, std::string_view designName) {
    // A figure's start point alone draws nothing: only its segments cut.
    const bool cuts = std::any_of(design.path.types.begin(), design.path.types.end(), [](std::uint8_t type) {
        return (type & PathPointTypeMask) != PathPointTypeStart;
    });
    if (cuts) return {};
    std::string line = std::string(designName) + ": nothing to cut";
    if (design.leftOut.empty()) return line + " (the design is empty)";
    line += " (left out: ";
    for (std::size_t i = 0; i < design.leftOut.size(); ++i) {
        if (i) line += ", ";
        line += std::to_string(design.leftOut[i].count) + " " + design.leftOut[i].kind;
    }
    return line + ")";
}

}  // namespace vantrel::cli
