#pragma once
// The internal entities of an XML document's DOCTYPE, expanded where they are
// referred to, as parsers that read the DTD (Windows' XmlLite among them)
// expand them: drawing programs declare styles and namespaces this way
// (`<!ENTITY st0 "display:none;">` and `style="&st0;"`). Nothing outside the
// document is ever read: external and parameter entities are not declared here.
//
// Entities made to multiply ("billion laughs") are refused at their reference
// before anything is made: each entity's expanded size is worked out once,
// and every reference is charged against one budget for the whole document.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vantrel::xml {

// What the entities of one document may make in all, in bytes.
inline constexpr std::size_t MaxEntityExpansion = 8u << 20;

// A reference that cannot be expanded; `offset` is where it begins in the
// text that was being expanded.
struct EntityFault {
    std::size_t offset;
    std::string message;
};

class Entities {
public:
    // Declares the general entities of a DOCTYPE's text (its name and its
    // internal subset). The first declaration of a name holds, as in XML. The
    // values are kept as views: `doctype` must outlive this.
    void declare(std::string_view doctype);
    bool empty() const { return entities_.empty(); }

    // `raw` with its references replaced: the five predefined entities,
    // character references and the declared entities (whose values may refer
    // to more). An undeclared one is left as written. Throws EntityFault.
    std::string expand(std::string_view raw);

    // Charges the references of text that is read but not kept (an element's
    // content), so that entities made to multiply are refused there too.
    void charge(std::string_view raw);

private:
    struct Entity {
        std::string_view value;
        std::size_t size = 0;    // expanded, saturated above the budget
        enum { Unsized, Sizing, Sized, Refers } state = Unsized;  // Refers: to itself, or too deep
    };
    // The entity a reference at `raw[at]` ('&') names, and where it ends; null for none declared.
    Entity* named(std::string_view raw, std::size_t at, std::size_t& end);
    std::size_t sizeOf(Entity& e, int depth);
    void walk(std::string_view raw, std::string* out, bool top);

    std::unordered_map<std::string_view, Entity> entities_;
    std::size_t spent_ = 0;
};

}  // namespace vantrel::xml
