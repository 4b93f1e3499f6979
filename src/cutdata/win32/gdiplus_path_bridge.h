#pragma once
// Between GDI+ path objects and the core's path model, both ways, exactly:
// every point (two 32-bit floats) and every type byte, flags included.
#include "cutdata/path.h"
#include "support/win32/gdiplus_owners.h"

namespace vantrel::win {

// Reads every point and type byte of `source` into `out`. On failure `out` is
// left empty and the platform's status is returned (InvalidParameter for a
// null path).
GpStatus readGdiplusPath(GpPath* source, Path& out);

// A new path (fill mode alternate) holding exactly the points and type bytes
// of `path`; an empty path for an empty one. Null when the platform refuses
// to make it, when it would not hold the very same data (a platform may
// repair type sequences it finds malformed), or when the two arrays of
// `path` differ in length.
UniqueGpPath makeGdiplusPath(const Path& path);

}  // namespace vantrel::win
