// The calibration dialog driven through the window system, with a stand-in
// for the main dialog's link that records what is sent and posts replies as
// the reader thread does.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "cutdata/commands.h"
#include "driving/window_driving.h"
#include "resource.h"
#include "settings/settings.h"
#include "support/win_test_support.h"
#include "support/win32/resource_text.h"
#include "tools/win32/calibration_dialog.h"
#include "tools/win32/help_dialog.h"
#include "tools_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using win::CalibrationDialog;

const std::wstring Title = L"Calibrate Resolution";
const std::wstring InvalidInput = L"Invalid input values.\n\nPlease re-enter the values.";

class RecordingLink : public win::MachinePort {
public:
    void notifyTo(HWND window) override { notifyWindow = window; }
    void enqueue(std::string_view commandText) override {
        std::lock_guard lock(mutex_);
        sent_.emplace_back(commandText);
    }
    std::vector<std::string> sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // Posts a reply the way the reader does: its length and a text the receiver frees.
    static void reply(HWND dialog, const char* text) {
        std::size_t length = std::strlen(text);
        auto* copy = new char[length + 1];
        std::memcpy(copy, text, length + 1);
        PostMessageW(dialog, win::WM_READER_EVENT, length, reinterpret_cast<LPARAM>(copy));
    }

    std::atomic<HWND> notifyWindow{nullptr};

private:
    std::mutex mutex_;
    std::vector<std::string> sent_;
};

int statusRequests(const std::vector<std::string>& sent) {
    int count = 0;
    for (const auto& s : sent) count += s == StatusRequest;
    return count;
}

std::wstring field(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

// Answers the next message box with this caption; returns its text.
std::wstring answerBox(const std::wstring& caption, int button) {
    HWND box = waitForOwnDialog(caption, 5s);
    if (!box) return L"(no message box)";
    std::wstring text = windowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, button, 0);
    waitFor([&] { return !IsWindow(box); }, 5s);
    return text;
}

class CalibrationDialogTest : public ::testing::Test {
protected:
    bool run(const std::function<void(HWND dialog)>& drive) {
        CalibrationDialog dialog(win::thisModule(), profile_, link_, help_.hwnd() ? &help_ : nullptr);
        DriverThread driver([&] {
            HWND window = waitForOwnDialog(Title, 10s, IDC_CALIB_CALCULATE);
            if (!window) return;
            drive(window);
            if (IsWindow(window)) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        });
        bool applied = dialog.run(host_.hwnd());
        driver.join();
        return applied;
    }

    GdiplusSession gdiplus_;
    TestWindow host_;
    MemoryProfile profile_;
    RecordingLink link_;
    win::HelpDialog help_{win::thisModule()};
};

TEST_F(CalibrationDialogTest, SquareIsCutAtTheTypedResolutionsUntilTheMachineIsIdle) {
    profile_.writeText(DpiXSetting, u"500 1/2");
    std::wstring shownX, shownY;
    HWND notified = nullptr, dialogWindow = nullptr;
    bool disabledWhileCutting = false, stillDisabledWhenBusy = false, enabledAfter = false, focusOnWidth = false;
    int requestsWhileCutting = 0;
    std::vector<std::string> sent;
    run([&](HWND dialog) {
        dialogWindow = dialog;
        notified = link_.notifyWindow;
        shownX = field(dialog, IDC_CALIB_X_DPI);
        shownY = field(dialog, IDC_CALIB_Y_DPI);
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CUT_SQUARE, 0);
        waitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDOK)); }, 5s);
        disabledWhileCutting = !IsWindowEnabled(GetDlgItem(dialog, IDC_CALIB_WIDTH)) &&
                               !IsWindowEnabled(GetDlgItem(dialog, IDC_CALIB_CUT_SQUARE));
        // The dialog asks for the status on its own while it waits.
        waitFor([&] { return statusRequests(link_.sent()) >= 2; }, 5s);
        requestsWhileCutting = statusRequests(link_.sent());
        RecordingLink::reply(dialog, "1");
        driving::flushPostedMessages(dialog);
        stillDisabledWhenBusy = !IsWindowEnabled(GetDlgItem(dialog, IDOK));
        RecordingLink::reply(dialog, "0");
        enabledAfter = waitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, IDOK)); }, 5s);
        focusOnWidth = waitFor([&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) &&
                   info.hwndFocus == GetDlgItem(dialog, IDC_CALIB_WIDTH);
        }, 2s);
        sent = link_.sent();
    });
    EXPECT_EQ(notified, dialogWindow);
    EXPECT_EQ(shownX, L"500 1/2");
    EXPECT_EQ(shownY, L"508.0");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0],
              "FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z4120,20000|FX10,0|!10,0|L0|L0|"
              "M508.000000,500.500000|D508.000000,3503.500000|D3556.000000,3503.500000|"
              "D3556.000000,500.500000|D508.000000,500.500000|&1,1,1|TB50,0|FO0|H|");
    EXPECT_TRUE(disabledWhileCutting);
    EXPECT_GE(requestsWhileCutting, 2);
    EXPECT_TRUE(stillDisabledWhenBusy);
    EXPECT_TRUE(enabledAfter);
    EXPECT_TRUE(focusOnWidth);
    // Cancel stores nothing.
    EXPECT_FALSE(profile_.storedText(DpiYSetting).has_value());
}

