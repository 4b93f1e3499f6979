// The registration-mark search, jogging, the test cut and knife-point
// positioning against the simulated cutter, through the real port threads
// and send queue: what the machine receives is checked byte for byte.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "cutdata/commands.h"
#include "driving/window_driving.h"
#include "operations/operation_texts.h"
#include "operations/win32/reg_mark_dialog.h"
#include "operations/win32/knife_point_positioning.h"
#include "operations/win32/test_cut_dialog.h"
#include "plugin/win32/plugin_app.h"
#include "resource.h"
#include "support/simulator_process.h"
#include "support/win_test_support.h"
#include "ui/win32/jog_button.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using driving::flushPostedMessages;

const std::string Search = "!10,0|FJ|FN1|TB99|TB51,254|TB52,2|TB53,16|TB54,0,0|TB55,1|M540,381|TB23,1556,2540|";
const std::string StatusBytes(StatusRequest);

// Everything the machine received but the status requests.
std::string withoutStatus(std::string wire) {
    for (auto at = wire.find(StatusBytes); at != std::string::npos; at = wire.find(StatusBytes))
        wire.erase(at, StatusBytes.size());
    return wire;
}

std::size_t statusRequests(const std::string& wire) {
    return (wire.size() - withoutStatus(wire).size()) / StatusBytes.size();
}

// Real key presses through the input system, as the 50 ms timer reads them.
void sendKey(WORD key, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = KEYEVENTF_EXTENDEDKEY | (down ? 0 : KEYEVENTF_KEYUP);
    SendInput(1, &input, sizeof input);
}

// The main dialog's side of the link: both port threads started on a window
// that stands for it, with the simulator's channels open.
class Link {
public:
    explicit Link(SimulatorProcess& sim) {
        reader.Start(mainWindow.hwnd(), win::WM_READER_EVENT, THREAD_PRIORITY_NORMAL, true);
        writer.Start(mainWindow.hwnd(), win::WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true);
        open = writer.openChannel(sim.channelPath(0)) && reader.openChannel(sim.channelPath(1));
    }
    ~Link() {
        reader.Stop();
        writer.Stop();
    }
    TestWindow mainWindow;
    win::PortReader reader;
    win::PortWriter writer;
    bool open = false;
};

class OperationsOnTheMachine : public ::testing::Test {
protected:
    void start(const std::vector<std::wstring>& options) {
        sim_ = std::make_unique<SimulatorProcess>(options);
        ASSERT_TRUE(sim_->running());
        link_ = std::make_unique<Link>(*sim_);
        ASSERT_TRUE(link_->open);
    }
    HWND mainWindow() const { return link_->mainWindow.hwnd(); }
    bool runSearch() {
        return win::runRegistrationMarkSearch(module_, mainWindow(), link_->reader, link_->writer, Search);
    }
    // Everything the machine received, once it has all that was written to
    // it: a marker queued behind it on the same writer and pipe arrives last
    // ("FN0", which nothing here sends and no machine answers); it is left out.
    std::string receivedToTheEnd() {
        const std::string marker = toWire("FN0|");
        link_->writer.Enqueue("FN0|");
        std::string received;
        if (!waitFor([&] { return (received = sim_->received()).ends_with(marker); }, 5s)) {
            ADD_FAILURE() << "the marker never arrived";
            return received;
        }
        return received.substr(0, received.size() - marker.size());
    }
    // The machine has received `wire`, status requests aside.
    bool waitForWire(const std::string& wire) {
        return waitFor([&] { return withoutStatus(sim_->received()) == wire; }, 5s);
    }

    GdiplusSession gdiplus_;
    HINSTANCE module_ = GetModuleHandleW(nullptr);
    std::unique_ptr<SimulatorProcess> sim_;
    std::unique_ptr<Link> link_;
};

