// The plug-in's pictures and drawn controls under the real window system:
// PNG resources decoded pixel for pixel, the colour changes the dialogs make
// to them, and each control attached to a live dialog and driven by messages.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "images/image_digests.h"
#include "resource.h"
#include "support/win_test_support.h"
#include "ui/win32/resource_image.h"

#include <commctrl.h>

namespace vantrel::test {
namespace {

using namespace vantrel::win;
using ui::Argb;

HINSTANCE resources() { return GetModuleHandleW(nullptr); }

std::vector<Argb> pixelsOf(GpImage* image) {
    ImageSize size = imageSize(image);
    std::vector<Argb> pixels;
    Gdiplus::Rect all(0, 0, static_cast<INT>(size.width), static_cast<INT>(size.height));
    Gdiplus::BitmapData data = {};
    auto* bitmap = static_cast<GpBitmap*>(image);
    if (gp::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return pixels;
    for (UINT y = 0; y < size.height; ++y) {
        auto* row = reinterpret_cast<const Argb*>(static_cast<const BYTE*>(data.Scan0) + static_cast<INT_PTR>(y) * data.Stride);
        pixels.insert(pixels.end(), row, row + size.width);
    }
    gp::GdipBitmapUnlockBits(bitmap, &data);
    return pixels;
}

std::uint64_t argbDigest(const std::vector<Argb>& pixels) {
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (Argb p : pixels)
        for (int shift : {24, 16, 8, 0}) h = (h ^ ((p >> shift) & 0xFF)) * 0x100000001B3ULL;
    return h;
}

class ResourceImages : public ::testing::Test {
protected:
    GdiplusSession gdiplus_;
};

TEST_F(ResourceImages, EveryPngDecodesToExactlyThePixelsItWasDrawnWith) {
    for (const auto& expected : images::Digests) {
        SCOPED_TRACE(expected.id);
        UniqueGpImage image = loadImage(resources(), expected.id);
        ASSERT_TRUE(image);
        ImageSize size = imageSize(image.get());
        EXPECT_EQ(size.width, expected.width);
        EXPECT_EQ(size.height, expected.height);
        EXPECT_EQ(argbDigest(pixelsOf(image.get())), expected.argbFnv1a);
    }
}

TEST_F(ResourceImages, FixedSizesOfTheControlPictures) {
    struct Case {
        int id;
        UINT width, height;
    } cases[] = {{IDPNG_STRIPES, 65, 23},     {IDPNG_PRESETS_ICON, 10, 10}, {IDPNG_HELP_ICON, 10, 10},
                 {IDPNG_DEPTH_DISCS, 64, 16}, {IDPNG_START_ICON, 16, 16}};
    for (const auto& c : cases) {
        ImageSize size = imageSize(loadImage(resources(), c.id).get());
        EXPECT_EQ(size.width, c.width) << c.id;
        EXPECT_EQ(size.height, c.height) << c.id;
    }
}

TEST_F(ResourceImages, MissingOrUndecodableResourcesGiveNoImage) {
    EXPECT_FALSE(loadImage(resources(), 8999));
    // The version resource exists but is no picture.
    EXPECT_FALSE(loadImage(resources(), 1, MAKEINTRESOURCEW(16)));
    EXPECT_FALSE(toBitmap(nullptr));
    EXPECT_FALSE(toDeviceBitmap(nullptr, 0xFFFFFFFF));
}

TEST_F(ResourceImages, TintAndLightenChangeEveryPixelAndKeepAlpha) {
    UniqueGpImage icon = loadImage(resources(), IDPNG_HELP_ICON);
    ASSERT_TRUE(icon);
    std::vector<Argb> original = pixelsOf(icon.get());
    const Argb face = 0xFFD4D0C8;
    UniqueGpBitmap tinted = tintedCopy(icon.get(), face);
    UniqueGpBitmap lighter = blendedCopy(icon.get(), 0.25, true);
    ASSERT_TRUE(tinted);
    ASSERT_TRUE(lighter);
    std::vector<Argb> t = pixelsOf(tinted.image()), l = pixelsOf(lighter.image());
    ASSERT_EQ(t.size(), original.size());
    ASSERT_EQ(l.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        ASSERT_EQ(t[i], ui::multiplyRgb(original[i], face)) << i;
        ASSERT_EQ(l[i], ui::blendColour(original[i], 0.25, true)) << i;
    }
    // The source is left as it was.
    EXPECT_EQ(pixelsOf(icon.get()), original);
}

TEST_F(ResourceImages, BitmapOverABackgroundFillsTheTransparentPartsWithIt) {
    UniqueGpImage discs = loadImage(resources(), IDPNG_DEPTH_DISCS);
    ASSERT_TRUE(discs);
    std::vector<Argb> source = pixelsOf(discs.get());
    ASSERT_EQ(source[0] >> 24, 0u) << "the strip's corner is transparent";

    std::vector<Argb> plain = pixelsOf(toBitmap(discs.get(), PixelFormat32bppARGB).image());
    EXPECT_EQ(plain, source) << "without a background the copy is exact";

    std::vector<Argb> overWhite = pixelsOf(toBitmap(discs.get(), PixelFormat32bppARGB, 0xFFFFFFFF).image());
    ASSERT_EQ(overWhite.size(), source.size());
    EXPECT_EQ(overWhite[0], 0xFFFFFFFFu);
    // Disc centres are opaque and keep their colour over any background.
    for (int cell = 0; cell < 4; ++cell) {
        std::size_t centre = 8 * 64 + 8 + 16 * cell + 2;
        EXPECT_EQ(overWhite[centre], source[centre]) << cell;
        EXPECT_EQ(source[centre] >> 24, 0xFFu) << cell;
    }
}

TEST_F(ResourceImages, DeviceBitmapsHaveTheImageOrCellSize) {
    UniqueGpImage discs = loadImage(resources(), IDPNG_DEPTH_DISCS);
    UniqueGdiObject whole = toDeviceBitmap(discs.get(), 0xFFFFFFFF);
    UniqueGdiObject cell = toDeviceBitmap(discs.get(), 0xFFFFFFFF, 48, 0, 16, 16);
    ASSERT_TRUE(whole);
    ASSERT_TRUE(cell);
    BITMAP info = {};
    ASSERT_NE(GetObjectW(whole.get(), sizeof(info), &info), 0);
    EXPECT_EQ(info.bmWidth, 64);
    EXPECT_EQ(info.bmHeight, 16);
    ASSERT_NE(GetObjectW(cell.get(), sizeof(info), &info), 0);
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 16);
    // The cell is the red disc: its centre pixel is red-dominant.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, cell.get());
    COLORREF centre = GetPixel(dc, 9, 9), corner = GetPixel(dc, 0, 0);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(GetRValue(centre), 150);
    EXPECT_LT(GetGValue(centre), 100);
    EXPECT_EQ(corner, RGB(255, 255, 255));
}


// A modeless dialog from one of our templates with a procedure that does nothing.
class TemplateDialog {
public:
    explicit TemplateDialog(int templateId) {
        hwnd_ = CreateDialogParamW(resources(), MAKEINTRESOURCEW(templateId), nullptr,
                                   [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; },
                                   0);
    }
    ~TemplateDialog() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    TemplateDialog(const TemplateDialog&) = delete;
    TemplateDialog& operator=(const TemplateDialog&) = delete;
    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    HWND hwnd_ = nullptr;
};

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

TEST(MainDialogTemplate, HasEveryControlWithItsKindCaptionAndPlace) {
    TemplateDialog dialog(IDD_CUT_DIALOG);
    ASSERT_NE(dialog.hwnd(), nullptr);
    struct Control {
        int id;
        const wchar_t* className;
        LONG kindStyle;  // the BS_/CBS_/SS_ type bits that matter
        LONG kindMask;
        const wchar_t* caption;
        RECT dialogUnits;  // x, y, width, height
    } controls[] = {
        {IDC_FORCE_SPEED_GROUP, L"Button", BS_GROUPBOX, 0xF, L"&Force and Speed", {3, 3, 159, 56}},
        {IDC_FORCE_SLIDER, L"msctls_trackbar32", TBS_BOTH | TBS_NOTICKS, TBS_BOTH | TBS_NOTICKS, L"", {9, 20, 108, 13}},
        {IDC_FORCE_LABEL, L"Static", SS_LEFT, 0x1F, L"Force: 33", {120, 21, 37, 8}},
        {IDC_SPEED_SLIDER, L"msctls_trackbar32", TBS_BOTH | TBS_NOTICKS, TBS_BOTH | TBS_NOTICKS, L"", {9, 39, 108, 13}},
        {IDC_SPEED_LABEL, L"Static", SS_LEFT, 0x1F, L"Speed: 10", {120, 40, 37, 8}},
        {IDC_MULTICUT_GROUP, L"Button", BS_GROUPBOX, 0xF, L"&Multi-Cut", {3, 62, 77, 37}},
        {IDC_MULTICUT_LIST, L"ComboBox", CBS_DROPDOWNLIST, 0x3, L"", {9, 79, 65, 0}},
        {IDC_CUT_TYPE_GROUP, L"Button", BS_GROUPBOX, 0xF, L"&Cut Type", {85, 62, 77, 37}},
        {IDC_CUT_TYPE_LIST, L"ComboBox", CBS_DROPDOWNLIST, 0x3, L"", {91, 79, 65, 0}},
        {IDC_SETTINGS_GROUP, L"Button", BS_GROUPBOX, 0xF, L"Sett&ings", {167, 3, 77, 96}},
        {IDC_TRACK_ENHANCING, L"Button", BS_AUTOCHECKBOX, 0xF, L"&Track Enhancing", {172, 18, 65, 8}},
        {IDC_CARRIER_MAT, L"Button", BS_AUTOCHECKBOX, 0xF, L"Using C&arrier Mat", {172, 28, 68, 8}},
        {IDC_BLADE_OFFSET, L"Button", BS_AUTOCHECKBOX, 0xF, L"Blade &Offset", {172, 39, 65, 8}},
        {IDC_SETTINGS_SEPARATOR, L"Static", SS_LEFT, 0x1F, L"", {173, 51, 66, 7}},
        {IDC_TEST_CUT, L"Button", BS_PUSHBUTTON, 0xF, L"T&est Cut", {173, 62, 64, 14}},
        {IDC_CALIBRATE_DPI, L"Button", BS_PUSHBUTTON, 0xF, L"Cali&brate DPI", {173, 79, 64, 14}},
        {IDC_PERFORM_CUT_GROUP, L"Button", BS_GROUPBOX, 0xF, L"Perform C&ut", {3, 102, 242, 37}},
        {IDC_PROGRESS, L"msctls_progress32", 0, 0, L"", {9, 120, 187, 12}},
        {IDC_START, L"Button", BS_PUSHBUTTON, 0xF, L"&Start", {198, 119, 41, 14}},
        {IDC_PREVIEW, L"Static", SS_NOTIFY, SS_NOTIFY, L"", {248, 3, 136, 135}},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = dialog.item(c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(_wcsicmp(classOf(control).c_str(), c.className), 0) << classOf(control);
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & c.kindMask, c.kindStyle);
        EXPECT_EQ(windowText(control), c.caption);
        // The window system maps position and size separately, each rounded.
        RECT expected = c.dialogUnits;
        MapDialogRect(dialog.hwnd(), &expected);
        RECT actual = {};
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog.hwnd(), reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right - actual.left, expected.right);
        // A closed drop-down list takes the height of its font, whatever the template says.
        if (c.dialogUnits.bottom != 0) {
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
        }
    }
    // No default push button: Enter must not start anything.
    for (int id : {IDC_TEST_CUT, IDC_CALIBRATE_DPI, IDC_START})
        EXPECT_EQ(GetWindowLongW(dialog.item(id), GWL_STYLE) & 0xF, BS_PUSHBUTTON) << id;

    RECT client = {};
    GetClientRect(dialog.hwnd(), &client);
    RECT size = {0, 0, 389, 143};
    MapDialogRect(dialog.hwnd(), &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    LONG style = GetWindowLongW(dialog.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(GetWindowLongW(dialog.hwnd(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
}

TEST(MainDialogTemplate, ProgressOverlayCoversTheBarExactly) {
    GdiplusSession gdiplus;
    TemplateDialog dialog(IDD_CUT_DIALOG);
    RECT bar = {};
    GetClientRect(dialog.item(IDC_PROGRESS), &bar);
    ImageSize overlay = imageSize(loadImage(resources(), IDPNG_PROGRESS_OVERLAY).get());
    EXPECT_EQ(static_cast<LONG>(overlay.width), bar.right);
    EXPECT_EQ(static_cast<LONG>(overlay.height), bar.bottom);
}

}  // namespace
}  // namespace vantrel::test
