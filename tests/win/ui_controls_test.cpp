// The plug-in's pictures and drawn controls under the real window system:
// PNG resources decoded pixel for pixel, the colour changes the dialogs make
// to them, and each control attached to a live dialog and driven by messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "images/image_digests.h"
#include "resource.h"
#include "support/win_test_support.h"
#include "ui/win32/activation_context.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog.h"
#include "ui/win32/dpi.h"
#include "ui/win32/image_combo_box.h"
#include "ui/win32/jog_button.h"
#include "ui/win32/progress_bar.h"
#include "ui/win32/resource_image.h"
#include "ui/win32/separator.h"
#include "ui/win32/skin_group_box.h"

#include <commctrl.h>

#include <cwchar>

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
        registerCommonControls();
        hwnd_ = CreateDialogParamW(resources(), MAKEINTRESOURCEW(templateId), nullptr, &TemplateDialog::idleProc, 0);
    }
    ~TemplateDialog() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    TemplateDialog(const TemplateDialog&) = delete;
    TemplateDialog& operator=(const TemplateDialog&) = delete;
    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

private:
    static INT_PTR CALLBACK idleProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

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

// Version 6 buttons answer BCM_GETIDEALSIZE; the old ones of user32 do not.
bool isVersionSixButton(HWND button) {
    SIZE ideal{};
    return SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) != FALSE && ideal.cx > 0;
}

TEST(ThemedControls, OurDialogsGetVersionSixControlsWhateverTheProgramSays) {
    // This program has no manifest of its own, like a host that never asked
    // for the themed controls: a template it opens itself gets the old ones.
    TemplateDialog plain(IDD_CUT_DIALOG);
    ASSERT_NE(plain.hwnd(), nullptr);
    EXPECT_FALSE(isVersionSixButton(plain.item(IDC_START)));

    ASSERT_NE(win::moduleActivationContext(), INVALID_HANDLE_VALUE) << "the manifest resource is there";
    // The built plug-in carries it as RT_MANIFEST 2, where Windows looks for a DLL's own manifest.
    HMODULE plugin = LoadLibraryExW((programDirectory() + L"Vantrel.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(plugin, nullptr);
    EXPECT_NE(FindResourceW(plugin, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24)), nullptr);
    FreeLibrary(plugin);
    HANDLE before = nullptr;
    GetCurrentActCtx(&before);
    struct Probe : win::Dialog {
        using Dialog::item;
    } ours;
    ASSERT_NE(ours.createModeless(resources(), IDD_CUT_DIALOG, nullptr), nullptr);
    for (int id : {IDC_START, IDC_TEST_CUT, IDC_CARRIER_MAT}) EXPECT_TRUE(isVersionSixButton(ours.item(id))) << id;
    // Only around the creation: the thread's context is what it was before.
    HANDLE after = nullptr;
    GetCurrentActCtx(&after);
    EXPECT_EQ(after, before);
    if (after) ReleaseActCtx(after);
    if (before) ReleaseActCtx(before);
    DestroyWindow(ours.hwnd());
}

// What the test dialog's procedure saw: commands, jog and delete notifications.
struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Notification&) const = default;
};
std::vector<Notification>* g_seen = nullptr;

INT_PTR CALLBACK recordingProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;
    if ((message == WM_COMMAND || message == WM_JOG_BUTTON || message == WM_IMAGE_COMBO_DELETE) && g_seen)
        g_seen->push_back({message, wParam, lParam});
    return FALSE;
}

// Dispatches this thread's messages until `condition` holds or `timeout`
// passes, sleeping only while the queue is empty; returns the condition.
bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return condition();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
}

// Until everything shown has painted: nothing is left in the queue.
bool pumpUntilPainted() {
    constexpr UINT pending = QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE;
    return pumpUntil([] { return (HIWORD(GetQueueStatus(pending)) & pending) == 0; }, std::chrono::seconds(5));
}

// Until a timer of this thread, `periods` times `period` long, has fired:
// every timer of a shorter period had the chance to fire before it.
std::atomic<bool> g_timerFired{false};
void CALLBACK noteTimer(HWND, UINT, UINT_PTR, DWORD) { g_timerFired = true; }

void pumpTimerPeriods(UINT period, int periods) {
    g_timerFired = false;
    UINT_PTR timer = SetTimer(nullptr, 0, period * static_cast<UINT>(periods), noteTimer);
    pumpUntil([] { return g_timerFired.load(); }, std::chrono::seconds(5));
    KillTimer(nullptr, timer);
}

