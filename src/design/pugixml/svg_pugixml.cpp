// SVG documents through pugixml: the document is parsed in place, in the
// caller's buffer, and the element tree points into it.
#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "design/design_file.h"
#include "design/svg_geometry.h"

namespace vantrel {

namespace {

// Line and column of places in the buffer, met mostly in increasing order.
// The line breaks are found before parsing: parsing in place writes the end
// of each name over the byte after it, and in a file of one attribute a line
// that byte is a line break.
class Positions {
public:
    explicit Positions(std::string_view text) : begin_(text.data()), end_(text.data() + text.size()) {
        const char* p = begin_;
        while (const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end_ - p))) {
            p = static_cast<const char*>(found) + 1;
            lineStarts_.push_back(static_cast<std::size_t>(p - begin_));
        }
    }

    void at(const char* p, int& line, int& column) {
        if (p < begin_ || p > end_) {
            line = column = 0;
            return;
        }
        const std::size_t offset = static_cast<std::size_t>(p - begin_);
        if (nextLine_ > 0 && lineStarts_[nextLine_ - 1] > offset)
            nextLine_ = static_cast<std::size_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) -
                                                 lineStarts_.begin());
        while (nextLine_ < lineStarts_.size() && lineStarts_[nextLine_] <= offset) ++nextLine_;
        line = static_cast<int>(nextLine_) + 1;
        column = static_cast<int>(offset - (nextLine_ ? lineStarts_[nextLine_ - 1] : 0)) + 1;
    }

private:
    const char* begin_;
    const char* end_;
    std::vector<std::size_t> lineStarts_;  // offsets of the bytes after each line break
    std::size_t nextLine_ = 0;             // lines starting at or before the last place asked
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

// The language of messages, as POSIX orders the locale's variables.
static std::string userLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value) return svg::languageOfLocale(value);
    return svg::languageOfLocale("");
}

DesignParseResult parseSvg(std::string document) { return parseSvg(std::move(document), userLanguage()); }

DesignParseResult parseSvg(std::string document, std::string_view language) {
    DesignParseResult result;
    Positions positions(document);
    pugi::xml_document xml;
    // Entities resolved in values; line breaks kept where they are, so that offsets are the file's.
    const unsigned flags = pugi::parse_escapes;
    const pugi::xml_parse_result parsed = xml.load_buffer_inplace(document.data(), document.size(), flags);
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
    return svg::buildSvgDesign(root, language);
}

}  // namespace vantrel
