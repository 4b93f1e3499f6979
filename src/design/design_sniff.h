#pragma once
// Files that are neither an SVG document nor path data, told by their first
// bytes: a picture, a PDF, a DXF drawing, a JSON document. Reading one as path
// data would only say that line 1 does not begin with a command.
#include <string>
#include <string_view>

namespace vantrel {

// What the file whose text starts with `head` looks like ("a PNG image"), or
// empty when it may be a design.
std::string_view foreignFormatOf(std::string_view head);

// The one sentence for such a file: what it looks like and what is read.
std::string foreignFormatSentence(std::string_view format);

}  // namespace vantrel
