#include "cutdata/cut_stream.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cutdata/commands.h"
#include "cutdata/path_ops.h"

namespace vantrel {

namespace {

// The largest float below 2^31: every value up to it rounds into an int32.
constexpr double MaxSteps = 2147483520.0;

bool finiteResolution(double dpi) { return std::isfinite(dpi) && dpi > 0; }

bool fitsSteps(float value) { return std::fabs(value) <= MaxSteps; }

int digitCount(std::int32_t value) {
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    int count = value < 0 ? 1 : 0;
    if (magnitude < 10) return count + 1;
    if (magnitude < 100) return count + 2;
    if (magnitude < 1000) return count + 3;
    if (magnitude < 10000) return count + 4;
    if (magnitude < 100000) return count + 5;
    if (magnitude < 1000000) return count + 6;
    if (magnitude < 10000000) return count + 7;
    if (magnitude < 100000000) return count + 8;
    if (magnitude < 1000000000) return count + 9;
    return count + 10;
}

// Two sinks behind one writer: the first run only measures, so the job text
// is allocated once at its exact size and never copied while it grows.
class MeasuringSink {
public:
    void put(char) { ++size_; }
    void put(std::string_view text) { size_ += text.size(); }
    void put(std::int32_t value) { size_ += static_cast<std::size_t>(digitCount(value)); }
    std::size_t size() const { return size_; }

private:
    std::size_t size_ = 0;
};

class WritingSink {
public:
    explicit WritingSink(char* out) : out_(out) {}
    void put(char c) { *out_++ = c; }
    void put(std::string_view text) {
        text.copy(out_, text.size());
        out_ += text.size();
    }
    void put(std::int32_t value) { out_ = std::to_chars(out_, out_ + 11, value).ptr; }
    char* position() const { return out_; }

private:
    char* out_;
};

struct StepPoint {
    std::int32_t y = 0;
    std::int32_t x = 0;
};

template <typename Sink>
void putPair(Sink& sink, StepPoint p) {
    sink.put(p.y);
    sink.put(',');
    sink.put(p.x);
}

// Writes the body of the prepared path (see the header for both forms).
class BodyWriter {
public:
    BodyWriter(const Path& prepared, int passCount, bool keepCurves)
        : path_(prepared), passCount_(passCount), keepCurves_(keepCurves) {}

    template <typename Sink>
    void write(Sink& sink) {
        bool drawListMustBegin = false;
        forEachFigure(path_, [&](const FigureView& figure) {
            // Rounded once per figure and reused for every pass.
            steps_.resize(figure.points.size());
            for (std::size_t i = 0; i < figure.points.size(); ++i)
                steps_[i] = {static_cast<std::int32_t>(roundHalfAwayFromZero(figure.points[i].y)),
                             static_cast<std::int32_t>(roundHalfAwayFromZero(figure.points[i].x))};
            for (int pass = 0; pass < passCount_; ++pass) {
                if (keepCurves_)
                    writeCurvePass(sink, figure, pass);
                else
                    writeFlatPass(sink, figure, pass, drawListMustBegin);
            }
        });
    }

private:
    // Every command is preceded by "|": the first one ends the origin move and
    // the trailer's ends the last command.
    template <typename Sink>
    void writeCurvePass(Sink& sink, const FigureView& figure, int pass) {
        const std::size_t n = figure.points.size();
        for (std::size_t i = 0; i < n;) {
            sink.put('|');
            const std::uint8_t type = figure.types[i] & PathPointTypeMask;
            if (type == PathPointTypeBezier && i > 0 && i + 2 < n) {
                sink.put(std::string_view("BZ1,"));
                putPair(sink, steps_[i - 1]);
                for (std::size_t k = 0; k < 3; ++k) {
                    sink.put(',');
                    putPair(sink, steps_[i + k]);
                }
                i += 3;
                continue;
            }
            const bool move = type == PathPointTypeStart && (pass == 0 || !figure.closed);
            sink.put(move ? 'M' : 'D');
            putPair(sink, steps_[i]);
            ++i;
        }
    }

    template <typename Sink>
    void writeFlatPass(Sink& sink, const FigureView& figure, int pass, bool& drawListMustBegin) {
        for (std::size_t i = 0; i < figure.points.size(); ++i) {
            const bool start = (figure.types[i] & PathPointTypeMask) == PathPointTypeStart;
            if (start && (pass == 0 || !figure.closed)) {
                sink.put(std::string_view("|M"));
                putPair(sink, steps_[i]);
                drawListMustBegin = true;
            } else if (drawListMustBegin) {
                // A later pass of a closed figure without segments also begins its
                // draw list here: extending a move would make a command of no word.
                sink.put(std::string_view("|D"));
                putPair(sink, steps_[i]);
                drawListMustBegin = false;
            } else {
                sink.put(',');
                putPair(sink, steps_[i]);
            }
        }
    }

