#include "design/svg_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <system_error>

namespace vantrel::svg {

void fail(const Element& e, std::string message) { throw Fault{e.line, e.column, std::move(message)}; }

void fail(const Attribute& a, std::size_t index, std::string message) {
    int line = a.line, column = a.column;
    for (std::size_t i = 0; i < index && i < a.value.size(); ++i) {
        // Characters, as editors count them: not the bytes that continue one.
        if (a.value[i] == '\n') ++line, column = 1;
        else if ((static_cast<unsigned char>(a.value[i]) & 0xC0) != 0x80) ++column;
    }
    throw Fault{line, column, std::string(a.name) + ": " + std::move(message)};
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

double Scanner::number() {
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
bool Scanner::flag() {
    skipSeparator();
    if (atEnd() || (s_[pos] != '0' && s_[pos] != '1')) fail("an arc flag (0 or 1) is expected here");
    return s_[pos++] == '1';
}

namespace {

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

}  // namespace

Length parseLength(const Attribute& a) {
    Scanner scan(a);
    Length length;
    length.value = scan.number();
    const std::string_view rest = trim(a.value.substr(scan.pos));
    length.inchesPerUnit = inchesPerUnit(rest);
    if (length.inchesPerUnit < 0) scan.fail("unknown unit \"" + std::string(rest) + "\"");
    return length;
}

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

Affine viewBoxTransform(const ViewBox& box, double x, double y, double width, double height, const Attribute* aspect) {
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

double lengthOf(const Element& e, const char* name, double fallback, double reference) {
    const Attribute* a = e.find(name);
    if (!a || trim(a->value) == "auto") return fallback;
    return parseLength(*a).user(reference);
}

}  // namespace vantrel::svg
