#include "ui/win32/preview.h"

#include <algorithm>
#include <cstring>

#include "support/win32/gdi_owners.h"
#include "ui/control_layout.h"
#include "ui/win32/dpi.h"
#include "ui/win32/resource_image.h"

namespace vantrel::win {

namespace pv = vantrel::preview;

namespace {

static_assert(sizeof(Gdiplus::GpPointF) == sizeof(PointF), "path points hand over as they are");

// A picture in premultiplied pixels, the form GDI+ draws fastest.
UniqueGpBitmap loadPicture(HINSTANCE module, int id) {
    UniqueGpImage decoded = loadImage(module, id);
    if (!decoded) return {};
    return toBitmap(decoded.get(), PixelFormat32bppPARGB);
}

// The file version of `module` from its version resource: the fixed block of
// exactly 52 bytes after the "VS_VERSION_INFO" header, else all zero.
std::array<std::uint16_t, 4> fileVersionOf(HINSTANCE module) {
    std::array<std::uint16_t, 4> parts{};
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    if (!found) return parts;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    // Header: length, value length, type (3 WORDs), the key with its zero, padded to 4 bytes.
    constexpr DWORD keyOffset = 6;
    constexpr DWORD keyBytes = sizeof(L"VS_VERSION_INFO");
    constexpr DWORD valueOffset = (keyOffset + keyBytes + 3) & ~DWORD{3};
    if (!bytes || size < valueOffset + sizeof(VS_FIXEDFILEINFO)) return parts;
    WORD valueLength = 0;
    std::memcpy(&valueLength, bytes + 2, sizeof valueLength);
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, bytes + valueOffset, sizeof fixed);
    if (valueLength != 52 || sizeof fixed != 52 || fixed.dwSignature != 0xFEEF04BD) return parts;
    parts = {HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS), HIWORD(fixed.dwFileVersionLS),
             LOWORD(fixed.dwFileVersionLS)};
    return parts;
}

UniqueGpPath toGpPath(const Path& path) {
    UniqueGpPath created;
    if (path.empty()) return created;
    gp::GdipCreatePath2(reinterpret_cast<const Gdiplus::GpPointF*>(path.points.data()), path.types.data(),
                        static_cast<INT>(path.points.size()), Gdiplus::FillModeAlternate, created.receive());
    return created;
}

// Pictures and their places are made for 96 dots per inch; `scale` takes them to the display.
void drawPicture(Gdiplus::GpGraphics* graphics, const UniqueGpBitmap& bitmap, PointF at, float scale) {
    if (!bitmap) return;
    GpImage* picture = bitmap.image();
    UINT width = 0, height = 0;
    gp::GdipGetImageWidth(picture, &width);
    gp::GdipGetImageHeight(picture, &height);
    gp::GdipDrawImageRect(graphics, picture, at.x * scale, at.y * scale, static_cast<float>(width) * scale,
                          static_cast<float>(height) * scale);
}

// The status band laid out at 96 dots per inch and scaled, so the text fits its band at any scale.
pv::StatusLayout scaledStatus(const pv::StatusLayout& unscaled, float width, float height, float scale) {
    if (scale == 1.0f) return unscaled;
    pv::StatusLayout status = pv::statusLayout(width / scale, height / scale);
    for (RectF* r : {&status.band, &status.text, &status.shadow, &status.version})
        *r = {r->x * scale, r->y * scale, r->width * scale, r->height * scale};
    for (PointF* p : {&status.dashFrom, &status.dashTo}) *p = {p->x * scale, p->y * scale};
    return status;
}

void setQuality(Gdiplus::GpGraphics* graphics, bool smooth) {
    gp::GdipSetInterpolationMode(graphics, smooth ? Gdiplus::InterpolationModeHighQualityBicubic
                                                  : Gdiplus::InterpolationModeNearestNeighbor);
    gp::GdipSetSmoothingMode(graphics, smooth ? Gdiplus::SmoothingModeAntiAlias : Gdiplus::SmoothingModeNone);
}

