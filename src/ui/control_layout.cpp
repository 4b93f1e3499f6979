#include "ui/control_layout.h"

#include <algorithm>

namespace vantrel::ui {

int scaled(int pixels, int dpi) {
    long long product = static_cast<long long>(pixels) * dpi;
    long long half = DesignDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / DesignDpi : -((-product + half) / DesignDpi));
}

IntRect groupBoxIconRect(int clientWidth, int iconWidth, int iconHeight, int dpi) {
    int width = scaled(iconWidth, dpi), height = scaled(iconHeight, dpi);
    int left = clientWidth - width - scaled(6, dpi), top = scaled(4, dpi);
    return {left, top, left + width, top + height};
}

IntRect groupBoxInterior(int clientWidth, int clientHeight, int dpi) {
    int left = scaled(6, dpi), top = scaled(21, dpi);
    return {left, top, left + std::max(0, clientWidth - scaled(13, dpi)),
            top + std::max(0, clientHeight - scaled(27, dpi))};
}

int shadowSize(int size) {
    // In integers: 0.7 has no exact binary form, and 35 * 0.7 comes out just below 24.5.
    long long tenths = static_cast<long long>(size) * 7;
    return static_cast<int>(tenths >= 0 ? (tenths + 5) / 10 : -((-tenths + 5) / 10));
}

std::wstring separatorCaption(const std::wstring& text, SeparatorAlign align) {
    switch (align) {
        case SeparatorAlign::Centre:
            return L"  " + text + L"  ";
        case SeparatorAlign::Right:
            return L"  " + text;
        case SeparatorAlign::Left:
            break;
    }
    return text + L"  ";
}

ComboEntryLayout layoutComboEntry(const IntRect& item, int bitmapWidth, int bitmapHeight, bool hasSecondText, int dpi) {
    ComboEntryLayout layout;
    layout.bitmapLeft = item.left + scaled(2, dpi);
    layout.bitmapTop = item.top + (item.height() - bitmapHeight) / 2;
    layout.text = {item.left + std::max(0, bitmapWidth) + scaled(6, dpi), item.top + (hasSecondText ? scaled(12, dpi) : 0),
                   item.right, item.bottom};
    return layout;
}

}  // namespace vantrel::ui
