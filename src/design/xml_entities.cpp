#include "design/xml_entities.h"

#include <algorithm>
#include <cstdint>

namespace vantrel::xml {

namespace {

// Entities referring to entities deeper than this are refused: only a
// document made to fail nests them so, and the walks below recurse.
constexpr int MaxEntityDepth = 32;
constexpr std::size_t Refused = SIZE_MAX;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A reference's name ends at ';'; one with a blank, a quote or markup in it
// is no reference, and its '&' is left as written.
bool endOfReference(std::string_view raw, std::size_t at, std::size_t& end) {
    for (std::size_t i = at + 1; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == ';') {
            end = i + 1;
            return i > at + 1;
        }
        if (isSpace(c) || c == '&' || c == '<' || c == '"' || c == '\'') return false;
    }
    return false;
}

void appendUtf8(std::uint32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The text of a predefined entity or a character reference (`name` is what
// lies between '&' and ';'); false for any other name.
bool builtIn(std::string_view name, std::string& text) {
    static constexpr std::pair<std::string_view, char> Predefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& [n, c] : Predefined)
        if (name == n) return text.assign(1, c), true;
    if (name.size() < 2 || name[0] != '#') return false;
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return false;
    std::uint32_t c = 0;
    for (char d : digits) {
        int v = d >= '0' && d <= '9' ? d - '0' : hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f' ? (d | 0x20) - 'a' + 10 : -1;
        if (v < 0) return false;
        c = c * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
    }
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    text.clear();
    appendUtf8(c, text);
    return true;
}

// Where the declaration or comment that begins at `at` ends (after its '>'),
// quoted text skipped.
std::size_t declarationEnd(std::string_view text, std::size_t at) {
    if (text.substr(at, 4) == "<!--") {
        const std::size_t end = text.find("-->", at + 4);
        return end == std::string_view::npos ? text.size() : end + 3;
    }
    char quote = 0;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (quote) {
            if (text[i] == quote) quote = 0;
        } else if (text[i] == '"' || text[i] == '\'') {
            quote = text[i];
        } else if (text[i] == '>') {
            return i + 1;
        }
    }
    return text.size();
}

}  // namespace

void Entities::declare(std::string_view doctype) {
    std::size_t at = 0;
    while ((at = doctype.find('<', at)) != std::string_view::npos) {
        const std::size_t next = declarationEnd(doctype, at);
        std::string_view d = doctype.substr(at, next - at);
        at = next;
        if (d.substr(0, 8) != "<!ENTITY" || d.size() < 9 || !isSpace(d[8])) continue;
        d.remove_prefix(9);
        while (!d.empty() && isSpace(d.front())) d.remove_prefix(1);
        if (d.empty() || d.front() == '%') continue;  // a parameter entity
        std::size_t nameEnd = 0;
        while (nameEnd < d.size() && !isSpace(d[nameEnd])) ++nameEnd;
        const std::string_view name = d.substr(0, nameEnd);
        d.remove_prefix(nameEnd);
        while (!d.empty() && isSpace(d.front())) d.remove_prefix(1);
        // SYSTEM or PUBLIC: external, never fetched.
        if (d.empty() || (d.front() != '"' && d.front() != '\'')) continue;
        const std::size_t close = d.find(d.front(), 1);
        if (close == std::string_view::npos) continue;
        entities_.emplace(name, Entity{d.substr(1, close - 1)});
    }
}

Entities::Entity* Entities::named(std::string_view raw, std::size_t at, std::size_t& end) {
    if (!endOfReference(raw, at, end)) return nullptr;
    const auto found = entities_.find(raw.substr(at + 1, end - at - 2));
    return found == entities_.end() ? nullptr : &found->second;
}

std::size_t Entities::sizeOf(Entity& e, int depth) {
    if (e.state == Entity::Sized) return e.size;
    if (e.state != Entity::Unsized || depth > MaxEntityDepth) return Refused;
    e.state = Entity::Sizing;
    std::size_t size = 0;
    std::string text;
    for (std::size_t i = 0; i < e.value.size(); ++i) {
        std::size_t end = 0;
        std::size_t part = 1;
        if (e.value[i] == '&' && endOfReference(e.value, i, end)) {
            if (builtIn(e.value.substr(i + 1, end - i - 2), text)) {
                part = text.size();
            } else if (Entity* inner = named(e.value, i, end)) {
                part = sizeOf(*inner, depth + 1);
                if (part == Refused) {
                    e.state = Entity::Refers;
                    return Refused;
                }
            } else {
                part = end - i;
            }
            i = end - 1;
        }
        size = std::min(size + part, MaxEntityExpansion + 1);
    }
    e.state = Entity::Sized;
    e.size = size;
    return size;
}

// Expands `raw` into `out` (or only charges it, without `out`); the
// references of the top text are charged, those inside entities were sized
// with them.
void Entities::walk(std::string_view raw, std::string* out, bool top) {
    std::string text;
    std::size_t literal = 0;  // start of the text not yet copied
    const auto flush = [&](std::size_t to) {
        if (out) out->append(raw.substr(literal, to - literal));
    };
    for (std::size_t i = raw.find('&'); i != std::string_view::npos; i = raw.find('&', i + 1)) {
        std::size_t end = 0;
        if (!endOfReference(raw, i, end)) continue;
        const std::string_view name = raw.substr(i + 1, end - i - 2);
        Entity* entity = nullptr;
        if (!builtIn(name, text) && !(entity = named(raw, i, end))) continue;
        flush(i);
        literal = end;
        if (!entity) {
            if (out) *out += text;
            i = end - 1;
            continue;
        }
        if (top) {
            const std::size_t size = sizeOf(*entity, 0);
            if (size == Refused)
                throw EntityFault{i, "the entity &" + std::string(name) + "; refers to itself or nests too deep"};
            if (size > MaxEntityExpansion - std::min(spent_, MaxEntityExpansion))
                throw EntityFault{i, "entities expand too much (more than " + std::to_string(MaxEntityExpansion) +
                                         " bytes in all)"};
            spent_ += size;
        }
        if (out) walk(entity->value, out, false);
        i = end - 1;
    }
    flush(raw.size());
}

std::string Entities::expand(std::string_view raw) {
    std::string out;
    walk(raw, &out, true);
    return out;
}

void Entities::charge(std::string_view raw) { walk(raw, nullptr, true); }

}  // namespace vantrel::xml