TEST_F(CalibrationDialogTest, CalculateProposesAndApplyStoresTheTexts) {
    std::wstring question, x, y;
    bool applied = run([&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_CALIB_WIDTH, L"6 1/16");
        SetDlgItemTextW(dialog, IDC_CALIB_HEIGHT, L"5 15/16");
        // No changes nothing.
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CALCULATE, 0);
        answerBox(L"Results...", IDNO);
        x = field(dialog, IDC_CALIB_X_DPI);
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CALCULATE, 0);
        question = answerBox(L"Results...", IDYES);
        waitFor([&] { return field(dialog, IDC_CALIB_X_DPI) != x; }, 2s);
        x = field(dialog, IDC_CALIB_X_DPI);
        y = field(dialog, IDC_CALIB_Y_DPI);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    EXPECT_EQ(question,
              L"Based on the information you provided, your new resolution would be:\n\nX Axis: 502.763\n"
              L"Y Axis: 513.347\n\nWould you like to use these new values?");
    EXPECT_EQ(x, L"502.763");
    EXPECT_EQ(y, L"513.347");
    EXPECT_TRUE(applied);
    EXPECT_EQ(profile_.storedText(DpiXSetting), u"502.763");
    EXPECT_EQ(profile_.storedText(DpiYSetting), u"513.347");
}

TEST_F(CalibrationDialogTest, BadInputIsRefusedAndNothingIsStored) {
    std::vector<std::wstring> messages;
    std::wstring xAfter;
    bool openAfterApply = false;
    std::size_t sentCount = 99;
    bool applied = run([&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_CALIB_WIDTH, L"1/0");
        SetDlgItemTextW(dialog, IDC_CALIB_HEIGHT, L"6");
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CALCULATE, 0);
        messages.push_back(answerBox(L"Error...", IDOK));
        // Resolutions that read as zero or less are never stored, nor cut with.
        SetDlgItemTextW(dialog, IDC_CALIB_X_DPI, L"0");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        messages.push_back(answerBox(L"Error...", IDOK));
        openAfterApply = IsWindow(dialog) && IsWindowVisible(dialog);
        SetDlgItemTextW(dialog, IDC_CALIB_X_DPI, L"508");
        SetDlgItemTextW(dialog, IDC_CALIB_Y_DPI, L"-1 1/2");
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CUT_SQUARE, 0);
        messages.push_back(answerBox(L"Error...", IDOK));
        sentCount = link_.sent().size();
        xAfter = field(dialog, IDC_CALIB_WIDTH);
    });
    EXPECT_FALSE(applied);
    EXPECT_EQ(messages, (std::vector<std::wstring>{InvalidInput, InvalidInput, InvalidInput}));
    EXPECT_TRUE(openAfterApply);
    EXPECT_EQ(sentCount, 0u);
    EXPECT_EQ(xAfter, L"1/0") << "the fields keep their text";
    EXPECT_FALSE(profile_.storedText(DpiXSetting).has_value());
}

