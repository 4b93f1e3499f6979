// The path preview on a real static control: what it draws, where, and when,
// read back from its own paint and from its window text.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cutdata/path.h"
#include "support/win_test_support.h"
#include "ui/win32/preview.h"
#include "vantrel_version.h"

namespace vantrel::test {
namespace {

using win::PathPreview;
namespace pv = vantrel::preview;

// A dialog like the main dialog's corner: "Tahoma" 8 and a static control
// 9000 of 136 x 135 dialog units, built in memory.
std::vector<WORD> previewTemplate() {
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto text = [&](const wchar_t* s) {
        do t.push_back(static_cast<WORD>(*s)); while (*s++);
    };
    dword(DS_SETFONT | WS_POPUP | WS_CAPTION);
    dword(WS_EX_NOACTIVATE);
    t.push_back(1);  // one control
    t.push_back(0), t.push_back(0), t.push_back(142), t.push_back(141);
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    text(L"Preview test");
    t.push_back(8);
    text(L"Tahoma");
    if (t.size() % 2) t.push_back(0);  // items are DWORD-aligned
    dword(WS_CHILD | WS_VISIBLE | SS_LEFT);
    dword(0);
    t.push_back(3), t.push_back(3), t.push_back(136), t.push_back(135);
    t.push_back(PathPreview::ControlId);
    t.push_back(0xFFFF), t.push_back(0x0082);  // static
    text(L"");
    t.push_back(0);
    return t;
}

INT_PTR CALLBACK quietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Pixels of one paint, read back as 0xRRGGBB.
class Snapshot {
public:
    explicit Snapshot(PathPreview& preview) {
        RECT client{};
        GetClientRect(preview.hwnd(), &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, dib);
        preview.paint(dc);
        GdiFlush();
        pixels_.resize(static_cast<std::size_t>(width_) * height_);
        std::memcpy(pixels_.data(), bits, pixels_.size() * 4);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib);
    }
    std::uint32_t at(float x, float y) const {
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (ix < 0 || iy < 0 || ix >= width_ || iy >= height_) return 0xDEAD;
        return pixels_[static_cast<std::size_t>(iy) * width_ + ix] & 0xFFFFFF;
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

int red(std::uint32_t c) { return (c >> 16) & 0xFF; }
int green(std::uint32_t c) { return (c >> 8) & 0xFF; }
int blue(std::uint32_t c) { return c & 0xFF; }
bool isChecker(std::uint32_t c) { return c == 0xF0F0F0 || c == 0xFFFFFF; }

Path square(float x, float y, float side) {
    return {{{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}},
            {PathPointTypeStart, PathPointTypeLine, PathPointTypeLine,
             PathPointTypeLine | PathPointTypeCloseSubpath}};
}

void append(Path& to, const Path& figure) {
    to.points.insert(to.points.end(), figure.points.begin(), figure.points.end());
    to.types.insert(to.types.end(), figure.types.begin(), figure.types.end());
}

// A closed square (1..3 inches) and, right of it, the same outline left open.
Path testDesign() {
    Path design = square(1, 1, 2);
    Path open = square(4, 1, 2);
    open.types.back() = PathPointTypeLine;
    append(design, open);
    return design;
}

class PreviewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const auto t = previewTemplate();
        dialog_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                             nullptr, quietDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
        // Shown without taking the focus from a dialog another test program drives.
        ShowWindow(dialog_, SW_SHOWNOACTIVATE);
        control_ = GetDlgItem(dialog_, PathPreview::ControlId);
        ASSERT_TRUE(preview_.attach(control_, GetModuleHandleW(nullptr)));
    }
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
    }

    void identify(int model) {
        preview_.setMatSize(11, 8.5f);
        preview_.setMachine(true, model);
    }
    // Device pixel of a point given in inches on the cutting area.
    PointF onArea(float xInches, float yInches) {
        RECT client{};
        GetClientRect(control_, &client);
        const pv::Scene scene = pv::composeScene(preview_.state(), static_cast<float>(client.right),
                                                 static_cast<float>(client.bottom), {96, 96});
        const pv::InchScale inch(pv::Dpi{96, 96});
        const float x = scene.layout.cuttingArea.x + xInches * inch.x;
        const float y = scene.layout.cuttingArea.y + yInches * inch.y;
        return {scene.transform.scale * x + scene.transform.dx, scene.transform.scale * y + scene.transform.dy};
    }
    // Runs this thread's messages for a fixed span: the blink test samples a
    // real timer's period over it, which no event would tell. Between
    // messages the thread waits for the next one, not for a fixed pause.
    void pumpFor(DWORD ms) {
        const DWORD end = GetTickCount() + ms;
        for (LONG left = static_cast<LONG>(ms); left > 0; left = static_cast<LONG>(end - GetTickCount())) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
        }
    }

    GdiplusSession gdiplus_;
    HWND dialog_ = nullptr;
    HWND control_ = nullptr;
    PathPreview preview_;
};

