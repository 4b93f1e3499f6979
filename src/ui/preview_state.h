#pragma once
// What the path preview shows, and what it draws for one surface. The window
// only executes the scene; every decision about it is made here.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/preview_geometry.h"

namespace vantrel::preview {

// A design or a registration mark as the preview keeps it: its own copy scaled
// to screen pixels, and the curve-aware bounds of the original in inches.
struct PreviewShape {
    Path scaled;
    RectF boundsInches;
    RectF scaledBounds;  // plain bounds of `scaled`
};

class PreviewState {
public:
    // The caller's paths are never changed: each setter copies. A null path
    // removes that shape.
    void setDesign(const Path* designInches, Dpi screen);
    void setMarks(const std::array<const Path*, 3>& marksInches, Dpi screen);

    void setStatus(std::wstring text, std::uint32_t argb);
    void setMachine(bool known, int model);
    void setMatSize(float width, float height);
    void setDrawMat(bool on);
    void setVersionText(std::wstring text);
    // Returns whether the blink timer must run from now on.
    bool setShowMarks(bool on);
    // One tick of the blink timer; returns whether the picture changed.
    bool blink();
    // A click on the preview.
    void toggleShowMachine();

    const std::optional<PreviewShape>& design() const { return design_; }
    const std::array<std::optional<PreviewShape>, 3>& marks() const { return marks_; }
    const std::wstring& statusText() const { return statusText_; }
    std::uint32_t statusColour() const { return statusColour_; }
    const std::wstring& versionText() const { return versionText_; }
    bool machineKnown() const { return machineKnown_; }
    int model() const { return model_; }
    float matWidth() const { return matWidth_; }
    float matHeight() const { return matHeight_; }
    bool drawMat() const { return drawMat_; }
    bool showMachine() const { return showMachine_; }
    bool showMarks() const { return showMarks_; }
    bool markPhase() const { return markPhase_; }
    // Whether the marks are in the picture right now.
    bool marksVisible() const;

    // Changes whenever the picture below the marks changes (design, machine,
    // mat, view). A blink never changes it, so that layer can be kept.
    std::uint64_t sceneVersion() const { return sceneVersion_; }
    // Changes whenever what is drawn over that layer changes, blinking aside
    // (see marksVisible).
    std::uint64_t overlayVersion() const { return overlayVersion_; }

private:
    std::optional<PreviewShape> design_;
    std::array<std::optional<PreviewShape>, 3> marks_;
    std::wstring statusText_;
    std::uint32_t statusColour_ = DefaultStatusColour;
    std::wstring versionText_;
    float matWidth_ = 0;
    float matHeight_ = 0;
    int model_ = 0;
    bool machineKnown_ = false;
    bool showMachine_ = true;
    bool drawMat_ = true;
    bool showMarks_ = false;
    bool markPhase_ = false;
    std::uint64_t sceneVersion_ = 0;
    std::uint64_t overlayVersion_ = 0;
};

// Everything one paint draws, in drawing order, for a surface of the given
// size and resolution.
struct Scene {
    WorldTransform transform;
    // Machine body, then (after the design) rail and tool head.
    bool machine = false;
    MachinePictures pictures{};
    MatLayout layout{};
    // What the surface shows of the world, with a margin, and the part of the
    // cutting area inside it: huge areas are drawn only as far as they show.
    RectF visible{};
    RectF shownArea{};
    // Mat, grid, triangle and the cutting area's outline.
    bool mat = false;
    std::vector<GridLine> grid;
    Triangle triangle{};
    // Cutting area fill and the design layer.
    bool design = false;
    PointF designTarget;
    PointF designOffset;  // moves the scaled design's corner onto designTarget
    // Present for each mark drawn in this frame, with the offset that moves it there.
    std::array<std::optional<PointF>, 3> markTargets;
    std::array<PointF, 3> markOffsets{};
    // Status band, status text and version text, without the world transform.
    bool status = false;
    StatusLayout statusLayout{};
};
Scene composeScene(const PreviewState& state, float width, float height, Dpi surface);

}  // namespace vantrel::preview
