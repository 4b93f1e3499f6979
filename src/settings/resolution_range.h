#pragma once
// The resolutions a cutter can have, in steps per inch. Anything outside is a
// typing slip or a damaged profile value ("1e-30", "1e9"), never a machine:
// such a value is refused with the resolution's own message instead of being
// turned into a job of zero-length moves or of coordinates in the hundreds
// of millions.
namespace vantrel {

inline constexpr double MinResolution = 1.0;
inline constexpr double MaxResolution = 100000.0;

// False for NaN as well.
constexpr bool resolutionInRange(double stepsPerInch) {
    return stepsPerInch >= MinResolution && stepsPerInch <= MaxResolution;
}

}  // namespace vantrel
