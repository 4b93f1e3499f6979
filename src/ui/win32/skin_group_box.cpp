#include "ui/win32/skin_group_box.h"

#include <windowsx.h>

#include "ui/colour.h"
#include "ui/win32/dpi.h"

namespace vantrel::win {

namespace {

UniqueGpPath roundedPath(float left, float top, float right, float bottom, float diameter) {
    UniqueGpPath path;
    gp::GdipCreatePath(Gdiplus::FillModeAlternate, path.receive());
    if (path) addRoundedRectangle(path.get(), left, top, right, bottom, diameter);
    return path;
}

UniqueGpBitmap argbBitmap(int width, int height) {
    UniqueGpBitmap bitmap;
    gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, bitmap.receive());
    return bitmap;
}

UniqueGpGraphics graphicsOn(const UniqueGpBitmap& bitmap) {
    UniqueGpGraphics graphics;
    if (bitmap) gp::GdipGetImageGraphicsContext(bitmap.image(), graphics.receive());
    return graphics;
}

}  // namespace

SkinGroupBox::SkinGroupBox()
    : backgroundColour_(GetSysColor(COLOR_BTNFACE)),
      // A copy of the shared system cursor, so owning and destroying it is sound.
      handCursor_(CopyCursor(LoadCursorW(nullptr, IDC_HAND))) {}

void SkinGroupBox::setColours(ui::Argb text, ui::Argb shadow, ui::Argb band, COLORREF background) {
    textColour_ = text;
    shadowColour_ = shadow;
    bandColour_ = band;
    backgroundColour_ = background;
    repaint();
}

void SkinGroupBox::setIcons(UniqueGpImage icon, UniqueGpImage hoverIcon) {
    icon_ = std::move(icon);
    hoverIcon_ = std::move(hoverIcon);
    repaint();
}

void SkinGroupBox::setIconFromResource(HINSTANCE module, int resourceId) {
    UniqueGpImage icon = loadImage(module, resourceId);
    UniqueGpImage hover = blendedCopy(icon.get(), 0.25, true).releaseImage();
    setIcons(std::move(icon), std::move(hover));
}

bool SkinGroupBox::overIcon(POINT client) const {
    return icon_ && iconPlaced() && IsWindowEnabled(hwnd()) && iconRect_.contains(client.x, client.y);
}

void SkinGroupBox::setHovering(bool hovering) {
    if (hovering_ == hovering) return;
    hovering_ = hovering;
    repaint();
}

void SkinGroupBox::click() {
    HWND self = hwnd();
    HWND owner = parent();
    int commandId = id();
    SendMessageW(owner, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
    // The command may have closed the dialog and taken this control with it.
    if (!IsWindow(self) || hwnd() != self) return;
    setHovering(false);
    // The command may have activated another window (a help window): the
    // keyboard stays there, or the Escape meant for it would reach this dialog.
    if (GetActiveWindow() != GetAncestor(self, GA_ROOT)) return;
    HWND next = GetWindow(self, GW_HWNDNEXT);
    if (next && IsWindowEnabled(next) && IsWindowVisible(next)) SetFocus(next);
}

bool SkinGroupBox::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (handlePaintMessage(message, wParam, result)) return true;
    switch (message) {
        case WM_NCHITTEST:
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_SETCURSOR:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            return onMouse(message, lParam, result);
        case WM_SETTEXT:
        case WM_ENABLE:
        case WM_SETFONT:
        case WM_UPDATEUISTATE:
        case WM_SYSCOLORCHANGE:
            // The standard group box draws itself on these; draw ours over it.
            result = callDefault(message, wParam, lParam);
            if (message == WM_ENABLE && !wParam) setHovering(false);
            InvalidateRect(hwnd(), nullptr, FALSE);
            return true;
        default:
            return false;
    }
}

