#pragma once
// The pen an SVG shape is drawn with: figures in the shape's own user units,
// each point taken through the shape's transform as it is emitted, in inches.
// A drawing command right after Z starts a new figure at the closed one's start.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cutdata/path.h"
#include "design/svg_values.h"

namespace vantrel::svg {

class SvgPen {
public:
    explicit SvgPen(const Element& root) : root_(root) {}

    Path path;

    // Starts drawing `shape`, whose points go through `ctm`.
    void begin(const Element& shape, const Affine& ctm);
    // Where a point out of range is blamed: the scanner's place in `attribute`.
    void blame(const Attribute* attribute, const Scanner* scanner) {
        current_ = attribute;
        scanner_ = scanner;
    }

    double x() const { return curX_; }
    double y() const { return curY_; }
    // The last control point: a cubic's second or a quadratic's one.
    double controlX() const { return controlX_; }
    double controlY() const { return controlY_; }

    void moveTo(double px, double py);
    void lineTo(double px, double py);
    void cubicTo(double x1, double y1, double x2, double y2, double px, double py);
    // A quadratic is an exact cubic with controls two thirds of the way to q.
    void quadTo(double qx, double qy, double px, double py);
    void close();
    // An elliptical arc as cubics within ArcTolerance, from its end-point form.
    void arcTo(double rx, double ry, double angleDegrees, bool large, bool sweep, double px, double py);

    [[noreturn]] void failHere(std::string message) const;

private:
    void emit(double ux, double uy, std::uint8_t type);
    void ensureFigure();

    const Element& root_;
    Affine ctm_;
    double arcScale_ = 1;
    const Element* shape_ = nullptr;
    const Attribute* current_ = nullptr;
    const Scanner* scanner_ = nullptr;
    double curX_ = 0, curY_ = 0, startX_ = 0, startY_ = 0, controlX_ = 0, controlY_ = 0;
    bool figureOpen_ = false;
};

}  // namespace vantrel::svg
