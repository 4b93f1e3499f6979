#include "ui/control_layout.h"

#include <algorithm>

namespace vantrel::ui {

IntRect groupBoxIconRect(int clientWidth, int iconWidth, int iconHeight) {
    int left = clientWidth - iconWidth - 6;
    return {left, 4, left + iconWidth, 4 + iconHeight};
}

IntRect groupBoxInterior(int clientWidth, int clientHeight) {
    return {6, 21, 6 + std::max(0, clientWidth - 13), 21 + std::max(0, clientHeight - 27)};
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

ComboEntryLayout layoutComboEntry(const IntRect& item, int bitmapWidth, int bitmapHeight, bool hasSecondText) {
    ComboEntryLayout layout;
    layout.bitmapLeft = item.left + 2;
    layout.bitmapTop = item.top + (item.height() - bitmapHeight) / 2;
    layout.text = {item.left + std::max(0, bitmapWidth) + 6, item.top + (hasSecondText ? 12 : 0), item.right, item.bottom};
    return layout;
}

}  // namespace vantrel::ui
