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

// GDI+ started for the life of the object: the host's part, never the
// plug-in's. Every GDI+ object must be gone before it ends.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
    }
    ~GdiplusSession() {
        if (token_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    explicit operator bool() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

}  // namespace vantrel::win
