#pragma once
// GDI+ through its flat interface. The host starts GDI+; the plug-in only
// calls it and frees every object it made before returning to the host.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

namespace gp = Gdiplus::DllExports;
using Gdiplus::GpPath;
using Gdiplus::GpStatus;

struct GdipPathTraits {
    static GpPath* invalid() { return nullptr; }
    static bool valid(GpPath* p) { return p != nullptr; }
    static void close(GpPath* p) { gp::GdipDeletePath(p); }
};
using UniqueGpPath = UniqueResource<GpPath*, GdipPathTraits>;

}  // namespace vantrel::win
