// The registration-mark search, jogging, the test cut and knife-point
// positioning against the simulated cutter, through the real port threads
// and send queue: what the machine receives is checked byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cutdata/commands.h"
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

const std::string Search = "!10,0|FJ|FN1|TB99|TB51,254|TB52,2|TB53,16|TB54,0,0|TB55,1|M540,381|TB23,1556,2540|";
const std::string StatusBytes(StatusRequest);

// Everything the machine received but the status requests.
std::string withoutStatus(std::string wire) {
    for (auto at = wire.find(StatusBytes); at != std::string::npos; at = wire.find(StatusBytes))
        wire.erase(at, StatusBytes.size());
    return wire;
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

    GdiplusSession gdiplus_;
    HINSTANCE module_ = GetModuleHandleW(nullptr);
    std::unique_ptr<SimulatorProcess> sim_;
    std::unique_ptr<Link> link_;
};

// Answers the not-found question with `answer` when it comes; notes its text.
std::wstring answerQuestion(int answer, std::chrono::milliseconds wait) {
    HWND box = nullptr;
    waitFor([&] { return (box = findDialog(win::PluginApp::instance().appName())) != nullptr; }, wait);
    if (!box) return {};
    std::wstring text = windowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, answer, 0);
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
        DriverThread driver([&] {
            HWND dialog = waitForDialog(std::wstring(RegMarkDialogTitle), 10s);
            waitFor([&] { return !IsWindow(dialog); }, 10s);
            question = answerQuestion(c.answer, c.answer ? 5s : 300ms);
        });
        EXPECT_EQ(runSearch(), c.cut);
        driver.join();
        EXPECT_EQ(question, c.answer ? std::wstring(RegMarkNotFoundQuestion) : L"");
        ASSERT_TRUE(sim_->waitForReceived(c.wire.size(), 2s)) << sim_->status();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(withoutStatus(sim_->received()), c.wire);
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
    DriverThread driver([&] {
        HWND dialog = waitForDialog(std::wstring(RegMarkDialogTitle), 10s);
        PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 1);
        std::this_thread::sleep_for(600ms);
        enterLeftItOpen = IsWindow(dialog);
        progressCaption = windowText(GetDlgItem(dialog, IDC_REG_MARK_PROGRESS));
        saveScreenshotIfAsked(dialog, L"reg_mark_dialog.png");
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 1);
        waitFor([&] { return !IsWindow(dialog); }, 5s);
        question = answerQuestion(IDYES, 500ms);
    });
    EXPECT_FALSE(runSearch());
    driver.join();
    EXPECT_TRUE(enterLeftItOpen) << "Enter must not read as marks found";
    EXPECT_EQ(progressCaption, RegMarkSearchingCaption);
    EXPECT_TRUE(question.empty());
    std::string wire = toWire(Search + "H|");
    ASSERT_TRUE(sim_->waitForReceived(wire.size(), 2s));
    std::this_thread::sleep_for(100ms);
    std::string received = sim_->received();
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
        std::this_thread::sleep_for(300ms);
        // Let go far outside the button: the captured mouse still ends the move.
        PostMessageW(up, WM_LBUTTONUP, 0, MAKELPARAM(-200, 300));
        std::this_thread::sleep_for(200ms);
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
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(withoutStatus(sim_->received()), wire);
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
        std::this_thread::sleep_for(100ms);
        sendKey(VK_UP, true);
        sim_->waitForReceived(3, 5s);
        sendKey(VK_LEFT, true);  // left wins over up
        sim_->waitForReceived(6, 5s);
        std::this_thread::sleep_for(300ms);  // held steadily: nothing more
        sendKey(VK_RIGHT, true);             // left still wins
        std::this_thread::sleep_for(200ms);
        sendKey(VK_RIGHT, false);
        sendKey(VK_UP, false);
        sendKey(VK_LEFT, false);
        std::this_thread::sleep_for(300ms);
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
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sim_->received(), wire) << "once per change, left over right over up; commands: " << testing::PrintToString(sim_->commands());
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
        std::this_thread::sleep_for(300ms);
        PostMessageW(dialog, win::WM_JOG_BUTTON, IDC_JOG_RIGHT, 0);
        std::this_thread::sleep_for(100ms);
        PostMessageW(GetDlgItem(dialog, IDC_TEST_CUT_BUTTON), BM_CLICK, 0, 0);
    });
    EXPECT_TRUE(win::runKnifePointPositioning(module_, mainWindow(), link_->reader, link_->writer, 10, 3, false));
    driver.join();
    EXPECT_EQ(button, KnifePointButtonCaption);
    EXPECT_EQ(instructions, KnifePointInstructions);
    std::string wire = jogSequence(JogCode::Right) + jogSequence(JogCode::Stop);
    ASSERT_TRUE(sim_->waitForReceived(wire.size(), 2s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sim_->received(), wire) << "no way home: the job starts where the knife stands";
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
            std::this_thread::sleep_for(300ms);
            PostMessageW(window, WM_CLOSE, 0, 0);
            std::this_thread::sleep_for(200ms);
            refusedAtFirst = IsWindow(window);
            if (c.unplug) {
                sim_->unplug();  // the reader's failure ends the dialog by itself
            } else {
                std::this_thread::sleep_for(1200ms);  // five silent ticks
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