TEST_F(PreviewWindow, StatusTextIsTheWindowTextAndIsDrawnInTheBand) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 96) << "pixel positions below assume 96 DPI";
    EXPECT_EQ(windowText(control_), L"");
    Snapshot blank(preview_);
    EXPECT_TRUE(isChecker(blank.at(2, static_cast<float>(blank.height() - 3))))
        << "no status text: no band";

    preview_.setStatus(L"Connecting...", 0xFFC0C000);
    EXPECT_EQ(windowText(control_), L"Connecting...");
    Snapshot shown(preview_);
    const std::uint32_t face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    EXPECT_EQ(shown.at(2, static_cast<float>(shown.height() - 8)), faceRgb);
    // The status colour appears somewhere in the band, the version text above it.
    int statusPixels = 0, versionPixels = 0;
    for (int y = shown.height() - 16; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const auto c = shown.at(static_cast<float>(x), static_cast<float>(y));
            statusPixels += red(c) > 150 && green(c) > 150 && blue(c) < 90;
        }
    for (int y = 0; y < 12; ++y)
        for (int x = shown.width() / 2; x < shown.width(); ++x) {
            const auto c = shown.at(static_cast<float>(x), static_cast<float>(y));
            versionPixels += !isChecker(c) && red(c) == green(c) && green(c) == blue(c);
        }
    EXPECT_GT(statusPixels, 10);
    EXPECT_GT(versionPixels, 5) << "version text " << std::string(preview_.state().versionText().begin(),
                                                                   preview_.state().versionText().end());
    EXPECT_EQ(preview_.state().versionText(), L"" VANTREL_VERSION_SHORT);

    // A repaint, a click or a blink never changes the window text.
    preview_.setStatus(L"Not Connected", 0xFFFF0000);
    UpdateWindow(control_);
    SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(windowText(control_), L"Not Connected");
}

TEST_F(PreviewWindow, WithoutAMachineOnlyTheCheckerboardIsDrawn) {
    const Path design = testDesign();
    preview_.setDesign(&design);
    preview_.setMatSize(11, 8.5f);
    Snapshot snap(preview_);
    for (int y = 0; y < snap.height(); y += 3)
        for (int x = 0; x < snap.width(); x += 3)
            ASSERT_TRUE(isChecker(snap.at(static_cast<float>(x), static_cast<float>(y))))
                << "at " << x << "," << y << ": " << std::hex << snap.at(static_cast<float>(x), static_cast<float>(y));
}

TEST_F(PreviewWindow, ClosedShapesStayLightOpenFiguresAreOnlyLines) {
    const Path design = testDesign();
    const Path before = design;
    preview_.setDesign(&design);
    identify(1);
    Snapshot snap(preview_);
    EXPECT_EQ(design, before) << "the preview draws from its own copy";

    const PointF insideClosed = onArea(2, 2);
    const PointF insideOpen = onArea(5, 2);
    const PointF sheet = onArea(7.5f, 5);
    // Inside a closed shape only the light area tint; elsewhere the dark sheet.
    EXPECT_GT(blue(snap.at(insideClosed.x, insideClosed.y)), 120) << std::hex << snap.at(insideClosed.x, insideClosed.y);
    EXPECT_LT(blue(snap.at(sheet.x, sheet.y)), 60) << std::hex << snap.at(sheet.x, sheet.y);
    EXPECT_LT(blue(snap.at(insideOpen.x, insideOpen.y)), 60)
        << "an open figure is never filled: " << std::hex << snap.at(insideOpen.x, insideOpen.y);
    EXPECT_GT(red(snap.at(sheet.x, sheet.y)), 200);
}

