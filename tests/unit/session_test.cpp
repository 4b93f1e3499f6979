// The cut session against the simulated machine's model, in process: a link
// whose clock only moves when the session waits, so every time limit is exact
// and no test sleeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "cutdata/commands.h"
#include "model/machine.h"
#include "operations/mark_search.h"
#include "session/cut_session.h"
#include "session/link_trace.h"

namespace vantrel {
namespace {

class SimulatedLink : public MachineLink {
public:
    explicit SimulatedLink(sim::Machine& machine) : machine_(machine) {}

    // Faults, counted in bytes the machine has taken.
    std::size_t takesAtMost = SIZE_MAX;      // stops taking data after this many
    std::size_t losesAfter = SIZE_MAX;       // the cable is pulled after this many
    std::size_t piecePerWrite = SIZE_MAX;    // a slow machine: each write times out after this many
    std::size_t quitAfter = SIZE_MAX;        // Ctrl-C after this many
    std::int64_t quitIntoStallMs = -1;       // Ctrl-C this long after it first took nothing
    std::atomic<bool>* quit = nullptr;
    bool mute = false;                       // replies never arrive

    LinkTransfer write(const char* data, std::size_t size, std::int64_t timeoutMs) override {
        if (lost_) return {0, LinkStatus::Lost};
        std::size_t take = std::min({size, piecePerWrite, takesAtMost - taken_});
        bool losing = false;
        if (taken_ + take >= losesAfter) {
            take = losesAfter - taken_;
            losing = true;
        }
        std::string replies = machine_.receive(std::string_view(data, take), now_);
        if (!mute) pending_ += replies;
        taken_ += take;
        if (quit && taken_ >= quitAfter) quit->store(true);
        if (losing) {
            lost_ = true;
            machine_.connectionLost(now_);
            return {take, LinkStatus::Lost};
        }
        if (take == size) return {take, LinkStatus::Ok};
        if (take == 0 && stalledAt_ < 0) stalledAt_ = now_;
        advance(timeoutMs);
        return {take, LinkStatus::TimedOut};
    }

    LinkTransfer read(char* buffer, std::size_t size, std::int64_t timeoutMs) override {
        if (lost_) return {0, LinkStatus::Lost};
        if (pending_.empty()) {
            advance(timeoutMs);
            return {0, LinkStatus::TimedOut};
        }
        const std::size_t n = std::min(size, pending_.size());
        std::memcpy(buffer, pending_.data(), n);
        pending_.erase(0, n);
        return {n, LinkStatus::Ok};
    }

    std::int64_t nowMs() override { return now_; }
    std::int64_t quitAtMs() const { return stalledAt_ + quitIntoStallMs; }

private:
    // The signal lands while the transfer waits.
    void advance(std::int64_t ms) {
        now_ += ms;
        if (quit && quitIntoStallMs >= 0 && stalledAt_ >= 0 && now_ >= quitAtMs()) quit->store(true);
    }