TEST_F(CalibrationDialogTest, LostLinkClosesWithoutStoring) {
    bool closed = false;
    bool applied = run([&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_CALIB_X_DPI, L"600");
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CUT_SQUARE, 0);
        waitFor([&] { return !link_.sent().empty(); }, 5s);
        PostMessageW(dialog, win::WM_READER_EVENT, win::THREAD_STARTED, 0);
        PostMessageW(dialog, win::WM_READER_EVENT, win::PORT_LOST, 0);
        closed = waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    EXPECT_TRUE(closed);
    EXPECT_FALSE(applied);
    EXPECT_FALSE(profile_.storedText(DpiXSetting).has_value());
}

// Orange enough to tell from the group box's own red: the band's lower half
// runs from 0xFF6400 down to half of it.
bool orangeBand(COLORREF c) { return GetRValue(c) > 120 && GetGValue(c) > 30 && GetGValue(c) < 110 && GetBValue(c) < 30; }

// A point inside the help icon's disc, away from its white mark.
POINT iconDiscPoint(const ClientPicture& group) { return {group.width - 16 + 2, 4 + 5}; }
// The same row of the band, left of the icon and right of any title.
POINT bandPoint(const ClientPicture& group) { return {group.width - 30, 4 + 5}; }

COLORREF lightened(COLORREF c) {
    auto up = [](int v) { return v + (255 - v) / 4; };
    return RGB(up(GetRValue(c)), up(GetGValue(c)), up(GetBValue(c)));
}

TEST_F(CalibrationDialogTest, GroupBoxesAreOrangeAndOnlyTheCalculatorHasTheHelpIcon) {
    constexpr COLORREF Unpainted = RGB(255, 0, 255);
    ClientPicture resolution, calculator, calculatorBusy, separator;
    run([&](HWND dialog) {
        resolution = printClient(GetDlgItem(dialog, IDC_CALIB_RESOLUTION_GROUP), Unpainted);
        calculator = printClient(GetDlgItem(dialog, IDC_CALIB_CALCULATOR_GROUP), Unpainted);
        separator = printClient(GetDlgItem(dialog, IDC_CALIB_SEPARATOR), Unpainted);
        // While the square is cut every control is off: the band goes grey and the icon away.
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CUT_SQUARE, 0);
        if (waitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDC_CALIB_CALCULATOR_GROUP)); }, 5s))
            calculatorBusy = printClient(GetDlgItem(dialog, IDC_CALIB_CALCULATOR_GROUP), Unpainted);
    });
    for (const ClientPicture* group : {&resolution, &calculator}) {
        ASSERT_GT(group->width, 40);
        ASSERT_GT(group->height, 40);
        EXPECT_TRUE(orangeBand(group->at(group->width - 30, 12))) << std::hex << group->at(group->width - 30, 12);
        // The face around the panel, and the panel's inside left to the controls in it.
        EXPECT_EQ(group->at(0, group->height - 1), GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(group->at(group->width / 2, group->height / 2), Unpainted);
    }
    POINT band = bandPoint(resolution), disc = iconDiscPoint(resolution);
    EXPECT_TRUE(closeColour(resolution.at(disc.x, disc.y), resolution.at(band.x, band.y), 3)) << "no icon";
    band = bandPoint(calculator), disc = iconDiscPoint(calculator);
    EXPECT_FALSE(closeColour(calculator.at(disc.x, disc.y), calculator.at(band.x, band.y), 40)) << "the icon";

    ASSERT_GT(calculatorBusy.width, 0);
    EXPECT_FALSE(orangeBand(calculatorBusy.at(calculatorBusy.width - 30, 12)));
    band = bandPoint(calculatorBusy), disc = iconDiscPoint(calculatorBusy);
    EXPECT_TRUE(closeColour(calculatorBusy.at(disc.x, disc.y), calculatorBusy.at(band.x, band.y), 3))
        << "a disabled group box shows no icon";

    // The separator is an etched line across its middle: shadow above highlight.
    ASSERT_GE(separator.height, 4);
    const int mid = separator.height / 2;
    for (int x : {0, separator.width / 2, separator.width - 1}) {
        EXPECT_EQ(separator.at(x, mid - 1), GetSysColor(COLOR_BTNSHADOW)) << x;
        EXPECT_EQ(separator.at(x, mid), GetSysColor(COLOR_BTNHIGHLIGHT)) << x;
        EXPECT_EQ(separator.at(x, 0), GetSysColor(COLOR_BTNFACE)) << x;
    }
}