TEST_F(PreviewWindow, CarrierMatOffRemovesTheMatAndShiftsTheDesign) {
    const Path design = square(1, 1, 2);
    preview_.setDesign(&design);
    identify(1);
    // The plain mat view, so no machine picture lies under the mat's edge.
    SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    const PointF withMat = onArea(0, 0);
    preview_.setDrawMat(false);
    const PointF withoutMat = onArea(0, 0);
    const float quarterInch = 0.25f * pv::PreviewScale * 96 * pv::WorldScale;
    EXPECT_NEAR(withMat.x - withoutMat.x, quarterInch, 1e-3);
    EXPECT_EQ(withMat.y, withoutMat.y);

    // The mat's outline runs left of the cutting area; without the mat that spot is plain checkerboard.
    preview_.setDrawMat(true);
    RECT client{};
    GetClientRect(control_, &client);
    const pv::Scene scene = pv::composeScene(preview_.state(), static_cast<float>(client.right),
                                             static_cast<float>(client.bottom), {96, 96});
    const float matLeft = scene.transform.scale * scene.layout.mat.x + scene.transform.dx;
    const float matMiddle = scene.transform.scale * (scene.layout.mat.y + scene.layout.mat.height / 2) +
                            scene.transform.dy;
    // The triangle sits 2..6 pixels inside the mat's left edge (before scaling).
    const float triangleX = matLeft + 4.5f * pv::WorldScale;
    Snapshot matOn(preview_);
    EXPECT_LT(red(matOn.at(triangleX, matMiddle)), 100) << "the black triangle";
    preview_.setDrawMat(false);
    Snapshot matOff(preview_);
    // The machine's picture lies under the mat's edge, so the spot shows the
    // machine or the checkerboard, but no longer the black triangle.
    EXPECT_GT(red(matOff.at(triangleX, matMiddle)), 100) << "no triangle without the mat";
}

TEST_F(PreviewWindow, MarksBlinkOnTimerOneAndOnlyWhileShown) {
    const Path design = square(1, 1, 2);
    const Path mark = square(4.5f, 0.5f, 0.5f);
    preview_.setDesign(&design);
    preview_.setMarks({&mark, nullptr, nullptr});
    identify(2);
    const PointF markCentre = onArea(4.75f, 0.75f);
    const std::uint32_t markColour = 0x652700;

    EXPECT_FALSE(preview_.blinkTimerRunning());
    SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
    EXPECT_FALSE(preview_.state().markPhase()) << "no blinking while the marks are off";
    EXPECT_NE(Snapshot(preview_).at(markCentre.x, markCentre.y), markColour);

    preview_.setShowMarks(true);
    EXPECT_TRUE(preview_.blinkTimerRunning());
    EXPECT_NE(Snapshot(preview_).at(markCentre.x, markCentre.y), markColour) << "the phase starts off";
    SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
    EXPECT_EQ(Snapshot(preview_).at(markCentre.x, markCentre.y), markColour);
    SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
    EXPECT_NE(Snapshot(preview_).at(markCentre.x, markCentre.y), markColour);

    // The real timer toggles the phase by itself, about every 500 ms.
    int toggles = 0;
    bool phase = preview_.state().markPhase();
    for (int i = 0; i < 13; ++i) {
        pumpFor(100);
        if (preview_.state().markPhase() != phase) ++toggles;
        phase = preview_.state().markPhase();
    }
    EXPECT_GE(toggles, 1);
    EXPECT_LE(toggles, 4);

    preview_.setShowMarks(false);
    EXPECT_FALSE(preview_.blinkTimerRunning());
    for (int i = 0; i < 2; ++i) {
        SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
        EXPECT_NE(Snapshot(preview_).at(markCentre.x, markCentre.y), markColour);
    }
}

TEST_F(PreviewWindow, BlinkingReusesTheDrawnDesign) {
    const Path design = testDesign();
    const Path mark = square(4.5f, 0.5f, 0.5f);
    preview_.setDesign(&design);
    preview_.setMarks({&mark, &mark, &mark});
    identify(1);
    preview_.setShowMarks(true);
    Snapshot first(preview_);
    const auto before = preview_.counters();
    for (int i = 0; i < 6; ++i) {
        SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
        Snapshot again(preview_);
    }
    const auto after = preview_.counters();
    EXPECT_EQ(after.scenes, before.scenes) << "a blink never redraws the design";
    EXPECT_LE(after.frames, before.frames + 1) << "each mark phase is composed once";
    EXPECT_EQ(after.paints, before.paints + 6);

    // A new status line recomposes the frame but keeps the design layer.
    preview_.setStatus(L"Connected [CAMEO V1.10]", 0xFF000000);
    Snapshot status(preview_);
    EXPECT_EQ(preview_.counters().scenes, before.scenes);
    // A new design, or a click on the preview, draws the scene again.
    preview_.setDesign(&design);
    Snapshot redrawn(preview_);
    EXPECT_EQ(preview_.counters().scenes, before.scenes + 1);
}