    sim::Machine& machine_;
    std::int64_t now_ = 0;
    std::int64_t stalledAt_ = -1;
    std::size_t taken_ = 0;
    bool lost_ = false;
    std::string pending_;
};

std::string jobText() {
    std::string body;
    for (int i = 0; i < 2000; ++i) body += "|M" + std::to_string(i) + ",100|D" + std::to_string(i) + ",900";
    return cutJobText(cutHeader({JobPrefix, 0, "", 20000, 29, 4120, 10, 5}), body);
}

struct Fixture {
    sim::Machine machine;
    SimulatedLink link{machine};
    std::atomic<bool> quit{false};
    SessionLimits limits;
    CutSession session{link, quit, limits};
    explicit Fixture(sim::MachineConfig config = {}, SessionLimits l = {})
        : machine(std::move(config)), limits(l), session(link, quit, l) {}
};

TEST(CutSession, IdentifiesTheModelAndSendsTheJobWhole) {
    const struct {
        const char* identification;
        int model;
    } cases[] = {{"CAMEO V1.10    ", 2}, {" Portrait 1.00 ", 3}, {"SILHOUETTE SD", 1}, {"CAME", 1}};
    for (const auto& c : cases) {
        sim::MachineConfig config;
        config.identification = c.identification;
        Fixture f(config);
        ASSERT_EQ(f.session.waitUntilIdle(), SessionEnd::Done);
        ASSERT_EQ(f.session.identify(), SessionEnd::Done);
        EXPECT_EQ(f.session.model(), c.model) << c.identification;
        f.machine.clearRecord();
        std::string job = jobText();
        const std::string wire = toWire(job);
        std::size_t lastProgress = 0;
        EXPECT_EQ(f.session.send(job, [&](std::size_t sent, std::size_t total) {
            EXPECT_GT(sent, lastProgress);
            EXPECT_EQ(total, wire.size());
            lastProgress = sent;
        }), SessionEnd::Done);
        EXPECT_EQ(f.machine.received(), wire);
        EXPECT_EQ(f.session.sent(), wire.size());
        EXPECT_TRUE(f.machine.anomalies().empty()) << f.machine.anomalies().front();
    }
}

TEST(CutSession, BusySilentOrStillBusyMachines) {
    {  // busy at first, then idle: waits for it, no longer
        sim::MachineConfig config;
        config.startBusyMs = 1000;
        Fixture f(config);
        EXPECT_EQ(f.session.waitUntilIdle(), SessionEnd::Done);
        EXPECT_GE(f.link.nowMs(), 1000);
        EXPECT_LT(f.link.nowMs(), 1000 + 2 * f.limits.statusPeriodMs);
    }
    {  // never idle: reported at the limit
        Fixture f;
        f.machine.faults().stayBusy = true;
        EXPECT_EQ(f.session.waitUntilIdle(), SessionEnd::MachineBusy);
        EXPECT_GE(f.link.nowMs(), f.limits.idleWaitMs);
        EXPECT_LT(f.link.nowMs(), f.limits.idleWaitMs + f.limits.statusPeriodMs);
    }
    {  // no reply at all
        Fixture f;
        f.link.mute = true;
        EXPECT_EQ(f.session.waitUntilIdle(), SessionEnd::MachineSilent);
    }
    {  // idle, but the identification never comes
        Fixture f;
        f.machine.faults().neverAnswerIdentify = true;
        EXPECT_EQ(f.session.waitUntilIdle(), SessionEnd::Done);
        EXPECT_EQ(f.session.identify(), SessionEnd::MachineSilent);
        EXPECT_LT(f.link.nowMs(), f.limits.replyWaitMs + f.limits.statusPeriodMs + f.limits.readStepMs);
    }
}

TEST(CutSession, MarkSearchFoundOrNotFoundThenTheAnswer) {
    MarkSearchValues v{5, 400, 16, 100, 100, 4000, 6000};
    const std::string command = markSearchText(v);
    const std::string home = toWire("H|");
    auto endsWith = [](const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    };
    {  // found at once: no question, the carriage stays
        Fixture f;
        int asked = 0;
        EXPECT_EQ(f.session.searchMarks(command, [&] { return ++asked, false; }), SessionEnd::Done);
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(f.machine.searchesAnswered(), 1);
        EXPECT_FALSE(endsWith(f.machine.received(), home));
    }
    {  // not found, then found on the retry
        sim::MachineConfig config;
        config.searchOutcomes = {sim::SearchOutcome::NotFound, sim::SearchOutcome::Found};
        Fixture f(config);
        int asked = 0;
        EXPECT_EQ(f.session.searchMarks(command, [&] { return ++asked, false; }), SessionEnd::Done);
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(f.machine.searchesAnswered(), 2);
    }
    for (bool yes : {true, false}) {  // not found twice: home, then the question decides
        sim::MachineConfig config;
        config.searchOutcomes = {sim::SearchOutcome::NotFound};
        Fixture f(config);
        int asked = 0;
        const SessionEnd end = f.session.searchMarks(command, [&] {
            ++asked;
            EXPECT_TRUE(endsWith(f.machine.received(), home));
            return yes;
        });
        EXPECT_EQ(end, yes ? SessionEnd::Done : SessionEnd::NotFoundDeclined);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(f.machine.searchesAnswered(), MarkSearchTries);
    }
}

TEST(CutSession, FaultsWhileSending) {
    SessionLimits small;
    small.chunkBytes = 1000;  // pieces that faults split
    const std::string wire = toWire(jobText());
    {  // a slow machine times out within every piece: all of it, in order, once
        Fixture f({}, small);
        f.link.piecePerWrite = 700;
        std::string job = jobText();
        EXPECT_EQ(f.session.send(job, nullptr), SessionEnd::Done);
        EXPECT_EQ(f.machine.received(), wire);
    }
    {  // stops taking data in the middle of a piece
        Fixture f({}, small);
        f.link.takesAtMost = 2500;
        std::string job = jobText();
        EXPECT_EQ(f.session.send(job, nullptr), SessionEnd::Stalled);
        EXPECT_EQ(f.session.sent(), 2500u);
        EXPECT_EQ(f.machine.received(), wire.substr(0, 2500));
        EXPECT_GE(f.link.nowMs(), small.stallMs);
    }
    {  // the cable pulled in the middle of a piece
        Fixture f({}, small);
        f.link.losesAfter = 4321;
        std::string job = jobText();
        EXPECT_EQ(f.session.send(job, nullptr), SessionEnd::LinkLost);
        EXPECT_EQ(f.session.sent(), 4321u);
        EXPECT_EQ(f.session.total(), wire.size());
        EXPECT_EQ(f.machine.received(), wire.substr(0, 4321));
    }
    {  // Ctrl-C: stops at the next piece, once the command in flight is
       // whole, having sent only what it says
        Fixture f({}, small);
        f.link.quit = &f.quit;
        f.link.quitAfter = 3000;
        std::string job = jobText();
        const std::size_t boundary = wire.find(ETX, 2999) + 1;
        ASSERT_GT(boundary, 3000u);  // the piece ends inside a command
        EXPECT_EQ(f.session.send(job, nullptr), SessionEnd::Interrupted);
        EXPECT_EQ(f.session.sent(), boundary);
        EXPECT_EQ(f.machine.received(), wire.substr(0, boundary));
    }
    {  // lost or interrupted before the job
        Fixture f;
        f.link.losesAfter = 1;
        EXPECT_EQ(f.session.waitUntilIdle(), SessionEnd::LinkLost);
        Fixture g;
        g.quit = true;
        EXPECT_EQ(g.session.waitUntilIdle(), SessionEnd::Interrupted);
        EXPECT_EQ(g.session.searchMarks("TB23,1,1|", [] { return true; }), SessionEnd::Interrupted);
    }
}

// A machine that takes nothing (paused, its buffer full) at each stage, and
// Ctrl-C 1.1 s into it: the session ends within one transfer's time-out (the
// mark search's, one more: the carriage's way home is tried once), not at the
// stall limit.
TEST(CutSession, AQuitEndsEveryWaitOnAMachineThatTakesNothing) {
    const std::string search = markSearchText({5, 400, 16, 100, 100, 4000, 6000});
    std::size_t beforeHome = 0;  // what a not-found search sends before "H"
    {
        sim::MachineConfig config;
        config.searchOutcomes = {sim::SearchOutcome::NotFound};
        Fixture f(config);
        f.session.searchMarks(search, [] { return false; });
        beforeHome = f.machine.received().size() - toWire("H|").size();
    }
    enum Stage { Idle, Identification, MarkSearch, WayHome, Sending };
    const struct {
        Stage stage;
        std::size_t takes;
        const char* name;
    } cases[] = {{Idle, 0, "idle wait"},
                 {Identification, StatusRequest.size(), "identification"},
                 {MarkSearch, 0, "mark search"},
                 {WayHome, beforeHome, "way home"},
                 {Sending, 3000, "sending"}};
    for (const auto& c : cases) {
        sim::MachineConfig config;
        if (c.stage == WayHome) config.searchOutcomes = {sim::SearchOutcome::NotFound};
        Fixture f(config);
        f.link.takesAtMost = c.takes;
        f.link.quit = &f.quit;
        f.link.quitIntoStallMs = 1100;
        bool asked = false;
        SessionEnd end = SessionEnd::Done;
        std::string job = jobText();
        switch (c.stage) {
            case Idle: end = f.session.waitUntilIdle(); break;
            case Identification:
                ASSERT_EQ(f.session.waitUntilIdle(), SessionEnd::Done);
                end = f.session.identify();
                break;
            case MarkSearch:
            case WayHome: end = f.session.searchMarks(search, [&] { return asked = true; }); break;
            case Sending: end = f.session.send(job, nullptr); break;
        }
        EXPECT_EQ(end, SessionEnd::Interrupted) << c.name;
        EXPECT_FALSE(asked) << c.name;
        // Sending tries to finish the command in flight a while longer.
        const std::int64_t bound = f.limits.chunkTimeoutMs * (c.stage == MarkSearch ? 2 : 1) +
                                   (c.stage == Sending ? f.limits.commandEndWaitMs : 0);
        EXPECT_LE(f.link.nowMs() - f.link.quitAtMs(), bound) << c.name;
        EXPECT_EQ(f.machine.received().size(), c.takes) << c.name;
    }
    {  // no quit: a command the machine never takes is reported at the stall limit
        Fixture f;
        f.link.takesAtMost = 0;
        EXPECT_EQ(f.session.waitUntilIdle(), SessionEnd::Stalled);
        EXPECT_GE(f.link.nowMs(), f.limits.stallMs);
        EXPECT_LT(f.link.nowMs(), f.limits.stallMs + f.limits.chunkTimeoutMs);
    }
}

// A trace holds exactly what crossed the link, each way, in order, and reads
// back byte for byte, whatever the bytes; a line it cannot read is named.
TEST(LinkTrace, HoldsWhatCrossedAndReadsBack) {
    Fixture f;
    f.link.piecePerWrite = 700;  // transfers the machine takes in part are traced as taken
    std::ostringstream text;
    LinkTrace trace(text, f.link.nowMs());
    trace.device(0x0B4D, 0x113A, f.link.nowMs());
    TracingLink traced(f.link, trace);
    CutSession session(traced, f.quit, f.limits);
    ASSERT_EQ(session.waitUntilIdle(), SessionEnd::Done);
    ASSERT_EQ(session.identify(), SessionEnd::Done);
    std::string job = jobText();
    ASSERT_EQ(session.send(job, [](std::size_t, std::size_t) {}), SessionEnd::Done);
    std::string error, toMachine, fromMachine;
    const std::vector<TraceEntry> entries = parseTrace(text.str(), error);
    ASSERT_EQ(error, "");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().kind, TraceEntry::Kind::Usb);
    EXPECT_EQ(entries.front().bytes, "0b4d:113a");
    for (const TraceEntry& e : entries) {
        if (e.kind == TraceEntry::Kind::ToMachine) toMachine += e.bytes;
        if (e.kind == TraceEntry::Kind::FromMachine) fromMachine += e.bytes;
    }
    EXPECT_EQ(toMachine, f.machine.received());
    EXPECT_EQ(fromMachine, std::string("0\x03") + "CAMEO V1.10    \x03");
    EXPECT_GT(entries.back().ms, 0);  // the slow machine's time-outs count

    std::string every, back;
    for (int i = 0; i < 256; ++i) every += static_cast<char>(i);
    const std::string escaped = traceEscape(every);
    EXPECT_EQ(escaped.find_first_of(std::string("\x00\n\r\x1b\x7f", 5)), std::string::npos);
    ASSERT_TRUE(traceUnescape(escaped, back));
    EXPECT_EQ(back, every);
    for (const char* bad : {"12 > \\x1", "12 > \\q", "x > A", "12 <> A", "12", "-5 > A", "1000000000001 > A"}) {
        parseTrace(std::string("# a trace\n0 usb 0b4d:113a\n") + bad + "\n", error);
        EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << bad;
    }
}

}  // namespace
}  // namespace vantrel