void setWorldTransform(Gdiplus::GpGraphics* graphics, const pv::WorldTransform& transform) {
    gp::GdipResetWorldTransform(graphics);
    gp::GdipScaleWorldTransform(graphics, transform.scale, transform.scale, Gdiplus::MatrixOrderAppend);
    gp::GdipTranslateWorldTransform(graphics, transform.dx, transform.dy, Gdiplus::MatrixOrderAppend);
}

int slotOf(int model) { return model == 2 ? 1 : model == 3 ? 2 : 0; }

// One surface pixel in world units, for the shapes' flattening.
float pixelOf(const pv::Scene& scene) { return 1 / scene.transform.scale; }

void drawMat(Gdiplus::GpGraphics* graphics, const pv::Scene& scene) {
    setQuality(graphics, false);
    const RectF& mat = scene.layout.mat;
    const float arc = pv::MatCornerArc;
    UniqueGpPath rounded;
    gp::GdipCreatePath(Gdiplus::FillModeAlternate, rounded.receive());
    if (rounded) {
        GpPath* p = rounded.get();
        addRoundedRectangle(p, mat.x, mat.y, mat.x + mat.width, mat.y + mat.height, arc);
        auto fill = makeSolidBrush(pv::MatFill);
        auto outline = makeSolidPen(pv::MatLine, 1);
        if (fill) gp::GdipFillPath(graphics, fill.get(), p);
        if (outline) gp::GdipDrawPath(graphics, outline.get(), p);
    }
    auto solid = makeSolidPen(pv::MatLine, 1);
    auto dashed = makeSolidPen(pv::MatLine, 1, true);
    for (const pv::GridLine& line : scene.grid) {
        auto* linePen = line.dashed ? dashed.get() : solid.get();
        if (linePen) gp::GdipDrawLine(graphics, linePen, line.from.x, line.from.y, line.to.x, line.to.y);
    }
    setQuality(graphics, true);
    const Gdiplus::GpPointF corners[3] = {{scene.triangle.apex.x, scene.triangle.apex.y},
                                          {scene.triangle.baseTop.x, scene.triangle.baseTop.y},
                                          {scene.triangle.baseBottom.x, scene.triangle.baseBottom.y}};
    if (auto black = makeSolidBrush(pv::MatTriangle))
        gp::GdipFillPolygon(graphics, black.get(), corners, 3, Gdiplus::FillModeAlternate);
    setQuality(graphics, false);
    const RectF& area = scene.shownArea;
    if (solid && area.width > 0 && area.height > 0)
        gp::GdipDrawRectangle(graphics, solid.get(), area.x, area.y, area.width, area.height);
    setQuality(graphics, true);
}

void drawText(Gdiplus::GpGraphics* graphics, const std::wstring& text, Gdiplus::GpFont* font, const RectF& box,
              Gdiplus::StringAlignment align, Gdiplus::StringAlignment lineAlign, std::uint32_t argb) {
    if (!font || text.empty()) return;
    UniqueGpStringFormat format;
    gp::GdipCreateStringFormat(0, LANG_NEUTRAL, format.receive());
    auto brush = makeSolidBrush(argb);
    if (!format || !brush) return;
    gp::GdipSetStringFormatAlign(format.get(), align);
    gp::GdipSetStringFormatLineAlign(format.get(), lineAlign);
    const Gdiplus::RectF layout(box.x, box.y, box.width, box.height);
    gp::GdipDrawString(graphics, text.c_str(), static_cast<INT>(text.size()), font, &layout, format.get(),
                       brush.get());
}

}  // namespace

void PathPreview::onAttach() {
    for (int model = 1; model <= 3; ++model) {
        const pv::MachinePictures pictures = pv::machinePictures(model);
        bodies_[slotOf(model)] = loadPicture(resources_, pictures.body);
        rails_[slotOf(model)] = loadPicture(resources_, pictures.rail);
    }
    head_ = loadPicture(resources_, pv::ToolHeadImage);
    displayScale_ = ui::scaledF(1.0f, windowDpi(hwnd()));
    statusFont_ = makeUiFont(pv::StatusFontPixels * displayScale_, Gdiplus::FontStyleBold);
    captionFont_ = makeUiFont(pv::CaptionFontPixels * displayScale_, Gdiplus::FontStyleBold);
    state_.setVersionText(pv::versionText(fileVersionOf(resources_)));
    // The status line is the window text; the static must not draw it itself.
    DefWindowProcW(hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state_.statusText().c_str()));
    updateTimer();
}