TEST_F(PreviewWindow, FarAwayAndBrokenFiguresStillPaint) {
    // A figure far off the mat, one with a NaN, one with a Bézier cut short,
    // and a sane square: the paint finishes and still shows the square.
    Path design = square(1e6f, 1e6f, 1e5f);
    append(design, Path{{{1, 1}, {std::nanf(""), 2}, {3, 3}}, {0, 1, 0x81}});
    append(design, Path{{{4, 4}, {5, 5}, {6, 4}}, {0, 3, 3}});
    append(design, square(1, 1, 2));
    preview_.setDesign(&design);
    identify(2);
    // The cutting area grows with the design's right edge: here far past the surface.
    preview_.setMatSize(1.2e6f, 12);
    Snapshot snap(preview_);
    EXPECT_EQ(preview_.counters().scenes, 1u);
    const PointF areaCorner = onArea(0, 0);
    EXPECT_FALSE(isChecker(snap.at(areaCorner.x + 4, areaCorner.y + 4))) << "the cutting area is drawn";
}

TEST_F(PreviewWindow, AbsurdCoordinatesAreNeverHandedToTheDrawing) {
    // Design points and a curve control point a hundred million inches out
    // (the generator refuses to cut such a design), marks around it, and a
    // cutting area as wide: the platform must get only what can be seen, or
    // every repaint holds the dialog for many seconds.
    Path design = square(1, 4, 2);
    append(design, Path{{{5, 1}, {6, 1}, {1e8f, 2}}, {0, 1, 0x81}});
    append(design, Path{{{-1e8f, 3}, {4, 3}}, {0, 1}});
    append(design, Path{{{7, 6}, {1e8f, 7}, {8, 7}, {9, 6}}, {0, 3, 3, 3}});
    const Path farMark = square(1e8f, 1e8f, 0.5f), nearMark = square(9.5f, 0.5f, 0.5f);
    preview_.setDesign(&design);
    preview_.setMarks({&farMark, &nearMark, &farMark});
    identify(2);
    preview_.setMatSize(1e8f, 12);
    preview_.setShowMarks(true);
    SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
    ASSERT_TRUE(preview_.state().marksVisible());
    // The plain mat view, so that no machine picture covers the spots read below.
    SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Snapshot snap(preview_);

    const RectF drawn = preview_.drawnBounds();
    EXPECT_GT(drawn.width, 0);
    const float limit = 2000;  // world pixels: the surface is about 300 across
    EXPECT_TRUE(drawn.x > -limit && drawn.y > -limit && drawn.x + drawn.width < limit && drawn.y + drawn.height < limit)
        << drawn.x << ", " << drawn.y << " + " << drawn.width << " x " << drawn.height;

    // What shows is drawn where it belongs, though the design's corner lies a
    // billion pixels left: inside the square the light tint, beside it the sheet.
    const PointF insideSquare = onArea(2.5f, 5.5f), sheet = onArea(4.5f, 5.5f), nearMarkCentre = onArea(9.75f, 0.75f);
    EXPECT_GT(blue(snap.at(insideSquare.x, insideSquare.y)), 120) << std::hex << snap.at(insideSquare.x, insideSquare.y);
    EXPECT_LT(blue(snap.at(sheet.x, sheet.y)), 60) << std::hex << snap.at(sheet.x, sheet.y);
    EXPECT_EQ(snap.at(nearMarkCentre.x, nearMarkCentre.y), 0x652700u);
}

