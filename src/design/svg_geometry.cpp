#include "design/svg_geometry.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cutdata/reg_marks.h"
#include "design/svg_dashes.h"
#include "design/svg_pen.h"
#include "design/svg_shapes.h"
#include "design/svg_style.h"
#include "design/svg_values.h"

namespace vantrel::svg {

const Attribute* Element::find(std::string_view attributeName) const {
    for (const Attribute& a : attributes)
        if (a.name == attributeName) return &a;
    return nullptr;
}

namespace {

constexpr std::string_view SvgNamespace = "http://www.w3.org/2000/svg";
// Deeper nesting of `use` than this is refused: it only ever comes from a
// document made to explode.
constexpr int MaxUseDepth = 16;
// Elements that the copies `use` makes may visit, beyond the document's own
// (each visited once, and counted whatever it turns out to draw: a `use`
// without its target too). Every visit costs about the same, so this bounds
// the walk's time whatever the copies hold; the points they make are bounded
// by MaxSvgPoints. Hundreds of tiled clones of a detailed group stay far below.
constexpr std::size_t MaxCopiedElements = 100'000;

// What drawing an element will make, counted before it is made: its weight
// (the elements the walk visits, through every `use`) and its height (the
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
    Builder(const Element& root, std::string_view language) : root_(root), language_(language), pen_(root) {
        index(root);
    }

    DesignParseResult run() {
        Namespaces scope(*this, root_);
        if (!isSvg(root_) || localName(root_.name) != "svg")
            fail(root_, "the document's root element is <" + std::string(root_.name) + ">, not <svg>");
        const Style style = styleOf(root_, Style{});
        if (style.displayNone) return finish();
        const Affine ctm = outerViewport();
        page_->userToInches = ctm;
        children(root_, ctm, style);
        return finish();
    }

    std::vector<LeftOutKind> leftOut;

private:
    bool millimetres_ = false;
    std::vector<DashedStroke> dashed_;  // shapes stroked with a dash pattern
    std::optional<DesignPage> page_;
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
        result.path = std::move(pen_.path);
        result.leftOut = std::move(leftOut);
        result.millimetres = millimetres_;
        result.dashed = std::move(dashed_);
        result.page = page_;
        return result;
    }

    // Compared before it is copied: copies may note the same thing many times.
    void note(std::string_view kind) {
        for (LeftOutKind& k : leftOut)
            if (k.kind == kind) {
                ++k.count;
                return;
            }
        leftOut.push_back({std::string(kind), 1});
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
        // Every SVG document has a page; a size it does not give is left 0.
        // Its user units are set by run() from the transform returned here.
        const bool sized = haveWidth && haveHeight;
        page_ = DesignPage{sized ? width.inches() : 0, sized ? height.inches() : 0, {}};
        if (!boxAttr) return px;
        const ViewBox box = parseViewBox(*boxAttr);
        viewport_ = {box.width, box.height};
        double w = haveWidth ? width.inches() : 0, h = haveHeight ? height.inches() : 0;
        if (!haveWidth && !haveHeight) {
            page_ = DesignPage{box.width / PxPerInch, box.height / PxPerInch, {}};
            return px * translation(-box.x, -box.y);
        }
        if (!haveWidth) w = h * box.width / box.height;
        if (!haveHeight) h = w * box.height / box.width;
        page_ = DesignPage{w, h, {}};
        return viewBoxTransform(box, 0, 0, w, h, root_.find("preserveAspectRatio"));
    }

    double x(const Element& e, const char* name) { return lengthX(e, name, viewport_); }
    double y(const Element& e, const char* name) { return lengthY(e, name, viewport_); }

    void children(const Element& e, const Affine& ctm, const Style& style) {
        const bool isSwitch = localName(e.name) == "switch";
        for (const Element& child : e.children) {
            Namespaces scope(*this, child);
            if (!isSvg(child)) continue;
            // A switch shows its first rendering child whose conditions pass:
            // defs, title, metadata and the like are never its choice.
            if (isSwitch && (isNeverDrawn(localName(child.name)) || !conditionsPass(child, language_))) continue;
            draw(child, ctm, style);
            if (isSwitch) break;
        }
    }

    // The printed registration marks: Inkscape's layer of that label.
    static bool isMarksLayer(const Element& e) {
        const Attribute* mode = e.find("inkscape:groupmode");
        const Attribute* label = e.find("inkscape:label");
        return mode && label && mode->value == "layer" && label->value == RegMarkLayerLabel;
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
        const Level level(*this, e);
        const Style style = styleOf(e, parentStyle);
        if (style.displayNone || isNeverDrawn(name) || !conditionsPass(e, language_) || isMarksLayer(e)) return;
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
            const std::size_t first = pen_.path.points.size();
            drawShape(e, name, ctm, viewport_, pen_);
            noteDashedStroke(dashed_, style, ctm, viewport_, first, pen_.path.points.size());
        } else {
            // Appended, not added up: GCC 12 warns wrongly on "<" + string at -O3.
            if (!style.hidden) note(std::string("<").append(name).append(">"));
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
        const Attribute* href = nullptr;
        if (const Element* target = localName(e.name) == "use" ? useTarget(e, href) : nullptr) {
            if (const auto known = extents_.find(target); known != extents_.end() && known->second.height == 0)
                failLoop(*href);
            add(*target);
        }
        // What is never drawn is still visited, but not below.
        for (const Element& child : e.children) {
            if (isNeverDrawn(localName(child.name))) extent.weight = addWeight(extent.weight, 1);
            else add(child);
        }
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
        // the elements of a copy that no other copy holds (theirs hold its own).
        const Extent extent = measure(referenced, depth_ + 1);
        if (useStack_.empty()) {
            copied_ = addWeight(copied_, extent.weight);
            if (copied_ > MaxCopiedElements)
                fail(*href, 0, "use copies too much (more than " + std::to_string(MaxCopiedElements) +
                                   " elements visited in all)");
        }
        useStack_.push_back(&referenced);
        ctm = ctm * translation(x(e, "x"), y(e, "y"));
        Namespaces scope(*this, referenced);
        if (isSvg(referenced)) {
            const std::string_view name = localName(referenced.name);
            const Style inner = styleOf(referenced, style);
            // display does not apply to a symbol: sprite sheets hide theirs
            // with display:none and still place them.
            if ((name == "symbol" || (name == "svg" && !inner.displayNone)) && conditionsPass(referenced, language_)) {
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

    const Element& root_;
    std::unordered_map<std::string_view, const Element*> ids_;
    std::vector<std::pair<std::string_view, std::string_view>> namespaces_;
    std::vector<const Element*> useStack_;
    std::string_view language_;
    std::unordered_map<const Element*, Extent> extents_;
    std::size_t copied_ = 0;  // elements the copies made by use visit
    int depth_ = 0;           // of the walk, through every use
    Viewport viewport_{300, 150};  // user units; the default of a document without a size
    SvgPen pen_;
};

}  // namespace

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