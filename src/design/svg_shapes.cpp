#include "design/svg_shapes.h"

#include <algorithm>
#include <cmath>

namespace vantrel::svg {

namespace {

void rect(const Element& e, const Viewport& v, SvgPen& pen) {
    const double rx0 = lengthX(e, "x", v), ry0 = lengthY(e, "y", v), w = lengthX(e, "width", v),
                 h = lengthY(e, "height", v);
    if (!(w > 0 && h > 0)) return;
    double rx = lengthX(e, "rx", v, -1), ry = lengthY(e, "ry", v, -1);
    if (rx < 0) rx = ry;
    if (ry < 0) ry = rx;
    rx = std::clamp(rx, 0.0, w / 2);
    ry = std::clamp(ry, 0.0, h / 2);
    if (rx > 0 && ry > 0) {
        pen.moveTo(rx0 + rx, ry0);
        pen.lineTo(rx0 + w - rx, ry0);
        pen.arcTo(rx, ry, 0, false, true, rx0 + w, ry0 + ry);
        pen.lineTo(rx0 + w, ry0 + h - ry);
        pen.arcTo(rx, ry, 0, false, true, rx0 + w - rx, ry0 + h);
        pen.lineTo(rx0 + rx, ry0 + h);
        pen.arcTo(rx, ry, 0, false, true, rx0, ry0 + h - ry);
        pen.lineTo(rx0, ry0 + ry);
        pen.arcTo(rx, ry, 0, false, true, rx0 + rx, ry0);
    } else {
        pen.moveTo(rx0, ry0);
        pen.lineTo(rx0 + w, ry0);
        pen.lineTo(rx0 + w, ry0 + h);
        pen.lineTo(rx0, ry0 + h);
    }
    pen.close();
}

void ellipse(double cx, double cy, double rx, double ry, SvgPen& pen) {
    pen.moveTo(cx + rx, cy);
    pen.arcTo(rx, ry, 0, false, true, cx, cy + ry);
    pen.arcTo(rx, ry, 0, false, true, cx - rx, cy);
    pen.arcTo(rx, ry, 0, false, true, cx, cy - ry);
    pen.arcTo(rx, ry, 0, false, true, cx + rx, cy);
    pen.close();
}

void polyline(const Attribute& points, bool closed, SvgPen& pen) {
    Scanner scan(points);
    pen.blame(&points, &scan);
    bool first = true;
    for (;;) {
        scan.skipSeparator();
        if (scan.atEnd()) break;
        const double px = scan.number();
        scan.skipSeparator();
        if (scan.atEnd()) scan.fail("a point has no y");
        const double py = scan.number();
        if (first) pen.moveTo(px, py);
        else pen.lineTo(px, py);
        first = false;
    }
    if (closed && !first) pen.close();
    pen.blame(nullptr, nullptr);
}

}  // namespace

void drawShape(const Element& e, std::string_view name, const Affine& ctm, const Viewport& v, SvgPen& pen) {
    pen.begin(e, ctm);
    if (name == "path") {
        if (const Attribute* d = e.find("d")) drawPathData(*d, pen);
    } else if (name == "rect") {
        rect(e, v, pen);
    } else if (name == "circle") {
        const double r = lengthOf(e, "r", 0, std::hypot(v.width, v.height) / std::sqrt(2.0));
        if (r > 0) ellipse(lengthX(e, "cx", v), lengthY(e, "cy", v), r, r, pen);
    } else if (name == "ellipse") {
        const Attribute* rxAttr = e.find("rx");
        const Attribute* ryAttr = e.find("ry");
        // One radius given stands for both.
        double rx = lengthX(e, "rx", v, -1), ry = lengthY(e, "ry", v, -1);
        if (!rxAttr) rx = ry;
        if (!ryAttr) ry = rx;
        if (rx > 0 && ry > 0) ellipse(lengthX(e, "cx", v), lengthY(e, "cy", v), rx, ry, pen);
    } else if (name == "line") {
        pen.moveTo(lengthX(e, "x1", v), lengthY(e, "y1", v));
        pen.lineTo(lengthX(e, "x2", v), lengthY(e, "y2", v));
    } else if (name == "polyline" || name == "polygon") {
        if (const Attribute* points = e.find("points")) polyline(*points, name == "polygon", pen);
    }
}

}  // namespace vantrel::svg