// A 32-bit picture of what a control paints, over a known colour, so that what
// it leaves unpainted shows.
class Snapshot {
public:
    Snapshot(HWND control, COLORREF underlay) {
        RECT r = {};
        GetClientRect(control, &r);
        width_ = r.right;
        height_ = r.bottom;
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        HBRUSH brush = CreateSolidBrush(underlay);
        FillRect(dc_, &r, brush);
        DeleteObject(brush);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
        GdiFlush();
    }
    ~Snapshot() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const {
        std::uint32_t p = bits_[static_cast<std::size_t>(y) * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    HDC dc() const { return dc_; }

private:
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

constexpr COLORREF Magenta = RGB(255, 0, 255);

class DrawnControls : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = &seen_;
        registerCommonControls();
        // With the controls the plug-in's dialogs get.
        ActivationScope themed;
        dialog_ = CreateDialogParamW(resources(), MAKEINTRESOURCEW(IDD_CUT_DIALOG), nullptr, recordingProc, 0);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
        g_seen = nullptr;
    }
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    // A client point of `control` as the screen coordinates WM_NCHITTEST carries.
    LPARAM screenPoint(HWND control, int x, int y) const {
        POINT p = {x, y};
        ClientToScreen(control, &p);
        return MAKELPARAM(p.x, p.y);
    }

    GdiplusSession gdiplus_;
    std::vector<Notification> seen_;
    HWND dialog_ = nullptr;
};

TEST_F(DrawnControls, GroupBoxIconClickReachesTheOwnerAsItsOwnCommand) {
    SkinGroupBox box;
    ASSERT_TRUE(box.attach(dialog_, IDC_FORCE_SPEED_GROUP));
    box.setColours(0xFFFFFFFF, 0xFF000000, 0xFFFF6400, GetSysColor(COLOR_BTNFACE));
    box.setIconFromResource(resources(), IDPNG_PRESETS_ICON);
    EXPECT_EQ(box.iconRect().left, -1) << "placed only when first painted";
    { Snapshot paint(box.hwnd(), Magenta); }

    RECT client = {};
    GetClientRect(box.hwnd(), &client);
    ui::IntRect icon = box.iconRect();
    EXPECT_EQ(icon, (ui::IntRect{client.right - 16, 4, client.right - 6, 14}));
    const int cx = icon.left + 5, cy = icon.top + 5;

    EXPECT_EQ(SendMessageW(box.hwnd(), WM_NCHITTEST, 0, screenPoint(box.hwnd(), cx, cy)), HTCLIENT);
    EXPECT_EQ(SendMessageW(box.hwnd(), WM_NCHITTEST, 0, screenPoint(box.hwnd(), 40, 30)), HTTRANSPARENT)
        << "elsewhere the mouse passes through to the controls in the box";

    SendMessageW(box.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
    EXPECT_TRUE(box.hovering());
    SendMessageW(box.hwnd(), WM_NCHITTEST, 0, screenPoint(box.hwnd(), 40, 8));
    EXPECT_FALSE(box.hovering()) << "a hit test off the icon ends hovering";

    SendMessageW(box.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
    SendMessageW(box.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    SendMessageW(box.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(cx, cy));
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0], (Notification{WM_COMMAND, MAKEWPARAM(IDC_FORCE_SPEED_GROUP, 0), 0}));
    EXPECT_FALSE(box.hovering());
    EXPECT_NE(GetCapture(), box.hwnd());

    // Pressed on the icon but released off it: no command, as with any button.
    SendMessageW(box.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(cx, cy));
    SendMessageW(box.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(40, 30));
    EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(DrawnControls, GroupBoxWithoutIconOrDisabledNeverTakesTheMouse) {
    SkinGroupBox plain, disabled;
    ASSERT_TRUE(plain.attach(dialog_, IDC_MULTICUT_GROUP));
    ASSERT_TRUE(disabled.attach(dialog_, IDC_CUT_TYPE_GROUP));
    disabled.setIconFromResource(resources(), IDPNG_HELP_ICON);
    { Snapshot paint(disabled.hwnd(), Magenta); }
    ui::IntRect icon = disabled.iconRect();
    EnableWindow(disabled.hwnd(), FALSE);
    for (SkinGroupBox* box : {&plain, &disabled}) {
        RECT client = {};
        GetClientRect(box->hwnd(), &client);
        for (POINT p : {POINT{client.right - 11, 9}, POINT{icon.left + 5, icon.top + 5}, POINT{10, 10}}) {
            EXPECT_EQ(SendMessageW(box->hwnd(), WM_NCHITTEST, 0, screenPoint(box->hwnd(), p.x, p.y)), HTTRANSPARENT);
            SendMessageW(box->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
            SendMessageW(box->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
            SendMessageW(box->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
            EXPECT_FALSE(box->hovering());
        }
    }
    EXPECT_TRUE(seen_.empty());
}

TEST_F(DrawnControls, GroupBoxPaintsItsFrameAndBandButNeverThePanelInside) {
    SkinGroupBox box;
    ASSERT_TRUE(box.attach(dialog_, IDC_SETTINGS_GROUP));
    box.setColours(0xFFFFFFFF, 0xFF000000, 0xFFFF6400, GetSysColor(COLOR_BTNFACE));
    box.setIconFromResource(resources(), IDPNG_HELP_ICON);
    Snapshot enabled(box.hwnd(), Magenta);
    const int w = enabled.width(), h = enabled.height();
    ui::IntRect inside = ui::groupBoxInterior(w, h);
    for (int y = inside.top; y < inside.bottom; y += 3)
        for (int x = inside.left; x < inside.right; x += 3) ASSERT_EQ(enabled.at(x, y), Magenta) << x << "," << y;
    // The frame around it is all painted, in the face colour outside the panel.
    EXPECT_EQ(enabled.at(0, h - 1), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(enabled.at(w - 1, h / 2), GetSysColor(COLOR_BTNFACE));
    // The band's lower half runs from orange toward 0x7F3200.
    COLORREF band = enabled.at(30, 14);
    EXPECT_GT(GetRValue(band), GetGValue(band));
    EXPECT_GT(GetGValue(band), GetBValue(band));
    EXPECT_LT(GetRValue(band), 255) << "darkened by the gradient";
    // The icon is drawn where it was placed: dark badge pixels in the band.
    ui::IntRect icon = box.iconRect();
    COLORREF badge = enabled.at(icon.left + 1, icon.top + 5);
    EXPECT_LT(GetRValue(badge), 120);

    EnableWindow(box.hwnd(), FALSE);
    Snapshot disabled(box.hwnd(), Magenta);
    COLORREF inactive = GetSysColor(COLOR_INACTIVECAPTION);
    COLORREF disabledBand = disabled.at(30, 14);
    EXPECT_NE(disabledBand, band);
    // Under the gradient the band keeps the inactive caption's hue order.
    EXPECT_EQ(GetRValue(disabledBand) <= GetBValue(disabledBand), GetRValue(inactive) <= GetBValue(inactive));
    // No icon while disabled: its place shows the band.
    EXPECT_EQ(disabled.at(icon.left + 5, icon.top + 5), disabled.at(icon.left - 8, icon.top + 5));
}

TEST_F(DrawnControls, ProgressCaptionIsTheWindowTextAndTheBarFillsWithStripes) {
    AnimatedProgressBar bar;
    ASSERT_TRUE(bar.attach(dialog_, IDC_PROGRESS));
    const std::wstring caption = L"Click \"Start\" when you are ready to cut";
    bar.setCaption(caption);
    EXPECT_EQ(windowText(bar.hwnd()), caption);
    bar.setIcon(resources(), IDPNG_START_ICON);
    EXPECT_EQ(bar.iconId(), IDPNG_START_ICON);
    bar.setRange(0, 100);

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    bar.setPosition(0);
    {
        Snapshot empty(bar.hwnd(), Magenta);
        for (int x = 0; x < 20; ++x) EXPECT_EQ(empty.at(x, empty.height() / 2), face) << x;
    }
    bar.setPosition(100);
    {
        Snapshot full(bar.hwnd(), Magenta);
        for (int x : {0, 5, full.width() - 1}) {
            COLORREF p = full.at(x, full.height() / 2);
            EXPECT_GT(GetRValue(p), 200) << x;
            EXPECT_LT(GetBValue(p), 120) << x;
        }
    }
    bar.setPosition(50);
    {
        Snapshot half(bar.hwnd(), Magenta);
        EXPECT_NE(half.at(2, 2), face);
        EXPECT_EQ(half.at(half.width() - 2, 2), face);
    }
    bar.clearIcon();
    EXPECT_EQ(bar.iconId(), 0);
}

TEST_F(DrawnControls, ProgressAnimatesOnItsOwnTimerAndStopsWithTheCaptionReset) {
    AnimatedProgressBar bar;
    ASSERT_TRUE(bar.attach(dialog_, IDC_PROGRESS));
    bar.startAnimation();
    EXPECT_TRUE(pumpUntil([&] { return bar.animation().stripeOffset() < 0 && bar.animation().pulse() < 1.0; },
                          std::chrono::seconds(5)));
    bar.stopAnimation();
    EXPECT_EQ(bar.animation().pulse(), 0.0);
    EXPECT_TRUE(bar.animation().rising());
    int offset = bar.animation().stripeOffset();
    pumpTimerPeriods(AnimatedProgressBar::AnimationPeriodMs, 3);
    EXPECT_EQ(bar.animation().stripeOffset(), offset) << "the timer is gone";
}

TEST_F(DrawnControls, ProgressOverlayIsDrawnOverTheBar) {
    AnimatedProgressBar bar;
    ASSERT_TRUE(bar.attach(dialog_, IDC_PROGRESS));
    bar.setRange(0, 100);
    bar.setPosition(100);
    UniqueGpImage overlay = loadImage(resources(), IDPNG_PROGRESS_OVERLAY);
    const ui::Argb face = systemColour(COLOR_BTNFACE);
    bar.setOverlay(tintedCopy(overlay.get(), face).releaseImage());
    Snapshot shot(bar.hwnd(), Magenta);
    // The overlay's corner is opaque white tinted into the face colour.
    EXPECT_EQ(shot.at(0, 0), GetSysColor(COLOR_BTNFACE));
}

TEST_F(DrawnControls, JogButtonReportsPressAndReleaseOnceEvenOutsideIt) {
    JogButton jog;
    ASSERT_TRUE(jog.attach(dialog_, IDC_TEST_CUT));
    HWND button = jog.hwnd();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(jog.pressed());
    EXPECT_EQ(GetCapture(), button);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    // Released far outside the button: the captured mouse still brings it here.
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(-300, 400));
    EXPECT_FALSE(jog.pressed());
    EXPECT_NE(GetCapture(), button);
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    std::vector<Notification> expected = {{WM_JOG_BUTTON, IDC_TEST_CUT, 1}, {WM_JOG_BUTTON, IDC_TEST_CUT, 0}};
    std::vector<Notification> jogs;
    for (const auto& n : seen_)
        if (n.message == WM_JOG_BUTTON) jogs.push_back(n);
    EXPECT_EQ(jogs, expected);
}

TEST_F(DrawnControls, JogButtonThatLosesTheMouseStopsTheMovement) {
    JogButton jog;
    ASSERT_TRUE(jog.attach(dialog_, IDC_CALIBRATE_DPI));
    SendMessageW(jog.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SetCapture(dialog_);  // as a message box or a window switch would
    ReleaseCapture();
    EXPECT_FALSE(jog.pressed());
    std::vector<Notification> jogs;
    for (const auto& n : seen_)
        if (n.message == WM_JOG_BUTTON) jogs.push_back(n);
    std::vector<Notification> expected = {{WM_JOG_BUTTON, IDC_CALIBRATE_DPI, 1}, {WM_JOG_BUTTON, IDC_CALIBRATE_DPI, 0}};
    EXPECT_EQ(jogs, expected);
}

TEST_F(DrawnControls, JogButtonPictureReplacesTheCaptionButKeepsTheText) {
    JogButton jog;
    ASSERT_TRUE(jog.attach(dialog_, IDC_START));
    UniqueGdiObject picture = toDeviceBitmap(loadImage(resources(), IDPNG_JOG_UP).get(), systemColour(COLOR_BTNFACE));
    jog.setPicture(static_cast<HBITMAP>(picture.get()));
    EXPECT_EQ(SendMessageW(jog.hwnd(), BM_GETIMAGE, IMAGE_BITMAP, 0), reinterpret_cast<LRESULT>(picture.get()));
    EXPECT_TRUE(GetWindowLongW(jog.hwnd(), GWL_STYLE) & BS_BITMAP);
    EXPECT_EQ(windowText(jog.hwnd()), L"&Start");
}

TEST_F(DrawnControls, SeparatorDrawsAnEtchedLineAndItsTextOnlyWhenWide) {
    Separator separator;
    ASSERT_TRUE(separator.attach(dialog_, IDC_SETTINGS_SEPARATOR));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    {
        Snapshot plain(separator.hwnd(), Magenta);
        int mid = plain.height() / 2;
        EXPECT_EQ(plain.at(plain.width() / 2, mid - 1), GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(plain.at(plain.width() / 2, mid), GetSysColor(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(plain.at(plain.width() / 2, 0), face);
    }
    SetWindowLongW(separator.hwnd(), GWL_STYLE, (GetWindowLongW(separator.hwnd(), GWL_STYLE) & ~SS_TYPEMASK) | SS_CENTER);
    SetWindowTextW(separator.hwnd(), L"WW");
    {
        Snapshot titled(separator.hwnd(), Magenta);
        int mid = titled.height() / 2;
        // The text sits in the middle on the face colour, interrupting the line.
        EXPECT_EQ(titled.at(0, mid - 1), GetSysColor(COLOR_BTNSHADOW));
        int textPixels = 0;
        for (int y = 0; y < titled.height(); ++y)
            for (int x = titled.width() / 2 - 8; x < titled.width() / 2 + 8; ++x)
                if (titled.at(x, y) == GetSysColor(COLOR_BTNTEXT)) ++textPixels;
        EXPECT_GT(textPixels, 0);
    }
    // Taller than wide: a vertical line and never the text.
    SetWindowPos(separator.hwnd(), nullptr, 0, 0, 8, 40, SWP_NOMOVE | SWP_NOZORDER);
    {
        Snapshot tall(separator.hwnd(), Magenta);
        for (int y = 0; y < tall.height(); ++y) {
            EXPECT_EQ(tall.at(3, y), GetSysColor(COLOR_BTNSHADOW)) << y;
            EXPECT_EQ(tall.at(4, y), GetSysColor(COLOR_BTNHIGHLIGHT)) << y;
            for (int x : {0, 1, 2, 5, 6, 7}) ASSERT_EQ(tall.at(x, y), face) << x << "," << y;
        }
    }
}

class ImageCombo : public DrawnControls {
protected:
    void SetUp() override {
        DrawnControls::SetUp();
        combo_ = CreateWindowExW(0, L"COMBOBOX", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                 10, 10, 150, 120, dialog_, reinterpret_cast<HMENU>(ComboId), resources(), nullptr);
        ASSERT_NE(combo_, nullptr);
        SendMessageW(combo_, WM_SETFONT, SendMessageW(dialog_, WM_GETFONT, 0, 0), FALSE);
        discs_ = loadImage(resources(), IDPNG_DEPTH_DISCS);
        for (int i = 0; i < 4; ++i) cells_[i] = toDeviceBitmap(discs_.get(), 0xFFFFFFFF, 16 * i, 0, 16, 16);
    }
    // Draws row `index` into a fresh picture, as the list would.
    void drawRow(Snapshot& into, int index, UINT state = 0) {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_COMBOBOX;
        item.CtlID = ComboId;
        item.itemID = static_cast<UINT>(index);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = combo_;
        item.hDC = into.dc();
        item.rcItem = {0, 0, into.width(), into.height()};
        item.itemData = static_cast<ULONG_PTR>(SendMessageW(combo_, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
        SendMessageW(dialog_, WM_DRAWITEM, ComboId, reinterpret_cast<LPARAM>(&item));
    }

    static constexpr int ComboId = 4242;
    HWND combo_ = nullptr;
    UniqueGpImage discs_;
    UniqueGdiObject cells_[4];
};

TEST_F(ImageCombo, EntriesCarryTextAndPictureAtTheItemHeight) {
    ImageComboBox box(20);
    ASSERT_TRUE(box.attach(combo_));
    const wchar_t* names[] = {L"Sketch Pen", L"0.1 mm.", L"0.2 mm.", L"0.3 mm."};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(box.addEntry(names[i], static_cast<HBITMAP>(cells_[i].get())), i);
    EXPECT_EQ(box.count(), 4);
    EXPECT_EQ(SendMessageW(combo_, CB_GETITEMHEIGHT, 0, 0), 20);
    // The selection field: Wine reports it 2 pixels taller than it was set.
    LRESULT field = SendMessageW(combo_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    EXPECT_TRUE(field == 20 || field == 22) << field;
    wchar_t text[32] = {};
    SendMessageW(combo_, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"0.2 mm.");
    ASSERT_NE(box.entry(3), nullptr);
    EXPECT_EQ(box.entry(3)->bitmap, cells_[3].get());
    EXPECT_EQ(box.entry(3)->colour, GetSysColor(COLOR_WINDOWTEXT));

    SendMessageW(combo_, CB_DELETESTRING, 1, 0);
    EXPECT_EQ(box.count(), 3);
    ASSERT_NE(box.entry(1), nullptr);
    EXPECT_EQ(box.entry(1)->text, L"0.2 mm.");
    // The pictures are borrowed: neither a deleted row nor the detached box frees one.
    box.detach();
    BITMAP picture = {};
    EXPECT_NE(GetObjectW(cells_[1].get(), sizeof picture, &picture), 0);
    EXPECT_NE(GetObjectW(cells_[3].get(), sizeof picture, &picture), 0);
}

TEST_F(ImageCombo, RowsShowThePictureThenTheText) {
    ImageComboBox box(20);
    ASSERT_TRUE(box.attach(combo_));
    box.addEntry(L"0.3 mm.", static_cast<HBITMAP>(cells_[3].get()));
    box.addEntry(L"No picture", nullptr);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    {
        Snapshot row(combo_, Magenta);
        drawRow(row, 0);
        EXPECT_EQ(row.at(1, 10), window);
        COLORREF disc = row.at(2 + 9, 2 + 9);  // the red disc's body, 2 pixels from the left
        EXPECT_GT(GetRValue(disc), 150);
        EXPECT_LT(GetGValue(disc), 100);
        for (int x = 18; x < 22; ++x) EXPECT_EQ(row.at(x, row.height() / 2), window) << "gap before the text";
    }
    {
        Snapshot row(combo_, Magenta);
        drawRow(row, 1);
        bool inked = false;
        for (int y = 0; y < row.height(); ++y) {
            for (int x = 0; x < 6; ++x) ASSERT_EQ(row.at(x, y), window) << x;
            for (int x = 6; x < 12; ++x) inked = inked || row.at(x, y) != window;
        }
        EXPECT_TRUE(inked) << "without a picture the text starts 6 pixels in";
    }
}

TEST_F(ImageCombo, DeleteKeyAndRightButtonAskTheOwner) {
    ImageComboBox box(20);
    ASSERT_TRUE(box.attach(combo_));
    box.addEntry(L"one", nullptr);
    SendMessageW(combo_, WM_KEYDOWN, VK_DELETE, 0);
    SendMessageW(combo_, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(combo_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    std::vector<Notification> deletes;
    for (const auto& n : seen_)
        if (n.message == WM_IMAGE_COMBO_DELETE) deletes.push_back(n);
    std::vector<Notification> expected = {{WM_IMAGE_COMBO_DELETE, ComboId, 0}, {WM_IMAGE_COMBO_DELETE, ComboId, 0}};
    EXPECT_EQ(deletes, expected);
}

TEST_F(ImageCombo, ControlDestroyedBeforeTheObjectLeavesNothingDangling) {
    auto box = std::make_unique<ImageComboBox>(20);
    ASSERT_TRUE(box->attach(combo_));
    box->addEntry(L"one", static_cast<HBITMAP>(cells_[0].get()));
    DestroyWindow(combo_);
    EXPECT_EQ(box->hwnd(), nullptr);
    EXPECT_EQ(box->count(), 0);
    box.reset();
    // The dialog no longer routes anything to the gone object.
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = ComboId;
    SendMessageW(dialog_, WM_DRAWITEM, ComboId, reinterpret_cast<LPARAM>(&item));
}

// The main dialog's template dressed with every drawn control, as the cut
// dialog dresses it; pictures for the documentation come from here.
TEST_F(DrawnControls, DressedMainDialogScreenshots) {
    const COLORREF faceColorref = GetSysColor(COLOR_BTNFACE);
    const ui::Argb face = systemColour(COLOR_BTNFACE);
    SkinGroupBox boxes[5];
    const int groups[5] = {IDC_FORCE_SPEED_GROUP, IDC_MULTICUT_GROUP, IDC_CUT_TYPE_GROUP, IDC_SETTINGS_GROUP,
                           IDC_PERFORM_CUT_GROUP};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(boxes[i].attach(dialog_, groups[i]));
        boxes[i].setColours(0xFFFFFFFF, 0xFF000000, 0xFFFF6400, faceColorref);
        boxes[i].setIconFromResource(resources(), i == 0 ? IDPNG_PRESETS_ICON : IDPNG_HELP_ICON);
    }
    Separator separator;
    ASSERT_TRUE(separator.attach(dialog_, IDC_SETTINGS_SEPARATOR));
    AnimatedProgressBar bar;
    ASSERT_TRUE(bar.attach(dialog_, IDC_PROGRESS));
    bar.setOverlay(tintedCopy(loadImage(resources(), IDPNG_PROGRESS_OVERLAY).get(), face).releaseImage());
    bar.setCaption(L"Click \"Start\" when you are ready to cut");
    bar.setIcon(resources(), IDPNG_START_ICON);
    bar.setRange(0, 100);
    bar.setPosition(0);

    for (int id : {IDC_FORCE_SLIDER, IDC_SPEED_SLIDER}) {
        SendMessageW(item(id), TBM_SETRANGE, TRUE, MAKELPARAM(1, id == IDC_FORCE_SLIDER ? 33 : 10));
        SendMessageW(item(id), TBM_SETPOS, TRUE, 10);
    }
    SetWindowTextW(item(IDC_FORCE_LABEL), L"Force: 10");
    SetWindowTextW(item(IDC_SPEED_LABEL), L"Speed: 10");
    for (const wchar_t* row : {L"Disabled", L"2 Times", L"3 Times"})
        SendMessageW(item(IDC_MULTICUT_LIST), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    for (const wchar_t* row : {L"WYSIWYG", L"Print and Cut", L"Knife Point"})
        SendMessageW(item(IDC_CUT_TYPE_LIST), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    SendMessageW(item(IDC_MULTICUT_LIST), CB_SETCURSEL, 0, 0);
    SendMessageW(item(IDC_CUT_TYPE_LIST), CB_SETCURSEL, 0, 0);
    CheckDlgButton(dialog_, IDC_CARRIER_MAT, BST_CHECKED);
    LOGFONTW bold = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0)), sizeof(bold), &bold);
    bold.lfWeight = FW_BOLD;
    UniqueGdiObject startFont(CreateFontIndirectW(&bold));
    SendMessageW(item(IDC_START), WM_SETFONT, reinterpret_cast<WPARAM>(startFont.get()), TRUE);
    // Not the real dialog's title: tests running beside this one look for that.
    SetWindowTextW(dialog_, L"Drawn controls of the cut dialog");

    SetWindowPos(dialog_, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    pumpUntilPainted();
    EXPECT_TRUE(saveScreenshot(dialog_, L"ui_controls_idle.png"));

    // A job on its way: the bar full and animated, another caption, an icon under the mouse.
    bar.clearIcon();
    bar.setCaption(L"Sending data to Silhouette... Please wait...");
    bar.setPosition(100);
    bar.startAnimation();
    ui::IntRect icon = boxes[3].iconRect();
    SendMessageW(boxes[3].hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(icon.left + 5, icon.top + 5));
    EXPECT_TRUE(boxes[3].hovering());
    pumpUntil([&] { return bar.animation().stripeOffset() < 0; }, std::chrono::seconds(5));
    pumpUntilPainted();
    EXPECT_TRUE(saveScreenshot(dialog_, L"ui_controls_running.png"));
    EXPECT_EQ(windowText(bar.hwnd()), L"Sending data to Silhouette... Please wait...");
}

// Display scaling. Wine takes the scale from the prefix's LogPixels when a
// process starts, so the checks run in a child of this program started with
// the value raised and put back afterwards.
constexpr wchar_t ScaledDpiVariable[] = L"VANTREL_TEST_DPI";

class RaisedLogPixels {
public:
    explicit RaisedLogPixels(DWORD dpi) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            nullptr, &key_, nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof previous_;
        hadValue_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous_), &size) ==
                    ERROR_SUCCESS;
        set_ = RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
               ERROR_SUCCESS;
    }
    ~RaisedLogPixels() {
        if (!key_) return;
        if (set_) {
            if (hadValue_)
                RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_), sizeof previous_);
            else
                RegDeleteValueW(key_, L"LogPixels");
        }
        RegCloseKey(key_);
    }
    RaisedLogPixels(const RaisedLogPixels&) = delete;
    RaisedLogPixels& operator=(const RaisedLogPixels&) = delete;
    bool set() const { return set_; }

private:
    HKEY key_ = nullptr;
    DWORD previous_ = 0;
    bool hadValue_ = false;
    bool set_ = false;
};

// Runs this program's DisplayScaling tests in a child process at `dpi`; its exit code.
DWORD runScaledChild(DWORD dpi) {
    RaisedLogPixels raised(dpi);
    if (!raised.set()) return 100;
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=DisplayScaling.* --gtest_color=no";
    SetEnvironmentVariableW(ScaledDpiVariable, std::to_wstring(dpi).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessW(program, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(ScaledDpiVariable, nullptr);
    if (!started) return 101;
    DWORD code = 102;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 103);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

int childDpi() {
    wchar_t value[16] = {};
    return GetEnvironmentVariableW(ScaledDpiVariable, value, 16) ? _wtoi(value) : 0;
}

TEST(DisplayScalingRun, DrawnControlsAt144DotsPerInchInAChild) {
    if (childDpi() != 0) GTEST_SKIP() << "the child runs the checks";
    EXPECT_EQ(runScaledChild(144), 0u) << "the checks at 144 dots per inch failed; their output is above";
}

class DisplayScaling : public DrawnControls {
protected:
    void SetUp() override {
        if (childDpi() == 0) GTEST_SKIP() << "runs only in the child at a raised scale";
        DrawnControls::SetUp();
    }
};

TEST_F(DisplayScaling, GroupBoxBandTitleAndIconGrowAndTheIconIsClickedWhereItIsDrawn) {
    const int dpi = childDpi();
    ASSERT_EQ(windowDpi(dialog_), dpi) << "the prefix's scale reached this process";
    SkinGroupBox box;
    ASSERT_TRUE(box.attach(dialog_, IDC_SETTINGS_GROUP));
    box.setColours(0xFFFFFFFF, 0xFF000000, 0xFFFF6400, GetSysColor(COLOR_BTNFACE));
    box.setIconFromResource(resources(), IDPNG_HELP_ICON);
    Snapshot shot(box.hwnd(), Magenta);
    const int w = shot.width(), h = shot.height();

    // The 10-pixel icon is 15 pixels, 9 from the right and 6 from the top, and drawn there.
    ui::IntRect icon = box.iconRect();
    EXPECT_EQ(icon, (ui::IntRect{w - 24, 6, w - 9, 21}));
    EXPECT_LT(GetRValue(shot.at(icon.left + 1, icon.top + 7)), 120) << "dark badge pixels at the scaled place";
    // The band is 30 pixels high: a row the unscaled inside would leave unpainted is band.
    COLORREF band = shot.at(30, 25);
    EXPECT_NE(band, Magenta);
    EXPECT_GT(GetRValue(band), GetGValue(band));
    EXPECT_GT(GetGValue(band), GetBValue(band));
    ui::IntRect inside = ui::groupBoxInterior(w, h, dpi);
    EXPECT_EQ(inside.top, 32);
    for (int y = inside.top; y < inside.bottom; y += 4)
        for (int x = inside.left; x < inside.right; x += 4) ASSERT_EQ(shot.at(x, y), Magenta) << x << "," << y;
    // The title is drawn at 16.5 pixels: ink reaches below the unscaled text's 13th row.
    int lowestInk = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 6; x < 60; ++x)
            if (GetRValue(shot.at(x, y)) > 245 && GetGValue(shot.at(x, y)) > 245) lowestInk = std::max(lowestInk, y);
    EXPECT_GE(lowestInk, 15);

    // A click inside the 15 pixels, where a 10-pixel icon would not reach, is the icon's.
    const int x = icon.left + 13, y = icon.top + 13;
    EXPECT_EQ(SendMessageW(box.hwnd(), WM_NCHITTEST, 0, screenPoint(box.hwnd(), x, y)), HTCLIENT);
    SendMessageW(box.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(box.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(box.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0], (Notification{WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_GROUP, 0), 0}));
}

TEST_F(DisplayScaling, ComboRowsAndJogPicturesGrowWithTheDialog) {
    const int dpi = childDpi();
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                 10, 10, 200, 160, dialog_, reinterpret_cast<HMENU>(4243), resources(), nullptr);
    ASSERT_NE(combo, nullptr);
    ImageComboBox box(20);
    ASSERT_TRUE(box.attach(combo));
    EXPECT_EQ(box.itemHeight(), ui::scaled(20, dpi));
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0), ui::scaled(20, dpi));

    JogButton jog;
    ASSERT_TRUE(jog.attach(dialog_, IDC_START));
    UniqueGdiObject picture = toDeviceBitmap(loadImage(resources(), IDPNG_JOG_UP).get(), systemColour(COLOR_BTNFACE));
    jog.setPicture(static_cast<HBITMAP>(picture.get()));
    auto shown = reinterpret_cast<HBITMAP>(SendMessageW(jog.hwnd(), BM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(shown, nullptr);
    BITMAP info{};
    ASSERT_NE(GetObjectW(shown, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, ui::scaled(24, dpi));
    EXPECT_EQ(info.bmHeight, ui::scaled(24, dpi));
    jog.setPicture(nullptr);
}

}  // namespace
}  // namespace vantrel::test
