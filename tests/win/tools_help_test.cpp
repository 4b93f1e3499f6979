// The help window and the About box, driven through the window system.
#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "driving/window_driving.h"
#include "resource.h"
#include "support/win_test_support.h"
#include "support/win32/resource_text.h"
#include "tools/help_format.h"
#include "tools/win32/about_dialog.h"
#include "tools/win32/depth_icons.h"
#include "tools/win32/help_dialog.h"
#include "tools_test_support.h"
#include "vantrel_version.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

// A visible window to ask for help, at a known place.
struct Requester {
    explicit Requester(int left) {
        window = CreateWindowExW(0, L"STATIC", L"requester", WS_POPUP | WS_VISIBLE | WS_CAPTION, left, 100, 400, 300,
                                 nullptr, nullptr, nullptr, nullptr);
    }
    ~Requester() { DestroyWindow(window); }
    POINT centre() const {
        RECT r;
        GetWindowRect(window, &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    HWND window;
};

POINT centreOf(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// What the help window shows: the text view's text when the browser is not used.
std::wstring shownText(const win::HelpDialog& help) {
    HWND text = help.view().textView();
    return text ? windowText(text) : std::wstring();
}

class HelpWindowTest : public ::testing::Test {
protected:
    GdiplusSession gdiplus_;
    TestWindow host_;
};

TEST_F(HelpWindowTest, EveryPageIsStoredWithItsSubject) {
    struct Case {
        HelpPage page;
        std::vector<const char16_t*> phrases;
    } cases[] = {
        {SettingsHelp, {u"Track Enhancing", u"Using Carrier Mat", u"IMPORTANT", u"Blade Offset", u"Test Cut",
                        u"Calibrate DPI", u"Not Connected", u"%LOCALAPPDATA%\\Vantrel\\vantrel.log", u"discovery:"}},
        {PerformCutHelp, {u"Start", u"<ul", u"with a carrier mat", u"without a carrier mat"}},
        {MultiCutHelp, {u"not lifted", u"off by default", u"(\"Disabled\")"}},
        {CutTypeHelp, {u"WYSIWYG", u"Print and Cut", u"Knife Point", u"landscape", u"#FF0000"}},
        {CalibrationHelp, {u"<ol", u"1/16", u"X axis", u"Y axis", u"508"}},
    };
    for (const auto& c : cases) {
        std::u16string page = win::loadHelpPage(win::thisModule(), c.page.resourceId);
        ASSERT_FALSE(page.empty()) << c.page.resourceId;
        EXPECT_NE(page.find(u"\r\n"), std::u16string::npos) << "CR LF line ends";
        for (const char16_t* phrase : c.phrases)
            EXPECT_NE(page.find(phrase), std::u16string::npos) << c.page.resourceId << ": " << win::wide(phrase);
    }
    // The settings page has its five sections and the one on the log separated by rules.
    std::u16string settings = win::loadHelpPage(win::thisModule(), SettingsHelp.resourceId);
    std::size_t rules = 0;
    for (std::size_t at = settings.find(u"<hr"); at != std::u16string::npos; at = settings.find(u"<hr", at + 1)) ++rules;
    EXPECT_EQ(rules, 5u);
    EXPECT_EQ(win::loadHelpPage(win::thisModule(), 9999), u"");
}

TEST_F(HelpWindowTest, PagesOpenInOneWindowWithTheSecondTitle) {
    win::HelpDialog help(win::thisModule());
    ASSERT_TRUE(help.create(host_.hwnd()));
    HWND window = help.hwnd();
    EXPECT_FALSE(IsWindowVisible(window)) << "created hidden";
    // Without an HTML engine in this environment the text view stands in.
    EXPECT_FALSE(help.view().usesBrowser());
    ASSERT_NE(help.view().textView(), nullptr);

    Requester first(100);
    help.showPage(MultiCutHelp, first.window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(windowText(window), L"Multi-Cut Help");
    POINT shownAt = centreOf(window);
    EXPECT_NEAR(shownAt.x, first.centre().x, 1);
    EXPECT_NEAR(shownAt.y, first.centre().y, 1);
    std::wstring text = shownText(help);
    EXPECT_EQ(text.rfind(L"Multi-Cut\r\n", 0), 0u) << "heading on its own line";
    EXPECT_NE(text.find(L"not lifted"), std::wstring::npos);
    EXPECT_EQ(text.find(L"<"), std::wstring::npos) << "no markup shown";
    saveScreenshotIfAsked(window, L"help_dialog.png");

    // A second icon: same window, same place, second title and page.
    Requester second(600);
    help.showPage(CutTypeHelp, second.window);
    EXPECT_EQ(help.hwnd(), window);
    EXPECT_EQ(windowText(window), L"Cut Type Help");
    POINT stillAt = centreOf(window);
    EXPECT_EQ(stillAt.x, shownAt.x);
    EXPECT_EQ(stillAt.y, shownAt.y);
    EXPECT_NE(shownText(help).find(L"Knife Point"), std::wstring::npos);
    EXPECT_EQ(shownText(help).find(L"not lifted"), std::wstring::npos);

    // OK hides it; the next request centres it again over whoever asks.
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindow(window));
    help.showPage(CalibrationHelp, second.window);
    EXPECT_EQ(windowText(window), L"DPI Calibration Help");
    POINT movedTo = centreOf(window);
    EXPECT_NEAR(movedTo.x, second.centre().x, 1);
    EXPECT_NEAR(movedTo.y, second.centre().y, 1);

    // A page that cannot be loaded shows an empty body.
    help.showPage(9999, u"Nothing", second.window);
    EXPECT_EQ(shownText(help), L"");

    help.destroy();
    EXPECT_FALSE(IsWindow(window));
}

// The character format of [start, end) of a rich-edit control.
CHARFORMAT2W formatOf(HWND edit, LONG start, LONG end) {
    CHARRANGE range{start, end};
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format;
}

PARAFORMAT2 paragraphAt(HWND edit, LONG at) {
    CHARRANGE range{at, at};
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    PARAFORMAT2 format{};
    format.cbSize = sizeof format;
    SendMessageW(edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    return format;
}

TEST_F(HelpWindowTest, FallbackViewShowsThePageFormatted) {
    win::HelpDialog help(win::thisModule());
    ASSERT_TRUE(help.create(host_.hwnd()));
    Requester requester(100);
    help.showPage(PerformCutHelp, requester.window);
    HWND edit = help.view().textView();
    ASSERT_NE(edit, nullptr);
    // Taken first: looking at the formats below moves the selection, and the view with it.
    saveScreenshotIfAsked(help.hwnd(), L"help_dialog_formatted.png");
    // The control's own text, paragraphs ended by "\r", is what the formatter laid out.
    std::wstring text = windowText(edit);
    ASSERT_EQ(text.rfind(L"Perform Cut\r\n", 0), 0u);
    const LONG body = static_cast<LONG>(std::wstring(L"Perform Cut\r").size());

    CHARFORMAT2W heading = formatOf(edit, 0, 7), plain = formatOf(edit, body, body + 4);
    EXPECT_TRUE(heading.dwEffects & CFE_BOLD);
    EXPECT_FALSE(plain.dwEffects & CFE_BOLD);
    EXPECT_GT(heading.yHeight, plain.yHeight) << "headings are larger";
    EXPECT_EQ(std::wstring(plain.szFaceName), L"Tahoma");
    EXPECT_EQ(plain.crTextColor, GetSysColor(COLOR_BTNTEXT));
    EXPECT_GT(paragraphAt(edit, body).dySpaceAfter, 0) << "paragraphs are spaced";

    // Eight checklist items, each a bullet with a hanging indent.
    std::size_t bullets = 0;
    LONG plainAt = 0;
    for (std::size_t at = text.find(L"\u2022\t"); at != std::wstring::npos; at = text.find(L"\u2022\t", at + 1)) {
        ++bullets;
        // The control's positions count each "\r\n" of the text as one.
        plainAt = static_cast<LONG>(at - std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), L'\n'));
        PARAFORMAT2 item = paragraphAt(edit, plainAt);
        EXPECT_GT(item.dxStartIndent, 0) << "indented";
        EXPECT_GT(item.dxOffset, 0) << "wrapped lines start under the text, right of the bullet";
    }
    EXPECT_EQ(bullets, 8u);
}

TEST_F(HelpWindowTest, LinksInTheFallbackViewNameTheirPage) {
    win::HtmlView view;
    ASSERT_TRUE(view.create(host_.hwnd(), 77));
    ASSERT_NE(view.textView(), nullptr);
    SetWindowPos(view.hwnd(), nullptr, 0, 0, 400, 200, SWP_NOZORDER);
    std::u16string clicked;
    view.setLinkHandler([&](std::u16string_view target) { clicked = target; });
    view.clear();
    view.write(buildHelpDocument(u"<b>See also</b>\r\nThe <a href='cut_type.html'>Cut Type</a> page.\r\n",
                                 GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)));
    ASSERT_EQ(view.links().size(), 1u);
    const HelpLinkRange& link = view.links()[0];
    HWND edit = view.textView();
    // The range the formatter computed is where the control holds the words.
    std::wstring words(static_cast<std::size_t>(link.end - link.start) + 1, L'\0');
    TEXTRANGEW range{{static_cast<LONG>(link.start), static_cast<LONG>(link.end)}, words.data()};
    SendMessageW(edit, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    words.resize(link.end - link.start);
    EXPECT_EQ(words, L"Cut Type");
    EXPECT_TRUE(formatOf(edit, static_cast<LONG>(link.start), static_cast<LONG>(link.end)).dwEffects & CFE_LINK);
    EXPECT_FALSE(formatOf(edit, 0, 3).dwEffects & CFE_LINK);

    // A click on the words, as the mouse makes it.
    LRESULT place = SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(link.start + 2), 0);
    LPARAM at = MAKELPARAM(LOWORD(place) + 2, HIWORD(place) + 4);
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(edit, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(clicked, u"cut_type.html");
    ASSERT_TRUE(helpPageForLink(clicked));
    EXPECT_EQ(helpPageForLink(clicked)->resourceId, CutTypeHelp.resourceId);

    // Elsewhere in the text nothing happens.
    clicked.clear();
    place = SendMessageW(edit, EM_POSFROMCHAR, 1, 0);
    at = MAKELPARAM(LOWORD(place) + 2, HIWORD(place) + 4);
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(edit, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(clicked.empty());
}

TEST_F(HelpWindowTest, ViewFollowsTheWindowSize) {
    win::HelpDialog help(win::thisModule());
    ASSERT_TRUE(help.create(host_.hwnd()));
    HWND view = help.view().hwnd();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(GetDlgCtrlID(view), win::HelpDialog::ViewPlaceholderId);
    SetWindowPos(view, nullptr, 0, 0, 300, 120, SWP_NOMOVE | SWP_NOZORDER);
    RECT inner;
    GetClientRect(help.view().textView(), &inner);
    EXPECT_EQ(inner.right, 300);
    EXPECT_EQ(inner.bottom, 120);
}

// Runs this thread's messages until `condition` holds or `timeout` passes.
bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

// The browser path, reached here by skipping the engine probe: the browser is
// hosted but, with no HTML engine, never delivers a document.
TEST_F(HelpWindowTest, BrowserIsAwaitedOnTheViewsTimerNotInsideCreate) {
    // The main dialog may go (its host closing it) while the view still waits.
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    auto early = std::make_unique<win::HtmlView>();
    ASSERT_TRUE(early->create(parent, 77, 10s, /*probeEngine=*/false));
    // With ten seconds allowed, a create() that waited would come back with the text view.
    ASSERT_TRUE(early->waitingForBrowser()) << "the browser could not be hosted here";
    EXPECT_EQ(early->textView(), nullptr);
    EXPECT_FALSE(early->usesBrowser());
    HWND earlyWindow = early->hwnd();
    TimerTicks earlyTicks(earlyWindow, 0);
    ASSERT_TRUE(earlyTicks.hooked());
    ASSERT_TRUE(pumpUntil([&] { return earlyTicks.taken() >= 2; }, 5s)) << "the wait runs on the view's timer";
    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(earlyWindow));
    EXPECT_EQ(early->hwnd(), nullptr);
    EXPECT_FALSE(early->waitingForBrowser()) << "the browser is let go with its window";
    early.reset();
    // A timer left behind would fire into the freed view; a fresh window's ticks show time passing.
    HWND clock = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetTimer(clock, 5, 25, nullptr);
    TimerTicks clockTicks(clock, 5);
    EXPECT_TRUE(pumpUntil([&] { return clockTicks.taken() >= 8; }, 5s));
    DestroyWindow(clock);

    // A page written while the browser is awaited shows once the text view takes over.
    win::HtmlView view;
    ASSERT_TRUE(view.create(host_.hwnd(), 78, 150ms, /*probeEngine=*/false));
    ASSERT_TRUE(view.waitingForBrowser());
    view.clear();
    view.write(buildHelpDocument(u"<b>Awaited</b>\r\nSee the <a href='cut_type.html'>Cut Type</a> page.\r\n",
                                 GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(view.textView(), nullptr);
    EXPECT_TRUE(view.links().empty());
    ASSERT_TRUE(pumpUntil([&] { return !view.waitingForBrowser(); }, 10s));
    EXPECT_FALSE(view.usesBrowser());
    ASSERT_NE(view.textView(), nullptr);
    std::wstring text = windowText(view.textView());
    EXPECT_EQ(text.rfind(L"Awaited", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"Cut Type"), std::wstring::npos);
    ASSERT_EQ(view.links().size(), 1u);
    EXPECT_EQ(view.links()[0].target, u"cut_type.html");
    // From now on pages go straight to the text view.
    view.clear();
    view.write(buildHelpDocument(u"Second page", GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(windowText(view.textView()).find(L"Awaited"), std::wstring::npos);
    EXPECT_NE(windowText(view.textView()).find(L"Second page"), std::wstring::npos);
}

TEST(AboutBox, ShowsNameVersionAndBuildTime) {
    GdiplusSession gdiplus;
    TestWindow host;
    HMODULE library = LoadLibraryW((programDirectory() + L"Vantrel.dll").c_str());
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(win::moduleVersionText(L"Vantrel"), VANTREL_VERSION_SHORT);
    EXPECT_EQ(win::moduleVersionText(L"NoSuchLibrary"), "0.0.0");

    std::wstring text;
    bool closed = false;
    win::AboutDialog about(win::thisModule(), L"Vantrel");
    DriverThread driver([&] {
        HWND dialog = waitForOwnDialog(L"About...", 10s, IDC_ABOUT_TEXT);
        if (!dialog) return;
        text = windowText(GetDlgItem(dialog, IDC_ABOUT_TEXT));
        saveScreenshotIfAsked(dialog, L"about_dialog.png");
        // Enter does not close it; OK does.
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        driving::flushPostedMessages(dialog);
        if (!IsWindow(dialog)) return;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        closed = waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    about.run(host.hwnd());
    driver.join();
    FreeLibrary(library);
    EXPECT_TRUE(closed);
    const std::string buildTime = win::libraryBuildTime();
    const std::wstring head = L"Vantrel v" VANTREL_VERSION_SHORT "\nBuild Timestamp: " + std::wstring(buildTime.begin(), buildTime.end());
    EXPECT_EQ(text.rfind(head, 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"Copyright"), std::wstring::npos);
}

}  // namespace
}  // namespace vantrel::test