void PathPreview::onDetach() {
    if (timerRunning_) KillTimer(hwnd(), BlinkTimer);
    timerRunning_ = false;
    if (pressed_) {
        pressed_ = false;
        if (GetCapture() == hwnd()) ReleaseCapture();
    }
    releaseDrawing();
}

void PathPreview::releaseDrawing() {
    for (auto& picture : bodies_) picture = UniqueGpBitmap();
    for (auto& picture : rails_) picture = UniqueGpBitmap();
    head_ = UniqueGpBitmap();
    statusFont_.reset();
    captionFont_.reset();
    scene_.release();
    for (Frame& frame : frames_) {
        frame.surface.release();
        frame.sceneKey = frame.overlayKey = ~std::uint64_t{0};
    }
    sceneKey_ = ~std::uint64_t{0};
    placedClosed_.reset();
    placedOpen_.reset();
    placedVersion_ = ~std::uint64_t{0};
    width_ = height_ = 0;
}

pv::Dpi PathPreview::screenDpi() const {
    pv::Dpi dpi;
    if (const WindowDc screen(nullptr); screen) {
        dpi = {static_cast<float>(GetDeviceCaps(screen.get(), LOGPIXELSX)),
               static_cast<float>(GetDeviceCaps(screen.get(), LOGPIXELSY))};
    }
    return dpi;
}

void PathPreview::updateTimer() {
    if (!hwnd()) return;
    if (state_.showMarks() && !timerRunning_) {
        timerRunning_ = SetTimer(hwnd(), BlinkTimer, BlinkPeriodMs, nullptr) != 0;
    } else if (!state_.showMarks() && timerRunning_) {
        KillTimer(hwnd(), BlinkTimer);
        timerRunning_ = false;
    }
}

void PathPreview::setDesign(const Path* designInches) {
    state_.setDesign(designInches, screenDpi());
    ++designVersion_;
    repaint();
}

void PathPreview::setMarks(const std::array<const Path*, 3>& marksInches) {
    state_.setMarks(marksInches, screenDpi());
    repaint();
}

