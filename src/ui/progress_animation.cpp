#include "ui/progress_animation.h"

namespace vantrel::ui {

void ProgressAnimation::tick(int stripeWidth) {
    // Offsets 0 and -width show the same picture; wrapping on reaching
    // -width keeps the scroll even instead of showing one frame twice.
    --stripeOffset_;
    if (stripeWidth <= -stripeOffset_) stripeOffset_ = 0;

    if (rising_) {
        pulse_ += PulseStep;
        if (pulse_ > 1.0) {
            pulse_ = 1.0;
            rising_ = false;
        }
    } else {
        pulse_ -= PulseStep;
        if (pulse_ < 0.0) {
            pulse_ = 0.0;
            rising_ = true;
        }
    }
}

int ProgressAnimation::greyB() const { return static_cast<int>(200.0 - (1.0 - pulse_) * 200.0); }

int ProgressAnimation::greyC() const { return static_cast<int>(255.0 - pulse_ * 255.0); }

int filledWidth(int position, int lower, int upper, int width) {
    if (width <= 0 || upper <= lower) return 0;
    if (position <= lower) return 0;
    if (position >= upper) return width;
    double share = (static_cast<double>(position) - lower) / (static_cast<double>(upper) - lower);
    return static_cast<int>(share * width);
}

std::vector<int> stripeTiles(int offset, int stripeWidth, int width) {
    std::vector<int> tiles;
    if (stripeWidth <= 0) return tiles;
    for (long long x = offset; x < width; x += stripeWidth) tiles.push_back(static_cast<int>(x));
    return tiles;
}

}  // namespace vantrel::ui
