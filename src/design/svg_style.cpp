#include "design/svg_style.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "design/svg_values.h"

namespace vantrel::svg {

namespace {

void applyProperty(std::string_view name, std::string_view value, Style& style) {
    value = trim(value);
    if (const std::size_t bang = value.find('!'); bang != std::string_view::npos) value = trim(value.substr(0, bang));
    if (value == "inherit") return;
    if (name == "display") style.displayNone = value == "none";
    else if (name == "visibility") style.hidden = value == "hidden" || value == "collapse";
    else if (name == "fill") style.fillNone = value == "none";
    else if (name == "stroke") style.strokeNone = value == "none";
    else if (name == "stroke-dasharray") style.dashArray = value;
    else if (name == "stroke-dashoffset") style.dashOffset = value;
}

bool sameLetter(char a, char b) { return (a | 0x20) == (b | 0x20); }

// A tag of systemLanguage names the user's language when the two are the same
// or one is a more specific form of the other ("en" and "en-GB").
bool languageMatches(std::string_view tag, std::string_view user) {
    const std::size_t common = std::min(tag.size(), user.size());
    for (std::size_t i = 0; i < common; ++i)
        if (!sameLetter(tag[i], user[i])) return false;
    const std::string_view longer = tag.size() > user.size() ? tag : user;
    return common > 0 && (longer.size() == common || longer[common] == '-');
}

}  // namespace

Style styleOf(const Element& e, const Style& parent) {
    Style style = parent;
    style.displayNone = false;
    for (const char* name : {"display", "visibility", "fill", "stroke", "stroke-dasharray", "stroke-dashoffset"})
        if (const Attribute* a = e.find(name)) applyProperty(name, a->value, style);
    if (const Attribute* a = e.find("style")) {
        std::string_view rest = a->value;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(';'), rest.size());
            const std::string_view declaration = rest.substr(0, end);
            rest.remove_prefix(std::min(end + 1, rest.size()));
            const std::size_t colon = declaration.find(':');
            if (colon != std::string_view::npos)
                applyProperty(trim(declaration.substr(0, colon)), declaration.substr(colon + 1), style);
        }
    }
    return style;
}

std::string_view localName(std::string_view qualified) {
    const std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

bool isNeverDrawn(std::string_view name) {
    static constexpr std::string_view Names[] = {
        "defs", "clipPath", "mask", "symbol", "pattern", "marker", "linearGradient", "radialGradient",
        "meshgradient", "filter", "metadata", "title", "desc", "style", "script", "view", "cursor", "animate",
        "animateMotion", "animateTransform", "animateColor", "set", "mpath", "stop", "hatch", "solidcolor",
        "font", "font-face", "color-profile"};
    return std::find(std::begin(Names), std::end(Names), name) != std::end(Names);
}

bool conditionsPass(const Element& e, std::string_view language) {
    if (e.find("requiredExtensions")) return false;
    const Attribute* languages = e.find("systemLanguage");
    if (!languages) return true;
    std::string_view rest = languages->value;
    while (!rest.empty()) {
        const std::size_t comma = std::min(rest.find(','), rest.size());
        const std::string_view tag = trim(rest.substr(0, comma));
        rest.remove_prefix(std::min(comma + 1, rest.size()));
        if (languageMatches(tag, language)) return true;
    }
    return false;
}

std::string languageOfLocale(std::string_view locale) {
    locale = locale.substr(0, std::min(locale.find('.'), locale.find('@')));
    if (locale.empty() || locale == "C" || locale == "POSIX") return "en";
    std::string tag(locale);
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

}  // namespace vantrel::svg
