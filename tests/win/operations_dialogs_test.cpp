// The registration-mark and test-cut dialogs driven as a user and the port
// threads would drive them: replies posted as the reader posts them, clicks,
// keys, and everything the dialogs queue for the machine recorded.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <new>
#include <mutex>
#include <string>
#include <vector>

#include "driving/window_driving.h"
#include "operations/operation_texts.h"
#include "operations/win32/reg_mark_dialog.h"
#include "operations/win32/knife_point_positioning.h"
#include "operations/win32/test_cut_dialog.h"
#include "plugin/win32/plugin_app.h"
#include "resource.h"
#include "support/win_test_support.h"
#include "ui/win32/jog_button.h"
#include "ui/win32/progress_bar.h"

// Reply texts are the only arrays the dialogs' code allocates: counting the
// live ones tells whether every text posted to a dialog was freed.
namespace {
std::atomic<long> liveArrays{0};
}  // namespace

void* operator new[](std::size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
    if (!block) throw std::bad_alloc();
    ++liveArrays;
    return block;
}
void operator delete[](void* block) noexcept {
    if (!block) return;
    --liveArrays;
    HeapFree(GetProcessHeap(), 0, block);
}
void operator delete[](void* block, std::size_t) noexcept { operator delete[](block); }

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using win::PORT_LOST;
using win::WM_READER_EVENT;
using win::WM_WRITER_EVENT;

const std::string Status("\x1B\x05", 2);
const std::string Search = "!10,0|FJ|FN1|TB99|TB51,254|TB52,2|TB53,16|TB54,0,0|TB55,1|M540,381|TB23,1556,2540|";
std::string jog(int code) { return std::string{'\x1B', '\x00', static_cast<char>(code)}; }

// Stands in for the main dialog's port threads: records where notifications
// go and what is queued.
class RecordingPort : public win::MachinePort {
public:
    void notifyTo(HWND window) override {
        std::lock_guard lock(mutex_);
        notifyWindow_ = window;
    }
    void enqueue(std::string_view text) override {
        std::lock_guard lock(mutex_);
        sent_.emplace_back(text);
    }
    HWND notifyWindow() const {
        std::lock_guard lock(mutex_);
        return notifyWindow_;
    }
    std::vector<std::string> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // Everything but the status requests, in order.
    std::vector<std::string> commands() const {
        std::vector<std::string> result;
        for (auto& s : sent())
            if (s != Status) result.push_back(s);
        return result;
    }
    int count(const std::string& text) const {
        int n = 0;
        for (auto& s : sent()) n += s == text;
        return n;
    }

private:
    mutable std::mutex mutex_;
    HWND notifyWindow_ = nullptr;
    std::vector<std::string> sent_;
};

// A reply as the reader posts it: length first, then a text the window owns.
void postReply(HWND window, const std::string& reply) {
    char* text = new char[reply.size() + 1];
    std::memcpy(text, reply.c_str(), reply.size() + 1);
    if (!PostMessageW(window, WM_READER_EVENT, reply.size(), reinterpret_cast<LPARAM>(text))) delete[] text;
}

