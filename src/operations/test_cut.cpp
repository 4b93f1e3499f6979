#include "operations/test_cut.h"

#include "device/machine_replies.h"

namespace vantrel {

JogCode arrowDirection(ArrowKeys keys) {
    if (keys.left) return JogCode::Left;
    if (keys.right) return JogCode::Right;
    if (keys.up) return JogCode::Up;
    if (keys.down) return JogCode::Down;
    return JogCode::Stop;
}

TestCutSession::TestCutSession(int force, int speed, bool knifePointMode, int silentTicksAllowed)
    : force_(force), speed_(speed), knifePointMode_(knifePointMode), silentTicksAllowed_(silentTicksAllowed) {}

TestCutStep TestCutSession::finish(TestCutStep step, TestCutEnd end) {
    end_ = end;
    step.end = end;
    return step;
}

TestCutStep TestCutSession::jog(JogCode code) {
    moved_ = true;
    jogging_ = code != JogCode::Stop;
    // A stop lost to a machine that takes nothing for a while would leave
    // the carriage running once it takes data again.
    if (code == JogCode::Stop) return {.sendFirst = jogSequence(code)};
    return {.send = jogSequence(code)};
}

TestCutStep TestCutSession::jogButton(JogCode direction, bool pressed) {
    if (busy_ || end_ != TestCutEnd::None) return {};
    return jog(pressed ? direction : JogCode::Stop);
}

TestCutStep TestCutSession::arrowKeys(ArrowKeys keys) {
    if (busy_ || end_ != TestCutEnd::None) return {};
    JogCode direction = arrowDirection(keys);
    // Once per change: a key held down is sent once, its release once.
    if (direction == keyDirection_) return {};
    keyDirection_ = direction;
    return jog(direction);
}

std::string TestCutSession::stopHeldJog() {
    if (!jogging_) return {};
    jogging_ = false;
    keyDirection_ = JogCode::Stop;
    return jogSequence(JogCode::Stop);
}

TestCutStep TestCutSession::testButton() {
    if (end_ != TestCutEnd::None) return {};
    // Jog events are not followed once the test or the job begins, so a key
    // or button still held would leave the carriage moving under the pattern
    // or the job: stop it first. Knife point: the job starts where the
    // carriage stands.
    if (knifePointMode_) return finish({.sendFirst = stopHeldJog()}, TestCutEnd::Ok);
    if (busy_) return {};
    busy_ = true;
    busyTicks_ = 0;
    abandonable_ = false;
    return {.sendFirst = stopHeldJog(), .send = testCutText(force_, speed_), .enterBusy = true};
}

TestCutStep TestCutSession::statusTick() {
    if (!busy_ || end_ != TestCutEnd::None) return {};
    if (++busyTicks_ >= silentTicksAllowed_) abandonable_ = true;
    return {.send = std::string(StatusRequest)};
}

TestCutStep TestCutSession::reply(std::string_view text) {
    if (!busy_ || end_ != TestCutEnd::None) return {};
    if (!isIdleReply(text)) return {};
    busy_ = false;
    abandonable_ = false;
    return {.leaveBusy = true};
}

TestCutStep TestCutSession::readerLost() {
    if (end_ != TestCutEnd::None) return {};
    return finish({}, TestCutEnd::Cancel);
}

TestCutStep TestCutSession::writerLost() {
    if (busy_) abandonable_ = true;
    return {};
}

TestCutStep TestCutSession::cancel() {
    if (end_ != TestCutEnd::None) return {};
    if (busy_ && !abandonable_) return {};
    TestCutStep step;
    // Home again, so the next job does not start where the user left the carriage.
    if (moved_) step.sendFirst = "H|";
    return finish(std::move(step), TestCutEnd::Cancel);
}

}  // namespace vantrel
