#pragma once
// The cut stream: one job's whole command text from a CutJob. Pure: the caller
// reads the resolution and the media width and hands the text to the queue.
//
// The text is: header, "M0,0", body, "|&1,1,1|TB50,0|FO0|H|". The design is
// placed by cut type ("Print and Cut": the origin mark's top-left corner
// becomes (0, 0); "Knife Point": the design's curve-aware top-left corner;
// "WYSIWYG": the per-model offset of wysiwygOffset), scaled to steps, and every
// closed figure is given its explicit closing segment. Coordinates are rounded
// half away from zero and written (y, x).
//
// Body with keepCurves: "|" then, per figure and per pass, "M" (or "D" on a
// later pass of a closed figure, where the blade stays down) for the start
// point, "D" per line point and "BZ1,..." per curve, the last command's "|"
// being the trailer's. Without keepCurves the design is flattened to 0.25 step
// and each figure becomes "|M" y,x then one draw list "|D" y,x ",y,x"...; all
// passes of a closed figure extend one draw list.
//
// Bad input never yields a job: the result then carries an error and no text.
//  - resolution outside 1 to 100000 steps per inch (NaN included)
//                                                          -> InvalidResolution
//  - media width not finite, or a carriage limit below 1 step or beyond
//    32 bits (not checked for Print and Cut, which does not use it)
//                                                          -> InvalidMediaWidth
//  - force outside 1..33, speed outside 1..10, passes outside 1..10, or a
//    Print and Cut job whose mark extents are not positive -> InvalidSetting
//  - point and type arrays of different sizes, no start point first, a type
//    other than start/line/Bézier, a Bézier run not in threes -> MalformedPath
//  - a NaN or infinite coordinate (design or mark origin)  -> NonFiniteCoordinate
//  - a coordinate whose steps do not fit a signed 32-bit integer
//                                                          -> CoordinateOverflow
// An empty path is not an error: it gives header, "M0,0" and trailer.
#include <cstddef>
#include <string>

#include "cutdata/cut_job.h"
#include "cutdata/path.h"

namespace vantrel {

enum class CutStreamError {
    None,
    InvalidResolution,
    InvalidMediaWidth,
    InvalidSetting,
    MalformedPath,
    NonFiniteCoordinate,
    CoordinateOverflow,
    TooLarge,  // the job does not fit in memory
};

// A fixed English sentence for each error, fit for a message box or a tool's output.
const char* cutStreamErrorText(CutStreamError error);

struct CutStreamResult {
    CutStreamError error = CutStreamError::None;
    std::string text;   // the job in the system's "|" form; empty on error
    bool ok() const { return error == CutStreamError::None; }
};

CutStreamResult buildCutStream(const CutJob& job, double dpiX, double dpiY, float mediaWidth);

// Takes a job's text in pieces, in order. The bytes of a piece are the
// writer's to change in place (a writer to the wire turns "|" into ETX there).
// Returning false refuses the piece: nothing more is handed over.
class CutStreamWriter {
public:
    virtual ~CutStreamWriter() = default;
    virtual bool write(char* text, std::size_t size) = 0;
};

// How far a job takes the tool, in steps from home, against the working area
// it names: what the machine leaves uncut lies beyond the limits.
struct JobExtent {
    double reachY = 0, reachX = 0;  // the lowered tool's farthest, across the carriage and along the feed
    double limitY = 0, limitX = 0;  // the working area's far corner (the job's "Z" command)
};

// The same text as buildCutStream, handed to `writer` in pieces of at most
// 64 KiB as it is made, so that a big job is never held whole. Every error is
// found before the first piece, but for TooLarge in a flattened job in
// drawing order, which is flattened a figure at a time as it is written: a
// figure too big for the memory at hand is found where it comes, and the
// caller drops what it was handed. A writer that refused a piece knows it
// (the result is then None). `extent`, when given, gets the job's extent.
CutStreamError writeCutStream(const CutJob& job, double dpiX, double dpiY, float mediaWidth, CutStreamWriter& writer,
                              JobExtent* extent = nullptr);

// Half away from zero: 12.5 -> 13, -12.5 -> -13. For values within the range
// of a 64-bit integer. Inline: it runs once per coordinate.
inline long long roundHalfAwayFromZero(double value) {
    return value >= 0 ? static_cast<long long>(value + 0.5) : static_cast<long long>(value - 0.5);
}

// "WYSIWYG" placement in inches, along the feed (dx) and the carriage (dy).
struct PlacementOffset {
    float dx = 0;
    float dy = 0;
};
PlacementOffset wysiwygOffset(int model, bool carrierMat);

// Working length along the feed: 60000 steps for CAMEO and PORTRAIT, 20000 otherwise.
int feedLimit(int model);

}  // namespace vantrel