void pressKey(HWND window, WPARAM key) {
    HWND target = GetFocus() ? GetFocus() : window;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// Checks that the dialog is still open once it has handled everything
// posted to it so far: one those messages ended would be gone by then.
bool stillOpenAfterHandling(HWND dialog) {
    return driving::flushPostedMessages(dialog) && IsWindow(dialog) && IsWindowVisible(dialog);
}

class OperationsDialogs : public ::testing::Test {
protected:
    GdiplusSession gdiplus_;
    TestWindow mainWindow_;
    RecordingPort port_;
    HINSTANCE module_ = GetModuleHandleW(nullptr);
};

// ---------------------------------------------------------------- mark search

struct SearchRun {
    INT_PTR result = 0;
    bool userCancelled = false;
    int failCount = 0;
};

class RegMarkSearch : public OperationsDialogs {
protected:
    // Runs the dialog while `drive` acts on it from another thread.
    SearchRun run(const std::function<void(HWND)>& drive) {
        win::RegMarkDialog dialog(port_, Search);
        DriverThread driver([&] {
            HWND window = waitForDialog(std::wstring(RegMarkDialogTitle), 10s);
            if (!window) return;
            drive(window);
            // Whatever the driver left open is closed so the test never hangs.
            if (IsWindow(window)) PostMessageW(window, WM_CLOSE, 0, 0);
        });
        SearchRun run;
        run.result = dialog.run(module_, mainWindow_.hwnd());
        driver.join();
        run.userCancelled = dialog.userCancelled();
        run.failCount = dialog.failCount();
        return run;
    }
};

TEST_F(RegMarkSearch, FoundAtTheFirstTry) {
    HWND seen = nullptr;
    std::wstring caption;
    SearchRun result = run([&](HWND window) {
        seen = window;
        caption = windowText(GetDlgItem(window, IDC_REG_MARK_PROGRESS));
        // Status requests every 255 ms until the answer; their replies are ignored.
        ASSERT_TRUE(waitFor([&] { return port_.count(Status) >= 2; }, 3s));
        postReply(window, "1");
        postReply(window, "0");
        ASSERT_TRUE(stillOpenAfterHandling(window));
        postReply(window, " 0,0,0");
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDOK);
    EXPECT_FALSE(result.userCancelled);
    EXPECT_EQ(port_.commands(), std::vector<std::string>{Search});
    EXPECT_EQ(port_.sent().front(), Search) << "the search goes out before any status request";
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(port_.notifyWindow(), mainWindow_.hwnd()) << "the dialog borrows the notifications and hands them back as it goes";
    EXPECT_EQ(caption, RegMarkSearchingCaption);
}

TEST_F(RegMarkSearch, NotFoundThenFoundRetriesOnceWithoutPolling) {
    int statusAtRetry = 0;
    SearchRun result = run([&](HWND window) {
        ASSERT_TRUE(waitFor([&] { return port_.count(Status) >= 1; }, 3s));
        postReply(window, "0000");  // four characters: a status-length answer, ignored
        postReply(window, "1,0,0");
        ASSERT_TRUE(waitFor([&] { return port_.count(Search) == 2; }, 3s));
        statusAtRetry = port_.count(Status);
        ASSERT_TRUE(stillOpenAfterHandling(window));
        // The bar's animation (20 ms) ticks for more than two status periods.
        EXPECT_TRUE(TimerTicks(GetDlgItem(window, IDC_REG_MARK_PROGRESS), win::AnimatedProgressBar::AnimationTimer)
                        .waitForMore(35, 5s));
        EXPECT_EQ(port_.count(Status), statusAtRetry) << "no status requests during the retry";
        postReply(window, "0,0,0");
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDOK);
    EXPECT_EQ(result.failCount, 1);
    EXPECT_EQ(port_.commands(), (std::vector<std::string>{Search, Search}));
}

TEST_F(RegMarkSearch, EscapeEndsItAsTheUsersChoiceButEnterDoesNot) {
    SearchRun result = run([&](HWND window) {
        saveScreenshotIfAsked(window, L"reg_mark_dialog.png");
        pressKey(window, VK_RETURN);
        ASSERT_TRUE(stillOpenAfterHandling(window)) << "Enter must not read as marks found";
        pressKey(window, VK_ESCAPE);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDCANCEL);
    EXPECT_TRUE(result.userCancelled);
}

TEST_F(RegMarkSearch, AChannelLostByEitherThreadEndsIt) {
    for (UINT lostBy : {WM_READER_EVENT, WM_WRITER_EVENT}) {
        SearchRun result = run([&](HWND window) {
            PostMessageW(window, WM_WRITER_EVENT, win::WRITE_DONE, 2);
            ASSERT_TRUE(stillOpenAfterHandling(window)) << "other writer events are left alone";
            PostMessageW(window, lostBy, PORT_LOST, 0);
            waitFor([&] { return !IsWindow(window); }, 3s);
        });
        EXPECT_EQ(result.result, IDCANCEL);
        EXPECT_FALSE(result.userCancelled);
    }
}

// The search step of a cut run with its question.
class SearchStep : public OperationsDialogs {
protected:
    struct Outcome {
        bool cut = false;
        std::wstring question;
        std::wstring questionTitle;
    };
    // `answer` is IDYES, IDNO, or 0 for "no question expected".
    Outcome runStep(RecordingPort& port, const std::vector<std::string>& replies, bool escape, int answer) {
        Outcome outcome;
        // The question blocks the search's return: its return proves that none came.
        std::atomic<bool> returned{false};
        DriverThread driver([&] {
            HWND window = waitForDialog(std::wstring(RegMarkDialogTitle), 10s);
            if (!window) return;
            for (std::size_t i = 0; i < replies.size(); ++i) {
                // One reply at a time, each handled before the next comes.
                if (i > 0) driving::flushPostedMessages(window);
                postReply(window, replies[i]);
            }
            if (escape) pressKey(window, VK_ESCAPE);
            waitFor([&] { return !IsWindow(window); }, 3s);
            HWND box = nullptr;
            waitFor([&] { return (box = findDialog(PluginAppTitle())) != nullptr || returned; }, 10s);
            if (!box) return;
            outcome.question = windowText(GetDlgItem(box, 0xFFFF));
            outcome.questionTitle = windowText(box);
            PostMessageW(box, WM_COMMAND, answer ? answer : IDNO, 0);
        });
        outcome.cut = win::runRegistrationMarkSearch(module_, mainWindow_.hwnd(), port, Search);
        returned = true;
        return outcome;
    }
    static std::wstring PluginAppTitle() { return win::PluginApp::instance().appName(); }
};

TEST_F(SearchStep, HomeAndTheQuestionFollowTheResult) {
    struct Case {
        const char* name;
        std::vector<std::string> replies;
        bool escape;
        int answer;  // 0: no question expected
        bool cut;
        std::vector<std::string> commands;
    } cases[] = {
        {"found", {"0,0,0"}, false, 0, true, {Search}},
        {"not found twice, No", {"1,0,0", "1,0,0"}, false, IDNO, false, {Search, Search, "H|"}},
        {"not found twice, Yes", {"1,0,0", "2,0,0"}, false, IDYES, true, {Search, Search, "H|"}},
        {"escape", {}, true, 0, false, {Search, "H|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPort port;
        Outcome outcome = runStep(port, c.replies, c.escape, c.answer);
        EXPECT_EQ(outcome.cut, c.cut);
        EXPECT_EQ(port.commands(), c.commands);
        EXPECT_EQ(port.notifyWindow(), mainWindow_.hwnd()) << "notifications go back to the main dialog";
        if (c.answer) {
            EXPECT_EQ(outcome.question, RegMarkNotFoundQuestion);
            EXPECT_EQ(outcome.questionTitle, PluginAppTitle());
        } else {
            EXPECT_TRUE(outcome.question.empty()) << "no question";
        }
    }
}

// ------------------------------------------------------------------- test cut

struct TestCutRun {
    INT_PTR result = 0;
    bool moved = false;
};

class TestCut : public OperationsDialogs {
protected:
    TestCutRun run(bool knifePoint, const std::function<void(HWND)>& drive, int force = 12, int speed = 5,
                   int silentTicks = SilentTestTicksAllowed) {
        win::TestCutDialog dialog(port_, force, speed, false, knifePoint, silentTicks);
        std::wstring title(knifePoint ? KnifePointDialogTitle : TestCutDialogTitle);
        DriverThread driver([&] {
            HWND window = waitForDialog(title, 10s);
            if (!window) return;
            drive(window);
            if (IsWindow(window)) {
                // Leave a running test, then close.
                postReply(window, "0");
                PostMessageW(window, WM_READER_EVENT, PORT_LOST, 0);
            }
        });
        TestCutRun run;
        run.result = dialog.run(module_, mainWindow_.hwnd());
        driver.join();
        run.moved = dialog.moved();
        return run;
    }
};

void clickButton(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

TEST_F(TestCut, JogButtonsSendOncePerPressAndOncePerRelease) {
    TestCutRun result = run(false, [&](HWND window) {
        HWND up = GetDlgItem(window, IDC_JOG_UP);
        PostMessageW(up, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ASSERT_TRUE(waitFor([&] { return port_.sent().size() == 1; }, 2s));
        EXPECT_TRUE(stillOpenAfterHandling(window));
        // Released far outside the button: the capture still delivers it.
        PostMessageW(up, WM_LBUTTONUP, 0, MAKELPARAM(-200, 300));
        ASSERT_TRUE(waitFor([&] { return port_.sent().size() == 2; }, 2s));
        HWND left = GetDlgItem(window, IDC_JOG_LEFT);
        PostMessageW(left, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(left, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        ASSERT_TRUE(waitFor([&] { return port_.sent().size() == 4; }, 2s));
        pressKey(window, VK_ESCAPE);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDCANCEL);
    EXPECT_TRUE(result.moved);
    EXPECT_EQ(port_.sent(), (std::vector<std::string>{jog(2), jog(0), jog(8), jog(0), "H|"}));
}

// Real key presses through the input system, as the 50 ms timer reads them.
void sendKey(WORD key, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = KEYEVENTF_EXTENDEDKEY | (down ? 0 : KEYEVENTF_KEYUP);
    SendInput(1, &input, sizeof input);
}

// The keyboard focus of `window`'s thread.
HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

TEST_F(TestCut, ArrowKeysMoveOneWayAtATimeAndLeaveTheFocusAlone) {
    HWND focusBefore = nullptr, focusAfter = nullptr;
    TestCutRun result = run(false, [&](HWND window) {
        SetForegroundWindow(window);
        ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == window; }, 2s));
        focusBefore = GetDlgItem(window, IDC_JOG_UP);
        PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusBefore), TRUE);
        ASSERT_TRUE(waitFor([&] { return focusOf(window) == focusBefore; }, 2s));
        // The window system may still be settling the new focus, which under X
        // resets the keyboard's state: pressed until the dialog reads the key.
        ASSERT_TRUE(waitFor([&] {
            sendKey(VK_UP, true);
            return port_.sent().size() == 1;
        }, 2s));
        sendKey(VK_LEFT, true);
        ASSERT_TRUE(waitFor([&] { return port_.sent().size() == 2; }, 2s));
        // The dialog's only timer while no test runs reads the keys.
        TimerTicks keyReadings(window, 0);
        EXPECT_TRUE(keyReadings.waitForMore(6, 5s));  // held steadily: nothing more
        sendKey(VK_RIGHT, true);                      // left still wins
        EXPECT_TRUE(keyReadings.waitForMore(4, 5s));
        sendKey(VK_LEFT, false);
        sendKey(VK_RIGHT, false);
        sendKey(VK_UP, false);
        ASSERT_TRUE(waitFor([&] { return port_.sent().size() >= 3; }, 2s));
        EXPECT_TRUE(keyReadings.waitForMore(6, 5s));
        focusAfter = focusOf(window);
        pressKey(window, VK_ESCAPE);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDCANCEL);
    // Up, then left over up, then (left released with right and up) stop or a
    // short right/up step at worst; the exact middle depends on the order the
    // key-ups land between two readings, so only the rules are checked.
    std::vector<std::string> sent = port_.sent();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[0], jog(2));
    EXPECT_EQ(sent[1], jog(8));
    EXPECT_EQ(sent[sent.size() - 2], jog(0)) << "the last key released stops the carriage once";
    EXPECT_EQ(sent.back(), "H|");
    for (std::size_t i = 1; i < sent.size(); ++i) EXPECT_NE(sent[i], sent[i - 1]) << "sent once per change";
    EXPECT_EQ(focusAfter, focusBefore) << "arrow keys must not move the focus";
}

TEST_F(TestCut, TestCommandThenBusyUntilTheMachineIsIdle) {
    std::wstring busyCaption, idleCaption;
    bool jogEnabledWhileBusy = true, jogEnabledAfter = false;
    TestCutRun result = run(false, [&](HWND window) {
        HWND test = GetDlgItem(window, IDC_TEST_CUT_BUTTON);
        clickButton(window, IDC_TEST_CUT_BUTTON);
        ASSERT_TRUE(waitFor([&] { return port_.count(Status) >= 2; }, 3s));
        busyCaption = windowText(test);
        jogEnabledWhileBusy = IsWindowEnabled(GetDlgItem(window, IDC_JOG_DOWN));
        // Jogs, a second test and Escape are refused while the machine cuts.
        PostMessageW(window, win::WM_JOG_BUTTON, IDC_JOG_DOWN, 1);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TEST_CUT_BUTTON, BN_CLICKED), 0);
        pressKey(window, VK_ESCAPE);
        PostMessageW(window, WM_CLOSE, 0, 0);
        postReply(window, "1");
        ASSERT_TRUE(stillOpenAfterHandling(window));
        postReply(window, "0");
        ASSERT_TRUE(waitFor([&] { return windowText(test) != busyCaption; }, 2s));
        idleCaption = windowText(test);
        jogEnabledAfter = IsWindowEnabled(GetDlgItem(window, IDC_JOG_DOWN));
        int statusWhenIdle = port_.count(Status);
        // Ten readings of the keys: more than two periods of the stopped status timer.
        EXPECT_TRUE(TimerTicks(window, 0).waitForMore(10, 5s));
        EXPECT_EQ(port_.count(Status), statusWhenIdle) << "polling stops with the idle reply";
        pressKey(window, VK_ESCAPE);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDCANCEL);
    EXPECT_EQ(port_.commands(), std::vector<std::string>{"FC0|FX12,0|!5,0|FH|"}) << "no jog, so no way home";
    EXPECT_EQ(busyCaption, TestingCaption);
    EXPECT_EQ(idleCaption, TestButtonCaption);
    EXPECT_FALSE(jogEnabledWhileBusy);
    EXPECT_TRUE(jogEnabledAfter);
}

TEST_F(TestCut, ASilentMachineLetsTheUserOutAfterTheTimeOut) {
    bool openBeforeTimeOut = false;
    TestCutRun result = run(
        false,
        [&](HWND window) {
            PostMessageW(window, win::WM_JOG_BUTTON, IDC_JOG_RIGHT, 1);
            PostMessageW(window, win::WM_JOG_BUTTON, IDC_JOG_RIGHT, 0);
            clickButton(window, IDC_TEST_CUT_BUTTON);
            ASSERT_TRUE(waitFor([&] { return port_.count(Status) >= 1; }, 3s));
            pressKey(window, VK_ESCAPE);
            openBeforeTimeOut = stillOpenAfterHandling(window);
            // Five silent ticks of 200 ms, then Escape works.
            ASSERT_TRUE(waitFor([&] { return port_.count(Status) >= 6; }, 5s));
            pressKey(window, VK_ESCAPE);
            waitFor([&] { return !IsWindow(window); }, 3s);
        },
        12, 5, 5);
    EXPECT_TRUE(openBeforeTimeOut);
    EXPECT_EQ(result.result, IDCANCEL);
    EXPECT_EQ(port_.commands(), (std::vector<std::string>{jog(4), jog(0), "FC0|FX12,0|!5,0|FH|", "H|"}));
}

TEST_F(TestCut, ALostOutgoingChannelLetsTheUserOutAtOnce) {
    TestCutRun result = run(false, [&](HWND window) {
        clickButton(window, IDC_TEST_CUT_BUTTON);
        ASSERT_TRUE(waitFor([&] { return port_.commands().size() == 1; }, 3s));
        PostMessageW(window, WM_WRITER_EVENT, PORT_LOST, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDCANCEL);
}

TEST_F(TestCut, ALostIncomingChannelEndsTheDialogEvenWhileTesting) {
    TestCutRun result = run(false, [&](HWND window) {
        PostMessageW(window, win::WM_JOG_BUTTON, IDC_JOG_UP, 1);
        clickButton(window, IDC_TEST_CUT_BUTTON);
        ASSERT_TRUE(waitFor([&] { return port_.commands().size() == 3; }, 3s));  // up, stop, the test
        PostMessageW(window, WM_READER_EVENT, PORT_LOST, 0);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDCANCEL);
    EXPECT_EQ(port_.count("H|"), 0) << "no way home over a lost link";
}

TEST_F(TestCut, TestModeShowsTheResourceTexts) {
    std::wstring frame, test, instructions, up;
    run(false, [&](HWND window) {
        frame = windowText(GetDlgItem(window, IDC_MOVE_CARRIAGE_FRAME));
        test = windowText(GetDlgItem(window, IDC_TEST_CUT_BUTTON));
        instructions = windowText(GetDlgItem(window, IDC_TEST_CUT_INSTRUCTIONS));
        up = windowText(GetDlgItem(window, IDC_JOG_UP));
        saveScreenshotIfAsked(window, L"test_cut_dialog.png");
        pressKey(window, VK_RETURN);
        EXPECT_TRUE(stillOpenAfterHandling(window)) << "Enter is no confirmation";
        pressKey(window, VK_ESCAPE);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(frame, MoveCarriageFrameCaption);
    EXPECT_EQ(test, TestButtonCaption);
    EXPECT_EQ(instructions, TestCutInstructions);
    EXPECT_EQ(up, JogUpCaption);
    EXPECT_TRUE(port_.sent().empty()) << "closing without a jog sends nothing";
}

TEST_F(TestCut, KnifePointConfirmsTheJoggedSpot) {
    std::wstring title, button, instructions;
    TestCutRun result = run(true, [&](HWND window) {
        title = windowText(window);
        button = windowText(GetDlgItem(window, IDC_TEST_CUT_BUTTON));
        instructions = windowText(GetDlgItem(window, IDC_TEST_CUT_INSTRUCTIONS));
        saveScreenshotIfAsked(window, L"knife_point_dialog.png");
        PostMessageW(window, win::WM_JOG_BUTTON, IDC_JOG_DOWN, 1);
        PostMessageW(window, win::WM_JOG_BUTTON, IDC_JOG_DOWN, 0);
        clickButton(window, IDC_TEST_CUT_BUTTON);
        waitFor([&] { return !IsWindow(window); }, 3s);
    });
    EXPECT_EQ(result.result, IDOK);
    EXPECT_EQ(title, KnifePointDialogTitle);
    EXPECT_EQ(button, KnifePointButtonCaption);
    EXPECT_EQ(instructions, KnifePointInstructions);
    EXPECT_EQ(port_.sent(), (std::vector<std::string>{jog(1), jog(0)})) << "the carriage stays where it was jogged";
}

TEST_F(TestCut, KnifePointStepReportsTheChoiceAndReturnsTheNotifications) {
    struct Case {
        bool confirm;
        bool cut;
    } cases[] = {{true, true}, {false, false}};
    for (const auto& c : cases) {
        DriverThread driver([&] {
            HWND window = waitForDialog(std::wstring(KnifePointDialogTitle), 10s);
            if (!window) return;
            if (c.confirm)
                clickButton(window, IDC_TEST_CUT_BUTTON);
            else
                PostMessageW(window, WM_CLOSE, 0, 0);
            waitFor([&] { return !IsWindow(window); }, 3s);
        });
        bool cut = win::runKnifePointPositioning(module_, mainWindow_.hwnd(), port_, 10, 3, true);
        driver.join();
        EXPECT_EQ(cut, c.cut);
        EXPECT_EQ(port_.notifyWindow(), mainWindow_.hwnd());
    }
}

// ------------------------------------------------------- a dialog that goes

// As soon as a dialog takes the notifications, it is told to close and
// replies and a lost channel are posted behind that: its window goes with
// them unread, as when the machine answers just as the user closes it.
class LateRepliesPort : public RecordingPort {
public:
    explicit LateRepliesPort(HWND mainWindow) : mainWindow_(mainWindow) {}
    void notifyTo(HWND window) override {
        RecordingPort::notifyTo(window);
        if (window == mainWindow_ || posted_) return;
        posted_ = true;
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        for (const char* reply : {"0", "1", "    1", "CAMEO V1.10"}) postReply(window, reply);
        PostMessageW(window, WM_READER_EVENT, PORT_LOST, 0);
    }

private:
    HWND mainWindow_;
    bool posted_ = false;
};

TEST_F(OperationsDialogs, RepliesLeftUnreadAsADialogGoesAreFreedAndALossReachesItsOwner) {
    struct Case {
        const char* name;
        std::function<INT_PTR(win::MachinePort&)> run;
    } cases[] = {
        {"mark search", [&](win::MachinePort& port) { return win::RegMarkDialog(port, Search).run(module_, mainWindow_.hwnd()); }},
        {"test cut", [&](win::MachinePort& port) { return win::TestCutDialog(port, 12, 5, false, false).run(module_, mainWindow_.hwnd()); }},
        {"knife point", [&](win::MachinePort& port) { return win::TestCutDialog(port, 12, 5, false, true).run(module_, mainWindow_.hwnd()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LateRepliesPort port(mainWindow_.hwnd());
        const long before = liveArrays.load();
        EXPECT_EQ(c.run(port), IDCANCEL);
        EXPECT_EQ(liveArrays.load(), before) << "every reply text freed";
        EXPECT_EQ(port.notifyWindow(), mainWindow_.hwnd());
        MSG message;
        ASSERT_TRUE(PeekMessageW(&message, mainWindow_.hwnd(), WM_READER_EVENT, WM_WRITER_EVENT, PM_REMOVE));
        EXPECT_EQ(message.message, WM_READER_EVENT);
        EXPECT_EQ(message.wParam, PORT_LOST) << "the owner hears of the lost channel, and of nothing else";
        EXPECT_FALSE(PeekMessageW(&message, mainWindow_.hwnd(), WM_READER_EVENT, WM_WRITER_EVENT, PM_REMOVE));
    }
}

}  // namespace
}  // namespace vantrel::test
