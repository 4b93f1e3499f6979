#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "operations/test_cut.h"

namespace vantrel {
namespace {

const std::string Home = "H|";
std::string jogBytes(int code) { return std::string{'\x1B', '\x00', static_cast<char>(code)}; }

TEST(ArrowKeys, LeftOverRightOverUpOverDown) {
    for (int mask = 0; mask < 16; ++mask) {
        ArrowKeys keys{.left = (mask & 1) != 0, .right = (mask & 2) != 0, .up = (mask & 4) != 0, .down = (mask & 8) != 0};
        int expected = keys.left ? 0x08 : keys.right ? 0x04 : keys.up ? 0x02 : keys.down ? 0x01 : 0x00;
        EXPECT_EQ(static_cast<int>(arrowDirection(keys)), expected) << "mask " << mask;
    }
}

// Everything queued over a sequence of key readings.
std::vector<std::string> sentForKeys(const std::vector<ArrowKeys>& readings) {
    TestCutSession s(10, 5, false);
    std::vector<std::string> sent;
    for (const auto& keys : readings) {
        TestCutStep step = s.arrowKeys(keys);
        // Starts go in the queue's turn, the stop first: a stop is never refused.
        EXPECT_TRUE(step.sendFirst.empty() || step.sendFirst == jogBytes(0)) << "only the stop goes first";
        EXPECT_TRUE(step.send.empty() || step.send != jogBytes(0)) << "the stop never waits its turn";
        for (const std::string* part : {&step.sendFirst, &step.send})
            if (!part->empty()) sent.push_back(*part);
    }
    return sent;
}

TEST(ArrowKeys, EachChangeIsSentOnce) {
    const ArrowKeys none{}, left{.left = true}, up{.up = true}, leftUp{.left = true, .up = true},
        right{.right = true}, down{.down = true}, rightDown{.right = true, .down = true};
    struct Case {
        const char* name;
        std::vector<ArrowKeys> readings;
        std::vector<std::string> sent;
    } cases[] = {
        {"nothing held", {none, none, none}, {}},
        {"held steadily", {up, up, up, up, none, none}, {jogBytes(2), jogBytes(0)}},
        {"left and up together move left", {leftUp, leftUp, none}, {jogBytes(8), jogBytes(0)}},
        {"letting go of left leaves up", {leftUp, up, none}, {jogBytes(8), jogBytes(2), jogBytes(0)}},
        {"up then left joins in", {up, leftUp, leftUp, none}, {jogBytes(2), jogBytes(8), jogBytes(0)}},
        {"right over down", {rightDown, down, none}, {jogBytes(4), jogBytes(1), jogBytes(0)}},
        {"straight from one key to another", {right, left, none}, {jogBytes(4), jogBytes(8), jogBytes(0)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sentForKeys(c.readings), c.sent);
    }
}

TEST(TestCut, RunsTheMachinesPatternAndWaitsForIdle) {
    TestCutSession s(12, 5, false);
    TestCutStep start = s.testButton();
    EXPECT_EQ(start.send, "FC0|FX12,0|!5,0|FH|");
    EXPECT_TRUE(start.enterBusy);
    EXPECT_TRUE(s.testButton().send.empty()) << "a second click while testing sends nothing";
    EXPECT_EQ(s.statusTick().send, std::string("\x1B\x05", 2));
    struct Reply {
        std::string text;
        bool stillBusy;
    } replies[] = {{"1", true}, {"", true}, {"00", true}, {"0,0,0", true}, {"2", false}};
    for (const auto& r : replies) {
        TestCutStep step = s.reply(r.text);
        EXPECT_EQ(s.busy(), r.stillBusy) << '"' << r.text << '"';
        EXPECT_EQ(step.leaveBusy, !r.stillBusy) << '"' << r.text << '"';
    }
    EXPECT_TRUE(s.statusTick().send.empty()) << "no polling once idle";
    EXPECT_FALSE(s.moved()) << "a test cut is not a jog";
    EXPECT_FALSE(s.arrowKeys({.up = true}).send.empty()) << "jogging again once idle";
}

TEST(TestCut, AJogStillHeldIsStoppedBeforeTheTest) {
    const std::string test = "FC0|FX1,0|!2,0|FH|";
    TestCutSession s(1, 2, false);
    s.arrowKeys({.up = true});
    TestCutStep stopped = s.testButton();
    EXPECT_EQ(stopped.sendFirst, jogBytes(0));
    EXPECT_EQ(stopped.send, test);
    s.reply("0");
    EXPECT_EQ(s.arrowKeys({.up = true}).send, jogBytes(2)) << "the key still held moves again after the test";
    EXPECT_EQ(s.arrowKeys({}).sendFirst, jogBytes(0));
    TestCutStep plain = s.testButton();
    EXPECT_EQ(plain.sendFirst, "") << "nothing to stop";
    EXPECT_EQ(plain.send, test);
    s.reply("0");
    s.jogButton(JogCode::Left, true);
    EXPECT_EQ(s.testButton().sendFirst, jogBytes(0));

    // Knife point: the job is not to start under a moving carriage either.
    TestCutSession knife(1, 2, true);
    knife.arrowKeys({.left = true});
    TestCutStep begin = knife.testButton();
    EXPECT_EQ(begin.sendFirst, jogBytes(0));
    EXPECT_EQ(begin.send, "");
    EXPECT_EQ(begin.end, TestCutEnd::Ok);
    TestCutSession released(1, 2, true);
    EXPECT_EQ(released.jogButton(JogCode::Down, true).send, jogBytes(1));
    EXPECT_EQ(released.jogButton(JogCode::Down, false).sendFirst, jogBytes(0));
    TestCutStep confirm = released.testButton();
    EXPECT_EQ(confirm.sendFirst + confirm.send, "") << "stopped already: the carriage stays where it is";
}

TEST(TestCut, ASilentMachineReleasesTheDialogAfterTheTimeOut) {
    TestCutSession s(10, 10, false, 5);
    s.jogButton(JogCode::Left, true);
    s.jogButton(JogCode::Left, false);
    s.testButton();
    for (int tick = 0; tick < 4; ++tick) s.statusTick();
    EXPECT_FALSE(s.mayAbandonTest());
    EXPECT_EQ(s.cancel().end, TestCutEnd::None);
    s.statusTick();
    EXPECT_TRUE(s.mayAbandonTest());
    TestCutStep step = s.cancel();
    EXPECT_EQ(step.end, TestCutEnd::Cancel);
    EXPECT_EQ(step.sendFirst, Home) << "the way home is never refused";
}

TEST(TestCut, ALateIdleReplyClosesTheWayOutAgain) {
    TestCutSession s(10, 10, false, 2);
    s.testButton();
    s.statusTick();
    s.statusTick();
    ASSERT_TRUE(s.mayAbandonTest());
    s.reply("0");
    EXPECT_FALSE(s.busy());
    s.testButton();
    s.statusTick();
    EXPECT_FALSE(s.mayAbandonTest()) << "a new test starts its own time-out";
}

}  // namespace
}  // namespace vantrel
