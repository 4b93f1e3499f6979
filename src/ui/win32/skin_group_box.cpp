#include "ui/win32/skin_group_box.h"

#include <windowsx.h>

#include "ui/colour.h"
#include "ui/win32/dpi.h"

namespace vantrel::win {

namespace {

UniqueGpBrush solidBrush(ui::Argb colour) {
    UniqueGpBrush brush;
    gp::GdipCreateSolidFill(colour, reinterpret_cast<Gdiplus::GpSolidFill**>(brush.receive()));
    return brush;
}

UniqueGpPen pen(ui::Argb colour, float width) {
    UniqueGpPen result;
    gp::GdipCreatePen1(colour, width, Gdiplus::UnitPixel, result.receive());
    return result;
}

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
    HWND next = GetWindow(self, GW_HWNDNEXT);
    if (next && IsWindowEnabled(next) && IsWindowVisible(next)) SetFocus(next);
}

bool SkinGroupBox::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (handlePaintMessage(message, wParam, result)) return true;
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
        case WM_MOUSEMOVE: {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
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
            result = 0;
            return true;
        }
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
        case WM_LBUTTONUP: {
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            bool wasPressed = pressedOnIcon_;
            pressedOnIcon_ = false;
            if (GetCapture() == hwnd()) ReleaseCapture();
            if (wasPressed && overIcon(at)) click();
            result = 0;
            return true;
        }
        case WM_CAPTURECHANGED:
            pressedOnIcon_ = false;
            return false;
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

void SkinGroupBox::paint(HDC target) {
    RECT client = {};
    GetClientRect(hwnd(), &client);
    const int w = client.right, h = client.bottom;
    const float W = static_cast<float>(w), H = static_cast<float>(h);
    // Every length below is the 96-dots-per-inch design, scaled to the window.
    const int dpi = windowDpi(hwnd());
    auto px = [dpi](float designed) { return ui::scaledF(designed, dpi); };
    auto pxi = [dpi](int designed) { return ui::scaled(designed, dpi); };
    const float line = static_cast<float>(ui::lineWidth(dpi));
    OffscreenSurface surface(target, w, h);
    if (!surface.valid()) return;
    GpGraphics* g = surface.graphics();
    setQualityDrawing(g);
    const ui::Argb background = ui::argbFromColorref(backgroundColour_);
    const bool enabled = IsWindowEnabled(hwnd()) != FALSE;

    UniqueGpBrush backgroundBrush = solidBrush(background);
    gp::GdipFillRectangleI(g, backgroundBrush.get(), 0, 0, w, h);

    const float inset = px(3), cornerDiameter = px(10);
    UniqueGpPath body = roundedPath(inset, px(17), W - inset, H - inset, cornerDiameter);
    UniqueGpPath outside;
    gp::GdipCreatePath(Gdiplus::FillModeAlternate, outside.receive());
    gp::GdipAddPathRectangleI(outside.get(), 0, 0, w, h);
    gp::GdipAddPathPath(outside.get(), body.get(), FALSE);
    UniqueGpPath band = roundedPath(inset, 0, W - inset, H - inset, cornerDiameter);
    gp::GdipAddPathPath(band.get(), body.get(), FALSE);

    // Inner shadow: the outside in black, shrunk and grown again to blur it,
    // at half strength, laid a little down and to the left.
    const int sw = ui::shadowSize(w), sh = ui::shadowSize(h);
    if (sw > 0 && sh > 0) {
        UniqueGpBitmap mask = argbBitmap(w, h);
        UniqueGpBitmap small = argbBitmap(sw, sh);
        UniqueGpBitmap blurred = argbBitmap(w, h);
        UniqueGpGraphics maskG = graphicsOn(mask), smallG = graphicsOn(small), blurredG = graphicsOn(blurred);
        UniqueGpImageAttributes halfBlack;
        gp::GdipCreateImageAttributes(halfBlack.receive());
        if (maskG && smallG && blurredG && halfBlack) {
            UniqueGpBrush black = solidBrush(0xFF000000);
            gp::GdipFillPath(maskG.get(), black.get(), outside.get());
            Gdiplus::ColorMatrix matrix = {{{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0.5f, 0}, {0, 0, 0, 0, 1}}};
            gp::GdipSetImageAttributesColorMatrix(halfBlack.get(), Gdiplus::ColorAdjustTypeDefault, TRUE, &matrix,
                                                  nullptr, Gdiplus::ColorMatrixFlagsDefault);
            gp::GdipDrawImageRectRectI(smallG.get(), mask.image(), 0, 0, sw, sh, 0, 0, w, h, Gdiplus::UnitPixel,
                                       halfBlack.get(), nullptr, nullptr);
            gp::GdipSetInterpolationMode(blurredG.get(), Gdiplus::InterpolationModeHighQualityBicubic);
            gp::GdipSetPixelOffsetMode(blurredG.get(), Gdiplus::PixelOffsetModeHighQuality);
            gp::GdipDrawImageRectI(blurredG.get(), small.image(), 0, 0, w, h);
            gp::GdipDrawImageRectI(g, blurred.image(), -pxi(2), pxi(2), w, h);
        }
    }

    UniqueGpPen backgroundPen = pen(background, line);
    gp::GdipFillPath(g, backgroundBrush.get(), outside.get());
    gp::GdipDrawPath(g, backgroundPen.get(), outside.get());

    // Title band with its darker lower half.
    gp::GdipSetClipPath(g, band.get(), Gdiplus::CombineModeReplace);
    const ui::Argb bandColour = enabled ? bandColour_ : systemColour(COLOR_INACTIVECAPTION);
    UniqueGpBrush bandBrush = solidBrush(bandColour);
    gp::GdipFillRectangleI(g, bandBrush.get(), 0, 0, w, pxi(20));
    {
        Gdiplus::RectF lower(0, px(7), W, px(13));
        UniqueGpBrush gradient;
        gp::GdipCreateLineBrushFromRect(&lower, bandColour, ui::halveRgb(bandColour), Gdiplus::LinearGradientModeVertical,
                                        Gdiplus::WrapModeTileFlipXY,
                                        reinterpret_cast<Gdiplus::GpLineGradient**>(gradient.receive()));
        if (gradient) gp::GdipFillRectangle(g, gradient.get(), lower.X, lower.Y, lower.Width, lower.Height);
    }
    // Gloss over the top of the band.
    {
        UniqueGpPath gloss;
        gp::GdipClonePath(band.get(), gloss.receive());
        UniqueGpMatrix shrink;
        gp::GdipCreateMatrix2(0.993f, 0, 0, 0.993f, px(1.0f), px(1.5f), shrink.receive());
        if (gloss && shrink) {
            gp::GdipTransformPath(gloss.get(), shrink.get());
            gp::GdipSetClipRectI(g, 0, 0, w, pxi(10), Gdiplus::CombineModeReplace);
            Gdiplus::RectF top(0, 0, W, px(10));
            UniqueGpBrush shine;
            gp::GdipCreateLineBrushFromRect(&top, 0xFFFFFFFF, 0x00000000, Gdiplus::LinearGradientModeVertical,
                                            Gdiplus::WrapModeTileFlipXY,
                                            reinterpret_cast<Gdiplus::GpLineGradient**>(shine.receive()));
            if (shine) gp::GdipFillPath(g, shine.get(), gloss.get());
        }
    }
    gp::GdipResetClip(g);

    UniqueGpPen edge = pen(ui::blendColour(background, 0.3, false), line);
    gp::GdipDrawPath(g, edge.get(), band.get());
    gp::GdipDrawPath(g, edge.get(), body.get());

    // Title with its shadow; the mnemonic underline follows the keyboard-cue state.
    int length = GetWindowTextLengthW(hwnd());
    if (length > 0) {
        if (!font_ || fontDpi_ != dpi) {
            font_ = makeUiFont(px(11.0f), Gdiplus::FontStyleBold);
            fontDpi_ = dpi;
        }
        std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
        title.resize(static_cast<std::size_t>(GetWindowTextW(hwnd(), title.data(), length + 1)));
        gp::GdipSetTextRenderingHint(g, Gdiplus::TextRenderingHintAntiAliasGridFit);
        UniqueGpStringFormat format;
        gp::GdipCreateStringFormat(Gdiplus::StringFormatFlagsNoWrap, LANG_NEUTRAL, format.receive());
        bool hideCues = (SendMessageW(hwnd(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
        gp::GdipSetStringFormatHotkeyPrefix(format.get(), hideCues ? Gdiplus::HotkeyPrefixHide : Gdiplus::HotkeyPrefixShow);
        UniqueGpBrush shadow = solidBrush(shadowColour_), text = solidBrush(textColour_);
        Gdiplus::RectF shadowAt(px(4), px(3), 0, 0), textAt(px(5), px(2), 0, 0);
        if (font_) {
            gp::GdipDrawString(g, title.c_str(), static_cast<INT>(title.size()), font_.get(), &shadowAt, format.get(),
                               shadow.get());
            gp::GdipDrawString(g, title.c_str(), static_cast<INT>(title.size()), font_.get(), &textAt, format.get(),
                               text.get());
        }
    }

    if (icon_ && enabled) {
        if (!iconPlaced()) {
            ImageSize size = imageSize(icon_.get());
            iconRect_ = ui::groupBoxIconRect(w, static_cast<int>(size.width), static_cast<int>(size.height), dpi);
        }
        GpImage* shown = hovering_ && hoverIcon_ ? hoverIcon_.get() : icon_.get();
        drawImageScaled(g, shown, iconRect_.left, iconRect_.top, iconRect_.width(), iconRect_.height());
    }

    surface.flush();
    ui::IntRect inside = ui::groupBoxInterior(w, h, dpi);
    int saved = SaveDC(target);
    ExcludeClipRect(target, inside.left, inside.top, inside.right, inside.bottom);
    BitBlt(target, 0, 0, w, h, surface.dc(), 0, 0, SRCCOPY);
    RestoreDC(target, saved);
}

}  // namespace vantrel::win
