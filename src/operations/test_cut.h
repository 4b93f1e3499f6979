#pragma once
// Jogging, the test cut and knife-point positioning as a state machine. The
// dialog feeds it button and key events, timer ticks and replies, and carries
// out the steps it returns: what to queue, how to dress the controls, when to
// end.
#include <string>
#include <string_view>

#include "cutdata/commands.h"

namespace vantrel {

// The arrow keys are read on a timer rather than from key messages.
inline constexpr unsigned ArrowKeyPeriodMs = 50;
// Status requests follow a running test until the machine is idle again.
inline constexpr unsigned TestStatusPeriodMs = 200;
// A test that has not come back after this many status ticks (60 s) no
// longer holds the dialog: Escape and the close box work again. The built-in
// test pattern takes a few seconds, so only a silent or unplugged machine
// gets here.
inline constexpr int SilentTestTicksAllowed = 300;

struct ArrowKeys {
    bool left = false;
    bool right = false;
    bool up = false;
    bool down = false;
};

// One direction at a time: left over right over up over down; none is Stop.
JogCode arrowDirection(ArrowKeys keys);

enum class TestCutEnd { None, Ok, Cancel };

struct TestCutStep {
    // The jog stop or the way home: queued first, and never refused however
    // long the machine takes nothing; empty: nothing.
    std::string sendFirst{};
    std::string send{};      // command text or escape bytes to queue; empty: nothing
    bool enterBusy = false;  // "Testing" caption, children disabled, status polling on
    bool leaveBusy = false;  // test caption back, children enabled, polling off, focus on the test button
    TestCutEnd end = TestCutEnd::None;
};

class TestCutSession {
public:
    TestCutSession(int force, int speed, bool knifePointMode, int silentTicksAllowed = SilentTestTicksAllowed);

    // A jog button went down (`pressed`) or came up.
    TestCutStep jogButton(JogCode direction, bool pressed);
    // The arrow keys as read by the 50 ms timer.
    TestCutStep arrowKeys(ArrowKeys keys);
    TestCutStep testButton();
    // The 200 ms timer while a test runs.
    TestCutStep statusTick();
    TestCutStep reply(std::string_view text);
    // The incoming channel failed: the dialog ends at once, also while busy.
    TestCutStep readerLost();
    // The outgoing channel failed: a running test can no longer be followed.
    TestCutStep writerLost();
    TestCutStep cancel();

    bool busy() const { return busy_; }
    bool moved() const { return moved_; }
    JogCode keyDirection() const { return keyDirection_; }
    // A running test may be abandoned with Escape or the close box.
    bool mayAbandonTest() const { return busy_ && abandonable_; }
    bool knifePointMode() const { return knifePointMode_; }
    TestCutEnd end() const { return end_; }

private:
    TestCutStep jog(JogCode code);
    // The stop sequence when a jog is still under way (and forgets it); else nothing.
    std::string stopHeldJog();
    TestCutStep finish(TestCutStep step, TestCutEnd end);

    int force_;
    int speed_;
    bool knifePointMode_;
    int silentTicksAllowed_;
    bool busy_ = false;
    bool moved_ = false;
    bool jogging_ = false;  // the last jog sent moves the carriage
    bool abandonable_ = false;
    int busyTicks_ = 0;
    JogCode keyDirection_ = JogCode::Stop;
    TestCutEnd end_ = TestCutEnd::None;
};

}  // namespace vantrel