void PathPreview::setStatus(const std::wstring& text, std::uint32_t argb) {
    state_.setStatus(text, argb);
    // The static control would draw its own text over ours: store it only.
    if (hwnd()) DefWindowProcW(hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    repaint();
}

void PathPreview::setMachine(bool known, int model) {
    state_.setMachine(known, model);
    repaint();
}

void PathPreview::setMatSize(float width, float height) {
    state_.setMatSize(width, height);
    repaint();
}

void PathPreview::setDrawMat(bool on) {
    state_.setDrawMat(on);
    repaint();
}

void PathPreview::setShowMarks(bool on) {
    state_.setShowMarks(on);
    updateTimer();
    repaint();
}

void PathPreview::paint(HDC dc) {
    if (!hwnd()) return;
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    if (width != width_ || height != height_) {
        sceneKey_ = ~std::uint64_t{0};
        for (Frame& frame : frames_) frame.sceneKey = ~std::uint64_t{0};
        if (!scene_.ensureSize(width, height)) return;
        if (auto graphics = scene_.graphics()) {
            gp::GdipGetDpiX(graphics.get(), &surfaceDpi_.x);
            gp::GdipGetDpiY(graphics.get(), &surfaceDpi_.y);
        }
        width_ = width;
        height_ = height;
    }
    const pv::Scene scene =
        pv::composeScene(state_, static_cast<float>(width), static_cast<float>(height), surfaceDpi_);
    if (sceneKey_ != state_.sceneVersion()) {
        if (!renderScene(scene)) return;
        sceneKey_ = state_.sceneVersion();
        ++counters_.scenes;
    }
    // The status band takes its colours from the system: a change of scheme
    // makes the finished frames stale.
    const std::array<std::uint32_t, 2> bandColours{systemColour(COLOR_BTNFACE), systemColour(COLOR_BTNSHADOW)};
    if (bandColours != bandColours_) {
        bandColours_ = bandColours;
        for (Frame& stale : frames_) stale.overlayKey = ~std::uint64_t{0};
    }
    Frame& frame = frames_[state_.marksVisible() ? 1 : 0];
    if (frame.sceneKey != sceneKey_ || frame.overlayKey != state_.overlayVersion()) {
        if (!frame.surface.ensureSize(width, height)) return;
        frame.surface.copyFrom(scene_);
        composeFrame(frame.surface, scene);
        frame.sceneKey = sceneKey_;
        frame.overlayKey = state_.overlayVersion();
        ++counters_.frames;
    }
    GdiFlush();
    BitBlt(dc, 0, 0, width, height, frame.surface.dc(), 0, 0, SRCCOPY);
    ++counters_.paints;
}

bool PathPreview::renderScene(const pv::Scene& scene) {
    auto owner = scene_.graphics();
    Gdiplus::GpGraphics* graphics = owner.get();
    if (!graphics) return false;
    gp::GdipGraphicsClear(graphics, 0xFFFFFFFF);
    setQuality(graphics, true);
    gp::GdipSetPageUnit(graphics, Gdiplus::UnitPixel);
    {
        Gdiplus::GpHatch* hatch = nullptr;
        gp::GdipCreateHatchBrush(static_cast<Gdiplus::GpHatchStyle>(pv::CheckerHatchStyle), pv::CheckerForeground,
                                 pv::CheckerBackground, &hatch);
        UniqueGpBrush checker(hatch);
        if (checker) gp::GdipFillRectangleI(graphics, checker.get(), 0, 0, scene_.width(), scene_.height());
    }
    setWorldTransform(graphics, scene.transform);
    if (scene.machine) drawPicture(graphics, bodies_[slotOf(state_.model())], {0, 0}, displayScale_);
    if (scene.mat) drawMat(graphics, scene);
    if (scene.design && state_.design()) {
        const RectF& area = scene.shownArea;
        if (placedVersion_ != designVersion_ || !(placedOffset_ == scene.designOffset) || !(placedArea_ == area) ||
            !(placedVisible_ == scene.visible)) {
            // Straight segments, clipped to what shows: the platform never
            // flattens thousands of curves nor fills a path a billion pixels wide.
            pv::DesignLayer layer = pv::layoutDesign(state_.design()->scaled, scene.designOffset,
                                                     scene.layout.cuttingArea, scene.visible, pixelOf(scene));
            placedClosed_ = toGpPath(layer.closed);
            placedOpen_ = toGpPath(layer.open);
            drawnBounds_ = {};
            noteDrawn(placedClosed_.get());
            noteDrawn(placedOpen_.get());
            placedVersion_ = designVersion_;
            placedOffset_ = scene.designOffset;
            placedArea_ = area;
            placedVisible_ = scene.visible;
        }
        if (auto areaFill = makeSolidBrush(pv::CuttingAreaFill))
            gp::GdipFillRectangle(graphics, areaFill.get(), area.x, area.y, area.width, area.height);
        auto sheet = makeSolidBrush(pv::DesignSheetFill);
        auto line = makeSolidPen(pv::DesignLine, 1);
        if (placedClosed_) {
            if (sheet) gp::GdipFillPath(graphics, sheet.get(), placedClosed_.get());
            if (line) gp::GdipDrawPath(graphics, line.get(), placedClosed_.get());
        }
        if (placedOpen_ && line) gp::GdipDrawPath(graphics, line.get(), placedOpen_.get());
    }
    return true;
}

bool PathPreview::composeFrame(PreviewSurface& frame, const pv::Scene& scene) {
    auto owner = frame.graphics();
    Gdiplus::GpGraphics* graphics = owner.get();
    if (!graphics) return false;
    setQuality(graphics, true);
    gp::GdipSetPageUnit(graphics, Gdiplus::UnitPixel);
    setWorldTransform(graphics, scene.transform);
    auto line = makeSolidPen(pv::DesignLine, 1);
    auto markFill = makeSolidBrush(pv::DesignLine);
    for (std::size_t i = 0; i < scene.markTargets.size(); ++i) {
        const auto& mark = state_.marks()[i];
        if (!scene.markTargets[i] || !mark) continue;
        UniqueGpPath placed = toGpPath(pv::layoutShape(mark->scaled, scene.markOffsets[i], scene.visible, pixelOf(scene)));
        if (!placed) continue;
        noteDrawn(placed.get());
        if (line) gp::GdipDrawPath(graphics, line.get(), placed.get());
        if (markFill) gp::GdipFillPath(graphics, markFill.get(), placed.get());
    }
    if (scene.machine) {
        drawPicture(graphics, rails_[slotOf(state_.model())], scene.pictures.railAt, displayScale_);
        drawPicture(graphics, head_, scene.pictures.headAt, displayScale_);
    }
    if (scene.status) {
        gp::GdipResetWorldTransform(graphics);
        const pv::StatusLayout status = scaledStatus(scene.statusLayout, static_cast<float>(frame.width()),
                                                     static_cast<float>(frame.height()), displayScale_);
        if (auto band = makeSolidBrush(systemColour(COLOR_BTNFACE)))
            gp::GdipFillRectangle(graphics, band.get(), status.band.x, status.band.y, status.band.width,
                                  status.band.height);
        if (auto edge = makeSolidPen(systemColour(COLOR_BTNSHADOW), 1, true))
            gp::GdipDrawLine(graphics, edge.get(), status.dashFrom.x, status.dashFrom.y, status.dashTo.x,
                             status.dashTo.y);
        drawText(graphics, state_.statusText(), statusFont_.get(), status.shadow, Gdiplus::StringAlignmentCenter,
                 Gdiplus::StringAlignmentFar, pv::StatusShadow);
        drawText(graphics, state_.statusText(), statusFont_.get(), status.text, Gdiplus::StringAlignmentCenter,
                 Gdiplus::StringAlignmentFar, state_.statusColour());
        drawText(graphics, state_.versionText(), captionFont_.get(), status.version, Gdiplus::StringAlignmentFar,
                 Gdiplus::StringAlignmentNear, pv::VersionColour);
    }
    return true;
}

void PathPreview::noteDrawn(GpPath* path) {
    Gdiplus::GpRectF bounds{};
    if (!path || gp::GdipGetPathWorldBounds(path, &bounds, nullptr, nullptr) != Gdiplus::Ok) return;
    const RectF added{bounds.X, bounds.Y, bounds.Width, bounds.Height};
    if (drawnBounds_.width == 0 && drawnBounds_.height == 0) {
        drawnBounds_ = added;
        return;
    }
    const float left = std::min(drawnBounds_.x, added.x), top = std::min(drawnBounds_.y, added.y);
    const float right = std::max(drawnBounds_.x + drawnBounds_.width, added.x + added.width);
    const float bottom = std::max(drawnBounds_.y + drawnBounds_.height, added.y + added.height);
    drawnBounds_ = {left, top, right - left, bottom - top};
}

bool PathPreview::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND window = hwnd();
    result = 0;
    if (handlePaintMessage(message, wParam, result)) return true;
    switch (message) {
        case WM_NCHITTEST:
            result = HTCLIENT;  // clicks are ours, whatever the static's style
            return true;
        case WM_SETTEXT:
            // Stored only: the static would draw its own text over ours.
            result = DefWindowProcW(window, message, wParam, lParam);
            repaint();
            return true;
        case WM_ENABLE:
        case WM_SIZE:
            repaint();
            return true;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:  // a quick second click toggles back, as a click does
            state_.toggleShowMachine();
            repaint();
            SetCapture(window);
            pressed_ = true;
            return true;
        case WM_LBUTTONUP:
            if (pressed_) {
                pressed_ = false;
                ReleaseCapture();
                repaint();
            }
            return true;
        case WM_CAPTURECHANGED:
            pressed_ = false;
            return true;
        case WM_TIMER:
            if (wParam != BlinkTimer) return false;
            if (state_.blink()) repaint();
            return true;
        default:
            return false;
    }
}

}  // namespace vantrel::win
