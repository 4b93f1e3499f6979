#pragma once
// The four 16 x 16 depth icons (black, blue, yellow and red discs) cut from
// the 64 x 16 PNG strip of the resources, as bitmaps over white.
#include <windows.h>

#include <array>
#include <string>

#include "support/win32/unique_handle.h"
#include "tools/presets.h"
#include "ids_ui.h"

namespace vantrel::win {

inline constexpr int DepthStripImageId = IDPNG_DEPTH_DISCS;
inline constexpr int DepthIconSize = 16;

// The whole strip as one bitmap over opaque white; null when the image cannot
// be loaded or GDI+ is not running.
UniqueGdiObject loadDepthStrip(HINSTANCE module);
// The strip's four cells, left to right, each its own bitmap over opaque
// white; a cell that cannot be made is null.
std::array<UniqueGdiObject, PresetDepthCount> loadDepthIcons(HINSTANCE module);

// A UTF-16 text of the portable core as the platform's wide text, and back.
inline std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
// The whole text of a window.
std::wstring windowText(HWND window);

}  // namespace vantrel::win
