#pragma once
// A thread that may outlive everything else of the plug-in: one stuck in a
// driver's call, or a log writer still busy with a slow disk, after the host
// has unloaded us. It holds its own reference on this module for as long as
// it runs, so the code it returns into is never unmapped under it.
#include <windows.h>

#include <functional>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

// Runs `work` on a thread of its own that holds a reference on this module
// and drops it only as it ends. Returns the thread's handle, or none when the
// thread could not be made (then `work` never runs). Nothing `work` throws
// leaves the thread. Throws only when out of memory, before any thread exists.
UniqueHandle startModuleThread(std::function<void()> work);

}  // namespace vantrel::win
