#include "svg_geometry.h"

#include "decimal_number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace vantrel::svg {

const Attribute* Element::find(std::string_view attributeName) const {
    for (const Attribute& a : attributes)
        if (a.name == attributeName) return &a;
    return nullptr;
}

namespace {

constexpr std::string_view SvgNamespace = "http://www.w3.org/2000/svg";
constexpr double Pi = 3.14159265358979323846;
constexpr double PxPerInch = 96.0;
// Deeper nesting of `use` than this is refused: it only ever comes from a
// document made to explode.
constexpr int MaxUseDepth = 16;
// Elements drawn in all, counting every copy that `use` makes.
constexpr std::size_t MaxDrawnElements = 10'000'000;
// What the copies that `use` makes may add in all, counted in elements and
// bytes of geometry (a byte of path data makes at most a few points), so that
// a small file cannot ask for hundreds of megabytes of path.
constexpr std::size_t MaxUseCopies = 2'000'000;

struct Fault {
    int line;
    int column;
    std::string message;
};

[[noreturn]] void fail(const Element& e, std::string message) { throw Fault{e.line, e.column, std::move(message)}; }

// `index` counts bytes into the attribute's value.
[[noreturn]] void fail(const Attribute& a, std::size_t index, std::string message) {
    int line = a.line, column = a.column;
    for (std::size_t i = 0; i < index && i < a.value.size(); ++i) {
        if (a.value[i] == '\n') ++line, column = 1;
        else ++column;
    }
    throw Fault{line, column, std::string(a.name) + ": " + std::move(message)};
}

// x' = a x + c y + e, y' = b x + d y + f
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // This transform applied after `inner`.
    Affine operator*(const Affine& inner) const {
        return {a * inner.a + c * inner.b, b * inner.a + d * inner.b, a * inner.c + c * inner.d,
                b * inner.c + d * inner.d, a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
    }
    // The largest factor by which the transform stretches any length.
    double maxScale() const {
        const double s = a * a + b * b + c * c + d * d, det = a * d - b * c;
        return std::sqrt((s + std::sqrt(std::max(0.0, s * s - 4 * det * det))) / 2);
    }
};

Affine translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
Affine scaling(double x, double y) { return {x, 0, 0, y, 0, 0}; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Reads numbers, flags and separators from one attribute's value; every fault
// names the attribute and the place in it.
class Scanner {
public:
    explicit Scanner(const Attribute& attribute) : attr_(attribute), s_(attribute.value) {}

    std::size_t pos = 0;

    bool atEnd() const { return pos >= s_.size(); }
    char peek() const { return s_[pos]; }
    void skipSpaces() {
        while (pos < s_.size() && isSpace(s_[pos])) ++pos;
    }
    // Blanks with at most one comma among them.
    void skipSeparator() {
        skipSpaces();
        if (pos < s_.size() && s_[pos] == ',') {
            ++pos;
            skipSpaces();
        }
    }
    bool startsNumber() const {
        if (atEnd()) return false;
        const char c = s_[pos];
        return isDigit(c) || c == '-' || c == '+' || c == '.';
    }
    [[noreturn]] void fail(std::string message) const { svg::fail(attr_, pos, std::move(message)); }

    double number() {
        skipSpaces();
        if (atEnd()) fail("a number is missing at the end");
        const char* begin = s_.data() + pos;
        const char* end = s_.data() + s_.size();
        decimal::Decimal d;
        bool exponentFault = false, ranOut = false;
        const char* after = decimal::numberEnd(begin, end, d, exponentFault, ranOut);
        if (!after && exponentFault) {
            // An "e" with no exponent after it ends the number: a unit (em, ex) or what follows.
            const char* e = begin + 1;
            while (e < end && *e != 'e' && *e != 'E') ++e;
            after = decimal::numberEnd(begin, e, d, exponentFault, ranOut);
        }
        if (!after) fail("a number is expected here");
        double value = 0;
        if (!decimal::exactValue(d, value)) {
            const auto [parsed, error] = std::from_chars(*begin == '+' ? begin + 1 : begin, after, value);
            // Beyond a double's range, or so near 0 that it is denormal: strtod decides.
            if (error != std::errc() || parsed != after) value = std::strtod(std::string(begin, after).c_str(), nullptr);
        }
        if (!std::isfinite(value)) fail("this number is out of range");
        pos = static_cast<std::size_t>(after - s_.data());
        return value;
    }
    bool flag() {
        skipSeparator();
        if (atEnd() || (s_[pos] != '0' && s_[pos] != '1')) fail("an arc flag (0 or 1) is expected here");
        return s_[pos++] == '1';
    }

private:
    const Attribute& attr_;
    std::string_view s_;
};

// A length's unit as inches per unit; 0 for percent, -1 when unknown.
double inchesPerUnit(std::string_view unit) {
    if (unit.empty() || unit == "px") return 1.0 / PxPerInch;
    if (unit == "in") return 1.0;
    if (unit == "mm") return 1.0 / 25.4;
    if (unit == "cm") return 1.0 / 2.54;
    if (unit == "pt") return 1.0 / 72.0;
    if (unit == "pc") return 1.0 / 6.0;
    // Font-relative units at the usual 16 px font: no font is ever drawn here.
    if (unit == "em") return 16.0 / PxPerInch;
    if (unit == "ex") return 8.0 / PxPerInch;
    if (unit == "%") return 0;
    return -1;
}

struct Length {
    double value = 0;
    double inchesPerUnit = 0;  // 0: percent
    bool percent() const { return inchesPerUnit == 0; }
    // Plain numbers and px keep their value exactly; the others are exact in inches.
    double inches() const { return inchesPerUnit == 1.0 / PxPerInch ? value / PxPerInch : inchesExact(); }
    double inchesExact() const {
        if (inchesPerUnit == 1.0) return value;
        if (inchesPerUnit == 1.0 / 25.4) return value / 25.4;
        if (inchesPerUnit == 1.0 / 2.54) return value / 2.54;
        if (inchesPerUnit == 1.0 / 72.0) return value / 72.0;
        if (inchesPerUnit == 1.0 / 6.0) return value / 6.0;
        return value * inchesPerUnit;
    }
    // In user units (px) of a viewport `reference` user units across.
    double user(double reference) const {
        if (percent()) return value / 100 * reference;
        if (inchesPerUnit == 1.0 / PxPerInch) return value;
        return value * inchesPerUnit * PxPerInch;
    }
};

Length parseLength(const Attribute& a) {
    Scanner scan(a);
    Length length;
    length.value = scan.number();
    const std::string_view rest = trim(a.value.substr(scan.pos));
    length.inchesPerUnit = inchesPerUnit(rest);
    if (length.inchesPerUnit < 0) scan.fail("unknown unit \"" + std::string(rest) + "\"");
    return length;
}

struct ViewBox {
    double x = 0, y = 0, width = 0, height = 0;
};

ViewBox parseViewBox(const Attribute& a) {
    Scanner scan(a);
    ViewBox box;
    box.x = scan.number();
    scan.skipSeparator();
    box.y = scan.number();
    scan.skipSeparator();
    box.width = scan.number();
    scan.skipSeparator();
    box.height = scan.number();
    scan.skipSpaces();
    if (!scan.atEnd()) scan.fail("the viewBox has four numbers");
    if (!(box.width > 0 && box.height > 0)) fail(a, 0, "the viewBox's width and height must be above 0");
    return box;
}

// The viewBox fitted into a viewport, as preserveAspectRatio says.
Affine viewBoxTransform(const ViewBox& box, double x, double y, double width, double height,
                        const Attribute* aspect) {
    double sx = width / box.width, sy = height / box.height;
    std::string_view align = "xMidYMid";
    bool slice = false;
    if (aspect) {
        std::string_view words = trim(aspect->value);
        if (words.substr(0, 5) == "defer") words = trim(words.substr(5));
        const std::size_t space = words.find_first_of(" \t\r\n");
        align = words.substr(0, space);
        const std::string_view mode = space == std::string_view::npos ? "" : trim(words.substr(space));
        if (mode == "slice") slice = true;
        else if (!mode.empty() && mode != "meet") fail(*aspect, 0, "expected meet or slice");
        if (align != "none" && (align.size() != 8 || align[0] != 'x' || align[4] != 'Y'))
            fail(*aspect, 0, "unknown alignment \"" + std::string(align) + "\"");
    }
    double tx = x - box.x * sx, ty = y - box.y * sy;
    if (align != "none") {
        const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
        sx = sy = s;
        tx = x - box.x * s;
        ty = y - box.y * s;
        const std::string_view ax = align.substr(1, 3), ay = align.substr(5, 3);
        const double spareX = width - box.width * s, spareY = height - box.height * s;
        if (ax == "Mid") tx += spareX / 2;
        else if (ax == "Max") tx += spareX;
        else if (ax != "Min") fail(*aspect, 0, "unknown alignment \"" + std::string(align) + "\"");
        if (ay == "Mid") ty += spareY / 2;
        else if (ay == "Max") ty += spareY;
        else if (ay != "Min") fail(*aspect, 0, "unknown alignment \"" + std::string(align) + "\"");
    }
    return {sx, 0, 0, sy, tx, ty};
}

Affine parseTransform(const Attribute& a) {
    Scanner scan(a);
    Affine result;
    const std::string_view s = a.value;
    for (;;) {
        scan.skipSeparator();
        if (scan.atEnd()) break;
        const std::size_t nameStart = scan.pos;
        while (!scan.atEnd() && ((scan.peek() >= 'a' && scan.peek() <= 'z') || (scan.peek() >= 'A' && scan.peek() <= 'Z')))
            ++scan.pos;
        const std::string_view name = s.substr(nameStart, scan.pos - nameStart);
        scan.skipSpaces();
        if (name.empty() || scan.atEnd() || scan.peek() != '(') {
            scan.pos = nameStart;
            scan.fail("a transform (matrix, translate, scale, rotate, skewX, skewY) is expected here");
        }
        ++scan.pos;
        double v[6];
        int count = 0;
        for (;;) {
            scan.skipSeparator();
            if (!scan.atEnd() && scan.peek() == ')') break;
            if (count == 6) scan.fail("too many numbers in " + std::string(name));
            v[count++] = scan.number();
        }
        ++scan.pos;
        Affine t;
        auto expect = [&](std::initializer_list<int> counts) {
            if (std::find(counts.begin(), counts.end(), count) == counts.end())
                fail(a, nameStart, std::string(name) + " does not take " + std::to_string(count) + " numbers");
        };
        if (name == "matrix") {
            expect({6});
            t = {v[0], v[1], v[2], v[3], v[4], v[5]};
        } else if (name == "translate") {
            expect({1, 2});
            t = translation(v[0], count == 2 ? v[1] : 0);
        } else if (name == "scale") {
            expect({1, 2});
            t = scaling(v[0], count == 2 ? v[1] : v[0]);
        } else if (name == "rotate") {
            expect({1, 3});
            const double r = v[0] * Pi / 180, cs = std::cos(r), sn = std::sin(r);
            t = {cs, sn, -sn, cs, 0, 0};
            if (count == 3) t = translation(v[1], v[2]) * t * translation(-v[1], -v[2]);
        } else if (name == "skewX") {
            expect({1});
            t = {1, 0, std::tan(v[0] * Pi / 180), 1, 0, 0};
        } else if (name == "skewY") {
            expect({1});
            t = {1, std::tan(v[0] * Pi / 180), 0, 1, 0, 0};
        } else {
            fail(a, nameStart, "unknown transform \"" + std::string(name) + "\"");
        }
        result = result * t;
    }
    return result;
}

// Presentation attributes and the `style` attribute's declarations that
// decide whether an element is drawn. Other properties do not change a cut.
struct Style {
    bool displayNone = false;
    bool hidden = false;      // visibility; inherited
    bool fillNone = false;    // inherited
    bool strokeNone = true;   // inherited
};

void applyProperty(std::string_view name, std::string_view value, Style& style) {
    value = trim(value);
    if (const std::size_t bang = value.find('!'); bang != std::string_view::npos) value = trim(value.substr(0, bang));
    if (value == "inherit") return;
    if (name == "display") style.displayNone = value == "none";
    else if (name == "visibility") style.hidden = value == "hidden" || value == "collapse";
    else if (name == "fill") style.fillNone = value == "none";
    else if (name == "stroke") style.strokeNone = value == "none";
}

Style styleOf(const Element& e, const Style& parent) {
    Style style = parent;
    style.displayNone = false;
    for (const char* name : {"display", "visibility", "fill", "stroke"})
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

// What holds no drawing of its own, or is drawn only through `use`.
bool isNeverDrawn(std::string_view name) {
    static constexpr std::string_view Names[] = {
        "defs", "clipPath", "mask", "symbol", "pattern", "marker", "linearGradient", "radialGradient",
        "meshgradient", "filter", "metadata", "title", "desc", "style", "script", "view", "cursor", "animate",
        "animateMotion", "animateTransform", "animateColor", "set", "mpath", "stop", "hatch", "solidcolor",
        "font", "font-face", "color-profile"};
    return std::find(std::begin(Names), std::end(Names), name) != std::end(Names);
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

// The conditional attributes, answered as a viewer answers them: it supports
// no extension (and an empty list names none); requiredFeatures is not asked
// any more (viewers dropped it and pass it); systemLanguage passes when one
// of its tags names the user's language.
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

// What drawing an element will make, counted before it is made: its weight
// (elements and bytes of geometry, through every `use`) and its height (the
// deepest walk below it, itself included).
struct Extent {
    std::size_t weight = 0;
    int height = 0;
};

// Far above any limit, and two capped weights still add without wrapping
// where size_t has 32 bits.
constexpr std::size_t WeightCap = SIZE_MAX / 4;
std::size_t addWeight(std::size_t a, std::size_t b) { return std::min(a + b, WeightCap); }

class Builder {
public:
    Builder(const Element& root, std::string_view language) : root_(root), language_(language) { index(root); }

    DesignParseResult run() {
        Namespaces scope(*this, root_);
        if (!isSvg(root_) || localName(root_.name) != "svg")
            fail(root_, "the document's root element is <" + std::string(root_.name) + ">, not <svg>");
        const Style style = styleOf(root_, Style{});
        if (style.displayNone) return finish();
        const Affine ctm = outerViewport();
        children(root_, ctm, style);
        return finish();
    }

    std::vector<LeftOutKind> leftOut;
    Path path;

private:
    bool millimetres_ = false;
    // xmlns declarations in force: the element's prefix decides whether it is SVG.
    struct Namespaces {
        Namespaces(Builder& builder, const Element& e) : builder_(builder), size_(builder.namespaces_.size()) {
            for (const Attribute& a : e.attributes) {
                if (a.name == "xmlns") builder.namespaces_.emplace_back("", a.value);
                else if (a.name.substr(0, 6) == "xmlns:") builder.namespaces_.emplace_back(a.name.substr(6), a.value);
            }
        }
        ~Namespaces() { builder_.namespaces_.resize(size_); }
        Namespaces(const Namespaces&) = delete;
        Namespaces& operator=(const Namespaces&) = delete;

    private:
        Builder& builder_;
        std::size_t size_;
    };

    bool isSvg(const Element& e) const {
        const std::size_t colon = e.name.find(':');
        const std::string_view prefix = colon == std::string_view::npos ? "" : e.name.substr(0, colon);
        for (auto it = namespaces_.rbegin(); it != namespaces_.rend(); ++it) {
            if (it->first != prefix) continue;
            // A namespace written as an entity from a DOCTYPE ("&ns_svg;") that
            // the XML library left unexpanded: its name tells.
            if (!it->second.empty() && it->second.front() == '&') return it->second.find("svg") != std::string_view::npos;
            return it->second == SvgNamespace;
        }
        // Undeclared: a plain name is taken as SVG, as browsers do for a bare <svg> file.
        return prefix.empty();
    }

    void index(const Element& e) {
        if (const Attribute* id = e.find("id")) ids_.emplace(id->value, &e);
        for (const Element& child : e.children) index(child);
    }

    DesignParseResult finish() {
        DesignParseResult result;
        result.ok = true;
        result.path = std::move(path);
        result.leftOut = std::move(leftOut);
        result.millimetres = millimetres_;
        return result;
    }

    void note(std::string kind) {
        for (LeftOutKind& k : leftOut)
            if (k.kind == kind) {
                ++k.count;
                return;
            }
        leftOut.push_back({std::move(kind), 1});
    }

    // User space of the document in inches.
    Affine outerViewport() {
        const Attribute* widthAttr = root_.find("width");
        const Attribute* heightAttr = root_.find("height");
        const Attribute* boxAttr = root_.find("viewBox");
        // A size relative to a page we do not have means "as the viewBox says".
        Length width, height;
        const bool haveWidth = widthAttr && !(width = parseLength(*widthAttr)).percent();
        const bool haveHeight = heightAttr && !(height = parseLength(*heightAttr)).percent();
        if (haveWidth && !(width.value > 0)) fail(*widthAttr, 0, "the width must be above 0");
        if (haveHeight && !(height.value > 0)) fail(*heightAttr, 0, "the height must be above 0");
        // A drawing sized in millimetres (or centimetres) is measured in millimetres.
        const auto metric = [](const Length& l) { return l.inchesPerUnit == 1.0 / 25.4 || l.inchesPerUnit == 1.0 / 2.54; };
        millimetres_ = (haveWidth && metric(width)) || (haveHeight && metric(height));
        const Affine px = scaling(1 / PxPerInch, 1 / PxPerInch);
        if (haveWidth) viewport_.width = width.inches() * PxPerInch;
        if (haveHeight) viewport_.height = height.inches() * PxPerInch;
        if (!boxAttr) return px;
        const ViewBox box = parseViewBox(*boxAttr);
        viewport_ = {box.width, box.height};
        double w = haveWidth ? width.inches() : 0, h = haveHeight ? height.inches() : 0;
        if (!haveWidth && !haveHeight) return px * translation(-box.x, -box.y);
        if (!haveWidth) w = h * box.width / box.height;
        if (!haveHeight) h = w * box.height / box.width;
        return viewBoxTransform(box, 0, 0, w, h, root_.find("preserveAspectRatio"));
    }

    struct Viewport {
        double width = 0, height = 0;
    };

    double lengthOf(const Element& e, const char* name, double fallback, double reference) {
        const Attribute* a = e.find(name);
        if (!a || trim(a->value) == "auto") return fallback;
        return parseLength(*a).user(reference);
    }
    double x(const Element& e, const char* name, double fallback = 0) { return lengthOf(e, name, fallback, viewport_.width); }
    double y(const Element& e, const char* name, double fallback = 0) { return lengthOf(e, name, fallback, viewport_.height); }
    double diagonal(const Element& e, const char* name) {
        return lengthOf(e, name, 0, std::hypot(viewport_.width, viewport_.height) / std::sqrt(2.0));
    }

    void children(const Element& e, const Affine& ctm, const Style& style) {
        const bool isSwitch = localName(e.name) == "switch";
        for (const Element& child : e.children) {
            Namespaces scope(*this, child);
            if (!isSvg(child)) continue;
            // A switch shows its first child whose conditions pass.
            if (isSwitch && !conditionsPass(child, language_)) continue;
            draw(child, ctm, style);
            if (isSwitch) break;
        }
    }

    // The walk's depth, counted through every `use`, so that no document
    // takes the recursion below past what a thread's stack holds.
    struct Level {
        explicit Level(Builder& builder, const Element& e) : builder_(builder) {
            if (++builder.depth_ > MaxSvgDepth) fail(e, tooDeep());
        }
        ~Level() { --builder_.depth_; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

    private:
        Builder& builder_;
    };

    static std::string tooDeep() {
        return "elements are nested too deep (more than " + std::to_string(MaxSvgDepth) + ", counting those use draws)";
    }

    void draw(const Element& e, const Affine& parentCtm, const Style& parentStyle) {
        const std::string_view name = localName(e.name);
        if (++drawn_ > MaxDrawnElements) fail(e, "the drawing has too many elements");
        const Level level(*this, e);
        const Style style = styleOf(e, parentStyle);
        if (style.displayNone || isNeverDrawn(name) || !conditionsPass(e, language_)) return;
        Affine ctm = parentCtm;
        if (const Attribute* t = e.find("transform")) ctm = ctm * parseTransform(*t);
        if (name == "g" || name == "a" || name == "switch") {
            children(e, ctm, style);
        } else if (name == "svg") {
            nested(e, ctm, style, e.find("width"), e.find("height"));
        } else if (name == "use") {
            use(e, ctm, style);
        } else if (name == "path" || name == "rect" || name == "circle" || name == "ellipse" || name == "line" ||
                   name == "polyline" || name == "polygon") {
            if (style.hidden || (style.fillNone && style.strokeNone)) return;
            shape(e, name, ctm);
        } else {
            if (!style.hidden) note("<" + std::string(name) + ">");
        }
    }

    // An inner svg, or a symbol or svg drawn by `use` with the use's size.
    void nested(const Element& e, Affine ctm, const Style& style, const Attribute* widthAttr,
                const Attribute* heightAttr) {
        const Viewport outer = viewport_;
        ctm = ctm * translation(x(e, "x"), y(e, "y"));
        if (enterViewport(e, widthAttr, heightAttr, ctm)) children(e, ctm, style);
        viewport_ = outer;
    }

    // The viewport of an inner svg or a used symbol, `width` by `height` (all
    // of the outer one when not given): its viewBox fitted into it, or without
    // one, the size that its percentages are of. False when it is empty, which
    // draws nothing.
    bool enterViewport(const Element& e, const Attribute* widthAttr, const Attribute* heightAttr, Affine& ctm) {
        const auto size = [](const Attribute* a, double outer) {
            return a && trim(a->value) != "auto" ? parseLength(*a).user(outer) : outer;
        };
        const double w = size(widthAttr, viewport_.width), h = size(heightAttr, viewport_.height);
        if (!(w > 0 && h > 0)) return false;
        if (const Attribute* boxAttr = e.find("viewBox")) {
            const ViewBox box = parseViewBox(*boxAttr);
            ctm = ctm * viewBoxTransform(box, 0, 0, w, h, e.find("preserveAspectRatio"));
            viewport_ = {box.width, box.height};
        } else {
            viewport_ = {w, h};
        }
        return true;
    }

    // The element a use refers to, or nullptr; `href` is where it says so.
    const Element* useTarget(const Element& e, const Attribute*& href) const {
        href = e.find("href");
        if (!href) href = e.find("xlink:href");
        if (!href) {
            for (const Attribute& a : e.attributes)
                if (localName(a.name) == "href") href = &a;
        }
        const std::string_view target = href ? trim(href->value) : std::string_view();
        auto found = target.size() > 1 && target[0] == '#' ? ids_.find(target.substr(1)) : ids_.end();
        return found == ids_.end() ? nullptr : found->second;
    }

    [[noreturn]] static void failLoop(const Attribute& href) {
        fail(href, 0, "this use refers to itself through " + std::string(trim(href.value)));
    }

    // The extent of drawing `e` at the walk's depth `level`, counted once per
    // element. A walk deeper than MaxSvgDepth is refused at the element where
    // it goes too deep, and a use that refers to itself at its reference.
    Extent measure(const Element& e, int level) {
        if (level > MaxSvgDepth) fail(e, tooDeep());
        if (const auto known = extents_.find(&e); known != extents_.end()) {
            if (level - 1 + known->second.height > MaxSvgDepth) fail(e, tooDeep());
            return known->second;
        }
        extents_.emplace(&e, Extent{});  // height 0: being measured
        Extent extent{1, 1};
        auto add = [&](const Element& inner) {
            const Extent part = measure(inner, level + 1);
            extent.weight = addWeight(extent.weight, part.weight);
            extent.height = std::max(extent.height, part.height + 1);
        };
        const std::string_view name = localName(e.name);
        for (const char* geometry : {"d", "points"})
            if (const Attribute* a = e.find(geometry)) extent.weight += a->value.size();
        // Their corners and rims are arcs: a few dozen points.
        if (name == "rect" || name == "circle" || name == "ellipse") extent.weight += 32;
        const Attribute* href = nullptr;
        if (const Element* target = name == "use" ? useTarget(e, href) : nullptr) {
            if (const auto known = extents_.find(target); known != extents_.end() && known->second.height == 0)
                failLoop(*href);
            add(*target);
        }
        for (const Element& child : e.children)
            if (!isNeverDrawn(localName(child.name))) add(child);
        extents_[&e] = extent;
        return extent;
    }

    void use(const Element& e, Affine ctm, const Style& style) {
        const Attribute* href = nullptr;
        const Element* found = useTarget(e, href);
        if (!found) {
            note("<use> without its target");
            return;
        }
        const Element& referenced = *found;
        if (std::find(useStack_.begin(), useStack_.end(), &referenced) != useStack_.end()) failLoop(*href);
        if (static_cast<int>(useStack_.size()) >= MaxUseDepth) fail(*href, 0, "use is nested too deep");
        // What the copy will add is counted before it is made: its depth, and
        // the weight of a copy that no other copy holds (theirs hold its own).
        const Extent extent = measure(referenced, depth_ + 1);
        if (useStack_.empty()) {
            copied_ = addWeight(copied_, extent.weight);
            if (copied_ > MaxUseCopies)
                fail(*href, 0, "use copies too much (more than " + std::to_string(MaxUseCopies) +
                                   " elements and bytes of geometry in all)");
        }
        useStack_.push_back(&referenced);
        ctm = ctm * translation(x(e, "x"), y(e, "y"));
        Namespaces scope(*this, referenced);
        if (isSvg(referenced)) {
            const std::string_view name = localName(referenced.name);
            const Style inner = styleOf(referenced, style);
            if ((name == "symbol" || name == "svg") && !inner.displayNone && conditionsPass(referenced, language_)) {
                // A symbol or an svg takes the use's width and height for its viewport.
                const Attribute* w = e.find("width");
                const Attribute* h = e.find("height");
                const Level level(*this, referenced);
                if (name == "symbol") {
                    const Viewport outer = viewport_;
                    if (enterViewport(referenced, w ? w : referenced.find("width"),
                                      h ? h : referenced.find("height"), ctm))
                        children(referenced, ctm, inner);
                    viewport_ = outer;
                } else {
                    if (const Attribute* t = referenced.find("transform")) ctm = ctm * parseTransform(*t);
                    nested(referenced, ctm, inner, w ? w : referenced.find("width"), h ? h : referenced.find("height"));
                }
            } else if (name != "symbol" && name != "svg") {
                draw(referenced, ctm, style);
            }
        }
        useStack_.pop_back();
    }

    void shape(const Element& e, std::string_view name, const Affine& ctm) {
        ctm_ = ctm;
        shape_ = &e;
        current_ = nullptr;
        arcScale_ = ctm.maxScale();
        resetPen();
        if (name == "path") {
            if (const Attribute* d = e.find("d")) pathData(*d);
        } else if (name == "rect") {
            rect(e);
        } else if (name == "circle") {
            const double r = diagonal(e, "r");
            if (r > 0) ellipse(x(e, "cx"), y(e, "cy"), r, r);
        } else if (name == "ellipse") {
            const Attribute* rxAttr = e.find("rx");
            const Attribute* ryAttr = e.find("ry");
            // One radius given stands for both.
            double rx = x(e, "rx", -1), ry = y(e, "ry", -1);
            if (!rxAttr) rx = ry;
            if (!ryAttr) ry = rx;
            if (rx > 0 && ry > 0) ellipse(x(e, "cx"), y(e, "cy"), rx, ry);
        } else if (name == "line") {
                moveTo(x(e, "x1"), y(e, "y1"));
            lineTo(x(e, "x2"), y(e, "y2"));
        } else if (name == "polyline" || name == "polygon") {
            if (const Attribute* points = e.find("points")) polyline(*points, name == "polygon");
        }
    }

    void rect(const Element& e) {
        const double rx0 = x(e, "x"), ry0 = y(e, "y"), w = x(e, "width"), h = y(e, "height");
        if (!(w > 0 && h > 0)) return;
        double rx = x(e, "rx", -1), ry = y(e, "ry", -1);
        if (rx < 0) rx = ry;
        if (ry < 0) ry = rx;
        rx = std::clamp(rx, 0.0, w / 2);
        ry = std::clamp(ry, 0.0, h / 2);
        if (rx > 0 && ry > 0) {
            moveTo(rx0 + rx, ry0);
            lineTo(rx0 + w - rx, ry0);
            arcTo(rx, ry, 0, false, true, rx0 + w, ry0 + ry);
            lineTo(rx0 + w, ry0 + h - ry);
            arcTo(rx, ry, 0, false, true, rx0 + w - rx, ry0 + h);
            lineTo(rx0 + rx, ry0 + h);
            arcTo(rx, ry, 0, false, true, rx0, ry0 + h - ry);
            lineTo(rx0, ry0 + ry);
            arcTo(rx, ry, 0, false, true, rx0 + rx, ry0);
        } else {
            moveTo(rx0, ry0);
            lineTo(rx0 + w, ry0);
            lineTo(rx0 + w, ry0 + h);
            lineTo(rx0, ry0 + h);
        }
        close();
    }

    void ellipse(double cx, double cy, double rx, double ry) {
        moveTo(cx + rx, cy);
        arcTo(rx, ry, 0, false, true, cx, cy + ry);
        arcTo(rx, ry, 0, false, true, cx - rx, cy);
        arcTo(rx, ry, 0, false, true, cx, cy - ry);
        arcTo(rx, ry, 0, false, true, cx + rx, cy);
        close();
    }

    void polyline(const Attribute& points, bool closed) {
        Scanner scan(points);
        current_ = &points;
        scanner_ = &scan;
        bool first = true;
        for (;;) {
            scan.skipSeparator();
            if (scan.atEnd()) break;
            const double px = scan.number();
            scan.skipSeparator();
            if (scan.atEnd()) scan.fail("a point has no y");
            const double py = scan.number();
            if (first) moveTo(px, py);
            else lineTo(px, py);
            first = false;
        }
        if (closed && !first) close();
        scanner_ = nullptr;
    }

    void pathData(const Attribute& d) {
        Scanner scan(d);
        scanner_ = &scan;
        current_ = &d;
        char command = 0;
        for (;;) {
            scan.skipSeparator();
            if (scan.atEnd()) break;
            const char c = scan.peek();
            if (std::string_view("MmLlHhVvCcSsQqTtAaZz").find(c) != std::string_view::npos) {
                if (command == 0 && c != 'M' && c != 'm')
                    scan.fail(std::string("the first command must be M or m, not '") + c + "'");
                command = c;
                ++scan.pos;
                pathCommand(scan, command);
            } else if (scan.startsNumber()) {
                if (command == 0) scan.fail("path data must begin with a command letter (M or m)");
                if (command == 'Z' || command == 'z') scan.fail("a number cannot follow Z");
                // Further pairs after a move are line-tos.
                if (command == 'M') command = 'L';
                if (command == 'm') command = 'l';
                pathCommand(scan, command);
            } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
                scan.fail(std::string("unknown path command '") + c + "'");
            } else {
                scan.fail("unexpected character here");
            }
        }
        scanner_ = nullptr;
    }

    // A smooth segment's control: the previous segment's of its kind
    // mirrored through the current point, or the current point itself.
    std::pair<double, double> mirroredControl(bool previousOfItsKind) const {
        if (!previousOfItsKind) return {curX_, curY_};
        return {2 * curX_ - controlX_, 2 * curY_ - controlY_};
    }

    // rx ry angle large-arc sweep x y
    void arcCommand(Scanner& scan, double ox, double oy) {
        double values[3];
        for (double& value : values) {
            scan.skipSeparator();
            value = scan.number();
        }
        const bool large = scan.flag(), sweep = scan.flag();
        scan.skipSeparator();
        const double px = scan.number() + ox;
        scan.skipSeparator();
        const double py = scan.number() + oy;
        arcTo(values[0], values[1], values[2], large, sweep, px, py);
    }

    void pathCommand(Scanner& scan, char command) {
        const bool relative = command >= 'a';
        const double ox = relative ? curX_ : 0, oy = relative ? curY_ : 0;
        auto coordinate = [&](double origin) {
            scan.skipSeparator();
            return scan.number() + origin;
        };
        bool cubic = false, quadratic = false;
        switch (relative ? static_cast<char>(command - 'a' + 'A') : command) {
            case 'M': {
                const double px = coordinate(ox), py = coordinate(oy);
                moveTo(px, py);
                break;
            }
            case 'L': {
                const double px = coordinate(ox), py = coordinate(oy);
                lineTo(px, py);
                break;
            }
            case 'H': lineTo(coordinate(ox), curY_); break;
            case 'V': lineTo(curX_, coordinate(oy)); break;
            case 'C': {
                const double x1 = coordinate(ox), y1 = coordinate(oy), x2 = coordinate(ox), y2 = coordinate(oy);
                const double px = coordinate(ox), py = coordinate(oy);
                cubicTo(x1, y1, x2, y2, px, py);
                cubic = true;
                break;
            }
            case 'S': {
                // The first control mirrors the previous cubic's second one.
                const auto [x1, y1] = mirroredControl(previousCubic_);
                const double x2 = coordinate(ox), y2 = coordinate(oy), px = coordinate(ox), py = coordinate(oy);
                cubicTo(x1, y1, x2, y2, px, py);
                cubic = true;
                break;
            }
            case 'Q': {
                const double qx = coordinate(ox), qy = coordinate(oy), px = coordinate(ox), py = coordinate(oy);
                quadTo(qx, qy, px, py);
                quadratic = true;
                break;
            }
            case 'T': {
                // The control mirrors the previous quadratic's.
                const auto [qx, qy] = mirroredControl(previousQuadratic_);
                const double px = coordinate(ox), py = coordinate(oy);
                quadTo(qx, qy, px, py);
                quadratic = true;
                break;
            }
            case 'A': arcCommand(scan, ox, oy); break;
            case 'Z': close(); break;
        }
        previousCubic_ = cubic;
        previousQuadratic_ = quadratic;
    }

    void resetPen() {
        curX_ = curY_ = startX_ = startY_ = 0;
        previousCubic_ = previousQuadratic_ = false;
        figureOpen_ = false;
    }

    [[noreturn]] void failHere(std::string message) {
        if (current_) fail(*current_, scanner_ ? scanner_->pos : 0, std::move(message));
        fail(shape_ ? *shape_ : root_, std::move(message));
    }

    void emit(double ux, double uy, std::uint8_t type) {
        const double px = ctm_.a * ux + ctm_.c * uy + ctm_.e, py = ctm_.b * ux + ctm_.d * uy + ctm_.f;
        if (!(std::fabs(px) <= MaxDesignCoordinate && std::fabs(py) <= MaxDesignCoordinate))
            failHere("this point lies out of range (at most " + std::to_string(static_cast<int>(MaxDesignCoordinate)) +
                     " inches either way)");
        if (path.points.size() >= MaxSvgPoints) failHere("the drawing has too many points");
        path.points.push_back({static_cast<float>(px), static_cast<float>(py)});
        path.types.push_back(type);
    }

    // A drawing command right after Z starts a new figure at the closed figure's start.
    void ensureFigure() {
        if (figureOpen_) return;
        emit(startX_, startY_, PathPointTypeStart);
        figureOpen_ = true;
    }
    void moveTo(double px, double py) {
        emit(px, py, PathPointTypeStart);
        curX_ = startX_ = px, curY_ = startY_ = py;
        figureOpen_ = true;
    }
    void lineTo(double px, double py) {
        ensureFigure();
        emit(px, py, PathPointTypeLine);
        curX_ = px, curY_ = py;
    }
    void cubicTo(double x1, double y1, double x2, double y2, double px, double py) {
        ensureFigure();
        emit(x1, y1, PathPointTypeBezier);
        emit(x2, y2, PathPointTypeBezier);
        emit(px, py, PathPointTypeBezier);
        controlX_ = x2, controlY_ = y2;
        curX_ = px, curY_ = py;
    }
    // A quadratic is an exact cubic with controls two thirds of the way to q.
    void quadTo(double qx, double qy, double px, double py) {
        cubicTo(curX_ + 2.0 / 3.0 * (qx - curX_), curY_ + 2.0 / 3.0 * (qy - curY_), px + 2.0 / 3.0 * (qx - px),
                py + 2.0 / 3.0 * (qy - py), px, py);
        controlX_ = qx, controlY_ = qy;
    }
    void close() {
        if (figureOpen_ && !path.types.empty()) path.types.back() |= PathPointTypeCloseSubpath;
        figureOpen_ = false;
        curX_ = startX_, curY_ = startY_;
    }

    // An elliptical arc as cubics, from its end-point form (the centre form is
    // derived as SVG defines it, radii too small for the ends grown to fit).
    void arcTo(double rx, double ry, double angleDegrees, bool large, bool sweep, double px, double py) {
        const double x1 = curX_, y1 = curY_;
        if (px == x1 && py == y1) return;  // no arc at all
        rx = std::fabs(rx), ry = std::fabs(ry);
        if (rx == 0 || ry == 0) {
            lineTo(px, py);
            return;
        }
        const double phi = std::fmod(angleDegrees, 360.0) * Pi / 180, cs = std::cos(phi), sn = std::sin(phi);
        const double dx = (x1 - px) / 2, dy = (y1 - py) / 2;
        const double x1p = cs * dx + sn * dy, y1p = -sn * dx + cs * dy;
        const double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
        if (lambda > 1) {
            const double grow = std::sqrt(lambda);
            rx *= grow, ry *= grow;
        }
        const double rx2 = rx * rx, ry2 = ry * ry;
        const double numerator = rx2 * ry2 - rx2 * y1p * y1p - ry2 * x1p * x1p;
        const double denominator = rx2 * y1p * y1p + ry2 * x1p * x1p;
        double root = denominator > 0 ? std::sqrt(std::max(0.0, numerator / denominator)) : 0;
        if (large == sweep) root = -root;
        const double cxp = root * rx * y1p / ry, cyp = -root * ry * x1p / rx;
        const double cx = cs * cxp - sn * cyp + (x1 + px) / 2, cy = sn * cxp + cs * cyp + (y1 + py) / 2;
        const double theta1 = std::atan2((y1p - cyp) / ry, (x1p - cxp) / rx);
        double delta = std::atan2((-y1p - cyp) / ry, (-x1p - cxp) / rx) - theta1;
        if (sweep && delta < 0) delta += 2 * Pi;
        else if (!sweep && delta > 0) delta -= 2 * Pi;
        if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(delta)) failHere("this arc cannot be drawn");

        // The usual cubic for a circular arc of angle t strays about
        // r t^6 / 55296 from it; the transform may stretch r.
        const double radius = std::max(rx, ry) * arcScale_;
        const double target = 0.8 * ArcTolerance;
        double step = Pi / 2;
        if (radius > 0) step = std::min(Pi / 2, std::pow(55296.0 * target / radius, 1.0 / 6));
        const int count = static_cast<int>(std::clamp(std::ceil(std::fabs(delta) / step - 1e-9), 1.0, 4096.0));
        const double each = delta / count, k = 4.0 / 3.0 * std::tan(each / 4);
        auto at = [&](double ux, double uy, double& ox, double& oy) {
            ox = cx + rx * cs * ux - ry * sn * uy;
            oy = cy + rx * sn * ux + ry * cs * uy;
        };
        double t = theta1;
        for (int i = 0; i < count; ++i) {
            const double t2 = i + 1 == count ? theta1 + delta : t + each;
            const double c1 = std::cos(t), s1 = std::sin(t), c2 = std::cos(t2), s2 = std::sin(t2);
            double ax, ay, bx, by, ex = px, ey = py;
            at(c1 - k * s1, s1 + k * c1, ax, ay);
            at(c2 + k * s2, s2 - k * c2, bx, by);
            if (i + 1 < count) at(c2, s2, ex, ey);
            cubicTo(ax, ay, bx, by, ex, ey);
            t = t2;
        }
    }

    const Element& root_;
    std::unordered_map<std::string_view, const Element*> ids_;
    std::vector<std::pair<std::string_view, std::string_view>> namespaces_;
    std::vector<const Element*> useStack_;
    std::string_view language_;
    std::unordered_map<const Element*, Extent> extents_;
    std::size_t copied_ = 0;  // weight of the copies made by use
    int depth_ = 0;           // of the walk, through every use
    Viewport viewport_{300, 150};  // user units; the default of a document without a size
    Affine ctm_;
    double arcScale_ = 1;
    std::size_t drawn_ = 0;
    const Element* shape_ = nullptr;
    const Attribute* current_ = nullptr;  // where a point out of range is blamed
    Scanner* scanner_ = nullptr;
    double curX_ = 0, curY_ = 0, startX_ = 0, startY_ = 0, controlX_ = 0, controlY_ = 0;
    bool previousCubic_ = false, previousQuadratic_ = false, figureOpen_ = false;
};

}  // namespace

std::string languageOfLocale(std::string_view locale) {
    locale = locale.substr(0, std::min(locale.find('.'), locale.find('@')));
    if (locale.empty() || locale == "C" || locale == "POSIX") return "en";
    std::string tag(locale);
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

DesignParseResult buildSvgDesign(const Element& root, std::string_view language) {
    try {
        return Builder(root, language).run();
    } catch (const Fault& f) {
        DesignParseResult result;
        result.errorLine = std::max(1, f.line);
        result.errorColumn = std::max(1, f.column);
        result.errorMessage = f.message;
        return result;
    }
}

}  // namespace vantrel::svg