// The icon lights under the mouse, and its click reaches the dialog as the
// group box's command.
TEST_F(CalibrationDialogTest, CalculatorHelpOpensTheCalibrationPage) {
    ASSERT_TRUE(help_.create(host_.hwnd()));
    ClientPicture before, hovered;
    std::wstring title;
    bool visible = false, inFront = false, tabbed = false, hiddenByEscape = false, calibrationOpen = false;
    run([&](HWND dialog) {
        HWND group = GetDlgItem(dialog, IDC_CALIB_CALCULATOR_GROUP);
        before = printClient(group, 0);  // also places the icon, as the first paint does
        const POINT disc = iconDiscPoint(before);
        // The pointer really over the icon, so the group box keeps its hover state.
        POINT screen = disc;
        ClientToScreen(group, &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(group, WM_MOUSEMOVE, 0, MAKELPARAM(disc.x, disc.y));
        waitFor([&] {
            hovered = printClient(group, 0);
            return !closeColour(hovered.at(disc.x, disc.y), before.at(disc.x, disc.y), 2);
        }, 3s);
        PostMessageW(group, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(disc.x, disc.y));
        PostMessageW(group, WM_LBUTTONUP, 0, MAKELPARAM(disc.x, disc.y));
        visible = waitFor([&] { return IsWindowVisible(help_.hwnd()) != FALSE; }, 5s);
        title = windowText(help_.hwnd());
        // Keys pressed now go to the help window, through the dialog manager,
        // while calibration's modal loop runs: Escape hides it.
        inFront = waitFor([&] { return GetForegroundWindow() == help_.hwnd(); }, 5s);
        // Tab moves the focus between its controls.
        auto focus = [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
            return info.hwndFocus;
        };
        const HWND before = focus();
        driving::pressKey(VK_TAB);
        tabbed = IsChild(help_.hwnd(), before) &&
                 waitFor([&] { return focus() != before && IsChild(help_.hwnd(), focus()); }, 3s);
        driving::pressKey(VK_ESCAPE);
        hiddenByEscape = waitFor([&] { return !IsWindowVisible(help_.hwnd()); }, 5s);
        calibrationOpen = driving::flushPostedMessages(dialog) && IsWindow(dialog);
    });
    const POINT disc = iconDiscPoint(before);
    EXPECT_TRUE(closeColour(hovered.at(disc.x, disc.y), lightened(before.at(disc.x, disc.y)), 4))
        << std::hex << before.at(disc.x, disc.y) << " -> " << hovered.at(disc.x, disc.y);
    EXPECT_TRUE(visible);
    EXPECT_EQ(title, L"DPI Calibration Help");
    EXPECT_TRUE(inFront);
    EXPECT_TRUE(tabbed);
    EXPECT_TRUE(hiddenByEscape);
    EXPECT_TRUE(calibrationOpen);
}

// Every control is off while the square is cut, Cancel too; on Windows the
// dialog manager then sends no IDCANCEL for Escape or the close box, so the
// dialog must take them itself. Each reaches it through the window system.
TEST_F(CalibrationDialogTest, WhileTheSquareIsCutEscapeAndTheCloseBoxCloseItAsCancel) {
    struct Way {
        const char* what;
        std::function<void(HWND)> close;
    } ways[] = {
        {"WM_CLOSE", [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); }},
        {"the caption's close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Escape", [](HWND d) {
             if (driving::bringToFront(d)) driving::pressKey(VK_ESCAPE);
         }},
    };
    for (const Way& way : ways) {
        bool cutting = false, closed = false;
        bool applied = run([&](HWND dialog) {
            PostMessageW(dialog, WM_COMMAND, IDC_CALIB_CUT_SQUARE, 0);
            // The machine never answers: the dialog stays in its cutting state.
            cutting = waitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)); }, 5s);
            way.close(dialog);
            closed = waitFor([&] { return !IsWindow(dialog); }, 5s);
        });
        EXPECT_TRUE(cutting) << way.what;
        EXPECT_TRUE(closed) << way.what;
        EXPECT_FALSE(applied) << way.what;
    }
    EXPECT_FALSE(profile_.storedText(DpiXSetting).has_value());
}

}  // namespace
}  // namespace vantrel::test
