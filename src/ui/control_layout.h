#pragma once
// Layout of the drawn controls in client pixels: where the group box puts its
// icon and what it leaves unpainted, the separator's caption, and the parts of
// an image combo box entry.
#include <string>

namespace vantrel::ui {

struct IntRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const IntRect&) const = default;
};

// Lengths of the drawn controls are designed at 96 dots per inch.
inline constexpr int DesignDpi = 96;

// `pixels` at 96 dots per inch as pixels at `dpi`, rounded to the nearest,
// halves away from zero.
int scaled(int pixels, int dpi);
inline float scaledF(float pixels, int dpi) { return pixels * static_cast<float>(dpi) / DesignDpi; }
// A line that is 1 pixel at 96 dots per inch: whole pixels only, so it stays sharp.
inline int lineWidth(int dpi) { return dpi >= 2 * DesignDpi ? dpi / DesignDpi : 1; }

// The group box's icon, placed once: left at W - icon width - 6, top 4, all
// scaled to `dpi` (the icon's size too: give it at 96 dots per inch).
IntRect groupBoxIconRect(int clientWidth, int iconWidth, int iconHeight, int dpi = DesignDpi);

// The panel's inside, which the group box never paints so the controls in
// it are not overwritten: from (6, 21), W - 13 wide and H - 27 high (never
// negative), the constants scaled to `dpi`.
IntRect groupBoxInterior(int clientWidth, int clientHeight, int dpi = DesignDpi);

// 70 % of a size, rounded half away from zero: the blurred shadow's bitmap.
int shadowSize(int size);

enum class SeparatorAlign { Left, Centre, Right };

// The separator's caption with its spaces: two on each side when centred,
// two before when right-aligned, two after when left-aligned.
std::wstring separatorCaption(const std::wstring& text, SeparatorAlign align);

// One entry of the image combo box in its item rectangle.
struct ComboEntryLayout {
    int bitmapLeft = 0;
    int bitmapTop = 0;
    IntRect text;
};
// Gaps are scaled to `dpi`; the bitmap's size is given as drawn.
ComboEntryLayout layoutComboEntry(const IntRect& item, int bitmapWidth, int bitmapHeight, bool hasSecondText,
                                  int dpi = DesignDpi);

}  // namespace vantrel::ui
