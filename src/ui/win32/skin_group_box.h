#pragma once
// The dialogs' group box: a rounded panel under a glossy coloured title band,
// with an optional small icon in the band that lights up under the mouse and
// acts as a button. A click on the icon sends the parent WM_COMMAND with the
// group box's own id, notification code 0 and no control handle. Only the
// frame is painted; the inside of the panel is left to the controls in it.
#include "ui/control_layout.h"
#include "ui/win32/resource_image.h"
#include "ui/win32/subclassed_control.h"

namespace vantrel::win {

class SkinGroupBox : public SubclassedControl {
public:
    SkinGroupBox();

    // Colours in the order the dialogs set them: title text, title shadow,
    // band (ARGB) and the face around and inside the panel (a Windows colour).
    void setColours(ui::Argb text, ui::Argb shadow, ui::Argb band, COLORREF background);
    ui::Argb textColour() const { return textColour_; }
    ui::Argb shadowColour() const { return shadowColour_; }
    ui::Argb bandColour() const { return bandColour_; }
    COLORREF backgroundColour() const { return backgroundColour_; }

    // The icon and the picture shown instead while the mouse is over it.
    void setIcons(UniqueGpImage icon, UniqueGpImage hoverIcon);
    // The icon from a PNG resource, with a copy a quarter of the way to white
    // as its hover picture.
    void setIconFromResource(HINSTANCE module, int resourceId);
    bool hasIcon() const { return static_cast<bool>(icon_); }

    // Where the icon is drawn and hit-tested, in client pixels at the
    // window's scale; all -1 until the first paint with an icon.
    ui::IntRect iconRect() const { return iconRect_; }
    bool hovering() const { return hovering_; }

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool onMouse(UINT message, LPARAM lParam, LRESULT& result);
    void mouseMoved(POINT at);
    // The left button came up: a click when it also went down on the icon.
    void buttonReleased(POINT at);
    struct PaintFrame;
    void paint(HDC target) override;
    void drawPanel(const PaintFrame& frame) const;
    void drawBand(const PaintFrame& frame, GpPath* band) const;
    void drawTitle(const PaintFrame& frame);
    void drawIcon(const PaintFrame& frame);
    bool iconPlaced() const { return iconRect_.left != -1; }
    bool overIcon(POINT client) const;
    void setHovering(bool hovering);
    void click();

    ui::Argb textColour_ = 0xFFFFFFFF;
    ui::Argb shadowColour_ = 0xFF000000;
    ui::Argb bandColour_ = 0xFFFF0000;
    COLORREF backgroundColour_;
    UniqueGpImage icon_;
    UniqueGpImage hoverIcon_;
    ui::IntRect iconRect_{-1, -1, -1, -1};
    bool hovering_ = false;
    bool pressedOnIcon_ = false;
    UniqueCursor handCursor_;
    UniqueGpFont font_;
    int fontDpi_ = 0;
};

}  // namespace vantrel::win
