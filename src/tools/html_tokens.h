#pragma once
// The small part of HTML the help pages use, read token by token: shared by
// the plain-text and the formatted fallback views of a page.
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::html {

char16_t lower(char16_t c);
bool isSpace(char16_t c);

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

// One piece of a page, in reading order.
struct Piece {
    enum class Kind {
        Character,  // a character of text, entities decoded
        Space,      // one white-space character
        Tag,        // a start or end tag
        Markup,     // a comment or doctype: no text, no effect
    };
    Kind kind = Kind::Character;
    char16_t character = 0;     // Character
    std::u16string name;        // Tag: the element name, lower case
    bool closing = false;       // Tag: an end tag
    std::u16string_view body;   // Tag: what stands between '<' and '>'
};

// Reads a page piece by piece. A tag that never closes ends the page.
class PieceReader {
public:
    explicit PieceReader(std::u16string_view page) : page_(page) {}
    bool next(Piece& piece);
    // Goes on after the end tag of `name`: what a script or style element
    // holds is not text.
    void skipElement(const std::u16string& name);

private:
    std::u16string_view page_;
    std::size_t at_ = 0;
};

}  // namespace vantrel::html
