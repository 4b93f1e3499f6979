#include "tools/html_tokens.h"

#include <algorithm>

namespace vantrel::html {

char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string lowered(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(lower(c));
    return out;
}

bool isHeading(std::u16string_view name) {
    return name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6';
}

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f'; }

std::u16string tagName(std::u16string_view body, bool& closing) {
    std::size_t i = 0;
    while (i < body.size() && isSpace(body[i])) ++i;
    closing = i < body.size() && body[i] == u'/';
    if (closing) ++i;
    std::u16string name;
    for (; i < body.size() && !isSpace(body[i]) && body[i] != u'/' && body[i] != u'>'; ++i) name.push_back(lower(body[i]));
    return name;
}

std::u16string attribute(std::u16string_view body, std::u16string_view name) {
    std::size_t i = 0;
    // Past the element name.
    while (i < body.size() && isSpace(body[i])) ++i;
    while (i < body.size() && !isSpace(body[i])) ++i;
    while (i < body.size()) {
        while (i < body.size() && (isSpace(body[i]) || body[i] == u'/')) ++i;
        std::u16string key;
        while (i < body.size() && !isSpace(body[i]) && body[i] != u'=' && body[i] != u'/') key.push_back(lower(body[i++]));
        while (i < body.size() && isSpace(body[i])) ++i;
        std::u16string value;
        if (i < body.size() && body[i] == u'=') {
            ++i;
            while (i < body.size() && isSpace(body[i])) ++i;
            if (i < body.size() && (body[i] == u'\'' || body[i] == u'"')) {
                char16_t quote = body[i++];
                std::size_t end = body.find(quote, i);
                if (end == std::u16string_view::npos) end = body.size();
                value = std::u16string(body.substr(i, end - i));
                i = end + 1;
            } else {
                while (i < body.size() && !isSpace(body[i])) value.push_back(body[i++]);
            }
        }
        if (key.empty()) break;
        if (key == name) return value;
    }
    return {};
}

namespace {

struct Entity {
    std::u16string_view name;
    char16_t value;
};
constexpr Entity Entities[] = {{u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'},
                               {u"apos", u'\''}, {u"nbsp", u' '}, {u"trade", u'\u2122'}, {u"copy", u'\u00A9'},
                               {u"reg", u'\u00AE'}, {u"bull", u'\u2022'}, {u"deg", u'\u00B0'}, {u"sup2", u'\u00B2'}};

struct NamedColour {
    std::u16string_view name;
    long value;
};
constexpr NamedColour Colours[] = {{u"red", 0xFF0000}, {u"black", 0x000000}, {u"white", 0xFFFFFF},
                                   {u"blue", 0x0000FF}, {u"green", 0x008000}, {u"gray", 0x808080},
                                   {u"grey", 0x808080}, {u"maroon", 0x800000}, {u"navy", 0x000080}};

int hexDigit(char16_t c) {
    c = lower(c);
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

}  // namespace

std::size_t decodeEntity(std::u16string_view text, char16_t& out) {
    // No name we know is longer than this: a search past it would read the
    // rest of the page once for every stray '&'.
    constexpr std::size_t LongestName = 8;
    std::size_t semicolon = text.substr(0, LongestName + 1).find(u';');
    if (semicolon == std::u16string_view::npos || semicolon == 0) return 0;
    std::u16string_view name = text.substr(0, semicolon);
    if (name[0] == u'#') {
        unsigned long value = 0;
        bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
        std::size_t i = hex ? 2 : 1;
        if (i >= name.size()) return 0;
        for (; i < name.size(); ++i) {
            int digit = hexDigit(name[i]);
            if (digit < 0 || (!hex && digit > 9)) return 0;
            value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
            if (value > 0xFFFF) return 0;
        }
        if (value == 0) return 0;
        out = static_cast<char16_t>(value);
        return semicolon + 1;
    }
    for (const auto& e : Entities) {
        if (e.name == name) {
            out = e.value;
            return semicolon + 1;
        }
    }
    return 0;
}

long parseColour(std::u16string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    if (!text.empty() && text[0] == u'#') {
        text.remove_prefix(1);
        if (text.size() != 6 && text.size() != 3) return -1;
        long value = 0;
        for (char16_t c : text) {
            int digit = hexDigit(c);
            if (digit < 0) return -1;
            value = value * 16 + digit;
            if (text.size() == 3) value = value * 16 + digit;
        }
        return value;
    }
    const std::u16string name = lowered(text);
    for (const auto& c : Colours)
        if (c.name == name) return c.value;
    return -1;
}

namespace {

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
    // Goes on after the end tag of `name`.
    void skipElement(const std::u16string& name);

private:
    std::u16string_view page_;
    std::size_t at_ = 0;
};

bool PieceReader::next(Piece& piece) {
    if (at_ >= page_.size()) return false;
    const char16_t c = page_[at_];
    if (c == u'<') {
        const std::size_t close = page_.find(u'>', at_ + 1);
        if (close == std::u16string_view::npos) {
            at_ = page_.size();
            return false;
        }
        piece.body = page_.substr(at_ + 1, close - at_ - 1);
        at_ = close + 1;
        const bool markup = !piece.body.empty() && piece.body[0] == u'!';
        piece.kind = markup ? Piece::Kind::Markup : Piece::Kind::Tag;
        piece.name = markup ? std::u16string() : tagName(piece.body, piece.closing);
        if (markup) piece.closing = false;
        return true;
    }
    if (c == u'&') {
        char16_t decoded = 0;
        if (const std::size_t used = decodeEntity(page_.substr(at_ + 1), decoded)) {
            piece.kind = Piece::Kind::Character;
            piece.character = decoded;
            at_ += used + 1;
            return true;
        }
    }
    piece.kind = isSpace(c) ? Piece::Kind::Space : Piece::Kind::Character;
    piece.character = c;
    ++at_;
    return true;
}

void PieceReader::skipElement(const std::u16string& name) {
    for (std::size_t end = page_.find(u"</", at_); end != std::u16string_view::npos; end = page_.find(u"</", end + 1)) {
        bool closing = false;
        if (tagName(page_.substr(end + 1, name.size() + 2), closing) == name) {
            const std::size_t close = page_.find(u'>', end);
            at_ = close == std::u16string_view::npos ? page_.size() : close + 1;
            return;
        }
    }
    at_ = page_.size();
}

}  // namespace

void readPage(std::u16string_view page, std::initializer_list<std::u16string_view> skipped, PageVisitor& visitor) {
    PieceReader reader(page);
    Piece piece;
    while (reader.next(piece)) {
        switch (piece.kind) {
            case Piece::Kind::Tag:
                if (!piece.closing && std::find(skipped.begin(), skipped.end(), piece.name) != skipped.end())
                    reader.skipElement(piece.name);
                else
                    visitor.tag(piece.name, piece.closing, piece.body);
                break;
            case Piece::Kind::Space: visitor.space(); break;
            case Piece::Kind::Character: visitor.character(piece.character); break;
            case Piece::Kind::Markup: break;
        }
    }
}

}  // namespace vantrel::html
