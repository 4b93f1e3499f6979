#include "ui/preview_state.h"

#include <utility>

namespace vantrel::preview {

namespace {

std::optional<PreviewShape> makeShape(const Path* inches, Dpi screen) {
    if (!inches) return std::nullopt;
    // The caller keeps its path; we draw from a mended copy so a malformed
    // figure can neither upset the platform's drawing nor the bounds.
    const Path drawable = drawablePath(*inches);
    const InchScale inch(screen);
    Path scaled = scaledPath(drawable, inch.x, inch.y);
    const RectF scaledBounds = plainBounds(scaled);
    return PreviewShape{std::move(scaled), curveAwareBounds(drawable), scaledBounds};
}

template <typename T>
bool assign(T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    return true;
}

}  // namespace

void PreviewState::setDesign(const Path* designInches, Dpi screen) {
    design_ = makeShape(designInches, screen);
    ++sceneVersion_;
}

void PreviewState::setMarks(const std::array<const Path*, 3>& marksInches, Dpi screen) {
    for (std::size_t i = 0; i < marks_.size(); ++i) marks_[i] = makeShape(marksInches[i], screen);
    ++overlayVersion_;
}

void PreviewState::setStatus(std::wstring text, std::uint32_t argb) {
    // Both are assigned: no short circuit.
    const bool first = assign(statusText_, std::move(text));
    const bool second = assign(statusColour_, argb);
    const bool changed = first || second;
    if (changed) ++overlayVersion_;
}

void PreviewState::setMachine(bool known, int model) {
    // Both are assigned: no short circuit.
    const bool first = assign(machineKnown_, known);
    const bool second = assign(model_, model);
    const bool changed = first || second;
    if (changed) ++sceneVersion_;
}

void PreviewState::setMatSize(float width, float height) {
    // Both are assigned: no short circuit.
    const bool first = assign(matWidth_, width);
    const bool second = assign(matHeight_, height);
    const bool changed = first || second;
    if (changed) ++sceneVersion_;
}

void PreviewState::setDrawMat(bool on) {
    if (assign(drawMat_, on)) ++sceneVersion_;
}

void PreviewState::setVersionText(std::wstring text) {
    if (assign(versionText_, std::move(text))) ++overlayVersion_;
}

bool PreviewState::setShowMarks(bool on) {
    if (assign(showMarks_, on)) ++overlayVersion_;
    return showMarks_;
}

bool PreviewState::blink() {
    if (!showMarks_) return false;
    markPhase_ = !markPhase_;
    return true;
}

void PreviewState::toggleShowMachine() {
    showMachine_ = !showMachine_;
    ++sceneVersion_;
}

bool PreviewState::marksVisible() const {
    if (!showMarks_ || !markPhase_ || !machineKnown_ || !design_) return false;
    for (const auto& mark : marks_)
        if (mark) return true;
    return false;
}

Scene composeScene(const PreviewState& state, float width, float height, Dpi surface) {
    Scene scene;
    const int model = state.model();
    scene.transform = worldTransform(state.showMachine(), model);
    const bool known = state.machineKnown();
    scene.machine = state.showMachine() && known;
    scene.pictures = machinePictures(model);
    scene.mat = state.drawMat() && known;
    scene.layout = matLayout(model, state.matWidth(), state.matHeight(), scene.mat, surface);
    scene.visible = visibleWorld(scene.transform, width, height);
    scene.shownArea = intersection(scene.layout.cuttingArea, scene.visible);
    if (scene.mat) {
        scene.grid = clipLines(gridLines(model, scene.layout, surface), scene.visible);
        scene.triangle = matTriangle(scene.layout.mat);
    }
    if (known && state.design()) {
        scene.design = true;
        const RectF& area = scene.layout.cuttingArea;
        const PreviewShape& design = *state.design();
        scene.designTarget = placementTarget(area, design.boundsInches, surface);
        scene.designOffset = placementOffset(area, design.boundsInches, design.scaledBounds, surface);
        if (state.marksVisible()) {
            for (std::size_t i = 0; i < scene.markTargets.size(); ++i) {
                const auto& mark = state.marks()[i];
                if (!mark) continue;
                scene.markTargets[i] = placementTarget(area, mark->boundsInches, surface);
                scene.markOffsets[i] = placementOffset(area, mark->boundsInches, mark->scaledBounds, surface);
            }
        }
    }
    scene.status = !state.statusText().empty();
    scene.statusLayout = statusLayout(width, height);
    return scene;
}

}  // namespace vantrel::preview
