#pragma once
// Resolution calibration: the 6-inch square job, the corrected resolutions
// proposed from its measured size, and the check made before they are stored.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cutdata/path.h"

namespace vantrel {

// Side of the calibration square and its distance from the origin, inches.
inline constexpr double CalibrationSquareSide = 6.0;
inline constexpr double CalibrationSquareOffset = 1.0;

// The square's rectangle at left 1, top 1, width 6, height 6, scaled by the
// two resolutions in single precision, as a GDI+ path holds it: start
// (1,1), lines to (7,1), (7,7) and (1,7), the last closing the figure.
Path calibrationSquarePath(double xdpi, double ydpi);

// The move list of a path: "M%f,%f|" for a start point and "D%f,%f|" for a
// line point, vertical coordinate first; other point types give nothing. A
// point that closes its figure is followed by a draw back to the path's first
// point unless it lies within 0.001 of it on both axes.
std::string calibrationMoves(const Path& path);

// The whole job sent for the square at these resolutions.
std::string calibrationSquareJob(double xdpi, double ydpi);

// A measured side counts as missing when it lies strictly between -0.001 and 0.001.
bool measurementUsable(double measured);

struct ProposedResolution {
    double x = 0;  // worked in double precision
    float y = 0;   // the vertical result passes through single precision
    std::string xText;  // "%0.3f"
    std::string yText;
};
// New resolutions from the current ones and the measured square; nothing when
// either measurement is unusable.
std::optional<ProposedResolution> proposeResolution(double xdpi, double ydpi, double width, double height);

// A resolution stored for later jobs must lie within 1 to 100000 steps per
// inch (resolutionInRange): zero or less would turn every later job into
// zeros or mirror it, and the cut run refuses anything outside that range.
bool resolutionUsable(double dpi);

// The same from the four fields as typed, each read with ParseMeasurement.
std::optional<ProposedResolution> proposeResolution(std::u16string_view xdpi, std::u16string_view ydpi,
                                                    std::u16string_view width, std::u16string_view height);
// Both typed resolutions read as usable ones.
bool resolutionTextsUsable(std::u16string_view xdpi, std::u16string_view ydpi);

// "%0.3f" without regard to the process's locale.
std::string formatThreeDecimals(double value);

inline constexpr char16_t InvalidInputMessage[] = u"Invalid input values.\n\nPlease re-enter the values.";
inline constexpr char16_t InvalidInputCaption[] = u"Error...";
inline constexpr char16_t ResultsCaption[] = u"Results...";
// The question that offers the new values.
std::u16string resultsQuestion(const ProposedResolution& proposal);

}  // namespace vantrel
