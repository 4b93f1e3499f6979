#pragma once
#include <windows.h>

#include <string>

namespace vantrel::driving {

// Saves what the window shows, frame included, as a PNG file. The window is
// redrawn first and captured until two frames agree, so a paint still in
// progress is not caught half way. GDI+ must be running.
bool captureWindowPng(HWND window, const std::wstring& fileName);

}  // namespace vantrel::driving
