// vantrel-cut's registration marks on paper: the box --marks-at reads, the
// check that a printer prints them whole, and --marks-svg, the marks as an
// SVG layer to print with the artwork. Every mark is the core's layout; this
// file only writes it down.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <vector>

#include "cut_tool.h"
#include "nothing_to_cut.h"

namespace vantrel::cli {

namespace {

// Most printers leave this much of each edge blank.
constexpr double PrintMargin = 0.25;

const char* const InkscapeNamespace = "http://www.inkscape.org/namespaces/inkscape";
const char* const SodipodiNamespace = "http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd";

// The shortest text that reads back as the same value.
template <typename Number>
void appendShortest(std::string& out, Number value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    if (error == std::errc()) out.append(text, end);
}

std::string twoPlaces(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value) ||
        std::fabs(value) > MaxDesignCoordinate)
        return std::nullopt;
    return value;
}

design::Affine inverse(const design::Affine& m) {
    const double det = m.a * m.d - m.b * m.c;
    const design::Affine inv{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    return {inv.a, inv.b, inv.c, inv.d, -(inv.a * m.e + inv.c * m.f), -(inv.b * m.e + inv.d * m.f)};
}

// The three marks, black and filled, as a locked Inkscape layer in the user
// units that `inchesToUser` gives.
std::string marksLayer(const RegMarkLayout& layout, const design::Affine& inchesToUser) {
    std::string layer = "<g xmlns:inkscape=\"";
    layer += InkscapeNamespace;
    layer += "\" xmlns:sodipodi=\"";
    layer += SodipodiNamespace;
    layer += "\" id=\"vantrel-registration-marks\" inkscape:groupmode=\"layer\" inkscape:label=\"";
    layer += RegMarkLayerLabel;
    layer += "\" sodipodi:insensitive=\"true\" style=\"display:inline\">\n";
    for (const Path* mark : {&layout.markTopLeft, &layout.markTopRight, &layout.markBottomLeft}) {
        layer += "<path style=\"fill:#000000;fill-opacity:1;stroke:none\" d=\"";
        for (std::size_t i = 0; i < mark->points.size(); ++i) {
            const double x = mark->points[i].x, y = mark->points[i].y;
            const design::Affine& m = inchesToUser;
            layer += i == 0 ? "M " : " L ";
            appendShortest(layer, m.a * x + m.c * y + m.e);
            layer += ',';
            appendShortest(layer, m.b * x + m.d * y + m.f);
        }
        layer += " Z\"/>\n";
    }
    layer += "</g>\n";
    return layer;
}

// A tag's attribute value, as written (the label needs no entities).
std::optional<std::string_view> attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1]))) continue;
        std::size_t p = at + name.size();
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p]))) ++p;
        if (p >= tag.size() || tag[p] != '=') continue;
        ++p;
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p]))) ++p;
        if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\'')) continue;
        const std::size_t close = tag.find(tag[p], p + 1);
        if (close == std::string_view::npos) return std::nullopt;
        return tag.substr(p + 1, close - p - 1);
    }
    return std::nullopt;
}

bool isMarksLayerTag(std::string_view tag) {
    return attribute(tag, "inkscape:groupmode") == "layer" && attribute(tag, "inkscape:label") == RegMarkLayerLabel;
}

// Where an XML construct that starts at `p` ends (one past it), for those
// that are not elements: comments, CDATA, processing instructions and the
// DOCTYPE with its internal subset.
std::size_t skipMarkup(std::string_view text, std::size_t p) {
    auto past = [&](std::string_view end) {
        const std::size_t at = text.find(end, p);
        return at == std::string_view::npos ? text.size() : at + end.size();
    };
    if (text.substr(p, 4) == "<!--") return past("-->");
    if (text.substr(p, 9) == "<![CDATA[") return past("]]>");
    if (text.substr(p, 2) == "<?") return past("?>");
    const std::size_t subset = text.find('[', p), close = text.find('>', p);
    if (subset != std::string_view::npos && subset < close) p = text.find(']', subset);
    return p == std::string_view::npos ? text.size() : past(">");
}

// The document with every marks layer taken out and `layer` put last in the
// root element; empty when the text has no root element's end.
std::string documentWithLayer(std::string_view text, std::string_view layer) {
    std::vector<std::pair<std::size_t, std::size_t>> removed;
    std::vector<std::pair<std::size_t, bool>> open;  // each open element's start, and whether it is a marks layer
    for (std::size_t p = text.find('<'); p != std::string_view::npos; p = text.find('<', p)) {
        if (p + 1 < text.size() && (text[p + 1] == '!' || text[p + 1] == '?')) {
            p = skipMarkup(text, p);
            continue;
        }
        std::size_t end = p + 1;
        for (char quote = 0; end < text.size() && (quote || text[end] != '>'); ++end) {
            if (quote && text[end] == quote) quote = 0;
            else if (!quote && (text[end] == '"' || text[end] == '\'')) quote = text[end];
        }
        if (end >= text.size()) return {};
        ++end;
        const std::string_view tag = text.substr(p, end - p);
        if (tag[1] == '/') {
            if (open.empty()) return {};
            const auto [start, marks] = open.back();
            open.pop_back();
            if (open.empty()) {
                std::string result;
                std::size_t kept = 0;
                for (const auto& [from, to] : removed) {
                    result.append(text.substr(kept, from - kept));
                    kept = to;
                }
                result.append(text.substr(kept, p - kept));
                result.append(layer);
                result.append(text.substr(p));
                return result;
            }
            if (marks) {
                while (!removed.empty() && removed.back().first >= start) removed.pop_back();  // within this one
                removed.emplace_back(start, end);
            }
        } else if (tag[tag.size() - 2] == '/') {
            if (isMarksLayerTag(tag) && !open.empty()) removed.emplace_back(p, end);
        } else {
            open.emplace_back(p, isMarksLayerTag(tag));
        }
        p = end;
    }
    return {};
}

