#pragma once
// The pen both design readers draw with: figures built in the reader's own
// units, each point taken through the reader's transform as it is emitted,
// into a path in inches. A drawing command right after Z starts a new figure
// at the closed one's start.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "cutdata/path.h"
#include "design/affine.h"
#include "design/design_file.h"

namespace vantrel::design {

// Arcs become cubic Béziers no further than this from the true ellipse.
inline constexpr double ArcTolerance = 0.0005;

class Pen {
public:
    // Throws the reader's own fault, at the reader's place, with `message`:
    // a point out of range, or more points than the reader allows.
    using Refuse = void (*)(void* reader, std::string message);

    Pen(Refuse refuse, void* reader, std::size_t maxPoints = std::numeric_limits<std::size_t>::max())
        : refuse_(refuse), reader_(reader), maxPoints_(maxPoints) {}

    Path path;

    // Room for about `points` points ahead, so that a big drawing's path is
    // not copied over and over as it grows. Only a hint: the room is not
    // taken when the memory is not at hand, and never beyond 2^24 points
    // (a 32-bit process has little address space to spare).
    void reserve(std::size_t points) {
        points = std::min<std::size_t>({points, std::size_t{1} << 24, maxPoints_});
        try {
            path.points.reserve(points);
            path.types.reserve(points);
        } catch (const std::bad_alloc&) {
        }
    }

    // Starts a new shape at 0, 0, whose points go through `ctm`, or are kept
    // as read, bit for bit.
    void begin(const Affine& ctm) {
        ctm_ = ctm;
        arcScale_ = ctm.maxScale();
        transformed_ = true;
        restart();
    }
    void beginUntransformed() {
        arcScale_ = 1;
        transformed_ = false;
        restart();
    }

    double x() const { return curX_; }
    double y() const { return curY_; }
    // The last control point: a cubic's second or a quadratic's one.
    double controlX() const { return controlX_; }
    double controlY() const { return controlY_; }

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

    // An elliptical arc as cubics within ArcTolerance of it (in inches, through
    // the transform), from its end-point form.
    void arcTo(double rx, double ry, double angleDegrees, bool large, bool sweep, double px, double py);

    [[noreturn]] void refuse(std::string message) const {
        refuse_(reader_, std::move(message));
        std::abort();  // a Refuse always throws
    }

private:
    void restart() {
        curX_ = curY_ = startX_ = startY_ = 0;
        figureOpen_ = false;
    }
    void ensureFigure() {
        if (figureOpen_) return;
        emit(startX_, startY_, PathPointTypeStart);
        figureOpen_ = true;
    }
    void emit(double ux, double uy, std::uint8_t type) {
        double px = ux, py = uy;
        if (transformed_) px = ctm_.a * ux + ctm_.c * uy + ctm_.e, py = ctm_.b * ux + ctm_.d * uy + ctm_.f;
        if (!(std::fabs(px) <= MaxDesignCoordinate && std::fabs(py) <= MaxDesignCoordinate))
            refuse("this point lies out of range (at most " + std::to_string(static_cast<int>(MaxDesignCoordinate)) +
                   " inches either way)");
        if (path.points.size() >= maxPoints_) refuse("the drawing has too many points");
        path.points.push_back({static_cast<float>(px), static_cast<float>(py)});
        path.types.push_back(type);
    }

    Refuse refuse_;
    void* reader_;
    std::size_t maxPoints_;
    Affine ctm_;
    double arcScale_ = 1;
    bool transformed_ = false;
    double curX_ = 0, curY_ = 0, startX_ = 0, startY_ = 0, controlX_ = 0, controlY_ = 0;
    bool figureOpen_ = false;
};

}  // namespace vantrel::design
