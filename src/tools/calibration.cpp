#include "tools/calibration.h"

#include <charconv>
#include <cmath>

#include "cutdata/commands.h"
#include "settings/measurement.h"
#include "settings/resolution_range.h"

namespace vantrel {

Path calibrationSquarePath(double xdpi, double ydpi) {
    // The scale is applied in single precision, as a GDI+ matrix does.
    const float sx = static_cast<float>(xdpi);
    const float sy = static_cast<float>(ydpi);
    const float lo = static_cast<float>(CalibrationSquareOffset);
    const float hi = static_cast<float>(CalibrationSquareOffset + CalibrationSquareSide);
    Path path;
    path.points = {{lo * sx, lo * sy}, {hi * sx, lo * sy}, {hi * sx, hi * sy}, {lo * sx, hi * sy}};
    path.types = {PathPointTypeStart, PathPointTypeLine, PathPointTypeLine,
                  static_cast<std::uint8_t>(PathPointTypeLine | PathPointTypeCloseSubpath)};
    return path;
}

std::string calibrationMoves(const Path& path) {
    CommandStream moves;
    if (path.empty()) return {};
    const PointF first = path.points.front();
    const std::size_t count = std::min(path.points.size(), path.types.size());
    for (std::size_t i = 0; i < count; ++i) {
        const PointF p = path.points[i];
        const std::uint8_t type = path.types[i];
        switch (type & PathPointTypeMask) {
            case PathPointTypeStart: moves.moveFixed(p.y, p.x); break;
            case PathPointTypeLine: moves.drawFixed(p.y, p.x); break;
            default: break;
        }
        if (type & PathPointTypeCloseSubpath) {
            const bool atStart = std::fabs(p.x - first.x) < 0.001f && std::fabs(p.y - first.y) < 0.001f;
            if (!atStart) moves.drawFixed(first.y, first.x);
        }
    }
    return moves.release();
}

std::string calibrationSquareJob(double xdpi, double ydpi) {
    return calibrationSquareText(calibrationMoves(calibrationSquarePath(xdpi, ydpi)));
}

bool measurementUsable(double measured) { return !(measured > -0.001 && measured < 0.001); }

std::string formatThreeDecimals(double value) {
    char digits[330];
    auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 3);
    return std::string(digits, result.ptr);
}

std::optional<ProposedResolution> proposeResolution(double xdpi, double ydpi, double width, double height) {
    // NaN fails both comparisons of measurementUsable; refuse it here too.
    if (!measurementUsable(width) || !measurementUsable(height) || std::isnan(width) || std::isnan(height))
        return std::nullopt;
    ProposedResolution r;
    r.x = xdpi * (CalibrationSquareSide / width);
    r.y = static_cast<float>(ydpi * (CalibrationSquareSide / height));
    r.xText = formatThreeDecimals(r.x);
    r.yText = formatThreeDecimals(r.y);
    return r;
}

// Stored texts are what every later job is scaled by, and the cut run refuses
// a resolution no machine has: better to say so here, where it is typed.
bool resolutionUsable(double dpi) { return resolutionInRange(dpi); }

std::optional<ProposedResolution> proposeResolution(std::u16string_view xdpi, std::u16string_view ydpi,
                                                    std::u16string_view width, std::u16string_view height) {
    return proposeResolution(ParseMeasurement(xdpi), ParseMeasurement(ydpi), ParseMeasurement(width),
                             ParseMeasurement(height));
}

bool resolutionTextsUsable(std::u16string_view xdpi, std::u16string_view ydpi) {
    return resolutionUsable(ParseMeasurement(xdpi)) && resolutionUsable(ParseMeasurement(ydpi));
}

std::u16string resultsQuestion(const ProposedResolution& proposal) {
    std::u16string out = u"Based on the information you provided, your new resolution would be:\n\nX Axis: ";
    out.append(proposal.xText.begin(), proposal.xText.end());
    out += u"\nY Axis: ";
    out.append(proposal.yText.begin(), proposal.yText.end());
    out += u"\n\nWould you like to use these new values?";
    return out;
}

}  // namespace vantrel
