// SVG documents through pugixml: the document is parsed in place, in the
// caller's buffer, and the element tree points into it.
#include <pugixml.hpp>

#include <cstring>
#include <string>

#include "design_file.h"
#include "svg_geometry.h"

namespace vantrel {

namespace {

// Line and column of places in the buffer, met mostly in increasing order.
// The parser leaves every line break where it was (no end-of-line or
// attribute white-space conversion), so counting them in the parsed buffer
// counts them in the file.
class Positions {
public:
    Positions(const char* begin, std::size_t size) : begin_(begin), end_(begin + size) { rewind(); }

    void at(const char* p, int& line, int& column) {
        if (p < begin_ || p > end_) {
            line = column = 0;
            return;
        }
        if (p < cursor_) rewind();
        while (const void* found = std::memchr(cursor_, '\n', static_cast<std::size_t>(p - cursor_))) {
            cursor_ = static_cast<const char*>(found) + 1;
            lineStart_ = cursor_;
            ++line_;
        }
        cursor_ = p;
        line = line_;
        column = static_cast<int>(p - lineStart_) + 1;
    }

private:
    void rewind() {
        cursor_ = lineStart_ = begin_;
        line_ = 1;
    }
    const char* begin_;
    const char* end_;
    const char* cursor_ = nullptr;
    const char* lineStart_ = nullptr;
    int line_ = 1;
};

struct TooDeep {
    int line, column;
};

void convert(const pugi::xml_node& node, svg::Element& element, Positions& positions, int depth) {
    element.name = node.name();
    positions.at(node.name() - 1, element.line, element.column);
    if (depth > svg::MaxSvgDepth) throw TooDeep{element.line, element.column};
    for (const pugi::xml_attribute& a : node.attributes()) {
        svg::Attribute attribute{a.name(), a.value()};
        positions.at(a.value(), attribute.line, attribute.column);
        if (attribute.line == 0) attribute.line = element.line, attribute.column = element.column;
        element.attributes.push_back(attribute);
    }
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        convert(child, element.children.emplace_back(), positions, depth + 1);
    }
}

}  // namespace

DesignParseResult parseSvg(std::string document) {
    DesignParseResult result;
    pugi::xml_document xml;
    // Entities resolved in values; line breaks kept where they are for the positions.
    const unsigned flags = pugi::parse_escapes;
    const pugi::xml_parse_result parsed = xml.load_buffer_inplace(document.data(), document.size(), flags);
    Positions positions(document.data(), document.size());
    if (!parsed) {
        positions.at(document.data() + std::min<std::size_t>(static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)),
                                                           document.size()),
                     result.errorLine, result.errorColumn);
        result.errorLine = std::max(1, result.errorLine);
        result.errorColumn = std::max(1, result.errorColumn);
        result.errorMessage = std::string("this is not well-formed XML: ") + parsed.description();
        if (parsed.status == pugi::status_no_document_element) {
            // Nothing in it is an element: blame its start.
            result.errorLine = result.errorColumn = 1;
            result.errorMessage = "this is not an XML document with an <svg> root";
        }
        return result;
    }
    svg::Element root;
    try {
        convert(xml.document_element(), root, positions, 0);
    } catch (const TooDeep& deep) {
        result.errorLine = std::max(1, deep.line);
        result.errorColumn = std::max(1, deep.column);
        result.errorMessage = "elements are nested too deep (more than " + std::to_string(svg::MaxSvgDepth) + ")";
        return result;
    }
    return svg::buildSvgDesign(root);
}

}  // namespace vantrel
