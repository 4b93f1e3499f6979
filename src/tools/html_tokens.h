#pragma once
// The small part of HTML the help pages use, read token by token: shared by
// the plain-text and the formatted fallback views of a page.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vantrel::html {

char16_t lower(char16_t c);
std::u16string lowered(std::u16string_view text);
bool isSpace(char16_t c);
// "h1" to "h6".
bool isHeading(std::u16string_view name);

// The element name of a tag body such as "/p", "br /" or "li class='x'", in
// lower case; `closing` tells whether it was an end tag.
std::u16string tagName(std::u16string_view body, bool& closing);

// The value of attribute `name` (lower case) in a tag body, quoted with ' or "
// or bare; empty when absent. Entities in it are not decoded.
std::u16string attribute(std::u16string_view body, std::u16string_view name);

// Decodes the entity whose name starts `text` (just after the '&'); returns
// how many characters of `text` it used, or 0 when it is none we know.
std::size_t decodeEntity(std::u16string_view text, char16_t& out);

// A "#RRGGBB" or "#RGB" colour, or one of a few names, as 0xRRGGBB; -1 if none.
long parseColour(std::u16string_view text);

// What reading a page finds, handed over in reading order.
class PageVisitor {
public:
    // A start or end tag: its element name in lower case, and what stands
    // between '<' and '>'.
    virtual void tag(const std::u16string& name, bool closing, std::u16string_view body) = 0;
    // One white-space character of text.
    virtual void space() = 0;
    // A character of text, entities decoded.
    virtual void character(char16_t c) = 0;

protected:
    ~PageVisitor() = default;
};

// Reads `page` into `visitor`. Comments and doctypes are dropped, and so is
// every element `skipped` names, start tag and content: a script or a style
// holds no text. A tag that never closes ends the page.
void readPage(std::u16string_view page, std::initializer_list<std::u16string_view> skipped, PageVisitor& visitor);

}  // namespace vantrel::html
