#pragma once
// A design placed, scaled and rounded to whole machine steps, with every
// closed figure given its closing segment: what the cut stream writes out,
// once per pass. Internal to the cut stream.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "cutdata/path.h"
#include "cutdata/path_ops.h"

namespace vantrel {

// The largest float below 2^31: every value up to it rounds into an int32.
inline constexpr double MaxSteps = 2147483520.0;

// False for NaN as well.
inline bool fitsSteps(float value) { return std::fabs(value) <= MaxSteps; }

struct StepPoint {
    std::int32_t y = 0;
    std::int32_t x = 0;
};

// Leaves new elements of trivial types uninitialised on resize: every one is
// written before it is read, and clearing a big array first costs a pass.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// The prepared path in whole steps: rounded once, then written for every pass.
struct StepPath {
    std::vector<StepPoint, UninitialisedAllocator<StepPoint>> points;
    std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>> types;
    std::size_t size() const { return points.size(); }
    // Length of one pass over every figure in the curve form, found while
    // rounding so that no separate measuring run is needed for it.
    std::size_t curvePassLength = 0;
};

// Design inches to machine steps: moved by the placement offset, then scaled.
struct StepPlacement {
    PointF offset;
    float scaleX = 1;
    float scaleY = 1;
    PointF operator()(PointF p) const { return placeAndScale(p, offset.x, offset.y, scaleX, scaleY); }
};

// Closes the figures of `path` placed by `place`, rounding as it goes; false
// when a coordinate does not fit 32 bits (NaN included).
// `place` is taken by value: a copy of the caller's could be changed by the
// byte stores here, as far as the compiler knows, and be reloaded per point.
bool toClosedSteps(const Path& path, StepPlacement place, StepPath& steps);

// The flattened form of `path` placed by `place`: each figure flattened to
// `tolerance`, closed and rounded in turn, so that no flattened copy of the
// whole design is ever held. `bounds` gets the plain bounds of the flattened
// points before rounding (closing only repeats a figure's first point), when
// asked for.
// Every placed point must fit 32 bits (checked before: far-out curves are
// never subdivided).
// With `figures`, each figure is handed over as soon as it is made and
// `steps` then holds that figure alone: a big flattened job is written out
// without ever being held whole.
class FlatFigureTaker {
public:
    virtual void take(const StepPath& figure) = 0;

protected:
    ~FlatFigureTaker() = default;
};
void toFlatClosedSteps(const Path& path, StepPlacement place, double tolerance, StepPath& steps,
                       RectF* bounds, FlatFigureTaker* figures = nullptr);

// How far the lowered tool goes from home as the machine carries out the
// body of `steps` in its curve or flat form, in steps: every point of a
// figure that draws (two points or more), and a curve's own far point, not
// its control points. Found from the steps, so that a job written out is
// never read back for it.
struct StepReach {
    double y = 0;  // across the carriage
    double x = 0;  // along the feed
};
StepReach reachOf(const StepPath& steps);

}  // namespace vantrel
