#include "session/cut_session.h"

#include <algorithm>

#include "cutdata/commands.h"
#include "device/identification.h"
#include "device/machine_replies.h"
#include "operations/mark_search.h"

namespace vantrel {

CutSession::CutSession(MachineLink& link, const std::atomic<bool>& quit, SessionLimits limits)
    : link_(link), quit_(quit), limits_(limits) {}

LinkStatus CutSession::writeCommand(std::string_view wire) {
    std::size_t done = 0;
    std::int64_t lastProgress = link_.nowMs();
    while (done < wire.size()) {
        const LinkTransfer t = link_.write(wire.data() + done, wire.size() - done, limits_.chunkTimeoutMs);
        done += t.bytes;
        if (t.status == LinkStatus::Lost) return LinkStatus::Lost;
        if (t.bytes > 0) lastProgress = link_.nowMs();
        else if (link_.nowMs() - lastProgress >= limits_.stallMs) return LinkStatus::TimedOut;
    }
    return LinkStatus::Ok;
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
        const LinkStatus written = writeCommand(StatusRequest);
        if (written == LinkStatus::Lost) return SessionEnd::LinkLost;
        if (written == LinkStatus::TimedOut) return SessionEnd::MachineSilent;
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
    const LinkStatus written = writeCommand(toWire(request.text()));
    if (written == LinkStatus::Lost) return SessionEnd::LinkLost;
    if (written == LinkStatus::TimedOut) return SessionEnd::MachineSilent;
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
    auto carryOut = [&](const MarkSearchStep& step) -> SessionEnd {
        if (step.sendSearchCommand) {
            const LinkStatus written = writeCommand(command);
            if (written == LinkStatus::Lost) return SessionEnd::LinkLost;
            if (written == LinkStatus::TimedOut) return SessionEnd::MachineSilent;
        }
        return SessionEnd::Done;
    };
    auto goHome = [&] { return writeCommand(toWire("H|")) == LinkStatus::Lost ? SessionEnd::LinkLost : SessionEnd::Done; };

    if (SessionEnd e = carryOut(search.open()); e != SessionEnd::Done) return e;
    while (search.end() == MarkSearchEnd::None) {
        if (quitRequested()) {
            search.cancel();
            return goHome() == SessionEnd::LinkLost ? SessionEnd::LinkLost : SessionEnd::Interrupted;
        }
        const std::int64_t now = link_.nowMs();
        if (now >= deadline) {
            goHome();
            return SessionEnd::MachineSilent;
        }
        if (search.pollsStatus() && now >= nextPoll) {
            // The machine's one-character answers to these are ignored.
            if (writeCommand(StatusRequest) == LinkStatus::Lost) return SessionEnd::LinkLost;
            nextPoll += MarkSearchStatusPeriodMs;
        }
        std::int64_t wait = std::min(deadline - link_.nowMs(), limits_.readStepMs);
        if (search.pollsStatus()) wait = std::min(wait, nextPoll - link_.nowMs());
        bool lost = false;
        for (const std::string& reply : readReplies(wait, lost)) {
            if (SessionEnd e = carryOut(search.reply(reply)); e != SessionEnd::Done) return e;
            if (search.end() != MarkSearchEnd::None) break;
        }
        if (lost && search.end() == MarkSearchEnd::None) {
            search.linkLost();
            return SessionEnd::LinkLost;
        }
    }
    if (search.end() == MarkSearchEnd::Found) return SessionEnd::Done;
    // Not found: the carriage goes home whatever the answer.
    if (goHome() == SessionEnd::LinkLost) return SessionEnd::LinkLost;
    return continueAnyway() ? SessionEnd::Done : SessionEnd::NotFoundDeclined;
}

SessionEnd CutSession::send(std::string& job, const std::function<void(std::size_t, std::size_t)>& progress) {
    toWireInPlace(job);
    total_ = job.size();
    sent_ = 0;
    std::int64_t lastProgress = link_.nowMs();
    while (sent_ < total_) {
        if (quitRequested()) return SessionEnd::Interrupted;
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
        if (t.bytes == 0 && link_.nowMs() - lastProgress >= limits_.stallMs) return SessionEnd::Stalled;
    }
    return SessionEnd::Done;
}

}  // namespace vantrel
