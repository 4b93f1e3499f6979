#pragma once
// The path preview: the static control 9000 of the main dialog, taken over and
// custom-drawn with GDI+. It shows the machine, its mat and grid, the design on
// the cutting area, the blinking registration marks and the status line. Its
// status text is also its window text, for UI drivers and screen readers.
//
// Drawing is kept in three off-screen layers: the scene below the marks (the
// costly one with the design), and a finished frame for each mark phase. A
// blink only copies a finished frame to the screen; the scene is drawn again
// only when the design, machine, mat, view or size changes.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "cutdata/path.h"
#include "support/win32/resource_text.h"
#include "ui/preview_state.h"
#include "ui/win32/preview_surface.h"
#include "ui/win32/subclassed_control.h"

namespace vantrel::win {

class PathPreview : public SubclassedControl {
public:
    static constexpr int ControlId = 9000;
    static constexpr UINT_PTR BlinkTimer = 1;
    static constexpr UINT BlinkPeriodMs = 500;

    // How often each layer was drawn: the blink costs only a copy.
    struct PaintCounters {
        unsigned scenes = 0;  // scene layer drawn (the design with it)
        unsigned frames = 0;  // marks, machine parts and status drawn over a copy of the scene
        unsigned paints = 0;  // frames copied to the screen
    };

    PathPreview() = default;
    ~PathPreview() override { detach(); }

    // Takes over `control` (a static control): loads fonts, pictures and the
    // version text from `resources`, and draws from now on. Returns false
    // when there is no control or it is already taken. Detaching gives it back
    // and releases everything drawn or loaded; so does destroying the control.
    bool attach(HWND control, HINSTANCE resources) {
        resources_ = resources;
        return SubclassedControl::attach(control);
    }
    // Pictures from the module that holds this code.
    using SubclassedControl::attach;

    // What the dialog calls. The paths are the caller's and are only copied;
    // a null path removes the shape. Each ends with a repaint when the window exists.
    void setDesign(const Path* designInches);
    void setMarks(const std::array<const Path*, 3>& marksInches);
    void setStatus(const std::wstring& text, std::uint32_t argb);
    void setMachine(bool known, int model);
    void setMatSize(float width, float height);
    void setDrawMat(bool on);
    // On: the marks blink on timer 1 every 500 ms; off: the timer stops.
    void setShowMarks(bool on);

    const preview::PreviewState& state() const { return state_; }
    bool blinkTimerRunning() const { return timerRunning_; }
    const PaintCounters& counters() const { return counters_; }
    // What the platform was last asked to draw of the design and the marks:
    // the bounds of those paths, before the world transform. Empty when none.
    const RectF& drawnBounds() const { return drawnBounds_; }

    // Draws the current picture into `dc` at (0, 0), client-sized.
    void paint(HDC dc) override;

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onAttach() override;
    void onDetach() override;

private:
    void updateTimer();
    preview::Dpi screenDpi() const;
    void releaseDrawing();

    bool renderScene(const preview::Scene& scene);
    bool composeFrame(PreviewSurface& frame, const preview::Scene& scene);

    preview::PreviewState state_;
    HINSTANCE resources_ = thisModule();
    preview::Dpi surfaceDpi_;
    int width_ = 0;
    int height_ = 0;
    bool timerRunning_ = false;
    bool pressed_ = false;
    PaintCounters counters_;
    RectF drawnBounds_{};
    void noteDrawn(GpPath* path);

    // Pictures by model slot (body, rail) and the tool head; fonts.
    std::array<UniqueGpBitmap, 3> bodies_;
    std::array<UniqueGpBitmap, 3> rails_;
    UniqueGpBitmap head_;
    UniqueGpFont statusFont_;
    UniqueGpFont captionFont_;
    // The display's dots per inch over 96, taken when attached: pictures and
    // the status band are made for 96.
    float displayScale_ = 1.0f;

    // Layers and what they were drawn for.
    PreviewSurface scene_;
    std::uint64_t sceneKey_ = ~std::uint64_t{0};
    struct Frame {
        PreviewSurface surface;
        std::uint64_t sceneKey = ~std::uint64_t{0};
        std::uint64_t overlayKey = ~std::uint64_t{0};
    };
    std::array<Frame, 2> frames_;  // without and with the marks
    std::array<std::uint32_t, 2> bandColours_{};

    // The design placed on the cutting area, kept while neither moves.
    UniqueGpPath placedClosed_;
    UniqueGpPath placedOpen_;
    std::uint64_t designVersion_ = 0;
    std::uint64_t placedVersion_ = ~std::uint64_t{0};
    PointF placedOffset_{};
    RectF placedArea_{};
    RectF placedVisible_{};
};

}  // namespace vantrel::win