// The icon is a button: hover, hand cursor, press and release on it.
void SkinGroupBox::mouseMoved(POINT at) {
    if (overIcon(at)) {
        if (!hovering_) {
            // Told when the mouse leaves, also straight out of the dialog.
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd(), 0};
            TrackMouseEvent(&track);
        }
        setHovering(true);
    } else if (GetCapture() != hwnd()) {
        setHovering(false);
    }
}

void SkinGroupBox::buttonReleased(POINT at) {
    bool wasPressed = pressedOnIcon_;
    pressedOnIcon_ = false;
    if (GetCapture() == hwnd()) ReleaseCapture();
    if (wasPressed && overIcon(at)) click();
}

bool SkinGroupBox::onMouse(UINT message, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_NCHITTEST: {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd(), &at);
            if (overIcon(at)) {
                result = HTCLIENT;
                return true;
            }
            setHovering(false);
            return false;
        }
        case WM_MOUSEMOVE:
            mouseMoved({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            result = 0;
            return true;
        case WM_MOUSELEAVE:
            setHovering(false);
            result = 0;
            return true;
        case WM_SETCURSOR:
            if (hovering_ && handCursor_) {
                SetCursor(handCursor_.get());
                result = TRUE;
                return true;
            }
            return false;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (overIcon(at)) {
                pressedOnIcon_ = true;
                SetCapture(hwnd());
            }
            result = 0;
            return true;
        }
        case WM_LBUTTONUP:
            buttonReleased({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            result = 0;
            return true;
        case WM_CAPTURECHANGED:
            pressedOnIcon_ = false;
            return false;
        default:
            return false;
    }
}

// What every step of one paint draws with; lengths are the 96-dots-per-inch
// design, scaled to the window.
struct SkinGroupBox::PaintFrame {
    GpGraphics* g;
    int w, h, dpi;
    float line;
    ui::Argb background;
    bool enabled;
    float W() const { return static_cast<float>(w); }
    float H() const { return static_cast<float>(h); }
    float px(float designed) const { return ui::scaledF(designed, dpi); }
    int pxi(int designed) const { return ui::scaled(designed, dpi); }
};

namespace {

// The outline: the panel below the band, everything outside it, and the
// title band (the outline with the panel cut out).
struct GroupBoxOutline {
    UniqueGpPath body, outside, band;
};

GroupBoxOutline makeOutline(int w, int h, float inset, float bodyTop, float cornerDiameter) {
    const float W = static_cast<float>(w), H = static_cast<float>(h);
    GroupBoxOutline o;
    o.body = roundedPath(inset, bodyTop, W - inset, H - inset, cornerDiameter);
    gp::GdipCreatePath(Gdiplus::FillModeAlternate, o.outside.receive());
    gp::GdipAddPathRectangleI(o.outside.get(), 0, 0, w, h);
    gp::GdipAddPathPath(o.outside.get(), o.body.get(), FALSE);
    o.band = roundedPath(inset, 0, W - inset, H - inset, cornerDiameter);
    gp::GdipAddPathPath(o.band.get(), o.body.get(), FALSE);
    return o;
}

// Inner shadow: the outside in black, shrunk and grown again to blur it,
// at half strength, laid `offset` pixels down and to the left.
void drawInnerShadow(GpGraphics* g, GpPath* outside, int w, int h, int offset) {
    const int sw = ui::shadowSize(w), sh = ui::shadowSize(h);
    if (sw <= 0 || sh <= 0) return;
    UniqueGpBitmap mask = argbBitmap(w, h);
    UniqueGpBitmap small = argbBitmap(sw, sh);
    UniqueGpBitmap blurred = argbBitmap(w, h);
    UniqueGpGraphics maskG = graphicsOn(mask), smallG = graphicsOn(small), blurredG = graphicsOn(blurred);
    UniqueGpImageAttributes halfBlack;
    gp::GdipCreateImageAttributes(halfBlack.receive());
    if (!maskG || !smallG || !blurredG || !halfBlack) return;
    UniqueGpBrush black = makeSolidBrush(0xFF000000);
    gp::GdipFillPath(maskG.get(), black.get(), outside);
    Gdiplus::ColorMatrix matrix = {{{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0.5f, 0}, {0, 0, 0, 0, 1}}};
    gp::GdipSetImageAttributesColorMatrix(halfBlack.get(), Gdiplus::ColorAdjustTypeDefault, TRUE, &matrix, nullptr,
                                          Gdiplus::ColorMatrixFlagsDefault);
    gp::GdipDrawImageRectRectI(smallG.get(), mask.image(), 0, 0, sw, sh, 0, 0, w, h, Gdiplus::UnitPixel,
                               halfBlack.get(), nullptr, nullptr);
    gp::GdipSetInterpolationMode(blurredG.get(), Gdiplus::InterpolationModeHighQualityBicubic);
    gp::GdipSetPixelOffsetMode(blurredG.get(), Gdiplus::PixelOffsetModeHighQuality);
    gp::GdipDrawImageRectI(blurredG.get(), small.image(), 0, 0, w, h);
    gp::GdipDrawImageRectI(g, blurred.image(), -offset, offset, w, h);
}

void fillVerticalGradient(GpGraphics* g, Gdiplus::RectF area, ui::Argb from, ui::Argb to, GpPath* within) {
    UniqueGpBrush gradient;
    gp::GdipCreateLineBrushFromRect(&area, from, to, Gdiplus::LinearGradientModeVertical, Gdiplus::WrapModeTileFlipXY,
                                    reinterpret_cast<Gdiplus::GpLineGradient**>(gradient.receive()));
    if (!gradient) return;
    if (within) gp::GdipFillPath(g, gradient.get(), within);
    else gp::GdipFillRectangle(g, gradient.get(), area.X, area.Y, area.Width, area.Height);
}

}  // namespace

void SkinGroupBox::paint(HDC target) {
    RECT client = {};
    GetClientRect(hwnd(), &client);
    const int w = client.right, h = client.bottom;
    const int dpi = windowDpi(hwnd());
    OffscreenSurface surface(target, w, h);
    if (!surface.valid()) return;
    GpGraphics* g = surface.graphics();
    setQualityDrawing(g);
    const PaintFrame frame{g,
                           w,
                           h,
                           dpi,
                           static_cast<float>(ui::lineWidth(dpi)),
                           ui::argbFromColorref(backgroundColour_),
                           IsWindowEnabled(hwnd()) != FALSE};

    drawPanel(frame);
    drawTitle(frame);
    drawIcon(frame);

    surface.flush();
    ui::IntRect inside = ui::groupBoxInterior(w, h, dpi);
    int saved = SaveDC(target);
    ExcludeClipRect(target, inside.left, inside.top, inside.right, inside.bottom);
    BitBlt(target, 0, 0, w, h, surface.dc(), 0, 0, SRCCOPY);
    RestoreDC(target, saved);
}

void SkinGroupBox::drawPanel(const PaintFrame& f) const {
    GpGraphics* g = f.g;
    UniqueGpBrush backgroundBrush = makeSolidBrush(f.background);
    gp::GdipFillRectangleI(g, backgroundBrush.get(), 0, 0, f.w, f.h);
    GroupBoxOutline outline = makeOutline(f.w, f.h, f.px(3), f.px(17), f.px(10));
    drawInnerShadow(g, outline.outside.get(), f.w, f.h, f.pxi(2));

    UniqueGpPen backgroundPen = makeSolidPen(f.background, f.line);
    gp::GdipFillPath(g, backgroundBrush.get(), outline.outside.get());
    gp::GdipDrawPath(g, backgroundPen.get(), outline.outside.get());
    drawBand(f, outline.band.get());

    UniqueGpPen edge = makeSolidPen(ui::blendColour(f.background, 0.3, false), f.line);
    gp::GdipDrawPath(g, edge.get(), outline.band.get());
    gp::GdipDrawPath(g, edge.get(), outline.body.get());
}

// Title band with its darker lower half, and the gloss over its top.
void SkinGroupBox::drawBand(const PaintFrame& f, GpPath* band) const {
    GpGraphics* g = f.g;
    gp::GdipSetClipPath(g, band, Gdiplus::CombineModeReplace);
    const ui::Argb colour = f.enabled ? bandColour_ : systemColour(COLOR_INACTIVECAPTION);
    UniqueGpBrush bandBrush = makeSolidBrush(colour);
    gp::GdipFillRectangleI(g, bandBrush.get(), 0, 0, f.w, f.pxi(20));
    fillVerticalGradient(g, Gdiplus::RectF(0, f.px(7), f.W(), f.px(13)), colour, ui::halveRgb(colour), nullptr);

    UniqueGpPath gloss;
    gp::GdipClonePath(band, gloss.receive());
    UniqueGpMatrix shrink;
    gp::GdipCreateMatrix2(0.993f, 0, 0, 0.993f, f.px(1.0f), f.px(1.5f), shrink.receive());
    if (gloss && shrink) {
        gp::GdipTransformPath(gloss.get(), shrink.get());
        gp::GdipSetClipRectI(g, 0, 0, f.w, f.pxi(10), Gdiplus::CombineModeReplace);
        fillVerticalGradient(g, Gdiplus::RectF(0, 0, f.W(), f.px(10)), 0xFFFFFFFF, 0x00000000, gloss.get());
    }
    gp::GdipResetClip(g);
}

// Title with its shadow; the mnemonic underline follows the keyboard-cue state.
void SkinGroupBox::drawTitle(const PaintFrame& f) {
    int length = GetWindowTextLengthW(hwnd());
    if (length <= 0) return;
    if (!font_ || fontDpi_ != f.dpi) {
        font_ = makeUiFont(f.px(11.0f), Gdiplus::FontStyleBold);
        fontDpi_ = f.dpi;
    }
    std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
    title.resize(static_cast<std::size_t>(GetWindowTextW(hwnd(), title.data(), length + 1)));
    gp::GdipSetTextRenderingHint(f.g, Gdiplus::TextRenderingHintAntiAliasGridFit);
    UniqueGpStringFormat format;
    gp::GdipCreateStringFormat(Gdiplus::StringFormatFlagsNoWrap, LANG_NEUTRAL, format.receive());
    bool hideCues = (SendMessageW(hwnd(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
    gp::GdipSetStringFormatHotkeyPrefix(format.get(), hideCues ? Gdiplus::HotkeyPrefixHide : Gdiplus::HotkeyPrefixShow);
    UniqueGpBrush shadow = makeSolidBrush(shadowColour_), text = makeSolidBrush(textColour_);
    Gdiplus::RectF shadowAt(f.px(4), f.px(3), 0, 0), textAt(f.px(5), f.px(2), 0, 0);
    if (!font_) return;
    gp::GdipDrawString(f.g, title.c_str(), static_cast<INT>(title.size()), font_.get(), &shadowAt, format.get(),
                       shadow.get());
    gp::GdipDrawString(f.g, title.c_str(), static_cast<INT>(title.size()), font_.get(), &textAt, format.get(),
                       text.get());
}

void SkinGroupBox::drawIcon(const PaintFrame& f) {
    if (!icon_ || !f.enabled) return;
    if (!iconPlaced()) {
        ImageSize size = imageSize(icon_.get());
        iconRect_ = ui::groupBoxIconRect(f.w, static_cast<int>(size.width), static_cast<int>(size.height), f.dpi);
    }
    GpImage* shown = hovering_ && hoverIcon_ ? hoverIcon_.get() : icon_.get();
    drawImageScaled(f.g, shown, iconRect_.left, iconRect_.top, iconRect_.width(), iconRect_.height());
}

}  // namespace vantrel::win
