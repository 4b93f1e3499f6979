#include "tools/win32/depth_icons.h"

#include "ui/win32/resource_image.h"

namespace vantrel::win {

namespace {
// The cells are shown on list and combo backgrounds: flattened over white.
constexpr ui::Argb OpaqueWhite = 0xFFFFFFFF;
}  // namespace

UniqueGdiObject loadDepthStrip(HINSTANCE module) {
    UniqueGpImage strip = loadImage(module, DepthStripImageId);
    if (!strip) return {};
    return toDeviceBitmap(strip.get(), OpaqueWhite, 0, 0, DepthIconSize * PresetDepthCount, DepthIconSize);
}

std::array<UniqueGdiObject, PresetDepthCount> loadDepthIcons(HINSTANCE module) {
    std::array<UniqueGdiObject, PresetDepthCount> icons;
    UniqueGpImage strip = loadImage(module, DepthStripImageId);
    if (!strip) return icons;
    for (int i = 0; i < PresetDepthCount; ++i)
        icons[i] = toDeviceBitmap(strip.get(), OpaqueWhite, DepthIconSize * i, 0, DepthIconSize, DepthIconSize);
    return icons;
}

std::wstring windowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

}  // namespace vantrel::win
