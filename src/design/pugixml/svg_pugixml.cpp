// SVG documents through pugixml: the document is parsed in place, in the
// caller's buffer, and the element tree points into it.
#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "design/design_file.h"
#include "design/svg_geometry.h"
#include "design/xml_entities.h"

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

    // Columns count characters, as editors show them: UTF-8 continuation
    // bytes are not counted. Counted on from the last place asked on the same
    // line, so that a long line of many attributes is not counted again each time.
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
        const std::size_t lineStart = nextLine_ ? lineStarts_[nextLine_ - 1] : 0;
        if (countedLine_ != nextLine_ || countedOffset_ > offset) {
            countedLine_ = nextLine_;
            countedOffset_ = lineStart;
            countedColumn_ = 1;
        }
        for (; countedOffset_ < offset; ++countedOffset_)
            if ((static_cast<unsigned char>(begin_[countedOffset_]) & 0xC0) != 0x80) ++countedColumn_;
        column = countedColumn_;
    }

private:
    const char* begin_;
    const char* end_;
    std::vector<std::size_t> lineStarts_;  // offsets of the bytes after each line break
    std::size_t nextLine_ = 0;             // lines starting at or before the last place asked
    std::size_t countedLine_ = SIZE_MAX;   // the line, offset and column last counted to
    std::size_t countedOffset_ = 0;
    int countedColumn_ = 1;
};

// A refusal found while the tree is made, at its place in the file.
struct Refusal {
    int line, column;
    std::string message;
};

// What the tree is made with: where things are, and the document's own
// entities (none unless its DOCTYPE declares some) with their expansions.
struct Conversion {
    Positions positions;
    bool expanding = false;  // true when the XML library leaves every reference as written
    xml::Entities entities;
    std::deque<std::string> expanded;

    std::string_view value(const char* raw) {
        if (!expanding || !std::strchr(raw, '&')) return raw;
        try {
            return expanded.emplace_back(entities.expand(raw));
        } catch (const xml::EntityFault& fault) {
            refuse(raw + fault.offset, fault.message);
        }
    }

    [[noreturn]] void refuse(const char* at, std::string message) {
        Refusal refusal{0, 0, std::move(message)};
        positions.at(at, refusal.line, refusal.column);
        throw refusal;
    }
};

void convert(const pugi::xml_node& node, svg::Element& element, Conversion& c, int depth) {
    element.name = node.name();
    c.positions.at(node.name() - 1, element.line, element.column);
    if (depth > svg::MaxSvgDepth)
        c.refuse(node.name() - 1, "elements are nested too deep (more than " + std::to_string(svg::MaxSvgDepth) + ")");
    for (const pugi::xml_attribute& a : node.attributes()) {
        svg::Attribute attribute{a.name(), {}};
        c.positions.at(a.value(), attribute.line, attribute.column);
        if (attribute.line == 0) attribute.line = element.line, attribute.column = element.column;
        attribute.value = c.value(a.value());
        element.attributes.push_back(attribute);
    }
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() == pugi::node_pcdata && !c.entities.empty()) {
            // Text is not drawn, but what its references would make is counted.
            try {
                c.entities.charge(child.value());
            } catch (const xml::EntityFault& fault) {
                c.refuse(child.value() + fault.offset, fault.message);
            }
        }
        if (child.type() != pugi::node_element) continue;
        convert(child, element.children.emplace_back(), c, depth + 1);
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
    // Entities resolved in values; line breaks kept where they are, so that
    // offsets are the file's. A document that declares entities of its own is
    // read with its DOCTYPE, and every reference is expanded here.
    Conversion c{Positions(document), document.find("<!ENTITY") != std::string::npos, {}, {}};
    pugi::xml_document xml;
    const unsigned flags = c.expanding ? pugi::parse_doctype : pugi::parse_escapes;
    const pugi::xml_parse_result parsed = xml.load_buffer_inplace(document.data(), document.size(), flags);
    if (!parsed) {
        c.positions.at(document.data() + std::min<std::size_t>(static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)),
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
    for (const pugi::xml_node& node : xml.children())
        if (node.type() == pugi::node_doctype) c.entities.declare(node.value());
    svg::Element root;
    try {
        convert(xml.document_element(), root, c, 0);
    } catch (const Refusal& refusal) {
        result.errorLine = std::max(1, refusal.line);
        result.errorColumn = std::max(1, refusal.column);
        result.errorMessage = refusal.message;
        return result;
    }
    return svg::buildSvgDesign(root, language);
}

}  // namespace vantrel
