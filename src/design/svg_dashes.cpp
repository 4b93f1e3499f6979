#include "design/svg_dashes.h"

#include <cmath>
#include <optional>

namespace vantrel::svg {

namespace {

// A length of the pattern in user units, or none when it is not one.
std::optional<double> dashLength(std::string_view text, double reference) {
    try {
        const Length length = parseLength(Attribute{"stroke-dasharray", text, 0, 0});
        const double user = length.user(reference);
        if (!std::isfinite(user)) return std::nullopt;
        return user;
    } catch (const Fault&) {
        // A faulty value makes the property invalid: the stroke is drawn solid.
        return std::nullopt;
    }
}

}  // namespace

void noteDashedStroke(std::vector<DashedStroke>& dashed, const Style& style, const Affine& ctm,
                      const Viewport& viewport, std::size_t first, std::size_t end) {
    const std::string_view array = trim(style.dashArray);
    if (style.strokeNone || array.empty() || array == "none" || first == end) return;
    const double diagonal = std::sqrt((viewport.width * viewport.width + viewport.height * viewport.height) / 2);
    DashedStroke stroke;
    stroke.first = first;
    stroke.end = end;
    double sum = 0;
    for (std::string_view rest = array; !rest.empty();) {
        const std::size_t stop = std::min(rest.find_first_of(", \t\r\n"), rest.size());
        const std::string_view item = rest.substr(0, stop);
        rest = trim(rest.substr(std::min(stop + 1, rest.size())));
        if (!rest.empty() && rest.front() == ',') rest = trim(rest.substr(1));
        if (item.empty()) return;  // two commas in a row
        const auto length = dashLength(item, diagonal);
        if (!length || *length < 0) return;
        stroke.pattern.push_back(*length);
        sum += *length;
    }
    if (!(sum > 0) || !std::isfinite(sum)) return;
    if (stroke.pattern.size() % 2) {
        stroke.pattern.insert(stroke.pattern.end(), stroke.pattern.begin(), stroke.pattern.end());
        sum *= 2;
    }
    if (const std::string_view offset = trim(style.dashOffset); !offset.empty()) {
        const double value = dashLength(offset, diagonal).value_or(0);
        // A negative offset counts back from the pattern's start.
        stroke.offset = std::fmod(value, sum);
        if (stroke.offset < 0) stroke.offset += sum;
    }
    const double det = ctm.a * ctm.d - ctm.b * ctm.c;
    if (!(std::fabs(det) > 0) || !std::isfinite(det)) return;
    stroke.toUser[0] = ctm.d / det;
    stroke.toUser[1] = -ctm.c / det;
    stroke.toUser[2] = -ctm.b / det;
    stroke.toUser[3] = ctm.a / det;
    dashed.push_back(std::move(stroke));
}

}  // namespace vantrel::svg