TEST_F(PreviewWindow, ClickSwitchesTheMachineViewAndBack) {
    EXPECT_TRUE(preview_.state().showMachine());
    SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_FALSE(preview_.state().showMachine());
    EXPECT_EQ(GetCapture(), control_) << "the mouse is captured while pressed";
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_NE(GetCapture(), control_);
    // A quick second click arrives as a double click and still switches back.
    SendMessageW(control_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(preview_.state().showMachine());
    // A stray release without a press changes nothing.
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(preview_.state().showMachine());
}

TEST_F(PreviewWindow, DestroyingTheControlStopsEverything) {
    preview_.setShowMarks(true);
    EXPECT_TRUE(preview_.blinkTimerRunning());
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    EXPECT_EQ(preview_.hwnd(), nullptr);
    EXPECT_FALSE(preview_.blinkTimerRunning());
    // Setters after the window went only keep the state.
    const Path design = square(0, 0, 1);
    preview_.setDesign(&design);
    preview_.setStatus(L"Not Connected", 0xFFFF0000);
    EXPECT_EQ(preview_.state().statusText(), L"Not Connected");
}

// A heart of four Bézier segments and a five-pointed star, in inches.
Path showcaseDesign() {
    Path design{{{2, 1.2f}, {2, 0.5f}, {0.8f, 0.4f}, {0.8f, 1.3f}, {0.8f, 2.0f}, {1.6f, 2.4f}, {2, 3.0f},
                 {2.4f, 2.4f}, {3.2f, 2.0f}, {3.2f, 1.3f}, {3.2f, 0.4f}, {2, 0.5f}, {2, 1.2f}},
                {PathPointTypeStart, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, PathPointTypeBezier | PathPointTypeCloseSubpath}};
    Path star;
    for (int i = 0; i < 10; ++i) {
        const double angle = -3.14159265358979 / 2 + i * 3.14159265358979 / 5;
        const double radius = i % 2 ? 0.45 : 1.1;
        star.points.push_back({static_cast<float>(5.2 + radius * std::cos(angle)),
                               static_cast<float>(2.0 + radius * std::sin(angle))});
        star.types.push_back(i == 0 ? PathPointTypeStart : PathPointTypeLine);
    }
    star.types.back() |= PathPointTypeCloseSubpath;
    append(design, star);
    // An open wave under both: drawn as a line only.
    append(design, Path{{{0.8f, 4}, {2, 3.2f}, {3, 4.8f}, {4.2f, 4}, {5.0f, 3.4f}, {6, 4.4f}, {6.4f, 4}},
                        {PathPointTypeStart, 3, 3, 3, 3, 3, 3}});
    return design;
}

TEST_F(PreviewWindow, Screenshots) {
    const Path design = showcaseDesign();
    const Path bottomLeft{{{0.3f, 5.3f}, {0.3f, 4.8f}, {0.33f, 4.8f}, {0.33f, 5.27f}, {0.8f, 5.27f}, {0.8f, 5.3f}},
                          {0, 1, 1, 1, 1, 1 | PathPointTypeCloseSubpath}};
    const Path topLeft{{{0.3f, 0.1f}, {0.53f, 0.1f}, {0.53f, 0.33f}, {0.3f, 0.33f}},
                       {0, 1, 1, 1 | PathPointTypeCloseSubpath}};
    const Path topRight{{{7.3f, 0.1f}, {7.3f, 0.6f}, {7.27f, 0.6f}, {7.27f, 0.13f}, {6.8f, 0.13f}, {6.8f, 0.1f}},
                        {0, 1, 1, 1, 1, 1 | PathPointTypeCloseSubpath}};
    preview_.setDesign(&design);
    preview_.setStatus(L"Not Connected", 0xFFFF0000);
    EXPECT_TRUE(saveScreenshot(dialog_, L"preview-not-connected.png"));

    preview_.setStatus(L"Connected [SILHOUETTE SD]", 0xFF000000);
    preview_.setMatSize(11, 8.5f);
    preview_.setMachine(true, 1);
    preview_.setMarks({&bottomLeft, &topLeft, &topRight});
    preview_.setShowMarks(true);
    SendMessageW(control_, WM_TIMER, PathPreview::BlinkTimer, 0);
    EXPECT_TRUE(saveScreenshot(dialog_, L"preview-sd-marks.png"));

    preview_.setShowMarks(false);
    preview_.setStatus(L"Connected [CAMEO V1.10]", 0xFF000000);
    preview_.setMatSize(12, 12);
    preview_.setMachine(true, 2);
    EXPECT_TRUE(saveScreenshot(dialog_, L"preview-cameo.png"));
    SendMessageW(control_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageW(control_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(saveScreenshot(dialog_, L"preview-cameo-mat-view.png"));
    preview_.setDrawMat(false);
    EXPECT_TRUE(saveScreenshot(dialog_, L"preview-cameo-no-carrier-mat.png"));
}

}  // namespace
}  // namespace vantrel::test
