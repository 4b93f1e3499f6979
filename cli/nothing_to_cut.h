#pragma once
// A design that cuts nothing (an empty file, or every element left out):
// --send refuses it before the machine is touched; written to a file its job
// is written all the same, and the line is printed beside it.
#include <string>
#include <string_view>

#include "design/design_file.h"

namespace vantrel::cli {

// "NAME: nothing to cut (left out: 2 <text>, 1 <image>)", or
// "NAME: nothing to cut (the design is empty)"; empty when some figure of the
// design has a segment to cut.
std::string nothingToCutLine(const DesignParseResult& design, std::string_view designName);

}  // namespace vantrel::cli
