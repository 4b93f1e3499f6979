#include "session/cut_session.h"

#include <algorithm>

#include "cutdata/commands.h"
#include "device/identification.h"
#include "device/machine_replies.h"
#include "operations/mark_search.h"

namespace vantrel {

CutSession::CutSession(MachineLink& link, const std::atomic<bool>& quit, SessionLimits limits)
    : link_(link), quit_(quit), limits_(limits) {}

SessionEnd CutSession::writeCommand(std::string_view wire) {
    std::size_t done = 0;
    std::int64_t lastProgress = link_.nowMs();
    for (;;) {
        const LinkTransfer t = link_.write(wire.data() + done, wire.size() - done, limits_.chunkTimeoutMs);
        done += std::min(t.bytes, wire.size() - done);
        if (t.status == LinkStatus::Lost) return SessionEnd::LinkLost;
        if (done == wire.size()) return SessionEnd::Done;
        // Asked between transfers: a machine that takes nothing holds a quit
        // request one transfer's time-out at most, not the stall limit.
        if (quitRequested()) return SessionEnd::Interrupted;
        if (t.bytes > 0) lastProgress = link_.nowMs();
        else if (link_.nowMs() - lastProgress >= limits_.stallMs) return SessionEnd::Stalled;
    }
}

SessionEnd CutSession::goHome() {
    CommandStream home;
    home.home();
    return writeCommand(toWire(home.text()));
}

std::vector<std::string> CutSession::readReplies(std::int64_t waitMs, bool& lost) {
    char buffer[512];
    const LinkTransfer t = link_.read(buffer, sizeof buffer, std::max<std::int64_t>(waitMs, 1));
    lost = t.status == LinkStatus::Lost;
    return framer_.feed(buffer, t.bytes);
}

SessionEnd CutSession::waitUntilIdle() {
    const std::int64_t deadline = link_.nowMs() + limits_.idleWaitMs;
    bool heardBusy = false;
    for (;;) {
        if (quitRequested()) return SessionEnd::Interrupted;
        const std::int64_t now = link_.nowMs();
        if (now >= deadline) return heardBusy ? SessionEnd::MachineBusy : SessionEnd::MachineSilent;
        if (SessionEnd e = writeCommand(StatusRequest); e != SessionEnd::Done) return e;
        const std::int64_t periodEnd = std::min(link_.nowMs() + limits_.statusPeriodMs, deadline);
        while (link_.nowMs() < periodEnd && !quitRequested()) {
            bool lost = false;
            for (const std::string& reply : readReplies(std::min(periodEnd - link_.nowMs(), limits_.readStepMs), lost)) {
                if (isIdleReply(reply)) return SessionEnd::Done;
                heardBusy = heardBusy || isBusyReply(reply);
            }
            if (lost) return SessionEnd::LinkLost;
        }
    }
}

SessionEnd CutSession::identify() {
    CommandStream request;
    request.identify();
    if (SessionEnd e = writeCommand(toWire(request.text())); e != SessionEnd::Done) return e;
    const std::int64_t deadline = link_.nowMs() + limits_.replyWaitMs;
    while (link_.nowMs() < deadline) {
        if (quitRequested()) return SessionEnd::Interrupted;
        bool lost = false;
        for (const std::string& reply : readReplies(std::min(deadline - link_.nowMs(), limits_.readStepMs), lost)) {
            // One character is a late status answer, as the dialog reads it.
            if (reply.size() < 2) continue;
            identification_ = std::string(trimReply(reply));
            model_ = modelFromIdentification(identification_);
            return SessionEnd::Done;
        }
        if (lost) return SessionEnd::LinkLost;
    }
    return SessionEnd::MachineSilent;
}

SessionEnd CutSession::searchMarks(const std::string& searchCommand, const std::function<bool()>& continueAnyway) {
    const std::string command = toWire(searchCommand);
    MarkSearch search;
    std::int64_t nextPoll = link_.nowMs() + MarkSearchStatusPeriodMs;
    const std::int64_t deadline = link_.nowMs() + limits_.searchWaitMs;
    // Carries out a step of the search; Done while it goes on.
    auto carryOut = [&](const MarkSearchStep& step) {
        return step.sendSearchCommand ? writeCommand(command) : SessionEnd::Done;
    };
    // A quit request, wherever the search noticed it, cancels the search and
    // sends the carriage home: one transfer's try, as the user is leaving.
    auto ended = [&](SessionEnd e) {
        if (e != SessionEnd::Interrupted) return e;
        search.cancel();
        return goHome() == SessionEnd::LinkLost ? SessionEnd::LinkLost : SessionEnd::Interrupted;
    };

    if (SessionEnd e = carryOut(search.open()); e != SessionEnd::Done) return ended(e);
    while (search.end() == MarkSearchEnd::None) {
        if (quitRequested()) return ended(SessionEnd::Interrupted);
        const std::int64_t now = link_.nowMs();
        if (now >= deadline) {
            return goHome() == SessionEnd::Interrupted ? SessionEnd::Interrupted : SessionEnd::MachineSilent;
        }
        if (search.pollsStatus() && now >= nextPoll) {
            // The machine's one-character answers to these are ignored, and
            // so is a poll it does not take: the search's own limit decides.
            const SessionEnd polled = writeCommand(StatusRequest);
            if (polled == SessionEnd::LinkLost || polled == SessionEnd::Interrupted) return ended(polled);
            nextPoll += MarkSearchStatusPeriodMs;
        }
        std::int64_t wait = std::min(deadline - link_.nowMs(), limits_.readStepMs);
        if (search.pollsStatus()) wait = std::min(wait, nextPoll - link_.nowMs());
        bool lost = false;
        for (const std::string& reply : readReplies(wait, lost)) {
            if (SessionEnd e = carryOut(search.reply(reply)); e != SessionEnd::Done) return ended(e);
            if (search.end() != MarkSearchEnd::None) break;
        }
        if (lost && search.end() == MarkSearchEnd::None) {
            search.linkLost();
            return SessionEnd::LinkLost;
        }
    }
    if (search.end() == MarkSearchEnd::Found) return SessionEnd::Done;
    // Not found: the carriage goes home whatever the answer; the question is
    // asked even when the machine did not take it within the stall limit.
    const SessionEnd home = goHome();
    if (home == SessionEnd::LinkLost || home == SessionEnd::Interrupted) return home;
    return continueAnyway() ? SessionEnd::Done : SessionEnd::NotFoundDeclined;
}

SessionEnd CutSession::send(std::string& job, const std::function<void(std::size_t, std::size_t)>& progress) {
    toWireInPlace(job);
    total_ = job.size();
    sent_ = 0;
    std::int64_t lastProgress = link_.nowMs();
    while (sent_ < total_) {
        if (quitRequested()) return endOnCommandBoundary(job, SessionEnd::Interrupted);
        const std::size_t piece = std::min(limits_.chunkBytes, total_ - sent_);
        const LinkTransfer t = link_.write(job.data() + sent_, piece, limits_.chunkTimeoutMs);
        // Whatever the outcome, the bytes the link took are sent: the next
        // piece begins after them.
        sent_ += std::min(t.bytes, piece);
        if (t.bytes > 0) {
            lastProgress = link_.nowMs();
            if (progress) progress(sent_, total_);
        }
        if (t.status == LinkStatus::Lost) return SessionEnd::LinkLost;
        if (t.bytes == 0 && link_.nowMs() - lastProgress >= limits_.stallMs)
            return endOnCommandBoundary(job, SessionEnd::Stalled);
    }
    return SessionEnd::Done;
}

SessionEnd CutSession::endOnCommandBoundary(const std::string& job, SessionEnd end) {
    if (sent_ == 0 || job[sent_ - 1] == ETX) return end;
    const std::size_t etx = job.find(ETX, sent_);
    const std::size_t boundary = etx == std::string::npos ? total_ : etx + 1;
    const std::int64_t deadline = link_.nowMs() + limits_.commandEndWaitMs;
    while (sent_ < boundary) {
        const LinkTransfer t = link_.write(job.data() + sent_, boundary - sent_, limits_.chunkTimeoutMs);
        sent_ += std::min(t.bytes, boundary - sent_);
        if (t.status == LinkStatus::Lost) return SessionEnd::LinkLost;
        if (sent_ < boundary && link_.nowMs() >= deadline) break;
    }
    return end;
}

}  // namespace vantrel
