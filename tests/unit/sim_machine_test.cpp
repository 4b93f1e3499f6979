#include <gtest/gtest.h>

#include "cutdata/commands.h"
#include "model/machine.h"

namespace vantrel::sim {
namespace {

const std::string Status("\x1B\x05", 2);
std::string wire(std::string_view text) { return toWire(text); }

TEST(SimMachine, StatusIsBusyForTheConfiguredTimeAfterEachKindOfJob) {
    const std::string jobs[] = {
        cutJobText(cutHeader({JobPrefix, 0, "", 20000, 29, 4120, 10, 5}), "|M100,100|D200,200"),
        testCutText(12, 5),
        calibrationSquareText("M508.000000,508.000000|D508.000000,3556.000000|"),
    };
    for (const auto& job : jobs) {
        MachineConfig config;
        config.busyMs = 500;
        Machine m(config);
        EXPECT_EQ(m.receive(Status, 0), "0\x03");
        EXPECT_EQ(m.receive(wire(job), 1000), "");
        EXPECT_EQ(m.receive(Status, 1000), "1\x03") << job;
        EXPECT_EQ(m.receive(Status, 1499), "1\x03");
        EXPECT_EQ(m.receive(Status, 1500), "0\x03");
        EXPECT_TRUE(m.anomalies().empty()) << m.anomalies().front();
    }
}

TEST(SimMachine, BusyAtStartAndOnDemandNeverShortensABusySpell) {
    MachineConfig config;
    config.startBusyMs = 300;
    config.busyMs = 1000;
    Machine m(config);
    EXPECT_TRUE(m.busy(0));
    EXPECT_TRUE(m.busy(299));
    EXPECT_FALSE(m.busy(300));
    m.receive(toWire("H|"), 400);
    m.busyFor(500, 100);  // inside the job's spell: changes nothing
    EXPECT_TRUE(m.busy(1399));
    EXPECT_FALSE(m.busy(1400));
    m.busyFor(2000, 50);
    EXPECT_TRUE(m.busy(2049));
    EXPECT_FALSE(m.busy(2050));
    EXPECT_FALSE(Machine().busy(0));
}

TEST(SimMachine, AnswersIdentificationAndSearchesAsConfigured) {
    MachineConfig config;
    config.identification = "  Portrait 1.00  ";
    config.idleStatus = '2';
    config.searchOutcomes = {SearchOutcome::NotFound, SearchOutcome::Found};
    Machine m(config);
    EXPECT_EQ(m.receive(wire("FG|"), 0), "  Portrait 1.00  \x03");
    EXPECT_EQ(m.receive(Status, 0), "2\x03");
    MarkSearchValues v{5, 400, 16, 100, 100, 4000, 6000};
    EXPECT_EQ(m.receive(wire(markSearchText(v)), 0), "    1\x03");
    EXPECT_EQ(m.receive(wire(markSearchText(v)), 0), "    0\x03");
    EXPECT_EQ(m.receive(wire(markSearchText(v)), 0), "    0\x03");  // the last outcome repeats
    EXPECT_EQ(m.searchesAnswered(), 3);
    // Several requests in one write are answered in order.
    EXPECT_EQ(m.receive(Status + wire("FG|") + Status, 0), "2\x03  Portrait 1.00  \x03" "2\x03");
}

TEST(SimMachine, ReplyFaults) {
    Machine m;
    m.faults().neverAnswerIdentify = true;
    EXPECT_EQ(m.receive(wire("FG|"), 0), "");
    m.faults().neverAnswerIdentify = false;
    m.faults().stayBusy = true;
    EXPECT_EQ(m.receive(Status, 1000000), "1\x03");
    m.faults().stayBusy = false;
    m.faults().repliesWithoutEtx = true;
    EXPECT_EQ(m.receive(Status, 0), "0");
    m.faults().garbageReplies = true;
    EXPECT_EQ(m.receive(Status, 0), std::string(GarbageReply));
    m.faults().repliesWithoutEtx = false;
    EXPECT_EQ(m.receive(wire("FG|"), 0), std::string(GarbageReply) + '\x03');
}

TEST(SimMachine, CarriesOutMovesDrawsCurvesAndHome) {
    Machine m;
    m.receive(wire("M10,20|D10,120|D30,120,30,20|H|"), 0);
    const auto& path = m.toolPath();
    ASSERT_EQ(path.size(), 5u);
    EXPECT_FALSE(path[0].down);
    EXPECT_EQ(path[0].to, (ToolPoint{10, 20}));
    EXPECT_TRUE(path[1].down);
    EXPECT_EQ(path[1].to, (ToolPoint{10, 120}));
    EXPECT_EQ(path[3].to, (ToolPoint{30, 20}));
    EXPECT_FALSE(path[4].down);
    EXPECT_EQ(m.position(), (ToolPoint{0, 0}));

    // A cubic ends exactly at its end point, and every piece lies close to it.
    Machine c;
    c.receive(wire("M0,0|BZ1,0,0,0,1000,1000,1000,1000,0|"), 0);
    ASSERT_GT(c.toolPath().size(), 10u);
    EXPECT_EQ(c.position(), (ToolPoint{1000, 0}));
    for (std::size_t i = 1; i < c.toolPath().size(); ++i) {
        const auto& s = c.toolPath()[i];
        EXPECT_TRUE(s.down);
        EXPECT_GE(s.to.x, 0);
        EXPECT_LE(s.to.x, 750.0001);  // the curve's highest x is 3/4 of the control height
    }
    EXPECT_TRUE(c.anomalies().empty());
}

TEST(SimMachine, TestCutIsCutWhereTheCarriageWasJogged) {
    MachineConfig config;
    config.jogStepsPerSecond = 1000;
    Machine m(config);
    m.receive(jogSequence(JogCode::Right), 0);
    m.receive(jogSequence(JogCode::Stop), 500);
    m.receive(jogSequence(JogCode::Down), 600);
    m.receive(jogSequence(JogCode::Stop), 800);
    EXPECT_EQ(m.position(), (ToolPoint{500, 200}));
    m.receive(wire(testCutText(12, 5)), 1000);
    EXPECT_EQ(m.force(), 12);
    EXPECT_EQ(m.speed(), 5);
    bool cutNearCarriage = false;
    for (const auto& s : m.toolPath()) {
        if (s.down) cutNearCarriage = s.from.y >= 500 && s.from.x >= 200;
    }
    EXPECT_TRUE(cutNearCarriage);
    EXPECT_EQ(m.position(), (ToolPoint{500, 200}));
    EXPECT_TRUE(m.busy(1001));
}

TEST(SimMachine, RecordsEverythingAndFlagsWhatARealMachineWouldNotTake) {
    Machine m;
    std::string bytes = wire("FN0|FJ|") + Status + std::string("Q7\x03M1\x03|\x03\x1B\x07", 10);
    m.receive(bytes.substr(0, 5), 0);
    m.receive(bytes.substr(5), 0);
    EXPECT_EQ(m.received(), bytes);
    EXPECT_EQ(m.commandLog(), (std::vector<std::string>{"FN0", "FJ", "<ESC ENQ>", "Q7", "M1", "|", "<ESC 07>"}));
    ASSERT_EQ(m.anomalies().size(), 5u);
    EXPECT_NE(m.anomalies()[0].find("'|'"), std::string::npos);
    EXPECT_NE(m.anomalies()[1].find("unknown command: Q7"), std::string::npos);
    EXPECT_NE(m.anomalies()[2].find("malformed parameters: M1"), std::string::npos);
    m.clearRecord();
    EXPECT_TRUE(m.received().empty());
    EXPECT_TRUE(m.commandLog().empty());
    EXPECT_TRUE(m.anomalies().empty());
}

TEST(SimMachine, UnpluggingDropsAHalfReceivedCommand) {
    Machine m;
    m.receive("M100,", 0);
    m.connectionLost(10);
    EXPECT_EQ(m.receive(wire("M1,2|"), 20), "");
    EXPECT_EQ(m.commandLog(), (std::vector<std::string>{"M1,2"}));
}

}  // namespace
}  // namespace vantrel::sim