// For path data, which has no page: one from (0, 0) to a quarter inch past
// the marks, in inches, holding the marks alone.
std::string marksPage(const RegMarkLayout& layout) {
    const RegMarkSpan span = layout.span();
    std::string width, height;
    appendShortest(width, double(span.right) + PrintMargin);
    appendShortest(height, double(span.bottom) + PrintMargin);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width +
           "in\" height=\"" + height + "in\" viewBox=\"0 0 " + width + " " + height + "\">\n" +
           marksLayer(layout, {}) + "</svg>\n";
}

}  // namespace

std::optional<RegMarkSpan> marksSpanNamed(std::string_view text) {
    double values[4];
    for (double& value : values) {
        const std::size_t comma = &value == &values[3] ? text.size() : text.find(',');
        if (comma == std::string_view::npos) return std::nullopt;
        const auto read = number(text.substr(0, comma));
        if (!read) return std::nullopt;
        value = *read;
        text.remove_prefix(comma == text.size() ? comma : comma + 1);
    }
    if (!(values[2] > 0 && values[3] > 0)) return std::nullopt;
    // The far edges from the corner as it is stored, so that a box written
    // by marksSpanText lands on the same floats.
    const float left = static_cast<float>(values[0]), top = static_cast<float>(values[1]);
    return RegMarkSpan{left, top, static_cast<float>(double(left) + values[2]),
                       static_cast<float>(double(top) + values[3])};
}

std::string marksSpanText(const RegMarkSpan& span) {
    std::string text;
    appendShortest(text, span.left);
    text += ',';
    appendShortest(text, span.top);
    text += ',';
    appendShortest(text, double(span.right) - double(span.left));
    text += ',';
    appendShortest(text, double(span.bottom) - double(span.top));
    return text;
}

std::string marksPageCheck(const RegMarkSpan& span, const std::optional<DesignPage>& page) {
    const bool sized = page && page->width > 0 && page->height > 0;
    const double width = sized ? page->width : HUGE_VAL, height = sized ? page->height : HUGE_VAL;
    const std::string where = "they span (" + twoPlaces(span.left) + ", " + twoPlaces(span.top) + ") to (" +
                              twoPlaces(span.right) + ", " + twoPlaces(span.bottom) + ") in" +
                              (sized ? ", the page (0, 0) to (" + twoPlaces(width) + ", " + twoPlaces(height) + ") in"
                                     : std::string());
    if (span.left < 0 || span.top < 0 || span.right > width || span.bottom > height)
        return std::string("the registration marks fall ") + (sized ? "off the page" : "at negative coordinates") +
               " (" + where + "): move the design so that they lie a quarter inch or more inside the page";
    if (span.left < PrintMargin || span.top < PrintMargin || span.right > width - PrintMargin ||
        span.bottom > height - PrintMargin)
        return "the registration marks come within a quarter inch of the page's edge, where most printers print "
               "nothing (" + where + "): move the design further in";
    return {};
}

CutToolResult writeMarksSvg(const CutToolOptions& options, std::string_view designText, std::string_view designName) {
    CutToolResult result;
    DesignParseResult design = readDesign(designText, designName);
    if (!design.ok) {
        result.error = std::string(designName) + ": " + design.errorText();
        return result;
    }
    if (const std::string nothing = nothingToCutLine(design, designName); !nothing.empty() && !options.marksAt) {
        result.error = nothing + ": no marks to place around it";
        return result;
    }
    const RegMarkLayout layout = regMarksOf(options, design.path, options.model);
    if (std::string check = marksPageCheck(layout.span(), design.page); !check.empty()) {
        if (!options.yes) {
            result.error = check + "; nothing was written (--yes writes it all the same)";
            return result;
        }
        result.notes.push_back(std::move(check));
    }
    if (!design.page) {
        result.output = marksPage(layout);
    } else {
        result.output = documentWithLayer(designText, marksLayer(layout, inverse(design.page->userToInches)));
        if (result.output.empty()) {
            result.error = std::string(designName) + ": the document's root element has no end to add the marks before";
            return result;
        }
    }
    // What a later cut needs to find these marks once the design has moved.
    result.notes.push_back("the marks span " + marksSpanText(layout.span()) +
                           " (X,Y,W,H in inches: --marks-at with this box cuts against these marks, wherever the "
                           "design moves)");
    result.ok = true;
    return result;
}

}  // namespace vantrel::cli
