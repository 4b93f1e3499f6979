#include "cutdata/cut_stream.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "cutdata/commands.h"
#include "cutdata/path_ops.h"
#include "cutdata/resolution_range.h"

namespace vantrel {

namespace {

// The largest float below 2^31: every value up to it rounds into an int32.
constexpr double MaxSteps = 2147483520.0;

// False for NaN as well.
bool fitsSteps(float value) { return std::fabs(value) <= MaxSteps; }

// Digits of the decimal form, sign included. Branch-free: coordinates of
// mixed lengths would otherwise defeat the branch predictor.
int digitCount(std::int32_t value) {
    static constexpr std::uint32_t PowersOfTen[] = {1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    // Setting the low bit changes no digit count and lets 0 count as one digit.
    const std::uint32_t odd = magnitude | 1u;
    // log10 from log2: 1233 / 4096 is just above log10(2).
    const int estimate = ((32 - std::countl_zero(odd)) * 1233) >> 12;
    return estimate + 1 - (odd < PowersOfTen[estimate] ? 1 : 0) + (value < 0 ? 1 : 0);
}

// Two sinks behind one writer: the first run only measures, so the job text
// is allocated once at its exact size and never copied while it grows.
// It counts in 64 bits: in a 32-bit process a big flattened job could
// otherwise wrap the count and the text be made too short for what is written.
class MeasuringSink {
public:
    void makeRoom() {}
    void put(char) { ++size_; }
    void put(std::string_view text) { size_ += text.size(); }
    void put(std::int32_t value) { size_ += static_cast<std::uint64_t>(digitCount(value)); }
    std::uint64_t size() const { return size_; }

private:
    std::uint64_t size_ = 0;
};

class WritingSink {
public:
    explicit WritingSink(char* out) : out_(out) {}
    void makeRoom() {}
    void put(char c) { *out_++ = c; }
    void put(std::string_view text) {
        text.copy(out_, text.size());
        out_ += text.size();
    }
    // The same digits as std::to_chars, written back to front two at a time
    // into the room digitCount says they take, inline in the writing loop.
    void put(std::int32_t value) {
        static constexpr char Pairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        const int length = digitCount(value);
        std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        if (value < 0) *out_ = '-';
        char* end = out_ + length;
        char* p = end;
        while (magnitude >= 100) {
            const std::uint32_t pair = (magnitude % 100) * 2;
            magnitude /= 100;
            *--p = Pairs[pair + 1];
            *--p = Pairs[pair];
        }
        if (magnitude >= 10) {
            *--p = Pairs[magnitude * 2 + 1];
            *--p = Pairs[magnitude * 2];
        } else {
            *--p = static_cast<char>('0' + magnitude);
        }
        out_ = end;
    }
    char* position() const { return out_; }

protected:
    char* out_;
};

// Writes into a fixed block and hands it to a CutStreamWriter whenever a
// command might not fit any more. The body writers ask for room once per
// command; no command is longer than MaxCommand bytes.
class StreamingSink : public WritingSink {
public:
    static constexpr std::size_t BlockSize = std::size_t{1} << 16;
    static constexpr std::size_t MaxCommand = 128;

    StreamingSink(char* block, CutStreamWriter& writer) : WritingSink(block), block_(block), writer_(&writer) {}
    void makeRoom() {
        if (static_cast<std::size_t>(out_ - block_) > BlockSize - MaxCommand) flush();
    }
    void put(char c) { WritingSink::put(c); }
    void put(std::int32_t value) { WritingSink::put(value); }
    void put(std::string_view text) {
        while (!text.empty()) {
            makeRoom();
            const std::size_t piece = std::min(text.size(), MaxCommand);
            WritingSink::put(text.substr(0, piece));
            text.remove_prefix(piece);
        }
    }
    // False once the writer has refused a block; what follows is dropped.
    bool flush() {
        if (ok_ && out_ != block_) ok_ = writer_->write(block_, static_cast<std::size_t>(out_ - block_));
        out_ = block_;
        return ok_;
    }

private:
    char* block_;
    CutStreamWriter* writer_;
    bool ok_ = true;
};

struct StepPoint {
    std::int32_t y = 0;
    std::int32_t x = 0;
};

template <typename Sink>
[[gnu::always_inline]] inline void putPair(Sink& sink, StepPoint p) {
    sink.put(p.y);
    sink.put(',');
    sink.put(p.x);
}

int pairLength(StepPoint p) { return digitCount(p.y) + 1 + digitCount(p.x); }

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

StepPoint roundedStep(PointF p) {
    return {static_cast<std::int32_t>(roundHalfAwayFromZero(p.y)), static_cast<std::int32_t>(roundHalfAwayFromZero(p.x))};
}

// Closes the figures of `path` with every point mapped by `map`, rounding as
// it goes; false when a coordinate does not fit 32 bits (NaN included).
template <typename Map>
bool toClosedSteps(const Path& path, Map&& map, StepPath& steps) {
    std::size_t capacity = std::min(path.points.size(), path.types.size());
    for (std::uint8_t type : path.types) capacity += (type & PathPointTypeCloseSubpath) != 0;
    steps.points.resize(capacity);
    steps.types.resize(capacity);
    StepPoint* points = steps.points.data();
    std::uint8_t* types = steps.types.data();
    std::size_t n = 0, passLength = 0;
    int previousLength = 0, bezierIndex = 0;
    bool fits = true;
    visitClosedFigures(path, map, [&](PointF p, std::uint8_t type) {
        fits = fits && fitsSteps(p.x) && fitsSteps(p.y);
        const StepPoint step = fits ? roundedStep(p) : StepPoint{};
        points[n] = step;
        types[n] = type;
        ++n;
        const int length = pairLength(step);
        if ((type & PathPointTypeMask) == PathPointTypeBezier) {
            // "|BZ1," and the start pair before the first of three; "," before each.
            passLength += (bezierIndex == 0 ? 5 + previousLength : 0) + 1 + length;
            bezierIndex = (bezierIndex + 1) % 3;
        } else {
            passLength += 2 + length;  // "|M" or "|D", then the pair
            bezierIndex = 0;
        }
        previousLength = length;
    });
    steps.points.resize(n);
    steps.types.resize(n);
    steps.curvePassLength = passLength;
    return fits;
}

// The flattened form of `path` mapped by `map`: each figure flattened to
// `tolerance`, closed and rounded in turn, so that no flattened copy of the
// whole design is ever held. `bounds` gets the plain bounds of the flattened
// points before rounding (closing only repeats a figure's first point), when
// asked for.
// Every mapped point must fit 32 bits (checked before: far-out curves are
// never subdivided).
template <typename Map>
void toFlatClosedSteps(const Path& path, Map&& map, double tolerance, StepPath& steps, RectF* bounds) {
    steps.points.reserve(path.points.size() + path.points.size() / 2);
    steps.types.reserve(path.points.size() + path.points.size() / 2);
    Path figure;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    forEachFigure(path, [&](const FigureView& source) {
        figure.points.clear();
        figure.types.clear();
        const std::size_t count = source.points.size();
        PointF current{};
        for (std::size_t i = 0; i < count;) {
            if (!bezierGroupAt(source.types.data(), i, count)) {
                current = map(source.points[i]);
                figure.points.push_back(current);
                figure.types.push_back(source.types[i]);
                ++i;
                continue;
            }
            const PointF end = map(source.points[i + 2]);
            flattenCubic(current, map(source.points[i]), map(source.points[i + 1]), end, tolerance, figure.points);
            figure.types.resize(figure.points.size(), PathPointTypeLine);
            figure.types.back() = static_cast<std::uint8_t>((source.types[i + 2] & ~PathPointTypeMask) | PathPointTypeLine);
            current = end;
            i += 3;
        }
        for (const PointF& p : bounds ? std::span<const PointF>(figure.points) : std::span<const PointF>()) {
            if (!any) {
                minX = maxX = p.x, minY = maxY = p.y;
                any = true;
            }
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        visitClosedFigures(figure, [](PointF p) { return p; }, [&](PointF p, std::uint8_t type) {
            steps.points.push_back(roundedStep(p));
            steps.types.push_back(type);
        });
    });
    if (bounds) *bounds = {minX, minY, maxX - minX, maxY - minY};
}

// Writes the body of the prepared path (see the header for both forms).
class BodyWriter {
public:
    BodyWriter(const StepPath& steps, int passCount, bool keepCurves)
        : steps_(steps), passCount_(passCount), keepCurves_(keepCurves) {}

    template <typename Sink>
    void write(Sink& out) const {
        // A local copy the compiler can keep in a register: stores through a
        // char pointer could otherwise alias the sink and force a reload per byte.
        Sink sink = out;
        const std::size_t n = steps_.size();
        bool drawListMustBegin = false;
        for (std::size_t begin = 0; begin < n;) {
            std::size_t end = begin + 1;
            while (end < n && (steps_.types[end] & PathPointTypeMask) != PathPointTypeStart) ++end;
            const bool closed = (steps_.types[end - 1] & PathPointTypeCloseSubpath) != 0;
            for (int pass = 0; pass < passCount_; ++pass) {
                if (keepCurves_)
                    writeCurvePass(sink, begin, end, closed, pass);
                else
                    writeFlatPass(sink, begin, end, closed, pass, drawListMustBegin);
            }
            begin = end;
        }
        out = sink;
    }

private:
    // Every command is preceded by "|": the first one ends the origin move and
    // the trailer's ends the last command.
    template <typename Sink>
    [[gnu::always_inline]] void writeCurvePass(Sink& sink, std::size_t begin, std::size_t end, bool closed, int pass) const {
        const StepPoint* points = steps_.points.data();
        const std::uint8_t* types = steps_.types.data();
        for (std::size_t i = begin; i < end;) {
            sink.makeRoom();
            sink.put('|');
            const std::uint8_t type = types[i] & PathPointTypeMask;
            if (type == PathPointTypeBezier && i > begin && i + 2 < end) {
                sink.put(std::string_view("BZ1,"));
                putPair(sink, points[i - 1]);
                for (std::size_t k = 0; k < 3; ++k) {
                    sink.put(',');
                    putPair(sink, points[i + k]);
                }
                i += 3;
                continue;
            }
            const bool move = type == PathPointTypeStart && (pass == 0 || !closed);
            sink.put(move ? 'M' : 'D');
            putPair(sink, points[i]);
            ++i;
        }
    }

    template <typename Sink>
    [[gnu::always_inline]] void writeFlatPass(Sink& sink, std::size_t begin, std::size_t end, bool closed, int pass,
                       bool& drawListMustBegin) const {
        const StepPoint* points = steps_.points.data();
        for (std::size_t i = begin; i < end; ++i) {
            sink.makeRoom();
            const bool start = (steps_.types[i] & PathPointTypeMask) == PathPointTypeStart;
            if (start && (pass == 0 || !closed)) {
                sink.put(std::string_view("|M"));
                putPair(sink, points[i]);
                drawListMustBegin = true;
            } else if (drawListMustBegin) {
                // A later pass of a closed figure without segments also begins its
                // draw list here: extending a move would make a command of no word.
                sink.put(std::string_view("|D"));
                putPair(sink, points[i]);
                drawListMustBegin = false;
            } else {
                sink.put(',');
                putPair(sink, points[i]);
            }
        }
    }

    const StepPath& steps_;
    int passCount_;
    bool keepCurves_;
};

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

namespace {

// Everything of a job but its text: found once, then written out either way.
struct PreparedJob {
    std::string header;
    StepPath steps;
    int passCount = 1;
    bool keepCurves = true;
};

CutStreamError prepareJob(const CutJob& job, double dpiX, double dpiY, float mediaWidth, PreparedJob& prepared) {
    if (!resolutionInRange(dpiX) || !resolutionInRange(dpiY)) return CutStreamError::InvalidResolution;
    if (CutStreamError e = checkSettings(job); e != CutStreamError::None) return e;
    long long carriageLimit = job.markExtentY;
    if (!job.printAndCut) {
        const double width = std::trunc(dpiY * static_cast<double>(mediaWidth));
        if (!std::isfinite(width) || width < 1 || width > 2147483647.0) return CutStreamError::InvalidMediaWidth;
        carriageLimit = static_cast<long long>(width);
    }
    switch (findPathFault(job.path)) {
    case PathFault::None: break;
    case PathFault::NonFinite: return CutStreamError::NonFiniteCoordinate;
    default: return CutStreamError::MalformedPath;
    }

    // Placement, in inches.
    PointF offset;
    if (job.printAndCut) {
        offset = {-job.markOriginX, -job.markOriginY};
    } else if (job.knifePoint) {
        const RectF bounds = curveAwareBounds(job.path);
        offset = {-bounds.x, -bounds.y};
    } else {
        const PlacementOffset wysiwyg = wysiwygOffset(job.model, job.carrierMat);
        offset = {wysiwyg.dx, wysiwyg.dy};
    }
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y)) return CutStreamError::NonFiniteCoordinate;
    const float scaleX = static_cast<float>(dpiX), scaleY = static_cast<float>(dpiY);
    auto placed = [=](PointF p) { return placeAndScale(p, offset.x, offset.y, scaleX, scaleY); };
    // The job's path is never changed: the dialog's copy stays as it is.
    StepPath& steps = prepared.steps;
    RectF flatBounds;
    if (job.keepCurves) {
        if (!toClosedSteps(job.path, placed, steps)) return CutStreamError::CoordinateOverflow;
    } else {
        // Checked before flattening, so a far-out curve is never subdivided at all.
        for (const PointF& p : job.path.points)
            if (const PointF q = placed(p); !fitsSteps(q.x) || !fitsSteps(q.y)) return CutStreamError::CoordinateOverflow;
        toFlatClosedSteps(job.path, placed, 0.25, steps, job.trackEnhancing ? &flatBounds : nullptr);
    }

    std::string farCorner;
    if (job.trackEnhancing) {
        // The bounds of the prepared design, before rounding.
        const RectF bounds = job.keepCurves ? curveAwareBounds(closeFiguresPlacedAndScaled(job.path, offset.x, offset.y,
                                                                                           scaleX, scaleY))
                                            : flatBounds;
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
    prepared.header = cutHeader(values);
    prepared.passCount = job.passCount;
    prepared.keepCurves = job.keepCurves;
    return CutStreamError::None;
}

constexpr std::string_view OriginMove = "M0,0";

CutStreamResult buildUnguarded(const CutJob& job, double dpiX, double dpiY, float mediaWidth) {
    PreparedJob prepared;
    if (CutStreamError e = prepareJob(job, dpiX, dpiY, mediaWidth, prepared); e != CutStreamError::None)
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

CutStreamError writeUnguarded(const CutJob& job, double dpiX, double dpiY, float mediaWidth, CutStreamWriter& writer) {
    PreparedJob prepared;
    if (CutStreamError e = prepareJob(job, dpiX, dpiY, mediaWidth, prepared); e != CutStreamError::None) return e;
    std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(StreamingSink::BlockSize);
    StreamingSink out(block.get(), writer);
    out.put(prepared.header);
    out.put(OriginMove);
    BodyWriter(prepared.steps, prepared.passCount, prepared.keepCurves).write(out);
    out.put(CutTrailerTail);
    out.flush();
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

CutStreamError writeCutStream(const CutJob& job, double dpiX, double dpiY, float mediaWidth, CutStreamWriter& writer) {
    return guarded([&] { return writeUnguarded(job, dpiX, dpiY, mediaWidth, writer); }, CutStreamError::TooLarge);
}

}  // namespace vantrel
