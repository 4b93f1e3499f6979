#include "ui/win32/progress_bar.h"

#include <commctrl.h>

#include "resource.h"
#include "ui/control_layout.h"
#include "ui/win32/dpi.h"
#include "support/win32/resource_text.h"

namespace vantrel::win {

namespace {

ui::Argb grey(int level) { return ui::makeArgb(0xFF, level, level, level); }

}  // namespace

void AnimatedProgressBar::onAttach() {
    stripe_ = loadImage(thisModule(), IDPNG_STRIPES);
}

void AnimatedProgressBar::onDetach() {
    if (hwnd()) KillTimer(hwnd(), AnimationTimer);
}

void AnimatedProgressBar::setCaption(const std::wstring& caption) {
    if (hwnd()) SetWindowTextW(hwnd(), caption.c_str());
}

std::wstring AnimatedProgressBar::caption() const {
    if (!hwnd()) return {};
    int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd(), text.data(), length + 1)));
    return text;
}

void AnimatedProgressBar::setIcon(HINSTANCE module, int resourceId) {
    icon_ = resourceId != 0 ? loadImage(module, resourceId) : UniqueGpImage();
    iconId_ = icon_ ? resourceId : 0;
    repaint();
}

void AnimatedProgressBar::setOverlay(UniqueGpImage overlay) {
    overlay_ = std::move(overlay);
    repaint();
}

void AnimatedProgressBar::setBarColour(ui::Argb colour) {
    barColour_ = colour;
    repaint();
}

