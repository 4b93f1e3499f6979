#pragma once
// The pen an SVG shape is drawn with: the design's pen, which blames a point
// out of range on the place in the document that made it.
#include <string>

#include "design/pen.h"
#include "design/svg_values.h"

namespace vantrel::svg {

class SvgPen : public design::Pen {
public:
    explicit SvgPen(const Element& root) : Pen(&SvgPen::refuseAt, this, MaxSvgPoints), root_(root) {}
    SvgPen(const SvgPen&) = delete;
    SvgPen& operator=(const SvgPen&) = delete;

    // Starts drawing `shape`, whose points go through `ctm`.
    void begin(const Element& shape, const Affine& ctm) {
        Pen::begin(ctm);
        shape_ = &shape;
        current_ = nullptr;
        scanner_ = nullptr;
    }
    // Where a point out of range is blamed: the scanner's place in `attribute`.
    void blame(const Attribute* attribute, const Scanner* scanner) {
        current_ = attribute;
        scanner_ = scanner;
    }

private:
    [[noreturn]] static void refuseAt(void* pen, std::string message);

    const Element& root_;
    const Element* shape_ = nullptr;
    const Attribute* current_ = nullptr;
    const Scanner* scanner_ = nullptr;
};

}  // namespace vantrel::svg
