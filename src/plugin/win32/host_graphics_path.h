#pragma once
// The host hands over a pointer to its GDI+ C++ `GraphicsPath`. That class has
// no virtual functions; its data is the native path followed by the status of
// the last call, which is the layout we read and, on a failed copy, write.
#include "support/win32/gdiplus_owners.h"

namespace vantrel::win {

struct HostGraphicsPath {
    GpPath* nativePath;
    mutable GpStatus lastStatus;
};

static_assert(sizeof(HostGraphicsPath) == sizeof(Gdiplus::GraphicsPath),
              "the host's GraphicsPath layout is two fields");

}  // namespace vantrel::win