// Answers the not-found question with `answer` (No when none is expected)
// when it comes; notes its text. The question blocks the search's return,
// so `returned` proves that none came.
std::wstring answerQuestion(int answer, const std::atomic<bool>& returned) {
    HWND box = nullptr;
    waitFor([&] { return (box = findDialog(win::PluginApp::instance().appName())) != nullptr || returned; }, 10s);
    if (!box) return {};
    std::wstring text = windowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, answer ? answer : IDNO, 0);
    return text;
}

TEST_F(OperationsOnTheMachine, MarkSearchOutcomes) {
    struct Case {
        const char* outcomes;
        int answer;  // 0: no question expected
        bool cut;
        std::string wire;
    } cases[] = {
        {"found", 0, true, toWire(Search)},
        {"not found, found", 0, true, toWire(Search + Search)},
        {"not found twice", IDNO, false, toWire(Search + Search + "H|")},
        {"not found twice", IDYES, true, toWire(Search + Search + "H|")},
    };
    // One machine answers the searches of all cases in turn; its last outcome repeats.
    start({L"--search", L"found,not-found,found,not-found"});
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outcomes << " answer " << c.answer);
        ASSERT_TRUE(sim_->control("clear"));
        std::wstring question;
        std::atomic<bool> returned{false};
        // The question comes, if at all, once the search's dialog has gone.
        DriverThread driver([&] { question = answerQuestion(c.answer, returned); });
        EXPECT_EQ(runSearch(), c.cut);
        returned = true;
        driver.join();
        EXPECT_EQ(question, c.answer ? std::wstring(RegMarkNotFoundQuestion) : L"");
        ASSERT_TRUE(sim_->waitForReceived(c.wire.size(), 2s)) << sim_->status();
        EXPECT_EQ(withoutStatus(receivedToTheEnd()), c.wire);
        EXPECT_EQ(link_->reader.notifyWindow(), mainWindow());
        EXPECT_EQ(link_->writer.notifyWindow(), mainWindow());
        EXPECT_TRUE(sim_->anomalies().empty());
        link_->reader.setNotifyWindow(nullptr);
    }
}

TEST_F(OperationsOnTheMachine, EscapeDuringTheSearchSendsHomeAndAsksNothing) {
    // Replies without their ETX never complete: the machine seems to search on.
    start({L"--no-etx", L"1"});
    std::wstring question = L"none", progressCaption;
    bool enterLeftItOpen = false;
    std::atomic<bool> returned{false};
    DriverThread driver([&] {
        HWND dialog = waitForDialog(std::wstring(RegMarkDialogTitle), 10s);
        PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
        enterLeftItOpen = flushPostedMessages(dialog) && IsWindow(dialog);
        // The dialog asks for the machine's status while it searches.
        waitFor([&] { return sim_->received().find(StatusBytes) != std::string::npos; }, 5s);
        progressCaption = windowText(GetDlgItem(dialog, IDC_REG_MARK_PROGRESS));
        saveScreenshotIfAsked(dialog, L"reg_mark_dialog.png");
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
        waitFor([&] { return !IsWindow(dialog); }, 5s);
        question = answerQuestion(IDYES, returned);
    });
    EXPECT_FALSE(runSearch());
    returned = true;
    driver.join();
    EXPECT_TRUE(enterLeftItOpen) << "Enter must not read as marks found";
    EXPECT_EQ(progressCaption, RegMarkSearchingCaption);
    EXPECT_TRUE(question.empty());
    std::string wire = toWire(Search + "H|");
    ASSERT_TRUE(sim_->waitForReceived(wire.size(), 2s));
    std::string received = receivedToTheEnd();
    EXPECT_EQ(withoutStatus(received), wire);
    EXPECT_NE(received.find(StatusBytes), std::string::npos) << "status requests while the machine searches";
}

