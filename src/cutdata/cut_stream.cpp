#include "cutdata/cut_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>

#include "cutdata/commands.h"
#include "cutdata/cut_order.h"
#include "cutdata/path_ops.h"
#include "cutdata/step_path.h"
#include "cutdata/step_text.h"
#include "settings/resolution_range.h"

namespace vantrel {

namespace {

CutStreamError checkSettings(const CutJob& job) {
    if (job.force < 1 || job.force > 33 || job.speed < 1 || job.speed > 10 || job.passCount < 1 ||
        job.passCount > 10)
        return CutStreamError::InvalidSetting;
    if (job.printAndCut && (job.markExtentX <= 0 || job.markExtentY <= 0)) return CutStreamError::InvalidSetting;
    return CutStreamError::None;
}

CutStreamResult failure(CutStreamError error) { return {error, {}}; }

}  // namespace

const char* cutStreamErrorText(CutStreamError error) {
    switch (error) {
    case CutStreamError::None: return "No error.";
    case CutStreamError::InvalidResolution: return "The machine resolution must be from 1 to 100000 steps per inch.";
    case CutStreamError::InvalidMediaWidth: return "The media width does not give a usable cutting width.";
    case CutStreamError::InvalidSetting: return "A cut setting is out of its range.";
    case CutStreamError::MalformedPath: return "The design's path data is malformed.";
    case CutStreamError::NonFiniteCoordinate: return "The design holds a coordinate that is not a number.";
    case CutStreamError::CoordinateOverflow: return "The design lies too far out to be cut.";
    case CutStreamError::TooLarge: return "The design is too large to be prepared for cutting.";
    }
    return "Unknown error.";
}

PlacementOffset wysiwygOffset(int model, bool carrierMat) {
    switch (model) {
    case CutterModelSilhouette: return carrierMat ? PlacementOffset{0, -0.15625f} : PlacementOffset{-0.15625f, -0.15625f};
    case CutterModelCameo: return carrierMat ? PlacementOffset{0, 0} : PlacementOffset{-0.0625f, -0.15625f};
    case CutterModelPortrait:
        return carrierMat ? PlacementOffset{-0.0625f, 0.03125f} : PlacementOffset{-0.21875f, -0.21875f};
    default: return {};
    }
}

int feedLimit(int model) { return model == CutterModelCameo || model == CutterModelPortrait ? 60000 : 20000; }

namespace {

// Flattened curves stay this close to the true curve, in steps.
constexpr double FlatTolerance = 0.25;

// Everything of a job but its text: found once, then written out either way.
struct PreparedJob {
    std::string header;
    long long carriageLimit = 0, feedLength = 0;
    StepPath steps;
    int passCount = 1;
    bool keepCurves = true;
    // Flattened a figure at a time as the text is written (the steps then
    // are left empty): only in drawing order, and when no header command
    // needs the flattened design's bounds first.
    bool streamFlat = false;
    StepPlacement place;
};

// The carriage limit in steps: the marks' extent for Print and Cut, else the
// media width; 0 when the media width gives no usable one.
long long carriageLimitOf(const CutJob& job, double dpiY, float mediaWidth) {
    if (job.printAndCut) return job.markExtentY;
    const double width = std::trunc(dpiY * static_cast<double>(mediaWidth));
    if (!std::isfinite(width) || width < 1 || width > 2147483647.0) return 0;
    return static_cast<long long>(width);
}

// Where the design's (0, 0) goes, in inches, by cut type.
PointF placementOffsetOf(const CutJob& job) {
    if (job.printAndCut) return {-job.markOriginX, -job.markOriginY};
    if (job.knifePoint) {
        const RectF bounds = curveAwareBounds(job.path);
        return {-bounds.x, -bounds.y};
    }
    const PlacementOffset wysiwyg = wysiwygOffset(job.model, job.carrierMat);
    return {wysiwyg.dx, wysiwyg.dy};
}

// Rounds the placed design into `steps`, flattening it unless curves are
// kept; `flatBounds` gets the flattened bounds when track enhancing needs them.
// The job's path is never changed: the dialog's copy stays as it is.
CutStreamError toSteps(const CutJob& job, const StepPlacement& place, bool streamFlat, StepPath& steps,
                       RectF& flatBounds) {
    if (job.keepCurves) return toClosedSteps(job.path, place, steps) ? CutStreamError::None : CutStreamError::CoordinateOverflow;
    // Checked before flattening, so a far-out curve is never subdivided at all.
    for (const PointF& p : job.path.points)
        if (const PointF q = place(p); !fitsSteps(q.x) || !fitsSteps(q.y)) return CutStreamError::CoordinateOverflow;
    if (!streamFlat) toFlatClosedSteps(job.path, place, FlatTolerance, steps, job.trackEnhancing ? &flatBounds : nullptr);
    return CutStreamError::None;
}

// The far-corner command of track enhancing: the bounds of the prepared
// design, before rounding.
std::string farCornerOf(const CutJob& job, const StepPlacement& place, const RectF& flatBounds) {
    if (!job.trackEnhancing) return {};
    const RectF bounds =
        job.keepCurves ? curveAwareBounds(closeFiguresPlacedAndScaled(job.path, place.offset.x, place.offset.y,
                                                                      place.scaleX, place.scaleY))
                       : flatBounds;
    CommandStream fu;
    fu.farCorner(roundHalfAwayFromZero(bounds.y + bounds.height), roundHalfAwayFromZero(bounds.x + bounds.width));
    return fu.release();
}

long long feedLengthOf(const CutJob& job) { return job.printAndCut ? job.markExtentX : feedLimit(job.model); }

std::string headerOf(const CutJob& job, std::string_view farCorner, long long carriageLimit) {
    CutHeaderValues values;
    values.jobPrefix = job.printAndCut ? std::string_view() : JobPrefix;
    values.bladeOffset = job.bladeOffset ? 18 : 0;
    values.farCorner = farCorner;
    values.feedLength = feedLengthOf(job);
    values.margin = job.printAndCut || job.knifePoint ? 0 : 29;
    values.carriageLimit = carriageLimit;
    values.force = job.force;
    values.speed = job.speed;
    return cutHeader(values);
}

CutStreamError checkPath(const Path& path) {
    switch (findPathFault(path)) {
    case PathFault::None: return CutStreamError::None;
    case PathFault::NonFinite: return CutStreamError::NonFiniteCoordinate;
    default: return CutStreamError::MalformedPath;
    }
}

CutStreamError prepareJob(const CutJob& job, double dpiX, double dpiY, float mediaWidth, bool streaming,
                          PreparedJob& prepared) {
    if (!resolutionInRange(dpiX) || !resolutionInRange(dpiY)) return CutStreamError::InvalidResolution;
    if (CutStreamError e = checkSettings(job); e != CutStreamError::None) return e;
    const long long carriageLimit = carriageLimitOf(job, dpiY, mediaWidth);
    if (carriageLimit == 0 && !job.printAndCut) return CutStreamError::InvalidMediaWidth;
    if (CutStreamError e = checkPath(job.path); e != CutStreamError::None) return e;
    const StepPlacement place{placementOffsetOf(job), static_cast<float>(dpiX), static_cast<float>(dpiY)};
    if (!std::isfinite(place.offset.x) || !std::isfinite(place.offset.y)) return CutStreamError::NonFiniteCoordinate;
    prepared.streamFlat = streaming && !job.keepCurves && job.order == CutOrder::Drawing && !job.trackEnhancing;
    prepared.place = place;
    RectF flatBounds;
    if (CutStreamError e = toSteps(job, place, prepared.streamFlat, prepared.steps, flatBounds); e != CutStreamError::None)
        return e;
    orderFigures(prepared.steps, job.order);
    prepared.header = headerOf(job, farCornerOf(job, place, flatBounds), carriageLimit);
    prepared.carriageLimit = carriageLimit;
    prepared.feedLength = feedLengthOf(job);
    prepared.passCount = job.passCount;
    prepared.keepCurves = job.keepCurves;
    return CutStreamError::None;
}

constexpr std::string_view OriginMove = "M0,0";

// Writes each flattened figure as it is made. Every figure starts with a
// move, so figures written one by one give the text of the whole.
class FigureWriter final : public FlatFigureTaker {
public:
    FigureWriter(StreamingSink& out, int passCount, StepReach& reach) : out_(out), passCount_(passCount), reach_(reach) {}
    void take(const StepPath& figure) override {
        BodyWriter(figure, passCount_, false).write(out_);
        const StepReach r = reachOf(figure);
        reach_.y = std::max(reach_.y, r.y);
        reach_.x = std::max(reach_.x, r.x);
    }

private:
    StreamingSink& out_;
    int passCount_;
    StepReach& reach_;
};

CutStreamResult buildUnguarded(const CutJob& job, double dpiX, double dpiY, float mediaWidth) {
    PreparedJob prepared;
    if (CutStreamError e = prepareJob(job, dpiX, dpiY, mediaWidth, false, prepared); e != CutStreamError::None)
        return failure(e);
    BodyWriter body(prepared.steps, prepared.passCount, prepared.keepCurves);
    std::uint64_t bodyLength =
        static_cast<std::uint64_t>(prepared.steps.curvePassLength) * static_cast<std::uint64_t>(prepared.passCount);
    if (!prepared.keepCurves) {
        MeasuringSink measure;
        body.write(measure);
        bodyLength = measure.size();
    }
    CutStreamResult result;
    const std::uint64_t length = prepared.header.size() + OriginMove.size() + bodyLength + CutTrailerTail.size();
    if (length > result.text.max_size()) return failure(CutStreamError::TooLarge);
    result.text.resize(static_cast<std::size_t>(length));
    WritingSink out(result.text.data());
    out.put(prepared.header);
    out.put(OriginMove);
    body.write(out);
    out.put(CutTrailerTail);
    result.text.resize(static_cast<std::size_t>(out.position() - result.text.data()));
    return result;
}

CutStreamError writeUnguarded(const CutJob& job, double dpiX, double dpiY, float mediaWidth, CutStreamWriter& writer,
                              JobExtent* extent) {
    PreparedJob prepared;
    if (CutStreamError e = prepareJob(job, dpiX, dpiY, mediaWidth, true, prepared); e != CutStreamError::None) return e;
    std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(StreamingSink::BlockSize);
    StreamingSink out(block.get(), writer);
    out.put(prepared.header);
    out.put(OriginMove);
    StepReach reach;
    if (prepared.streamFlat) {
        FigureWriter figures(out, prepared.passCount, reach);
        toFlatClosedSteps(job.path, prepared.place, FlatTolerance, prepared.steps, nullptr, &figures);
    } else {
        BodyWriter(prepared.steps, prepared.passCount, prepared.keepCurves).write(out);
        reach = reachOf(prepared.steps);
    }
    out.put(CutTrailerTail);
    out.flush();
    if (extent)
        *extent = {reach.y, reach.x, static_cast<double>(prepared.carriageLimit), static_cast<double>(prepared.feedLength)};
    return CutStreamError::None;
}

// A design too big for the memory at hand (or, in a 32-bit process, for one
// string) is an error like the others, not a crash of the host.
template <typename Result, typename Build>
Result guarded(Build&& build, Result tooLarge) {
    try {
        return build();
    } catch (const std::bad_alloc&) {
        return tooLarge;
    } catch (const std::length_error&) {
        return tooLarge;
    }
}

}  // namespace

CutStreamResult buildCutStream(const CutJob& job, double dpiX, double dpiY, float mediaWidth) {
    return guarded([&] { return buildUnguarded(job, dpiX, dpiY, mediaWidth); }, failure(CutStreamError::TooLarge));
}

CutStreamError writeCutStream(const CutJob& job, double dpiX, double dpiY, float mediaWidth, CutStreamWriter& writer,
                              JobExtent* extent) {
    return guarded([&] { return writeUnguarded(job, dpiX, dpiY, mediaWidth, writer, extent); }, CutStreamError::TooLarge);
}

}  // namespace vantrel
