#include <gtest/gtest.h>

#include "model/settings.h"

namespace vantrel::sim {
namespace {

TEST(SimSettings, CommandLineSetsEverySetting) {
    SimSettings s;
    std::string error = parseArguments({"--pipe", "\\\\.\\pipe\\t1", "--identification", "  SILHOUETTE SD\\x20",
                                        "--busy-ms", "250", "--search", "not-found,found", "--stay-busy",
                                        "--no-etx", "0", "--slow", "--replug-after-ms", "300",
                                        "--unplug-after-bytes", "4096", "--device-id", "MANUFACTURER:Graphtec;",
                                        "--idle-status", "\\x00", "--out", "C:\\rec", "--start-busy-ms", "700",
                                        "--reply-delay-ms", "650"},
                                       s);
    ASSERT_EQ(error, "");
    EXPECT_EQ(s.pipeBase, "\\\\.\\pipe\\t1");
    EXPECT_EQ(s.machine.identification, "  SILHOUETTE SD ");
    EXPECT_EQ(s.machine.busyMs, 250);
    EXPECT_EQ(s.machine.searchOutcomes, (std::vector<SearchOutcome>{SearchOutcome::NotFound, SearchOutcome::Found}));
    EXPECT_TRUE(s.faults.stayBusy);
    EXPECT_FALSE(s.faults.repliesWithoutEtx);
    EXPECT_EQ(s.link.bytesPerSecond, MachineLinkBytesPerSecond);
    EXPECT_EQ(s.link.replugAfterMs, 300);
    EXPECT_EQ(s.link.unplugAfterBytes, 4096);
    EXPECT_EQ(s.deviceId, "MANUFACTURER:Graphtec;");
    EXPECT_EQ(s.machine.idleStatus, '\0');
    EXPECT_EQ(s.outputFolder, "C:\\rec");
    EXPECT_EQ(s.machine.startBusyMs, 700);
    EXPECT_EQ(s.link.replyDelayMs, 650);
}

TEST(SimSettings, BadInputIsRefusedWithTheCulpritNamed) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--busy-ms", "-5"}, "bad value for busy-ms: -5"},
        {{"--busy-ms", "12x"}, "bad value for busy-ms: 12x"},
        {{"--search", "found,maybe"}, "bad value for search: found,maybe"},
        {{"--search", ""}, "bad value for search: "},
        {{"--idle-status", "1"}, "bad value for idle-status: 1"},
        {{"--identification", "bad\\q"}, "bad value for identification: bad\\q"},
        {{"--identification", "cut\\x0"}, "bad value for identification: cut\\x0"},
        {{"--colour", "red"}, "unknown setting: colour"},
        {{"--pipe"}, "missing value for --pipe"},
        {{"stray"}, "unexpected argument: stray"},
        {{"--garbage", "perhaps"}, "bad value for garbage: perhaps"},
        {{"--reply-delay-ms", "-1"}, "bad value for reply-delay-ms: -1"},
        {{"--help"}, "help"},
    };
    for (const auto& c : cases) {
        SimSettings s;
        EXPECT_EQ(parseArguments(c.args, s), c.error);
    }
}

TEST(SimSettings, UnplugByBytesFiresOnceAtTheExactByte) {
    LinkFaults faults;
    LinkPlan plan;
    faults.unplugAfterBytes = 10;
    EXPECT_EQ(plan.admit(faults, 4), 4u);
    plan.took(faults, 4);
    EXPECT_FALSE(plan.unplugDue(faults, 0));
    EXPECT_EQ(plan.admit(faults, 512), 6u);
    plan.took(faults, 6);
    EXPECT_TRUE(plan.unplugDue(faults, 0));
    EXPECT_FALSE(plan.unplugDue(faults, 0));
    EXPECT_EQ(plan.admit(faults, 512), 512u);
    EXPECT_EQ(plan.totalBytes(), 10u);
}

TEST(SimSettings, UnplugAtATimeAndReplugAfterADelay) {
    SimSettings s;
    LinkPlan plan;
    ASSERT_EQ(applySetting(s, "unplug-at-ms", "100", 1000), "");
    ASSERT_EQ(applySetting(s, "replug-after-ms", "50", 1000), "");
    EXPECT_FALSE(plan.unplugDue(s.link, 1099));
    EXPECT_TRUE(plan.unplugDue(s.link, 1100));
    plan.unplugged(s.link, 1100);
    EXPECT_FALSE(plan.replugDue(1149));
    EXPECT_TRUE(plan.replugDue(1150));
    plan.plugged();
    EXPECT_FALSE(plan.replugDue(5000));
    // Without a replug delay the cable stays out until told.
    ASSERT_EQ(applySetting(s, "replug-after-ms", "-1", 0), "");
    plan.unplugged(s.link, 2000);
    EXPECT_FALSE(plan.replugDue(1000000));
}

}  // namespace
}  // namespace vantrel::sim