    const Path& path_;
    int passCount_;
    bool keepCurves_;
    std::vector<StepPoint> steps_;
};

bool allFinite(const Path& path) {
    for (const PointF& p : path.points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    return true;
}

bool allFitSteps(const Path& path) {
    for (const PointF& p : path.points)
        if (!fitsSteps(p.x) || !fitsSteps(p.y)) return false;
    return true;
}

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
    case CutStreamError::InvalidResolution: return "The machine resolution must be a number greater than 0.";
    case CutStreamError::InvalidMediaWidth: return "The media width does not give a usable cutting width.";
    case CutStreamError::InvalidSetting: return "A cut setting is out of its range.";
    case CutStreamError::MalformedPath: return "The design's path data is malformed.";
    case CutStreamError::NonFiniteCoordinate: return "The design holds a coordinate that is not a number.";
    case CutStreamError::CoordinateOverflow: return "The design lies too far out to be cut.";
    }
    return "Unknown error.";
}

long long roundHalfAwayFromZero(double value) {
    return value >= 0 ? static_cast<long long>(value + 0.5) : static_cast<long long>(value - 0.5);
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

CutStreamResult buildCutStream(const CutJob& job, double dpiX, double dpiY, float mediaWidth) {
    if (!finiteResolution(dpiX) || !finiteResolution(dpiY)) return failure(CutStreamError::InvalidResolution);
    if (CutStreamError e = checkSettings(job); e != CutStreamError::None) return failure(e);
    long long carriageLimit = job.markExtentY;
    if (!job.printAndCut) {
        const double width = std::trunc(dpiY * static_cast<double>(mediaWidth));
        if (!std::isfinite(width) || width < 1 || width > 2147483647.0) return failure(CutStreamError::InvalidMediaWidth);
        carriageLimit = static_cast<long long>(width);
    }
    switch (findPathFault(job.path)) {
    case PathFault::None: break;
    case PathFault::NonFinite: return failure(CutStreamError::NonFiniteCoordinate);
    default: return failure(CutStreamError::MalformedPath);
    }

    // The job works on its own copy: the dialog's path stays as it is.
    Path work = clonePath(job.path);
    if (job.printAndCut) {
        translatePath(work, -job.markOriginX, -job.markOriginY);
    } else if (job.knifePoint) {
        const RectF bounds = curveAwareBounds(work);
        translatePath(work, -bounds.x, -bounds.y);
    } else {
        const PlacementOffset offset = wysiwygOffset(job.model, job.carrierMat);
        translatePath(work, offset.dx, offset.dy);
    }
    toMachineUnits(work, static_cast<float>(dpiX), static_cast<float>(dpiY), true);
    // Checked before flattening, so a far-out curve is never subdivided at all.
    if (!allFinite(work)) return failure(CutStreamError::NonFiniteCoordinate);
    if (!allFitSteps(work)) return failure(CutStreamError::CoordinateOverflow);
    if (!job.keepCurves) work = flattenPath(work, 0.25);
    const Path prepared = closeFigures(work);
    work = Path();

    std::string farCorner;
    if (job.trackEnhancing) {
        const RectF bounds = curveAwareBounds(prepared);
        CommandStream fu;
        fu.farCorner(roundHalfAwayFromZero(bounds.y + bounds.height), roundHalfAwayFromZero(bounds.x + bounds.width));
        farCorner = fu.release();
    }
    const long long feedLength = job.printAndCut ? job.markExtentX : feedLimit(job.model);
    CutHeaderValues values;
    values.jobPrefix = job.printAndCut ? std::string_view() : JobPrefix;
    values.bladeOffset = job.bladeOffset ? 18 : 0;
    values.farCorner = farCorner;
    values.feedLength = feedLength;
    values.margin = job.printAndCut || job.knifePoint ? 0 : 29;
    values.carriageLimit = carriageLimit;
    values.force = job.force;
    values.speed = job.speed;
    const std::string header = cutHeader(values);

    BodyWriter body(prepared, job.passCount, job.keepCurves);
    MeasuringSink measure;
    body.write(measure);
    constexpr std::string_view OriginMove = "M0,0";
    CutStreamResult result;
    result.text.resize(header.size() + OriginMove.size() + measure.size() + CutTrailerTail.size());
    WritingSink out(result.text.data());
    out.put(header);
    out.put(OriginMove);
    body.write(out);
    out.put(CutTrailerTail);
    result.text.resize(static_cast<std::size_t>(out.position() - result.text.data()));
    return result;
}

}  // namespace vantrel
