#pragma once
// The animated progress bar's state and arithmetic: stripe scrolling, the
// caption's pulse, how much of the bar is filled and where stripe tiles go.
#include <vector>

namespace vantrel::ui {

class ProgressAnimation {
public:
    static constexpr double PulseStep = 0.03;

    // One timer tick: the stripes move one pixel left and wrap after a whole
    // tile, the pulse moves one step and turns at 0 and 1.
    void tick(int stripeWidth);
    // End of a transfer: the caption starts again from its darkest phase.
    void resetPulse() {
        pulse_ = 0.0;
        rising_ = true;
    }

    int stripeOffset() const { return stripeOffset_; }
    double pulse() const { return pulse_; }
    bool rising() const { return rising_; }

    // Grey level B = 200 - (1 - pulse) * 200 and C = 255 - pulse * 255, truncated.
    int greyB() const;
    int greyC() const;

private:
    int stripeOffset_ = 0;
    double pulse_ = 1.0;
    bool rising_ = false;
};

// Pixels of the bar's width that show progress: (position - lower) of
// (upper - lower), clamped to 0..width; 0 for an empty or inverted range.
int filledWidth(int position, int lower, int upper, int width);

// Left edges of the stripe tiles from `offset` rightwards until `width`;
// none when the stripe has no width (a missing picture must not hang paint).
std::vector<int> stripeTiles(int offset, int stripeWidth, int width);

}  // namespace vantrel::ui
