#pragma once
// The plug-in's own activation context, made from the manifest it carries as
// resource 2 (ISOLATIONAWARE_MANIFEST_RESOURCE_ID): it asks for version 6 of
// the common controls. Windows looks up window classes such as "Button" or
// "msctls_trackbar32" in the context active on the thread when a window is
// created, so our dialogs get the themed controls only while ours is active,
// whatever the host's own manifest says. MinGW has no isolation-aware inline
// wrappers, so the context is activated explicitly around every dialog.
#include <windows.h>

namespace vantrel::win {

// The context of this module's manifest resource 2, made on first use and
// kept until the module unloads (a context belongs to no thread).
// INVALID_HANDLE_VALUE when the module carries no manifest or the system
// cannot use it.
HANDLE moduleActivationContext();

// Activates the module's context on this thread for the life of the object
// and deactivates it again, in the reverse order of activation as Windows
// requires. Does nothing when there is no context.
class ActivationScope {
public:
    ActivationScope();
    ~ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

    bool active() const { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

}  // namespace vantrel::win
