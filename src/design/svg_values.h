#pragma once
// The values of SVG attributes the drawing is made of: numbers and their
// faults' places, lengths and units, the viewBox, transforms. Shared by the
// element walk, the shapes and the path grammar; not for use outside them.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "design/affine.h"
#include "design/decimal_number.h"

#include "design/svg_geometry.h"

namespace vantrel::svg {

inline constexpr double Pi = 3.14159265358979323846;
inline constexpr double PxPerInch = 96.0;

// A fault of the document, at a line and column.
struct Fault {
    int line;
    int column;
    std::string message;
};

[[noreturn]] void fail(const Element& e, std::string message);
// `index` counts bytes into the attribute's value.
[[noreturn]] void fail(const Attribute& a, std::size_t index, std::string message);

using design::Affine;
using design::scaling;
using design::translation;

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
std::string_view trim(std::string_view s);

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
        return decimal::isDigit(c) || c == '-' || c == '+' || c == '.';
    }

    [[noreturn]] void fail(std::string message) const { svg::fail(attr_, pos, std::move(message)); }

    double number();
    bool flag();

private:
    const Attribute& attr_;
    std::string_view s_;
};

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

Length parseLength(const Attribute& a);

struct ViewBox {
    double x = 0, y = 0, width = 0, height = 0;
};

ViewBox parseViewBox(const Attribute& a);

// The viewBox fitted into a viewport, as preserveAspectRatio says.
Affine viewBoxTransform(const ViewBox& box, double x, double y, double width, double height, const Attribute* aspect);

Affine parseTransform(const Attribute& a);

// The size, in user units, that percentages are of.
struct Viewport {
    double width = 0, height = 0;
};

// A length attribute of `e` in user units, percentages of `reference`;
// `fallback` when it is missing or "auto".
double lengthOf(const Element& e, const char* name, double fallback, double reference);
inline double lengthX(const Element& e, const char* name, const Viewport& v, double fallback = 0) {
    return lengthOf(e, name, fallback, v.width);
}
inline double lengthY(const Element& e, const char* name, const Viewport& v, double fallback = 0) {
    return lengthOf(e, name, fallback, v.height);
}

}  // namespace vantrel::svg