TEST_F(OperationsOnTheMachine, JogThenTestCutThenHome) {
    start({L"--busy-ms", L"600"});
    std::wstring busyCaption, idleCaption, frame, instructions;
    DriverThread driver([&] {
        HWND dialog = waitForDialog(std::wstring(TestCutDialogTitle), 10s);
        frame = windowText(GetDlgItem(dialog, IDC_MOVE_CARRIAGE_FRAME));
        instructions = windowText(GetDlgItem(dialog, IDC_TEST_CUT_INSTRUCTIONS));
        saveScreenshotIfAsked(dialog, L"test_cut_dialog.png");
        HWND up = GetDlgItem(dialog, IDC_JOG_UP);
        PostMessageW(up, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        // Held until the carriage moves, and for six readings of the keys more.
        EXPECT_TRUE(waitForWire(jogSequence(JogCode::Up)));
        EXPECT_TRUE(TimerTicks(dialog, 0).waitForMore(6, 5s));
        // Let go far outside the button: the captured mouse still ends the move.
        PostMessageW(up, WM_LBUTTONUP, 0, MAKELPARAM(-200, 300));
        EXPECT_TRUE(waitForWire(jogSequence(JogCode::Up) + jogSequence(JogCode::Stop)));
        HWND test = GetDlgItem(dialog, IDC_TEST_CUT_BUTTON);
        PostMessageW(test, BM_CLICK, 0, 0);
        waitFor([&] { return windowText(test) == TestingCaption; }, 3s);
        busyCaption = windowText(test);
        // The machine is busy for 600 ms; the dialog follows it to idle.
        waitFor([&] { return windowText(test) == TestButtonCaption; }, 5s);
        idleCaption = windowText(test);
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
        waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    win::runTestCut(module_, mainWindow(), link_->reader, link_->writer, 12, 5, true);
    driver.join();
    EXPECT_EQ(frame, MoveCarriageFrameCaption);
    EXPECT_EQ(instructions, TestCutInstructions);
    EXPECT_EQ(busyCaption, TestingCaption);
    EXPECT_EQ(idleCaption, TestButtonCaption);
    std::string wire = jogSequence(JogCode::Up) + jogSequence(JogCode::Stop) + toWire("FC0|FX12,0|!5,0|FH|H|");
    ASSERT_TRUE(sim_->waitForReceived(wire.size(), 2s));
    EXPECT_EQ(withoutStatus(receivedToTheEnd()), wire);
    EXPECT_EQ(link_->reader.notifyWindow(), mainWindow());
}

TEST_F(OperationsOnTheMachine, ArrowKeysMoveOneWayAtATimeAndLeaveTheFocusAlone) {
    start({});
    HWND focusBefore = nullptr, focusAfter = nullptr;
    bool foreground = false;
    DriverThread driver([&] {
        HWND dialog = waitForDialog(std::wstring(TestCutDialogTitle), 10s);
        foreground = waitFor(
            [&] {
                SetForegroundWindow(dialog);
                return GetForegroundWindow() == dialog;
            },
            5s);
        focusBefore = GetDlgItem(dialog, IDC_JOG_UP);
        PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusBefore), TRUE);
        flushPostedMessages(dialog);
        TimerTicks keyReadings(dialog, 0);
        // The window system may still be settling the new focus, which under X
        // resets the keyboard's state: pressed until the machine has the jog.
        waitFor([&] {
            sendKey(VK_UP, true);
            return sim_->received().size() >= 3;
        }, 5s);
        sendKey(VK_LEFT, true);  // left wins over up
        sim_->waitForReceived(6, 5s);
        EXPECT_TRUE(keyReadings.waitForMore(6, 5s));  // held steadily: nothing more
        sendKey(VK_RIGHT, true);         // left still wins
        EXPECT_TRUE(keyReadings.waitForMore(4, 5s));
        sendKey(VK_RIGHT, false);
        sendKey(VK_UP, false);
        sendKey(VK_LEFT, false);
        sim_->waitForReceived(9, 5s);  // the stop
        EXPECT_TRUE(keyReadings.waitForMore(6, 5s));
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
        focusAfter = info.hwndFocus;
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
        waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    win::runTestCut(module_, mainWindow(), link_->reader, link_->writer, 12, 5, false);
    driver.join();
    ASSERT_TRUE(foreground) << "keys reach only the window in front";
    std::string wire = jogSequence(JogCode::Up) + jogSequence(JogCode::Left) + jogSequence(JogCode::Stop) + toWire("H|");
    ASSERT_TRUE(sim_->waitForReceived(wire.size(), 2s));
    EXPECT_EQ(receivedToTheEnd(), wire) << "once per change, left over right over up; commands: " << testing::PrintToString(sim_->commands());
    EXPECT_EQ(focusAfter, focusBefore) << "arrow keys must not move the focus";
}

TEST_F(OperationsOnTheMachine, KnifePointStartsFromTheJoggedSpot) {
    start({});
    std::wstring button, instructions;
    DriverThread driver([&] {
        HWND dialog = waitForDialog(std::wstring(KnifePointDialogTitle), 10s);
        button = windowText(GetDlgItem(dialog, IDC_TEST_CUT_BUTTON));
        instructions = windowText(GetDlgItem(dialog, IDC_TEST_CUT_INSTRUCTIONS));
        saveScreenshotIfAsked(dialog, L"knife_point_dialog.png");
        PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);  // no confirmation
        PostMessageW(dialog, win::WM_JOG_BUTTON, IDC_JOG_RIGHT, 1);
        EXPECT_TRUE(waitForWire(jogSequence(JogCode::Right)));
        EXPECT_TRUE(TimerTicks(dialog, 0).waitForMore(6, 5s));  // held a while
        PostMessageW(dialog, win::WM_JOG_BUTTON, IDC_JOG_RIGHT, 0);
        EXPECT_TRUE(waitForWire(jogSequence(JogCode::Right) + jogSequence(JogCode::Stop)));
        PostMessageW(GetDlgItem(dialog, IDC_TEST_CUT_BUTTON), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(win::runKnifePointPositioning(module_, mainWindow(), link_->reader, link_->writer, 10, 3, false));
    driver.join();
    EXPECT_EQ(button, KnifePointButtonCaption);
    EXPECT_EQ(instructions, KnifePointInstructions);
    std::string wire = jogSequence(JogCode::Right) + jogSequence(JogCode::Stop);
    ASSERT_TRUE(sim_->waitForReceived(wire.size(), 2s));
    EXPECT_EQ(receivedToTheEnd(), wire) << "no way home: the job starts where the knife stands";
}

TEST_F(OperationsOnTheMachine, ASilentOrUnpluggedMachineDoesNotTrapTheUser) {
    struct Case {
        const char* name;
        bool unplug;
        INT_PTR result;
    } cases[] = {{"stays busy", false, IDCANCEL}, {"unplugged", true, IDCANCEL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start({L"--stay-busy", L"1"});
        win::PortThreadsLink port(link_->reader, link_->writer);
        win::TestCutDialog dialog(port, 12, 5, false, false, 5);
        bool refusedAtFirst = false;
        DriverThread driver([&] {
            HWND window = waitForDialog(std::wstring(TestCutDialogTitle), 10s);
            PostMessageW(GetDlgItem(window, IDC_TEST_CUT_BUTTON), BM_CLICK, 0, 0);
            // The test is under way once the machine has been asked for its status.
            waitFor([&] { return sim_->received().find(StatusBytes) != std::string::npos; }, 5s);
            PostMessageW(window, WM_CLOSE, 0, 0);
            refusedAtFirst = flushPostedMessages(window) && IsWindow(window);
            if (c.unplug) {
                sim_->unplug();  // the reader's failure ends the dialog by itself
            } else {
                // The first status request and five silent ticks, each asking again.
                waitFor([&] { return statusRequests(sim_->received()) >= 6; }, 5s);
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            waitFor([&] { return !IsWindow(window); }, 5s);
        });
        INT_PTR result = dialog.run(module_, mainWindow());
        port.notifyTo(mainWindow());
        driver.join();
        EXPECT_TRUE(refusedAtFirst) << "the test holds the dialog while it may still be running";
        EXPECT_EQ(result, c.result);
        link_.reset();
        sim_.reset();
    }
}

}  // namespace
}  // namespace vantrel::test
