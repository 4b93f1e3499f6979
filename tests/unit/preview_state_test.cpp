#include <gtest/gtest.h>

#include "ui/preview_state.h"

namespace vantrel::preview {
namespace {

constexpr Dpi Screen{96, 96};

Path square(float x, float y, float side) {
    return {{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}}, {0, 1, 1, 0x81}};
}

// A circle of radius 1 around (2, 2) from four Bézier segments: its control
// points reach beyond the circle, so plain and curve-aware bounds differ.
Path circle() {
    const float k = 0.5523f;
    return {{{3, 2}, {3, 2 + k}, {2 + k, 3}, {2, 3}, {2 - k, 3}, {1, 2 + k}, {1, 2}, {1, 2 - k}, {2 - k, 1},
             {2, 1}, {2 + k, 1}, {3, 2 - k}, {3, 2}},
            {0, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0x83}};
}

TEST(PreviewState, DesignIsACopyScaledToScreenPixels) {
    PreviewState state;
    EXPECT_FALSE(state.design());
    Path design = square(1, 2, 3);
    state.setDesign(&design, {96, 120});
    design.points[0] = {100, 100};  // the caller's path is the caller's
    ASSERT_TRUE(state.design());
    const Path& scaled = state.design()->scaled;
    EXPECT_EQ(scaled.types, square(0, 0, 1).types);
    EXPECT_NEAR(scaled.points[0].x, 1 * 0.165f * 96, 1e-4);
    EXPECT_NEAR(scaled.points[0].y, 2 * 0.165f * 120, 1e-4);
    EXPECT_NEAR(scaled.points[2].x, 4 * 0.165f * 96, 1e-4);
    EXPECT_EQ(state.design()->boundsInches, (RectF{1, 2, 3, 3}));

    state.setDesign(nullptr, Screen);
    EXPECT_FALSE(state.design());
}

TEST(PreviewState, BoundsAreCurveAwareAndInInches) {
    PreviewState state;
    const Path round = circle();
    state.setDesign(&round, Screen);
    const RectF b = state.design()->boundsInches;
    EXPECT_NEAR(b.x, 1, 0.01);
    EXPECT_NEAR(b.y, 1, 0.01);
    EXPECT_NEAR(b.width, 2, 0.01);
    EXPECT_NEAR(b.height, 2, 0.01);
}

TEST(PreviewState, MarksAreKeptOneByOne) {
    PreviewState state;
    const Path a = square(0, 0, 0.5f), c = square(7, 0, 0.5f);
    state.setMarks({&a, nullptr, &c}, Screen);
    EXPECT_TRUE(state.marks()[0]);
    EXPECT_FALSE(state.marks()[1]);
    EXPECT_EQ(state.marks()[2]->boundsInches, (RectF{7, 0, 0.5f, 0.5f}));
    state.setMarks({nullptr, nullptr, nullptr}, Screen);
    for (const auto& mark : state.marks()) EXPECT_FALSE(mark);
}

TEST(PreviewState, BlinkingTogglesOnlyWhileMarksAreShown) {
    PreviewState state;
    EXPECT_FALSE(state.markPhase());
    EXPECT_FALSE(state.blink());
    EXPECT_FALSE(state.markPhase());
    EXPECT_TRUE(state.setShowMarks(true));
    EXPECT_TRUE(state.blink());
    EXPECT_TRUE(state.markPhase());
    EXPECT_TRUE(state.blink());
    EXPECT_FALSE(state.markPhase());
    EXPECT_FALSE(state.setShowMarks(false));
    EXPECT_FALSE(state.blink());
}

TEST(PreviewState, MarksAreVisibleOnlyWithEverythingTheyNeed) {
    const Path design = square(1, 1, 2), mark = square(0, 0, 0.5f);
    struct Case {
        bool show, phase, known, withDesign, withMark, visible;
    } cases[] = {
        {true, true, true, true, true, true},    {false, true, true, true, true, false},
        {true, false, true, true, true, false},  {true, true, false, true, true, false},
        {true, true, true, false, true, false},  {true, true, true, true, false, false},
    };
    for (const Case& c : cases) {
        PreviewState state;
        state.setShowMarks(true);
        if (c.phase) state.blink();
        state.setShowMarks(c.show);
        state.setMachine(c.known, 1);
        if (c.withDesign) state.setDesign(&design, Screen);
        state.setMarks({nullptr, c.withMark ? &mark : nullptr, nullptr}, Screen);
        EXPECT_EQ(state.marksVisible(), c.visible)
            << c.show << c.phase << c.known << c.withDesign << c.withMark;
    }
}

TEST(PreviewState, OnlyChangesBelowTheMarksRedrawTheDesignLayer) {
    PreviewState state;
    const Path design = square(1, 1, 2);
    state.setDesign(&design, Screen);
    state.setMachine(true, 2);
    state.setMatSize(12, 12);
    state.setShowMarks(true);

    struct Step {
        const char* name;
        void (*apply)(PreviewState&);
        bool scene, overlay;
    } steps[] = {
        {"blink", [](PreviewState& s) { s.blink(); }, false, false},
        {"same status twice", [](PreviewState& s) { s.setStatus(L"Connecting...", 0xFFC0C000); }, false, true},
        {"same status again", [](PreviewState& s) { s.setStatus(L"Connecting...", 0xFFC0C000); }, false, false},
        {"status colour", [](PreviewState& s) { s.setStatus(L"Connecting...", 0xFF000000); }, false, true},
        {"marks", [](PreviewState& s) { s.setMarks({nullptr, nullptr, nullptr}, Screen); }, false, true},
        {"marks off", [](PreviewState& s) { s.setShowMarks(false); }, false, true},
        {"same mat size", [](PreviewState& s) { s.setMatSize(12, 12); }, false, false},
        {"mat size", [](PreviewState& s) { s.setMatSize(12, 13); }, true, false},
        {"same machine", [](PreviewState& s) { s.setMachine(true, 2); }, false, false},
        {"model", [](PreviewState& s) { s.setMachine(true, 3); }, true, false},
        {"machine lost", [](PreviewState& s) { s.setMachine(false, 3); }, true, false},
        {"carrier mat", [](PreviewState& s) { s.setDrawMat(false); }, true, false},
        {"same carrier mat", [](PreviewState& s) { s.setDrawMat(false); }, false, false},
        {"click", [](PreviewState& s) { s.toggleShowMachine(); }, true, false},
        {"design", [](PreviewState& s) { s.setDesign(nullptr, Screen); }, true, false},
    };
    for (const Step& step : steps) {
        const auto scene = state.sceneVersion(), overlay = state.overlayVersion();
        step.apply(state);
        EXPECT_EQ(state.sceneVersion() != scene, step.scene) << step.name;
        EXPECT_EQ(state.overlayVersion() != overlay, step.overlay) << step.name;
    }
}

TEST(PreviewState, SceneOfAnUnknownMachineIsCheckerboardAndStatus) {
    PreviewState state;
    const Path design = square(1, 1, 2), mark = square(0, 0, 0.5f);
    state.setDesign(&design, Screen);
    state.setMarks({&mark, &mark, &mark}, Screen);
    state.setMatSize(11, 8.5f);
    state.setShowMarks(true);
    state.blink();
    Scene scene = composeScene(state, 204, 220, Screen);
    EXPECT_FALSE(scene.machine);
    EXPECT_FALSE(scene.mat);
    EXPECT_FALSE(scene.design);
    EXPECT_TRUE(scene.grid.empty());
    for (const auto& target : scene.markTargets) EXPECT_FALSE(target);
    EXPECT_FALSE(scene.status);
    state.setStatus(L"Not Connected", 0xFFFF0000);
    EXPECT_TRUE(composeScene(state, 204, 220, Screen).status);
}

TEST(PreviewState, SceneOfAnIdentifiedMachinePlacesDesignAndMarks) {
    PreviewState state;
    const Path design = square(1, 2, 2), mark = square(0.5f, 0.25f, 0.5f);
    state.setDesign(&design, Screen);
    state.setMarks({nullptr, &mark, nullptr}, Screen);
    state.setMatSize(11, 8.5f);
    state.setMachine(true, 1);
    state.setShowMarks(true);

    Scene scene = composeScene(state, 204, 220, Screen);
    EXPECT_TRUE(scene.machine && scene.mat && scene.design);
    EXPECT_EQ(scene.grid.size(), 21u);
    EXPECT_EQ(scene.transform.dx, 3);
    const RectF& area = scene.layout.cuttingArea;
    EXPECT_NEAR(scene.designTarget.x, area.x + 15.84f, 1e-3);
    EXPECT_NEAR(scene.designTarget.y, area.y + 2 * 15.84f, 1e-3);
    for (const auto& target : scene.markTargets) EXPECT_FALSE(target) << "the phase starts off";

    state.blink();
    scene = composeScene(state, 204, 220, Screen);
    EXPECT_FALSE(scene.markTargets[0]);
    ASSERT_TRUE(scene.markTargets[1]);
    EXPECT_NEAR(scene.markTargets[1]->x, area.x + 0.5f * 15.84f, 1e-3);
    EXPECT_NEAR(scene.markTargets[1]->y, area.y + 0.25f * 15.84f, 1e-3);

    // The plain mat view: no machine pictures, the model's own offset; without
    // the carrier mat neither mat nor grid, and the area a quarter inch left.
    state.toggleShowMachine();
    state.setDrawMat(false);
    const Scene plain = composeScene(state, 204, 220, Screen);
    EXPECT_FALSE(plain.machine);
    EXPECT_FALSE(plain.mat);
    EXPECT_TRUE(plain.grid.empty());
    EXPECT_EQ(plain.transform.dx, -14);
    EXPECT_NEAR(plain.layout.cuttingArea.x, area.x - 3.96f, 1e-3);
    EXPECT_NEAR(plain.designTarget.x, scene.designTarget.x - 3.96f, 1e-3);
}

}  // namespace
}  // namespace vantrel::preview
