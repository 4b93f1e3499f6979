#pragma once
// The animated progress bar: diagonal stripes over the filled part, a caption
// that pulses between two grey sets, an optional icon after the caption and an
// optional overlay over the whole bar. Range and position are the standard
// progress control's (PBM_SETRANGE, PBM_SETPOS); the caption is also the
// window text, so WM_GETTEXT reads what the user sees.
#include <string>

#include "ui/progress_animation.h"
#include "ui/win32/resource_image.h"
#include "ui/win32/subclassed_control.h"

namespace vantrel::win {

class AnimatedProgressBar : public SubclassedControl {
public:
    // Timer 0 of the control drives the animation, every 20 ms.
    static constexpr UINT_PTR AnimationTimer = 0;
    static constexpr UINT AnimationPeriodMs = 20;

    ~AnimatedProgressBar() override { detach(); }

    void setCaption(const std::wstring& caption);
    std::wstring caption() const;

    // The icon after the caption from PNG resource `resourceId` of `module`;
    // 0 removes it.
    void setIcon(HINSTANCE module, int resourceId);
    void clearIcon() { setIcon(nullptr, 0); }
    int iconId() const { return iconId_; }

    // Drawn over the whole bar at (0, 0); an empty image removes it.
    void setOverlay(UniqueGpImage overlay);
    bool hasOverlay() const { return static_cast<bool>(overlay_); }

    // Shown under the stripes of the filled part.
    void setBarColour(ui::Argb colour);

    void setRange(int lower, int upper);
    void setPosition(int position);
    int position() const;

    void startAnimation();
    // Stops the timer and starts the pulse again from 0, rising.
    void stopAnimation();
    const ui::ProgressAnimation& animation() const { return animation_; }
    // One animation step, as a timer tick does it.
    void advance();

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onAttach() override;
    void onDetach() override;

private:
    void paint(HDC target) override;
    void drawBar(GpGraphics* g, int filled, int width, int height, int dpi) const;
    void drawCaption(GpGraphics* g, int filled, int width, int height, int dpi) const;

    ui::ProgressAnimation animation_;
    UniqueGpImage stripe_;
    UniqueGpImage icon_;
    int iconId_ = 0;
    UniqueGpImage overlay_;
    UniqueGpFont font_;
    int fontDpi_ = 0;
    ui::Argb barColour_ = 0xFFFF6400;
};

}  // namespace vantrel::win