void AnimatedProgressBar::setRange(int lower, int upper) {
    if (hwnd()) SendMessageW(hwnd(), PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
}

void AnimatedProgressBar::setPosition(int position) {
    if (hwnd()) SendMessageW(hwnd(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int AnimatedProgressBar::position() const {
    return hwnd() ? static_cast<int>(SendMessageW(hwnd(), PBM_GETPOS, 0, 0)) : 0;
}

void AnimatedProgressBar::startAnimation() {
    if (hwnd()) SetTimer(hwnd(), AnimationTimer, AnimationPeriodMs, nullptr);
}

void AnimatedProgressBar::stopAnimation() {
    if (hwnd()) KillTimer(hwnd(), AnimationTimer);
    animation_.resetPulse();
    repaint();
}

void AnimatedProgressBar::advance() {
    animation_.tick(static_cast<int>(imageSize(stripe_.get()).width));
    repaint();
}

bool AnimatedProgressBar::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (handlePaintMessage(message, wParam, result)) return true;
    switch (message) {
        case WM_TIMER:
            if (wParam != AnimationTimer) return false;
            advance();
            result = 0;
            return true;
        case WM_SETTEXT:
            result = callDefault(message, wParam, lParam);
            repaint();
            return true;
        case PBM_SETBARCOLOR: {
            ui::Argb previous = barColour_;
            COLORREF wanted = static_cast<COLORREF>(lParam);
            if (wanted != CLR_DEFAULT) setBarColour(ui::argbFromColorref(wanted));
            result = static_cast<LRESULT>(ui::colorrefFromArgb(previous));
            return true;
        }
        default:
            return false;
    }
}

void AnimatedProgressBar::paint(HDC target) {
    RECT client = {};
    GetClientRect(hwnd(), &client);
    const int width = client.right, height = client.bottom;
    OffscreenSurface surface(target, width, height);
    if (!surface.valid()) return;
    GpGraphics* g = surface.graphics();
    setQualityDrawing(g);
    // Pictures, stripes and caption are designed at 96 dots per inch.
    const int dpi = windowDpi(hwnd());
    if (!font_ || fontDpi_ != dpi) {
        font_ = makeUiFont(ui::scaledF(11.0f, dpi), Gdiplus::FontStyleBold);
        fontDpi_ = dpi;
    }

    UniqueGpBrush face = makeSolidBrush(systemColour(COLOR_BTNFACE));
    gp::GdipFillRectangleI(g, face.get(), 0, 0, width, height);

    PBRANGE range = {};
    SendMessageW(hwnd(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const int filled = ui::filledWidth(position(), range.iLow, range.iHigh, width);
    drawBar(g, filled, width, height, dpi);
    drawCaption(g, filled, width, height, dpi);

    if (overlay_) {
        ImageSize size = imageSize(overlay_.get());
        drawImageScaled(g, overlay_.get(), 0, 0, ui::scaled(static_cast<int>(size.width), dpi),
                        ui::scaled(static_cast<int>(size.height), dpi));
    }
    surface.flush();
    BitBlt(target, 0, 0, width, height, surface.dc(), 0, 0, SRCCOPY);
}

// The filled part in the bar colour, with the moving stripes over it.
void AnimatedProgressBar::drawBar(GpGraphics* g, int filled, int width, int height, int dpi) const {
    gp::GdipSetClipRectI(g, 0, 0, filled, height, Gdiplus::CombineModeReplace);
    if (filled > 0) {
        UniqueGpBrush bar = makeSolidBrush(barColour_);
        gp::GdipFillRectangleI(g, bar.get(), 0, 0, filled, height);
        ImageSize tile = imageSize(stripe_.get());
        const int tileWidth = ui::scaled(static_cast<int>(tile.width), dpi);
        const int tileHeight = ui::scaled(static_cast<int>(tile.height), dpi);
        for (int x : ui::stripeTiles(ui::scaled(animation_.stripeOffset(), dpi), tileWidth, width))
            drawImageScaled(g, stripe_.get(), x, 0, tileWidth, tileHeight);
    }
    gp::GdipResetClip(g);
}

// The caption centred, in two greys swapped where the bar is filled, with
// the icon at the end of its text.
void AnimatedProgressBar::drawCaption(GpGraphics* g, int filled, int width, int height, int dpi) const {
    const std::wstring text = caption();
    if (text.empty() || !font_) return;
    gp::GdipSetTextRenderingHint(g, Gdiplus::TextRenderingHintAntiAliasGridFit);
    UniqueGpStringFormat format;
    gp::GdipCreateStringFormat(Gdiplus::StringFormatFlagsNoWrap, LANG_NEUTRAL, format.receive());
    gp::GdipSetStringFormatLineAlign(format.get(), Gdiplus::StringAlignmentCenter);
    gp::GdipSetStringFormatHotkeyPrefix(format.get(), Gdiplus::HotkeyPrefixNone);
    // Centred by hand from one measurement, so the icon lands exactly at
    // the end of the text that is drawn.
    Gdiplus::RectF unbounded(0, 0, 0, 0), box;
    gp::GdipMeasureString(g, text.c_str(), static_cast<INT>(text.size()), font_.get(), &unbounded, format.get(), &box,
                          nullptr, nullptr);
    const float left = (static_cast<float>(width) - box.Width) / 2;
    const float shift = static_cast<float>(ui::lineWidth(dpi));
    Gdiplus::RectF place(left, 0, box.Width + 1, static_cast<float>(height));
    Gdiplus::RectF shifted(left - shift, shift, box.Width + 1, static_cast<float>(height));
    UniqueGpBrush b = makeSolidBrush(grey(animation_.greyB()));
    UniqueGpBrush c = makeSolidBrush(grey(animation_.greyC()));
    auto draw = [&](const Gdiplus::RectF& where, GpBrush* brush) {
        gp::GdipDrawString(g, text.c_str(), static_cast<INT>(text.size()), font_.get(), &where, format.get(), brush);
    };
    gp::GdipSetClipRectI(g, 0, 0, filled, height, Gdiplus::CombineModeReplace);
    draw(shifted, c.get());
    draw(place, b.get());
    gp::GdipSetClipRectI(g, filled, 0, width - filled, height, Gdiplus::CombineModeReplace);
    draw(shifted, b.get());
    draw(place, c.get());
    gp::GdipResetClip(g);

    if (icon_) {
        ImageSize size = imageSize(icon_.get());
        const int iconWidth = ui::scaled(static_cast<int>(size.width), dpi);
        const int iconHeight = ui::scaled(static_cast<int>(size.height), dpi);
        INT iconLeft = static_cast<INT>(left + box.Width);
        INT top = (height - iconHeight) / 2;
        drawImageScaled(g, icon_.get(), iconLeft, top, iconWidth, iconHeight);
    }
}

}  // namespace vantrel::win
