#pragma once
// Lengths and resolutions as the user types them: a decimal ("508.0"), a
// fraction ("1/16") or a mixed number ("6 1/16"). The calibration dialog and
// readResolution parse with the same function, so a resolution typed as a
// fraction works everywhere.
#include <string_view>

namespace vantrel {

// Text without "/" reads as a decimal (leading white space, optional sign,
// digits with optional point and exponent; the rest ignored; 0 when no number
// begins the text). Text with "/" reads as integers: the denominator after the
// first "/" (0 or missing gives 0), a plain fraction "n/d", or a mixed number
// "w n/d" whose whole part carries the sign ("-1 1/2" is -1.5). Decimal points
// inside a fraction are not honoured. Reading stops at the first NUL.
//
// The result is always finite: a decimal beyond the range of a double reads as
// 0, like text without a number, so no caller ever scales by infinity.
double ParseMeasurement(std::string_view text);
// The same for the platform's UTF-16 text; characters outside ASCII never
// belong to a number.
double ParseMeasurement(std::u16string_view text);

}  // namespace vantrel
