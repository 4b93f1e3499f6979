#include "send_command.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <exception>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "job_summary.h"
#include "cutdata/cutter_model.h"
#include "operations/operation_texts.h"
#include "quit_signals.h"
#include "send_progress.h"
#include "session/cut_session.h"
#include "session/link_trace.h"

namespace vantrel::cli {
namespace {

std::atomic<bool> quitRequested{false};
// While the job is made nothing is held, so a quit request ends the run at once.
std::atomic<bool> makingJob{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

constexpr char InterruptedMakingJob[] = "vantrel-cut: interrupted while making the job; nothing of the job was sent\n";

extern "C" void onInterrupt(int) {
    if (makingJob.load()) {
        // Only async-signal-safe calls here (signal-safety(7)).
        [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, InterruptedMakingJob, sizeof InterruptedMakingJob - 1);
        _exit(ExitInterrupted);
    }
    quitRequested.store(true);
}

// Ctrl-C and the terminating signals ask the session to stop; every wait
// looks at the request at least once per transfer's time-out (250 ms), so the
// device is released and its driver given back on the way out. The handler
// stays until the device is released: a second signal only asks again. The
// USB link holds the signals back during its calls (quit_signals.h); with
// SA_RESTART any other call a signal lands in (a write to the terminal) goes
// on, while poll(), the question's wait, returns early (signal(7)). A closed
// pipe (SIGPIPE) quits as Ctrl-C does: the write that found it failed, which
// leaves the stream failed, so nothing is written to it again. A signal the
// caller ignored (nohup, a background job) stays ignored, as the C library's
// manual advises for handlers installed at start. The old handlers come back
// at the end.
class InterruptGuard {
public:
    InterruptGuard() {
        quitRequested.store(false);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < QuitSignals.size(); ++i) {
            sigaction(QuitSignals[i], nullptr, &old_[i]);
            installed_[i] = old_[i].sa_handler != SIG_IGN;
            if (installed_[i]) sigaction(QuitSignals[i], &action, nullptr);
        }
    }
    ~InterruptGuard() {
        for (std::size_t i = 0; i < QuitSignals.size(); ++i)
            if (installed_[i]) sigaction(QuitSignals[i], &old_[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    std::array<struct sigaction, QuitSignals.size()> old_{};
    std::array<bool, QuitSignals.size()> installed_{};
};

// Standard error closed while SIGPIPE is ignored (so no signal came): the
// failed write is the only news of it, and it ends the run the same way.
void quitIfErrorsClosed() {
    if (std::cerr.bad()) quitRequested.store(true);
}

int fail(int status, const std::string& message) {
    std::cerr << "vantrel-cut: " << message << '\n';
    return status;
}

void say(const std::string& message) { std::cerr << "vantrel-cut: " << message << '\n'; }

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

// A device passed over, in one line of its own.
std::string whyNot(const UsbCandidate& c) {
    const std::string prefix = "passed over: ";
    const std::string why = c.reason.rfind(prefix, 0) == 0 ? c.reason.substr(prefix.size()) : c.reason;
    if (c.failure == UsbFailure::NotFound) return "the device at " + usbAddressText(c) + " is not taken: " + why;
    return why;
}

// The one machine to use, or the exit status and its line.
struct Choice {
    const UsbCandidate* machine = nullptr;
    int status = ExitDone;
    std::string error;
};

Choice choose(const std::vector<UsbCandidate>& found, const std::string& device) {
    Choice choice;
    if (!device.empty()) {
        for (const UsbCandidate& c : found) {
            if (usbAddressText(c) != device) continue;
            if (c.accepted) choice.machine = &c;
            else choice = {nullptr, exitFor(c.failure), whyNot(c)};
            return choice;
        }
        return {nullptr, ExitNoMachine, "no device of vendor 0b4d at " + device + " (see --list)"};
    }
    std::vector<const UsbCandidate*> accepted;
    for (const UsbCandidate& c : found)
        if (c.accepted) accepted.push_back(&c);
    if (accepted.size() == 1) {
        choice.machine = accepted.front();
        return choice;
    }
    if (accepted.size() > 1)
        return {nullptr, ExitNoMachine,
                std::to_string(accepted.size()) + " machines found: pick one with --device BUS:ADDR (see --list)"};
    // None taken: the reason of one that might have been the machine says most.
    for (const UsbCandidate& c : found)
        if (c.failure == UsbFailure::Permission || c.failure == UsbFailure::InUse || c.failure == UsbFailure::Other)
            return {nullptr, exitFor(c.failure), whyNot(c)};
    return {nullptr, ExitNoMachine, "no machine found (see --list)"};
}

std::string narrow(std::wstring_view text) {
    std::string result;
    for (wchar_t c : text) result += static_cast<char>(c);
    return result;
}

// The dialog's question on the terminal; --yes and --no answer it for scripts.
bool askContinue(const CutToolOptions& options) {
    say(narrow(RegMarkNotFoundQuestion).substr(0, narrow(RegMarkNotFoundQuestion).find('\n')));
    if (options.yes || options.no) return options.yes;
    if (!isatty(STDIN_FILENO) || options.design == "-") {
        say("not cutting: no one to ask (answer with --yes or --no)");
        return false;
    }
    const std::string question = narrow(RegMarkNotFoundQuestion);
    std::cerr << question.substr(question.rfind('\n') + 1) << " [y/N] " << std::flush;
    // The terminal gives a line once it is whole; until then the quit
    // request is looked at every 250 ms.
    pollfd in{STDIN_FILENO, POLLIN, 0};
    while (!quitRequested.load()) {
        const int ready = poll(&in, 1, 250);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char line[64] = {};
        if (!std::fgets(line, sizeof line, stdin)) return false;
        return line[0] == 'y' || line[0] == 'Y';
    }
    return false;
}

// Draws the bar (at most ten times a second, and at the end) or plain lines.
class ProgressView {
public:
    ProgressView() : terminal_(isatty(STDERR_FILENO) != 0), start_(std::chrono::steady_clock::now()) {}
    void operator()(std::size_t sent, std::size_t total) {
        const auto now = std::chrono::steady_clock::now();
        if (terminal_) {
            if (sent != total && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
            lastDrawn_ = now;
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
            std::cerr << '\r' << progressBarText(sent, total, elapsed) << std::flush;
            drawn_ = true;
        } else {
            const int tenth = total ? static_cast<int>(sent * 10 / total) : 10;
            if (tenth == lastTenth_) return;
            lastTenth_ = tenth;
            std::cerr << progressLineText(sent, total) << '\n';
        }
        quitIfErrorsClosed();
    }
    // Ends the bar's line before any message.
    void end() {
        if (drawn_) std::cerr << '\n';
        drawn_ = false;
    }

private:
    bool terminal_;
    bool drawn_ = false;
    int lastTenth_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

std::string ofJob(const CutSession& session) {
    return std::to_string(session.sent()) + " of " + std::to_string(session.total()) + " bytes";
}

// The line and status for a session that did not end well. `stage` names
// what was under way; `sending` says whether the job had begun.
// `waitMs` is the stage's time limit.
int sessionFailed(SessionEnd end, const CutSession& session, const SessionLimits& limits, const char* stage,
                  std::int64_t waitMs, bool sending) {
    const std::string seconds = std::to_string((waitMs + 999) / 1000) + " s";
    switch (end) {
        case SessionEnd::LinkLost:
            return fail(ExitConnectionLost, sending ? "the connection was lost after " + ofJob(session)
                                                    : std::string("the connection was lost while ") + stage +
                                                          "; nothing of the job was sent");
        case SessionEnd::MachineBusy:
            return fail(ExitBusyOrSilent, "the machine stayed busy for " + seconds + "; nothing was sent");
        case SessionEnd::MachineSilent:
            return fail(ExitBusyOrSilent, std::string("the machine did not answer within ") + seconds + " while " +
                                              stage + "; nothing of the job was sent");
        case SessionEnd::Stalled: {
            const std::string stalled = std::to_string((limits.stallMs + 999) / 1000) + " s";
            if (!sending)
                return fail(ExitBusyOrSilent, "the machine took no data for " + stalled + " while " + stage +
                                                  "; nothing of the job was sent");
            return fail(ExitStalled, "the machine stopped taking data for " + stalled + " after " + ofJob(session));
        }
        case SessionEnd::NotFoundDeclined:
            return fail(ExitMarksDeclined, "registration marks not found: not cut");
        case SessionEnd::Interrupted:
            if (sending && session.sent() > 0)
                return fail(ExitInterrupted, "interrupted after " + ofJob(session) + "; the machine got part of the job");
            return fail(ExitInterrupted, std::string("interrupted while ") + stage + "; nothing of the job was sent" +
                                             (sending ? " (0 of " + std::to_string(session.total()) + " bytes)" : ""));
        case SessionEnd::Done:
            break;
    }
    return ExitDone;
}

// Each device is claimed while its 1284 id is read, and released before the
// next: a quit request ends the listing between devices.
int listMachines() {
    InterruptGuard interrupts;
    UsbContext usb;
    const std::vector<UsbCandidate> found = usb.discover(quitRequested);
    if (quitRequested.load()) return fail(ExitInterrupted, "interrupted while looking for machines");
    if (found.empty()) {
        std::cout << "no USB device of vendor 0b4d found\n";
        return ExitNoMachine;
    }
    for (const UsbCandidate& c : found) {
        std::cout << usbAddressText(c) << "  0b4d:" << hex4(c.productId) << "  " << c.reason << '\n';
        if (!c.deviceId.empty()) std::cout << "    IEEE 1284 id: " << c.deviceId << '\n';
    }
    return ExitDone;
}

// The search command and job for every model the identification can name, or
// why that model cannot cut the design.
struct ModelJobs {
    static constexpr int First = CutterModelSilhouette, Last = CutterModelPortrait;
    std::array<CutToolStatus, Last - First + 1> status;
    std::array<std::string, Last - First + 1> search, job;
    std::array<std::vector<std::vector<ToolPoint>>, Last - First + 1> marks;  // as the preview draws them
};

// Made before the machine is reached (the model moves the placement and sets
// the limits, so each has its own): a design no model can cut is refused with
// the machine untouched, and once it is claimed only the sending is left.
CutToolStatus makeJobs(PreparedCut& cut, ModelJobs& jobs) {
    CutToolStatus any;
    for (int model = ModelJobs::First; model <= ModelJobs::Last; ++model) {
        const std::size_t k = static_cast<std::size_t>(model - ModelJobs::First);
        CutToolStatus& status = jobs.status[k];
        status.ok = true;
        if (cut.printAndCut()) status = cut.searchCommand(model, jobs.search[k]), jobs.marks[k] = cut.marks();
        if (status.ok) status = cut.job(model, jobs.job[k]);
        if (!any.ok && (status.ok || any.error.empty())) any = status;
    }
    return any;
}

// What overhangs when the job fits no model the machine may turn out to be
// (said as for the CAMEO, the common one), else empty: such a job is refused
// before the machine is reached. One that fits some model waits for the
// identification, which names the model and so its limits.
std::string overhangOnEveryModel(const CutToolOptions& options, const ModelJobs& jobs, const DesignFacts& design) {
    std::string said;
    for (int model = ModelJobs::First; model <= ModelJobs::Last; ++model) {
        const std::size_t k = static_cast<std::size_t>(model - ModelJobs::First);
        if (!jobs.status[k].ok) continue;
        DesignFacts facts = design;
        facts.marks = jobs.marks[k];
        JobView view(options);
        view.setExtent(jobs.status[k].extent);
        std::string beyond = view.overhang(facts);
        if (beyond.empty()) return {};
        if (said.empty() || model == CutterModelCameo) said = std::move(beyond);
    }
    return said;
}

int sendPrepared(const CutToolOptions& options, ModelJobs& jobs, const DesignFacts& design, LinkTrace* trace) {
    UsbContext usb;
    usb.setTrace(trace);
    const std::vector<UsbCandidate> found = usb.discover(quitRequested);
    if (quitRequested.load())
        return fail(ExitInterrupted, "interrupted while looking for the machine; nothing of the job was sent");
    const Choice choice = choose(found, options.device);
    if (!choice.machine) return fail(choice.status, choice.error);
    UsbMachineLink::Opened opened = UsbMachineLink::open(usb, *choice.machine);
    if (!opened.link) return fail(exitFor(opened.failure), opened.error);
    say("machine at " + usbAddressText(*choice.machine) + ": " + choice.machine->deviceId);

    SessionLimits limits;
    limits.stallMs = std::int64_t{options.stallLimit} * 1000;
    std::optional<TracingLink> traced;
    if (trace) {
        // After several devices' ids, the trace says again which one the session speaks to.
        if (found.size() > 1) trace->device(CutterVendorId, choice.machine->productId, steadyNowMs());
        traced.emplace(*opened.link, *trace);
    }
    CutSession session(traced ? static_cast<MachineLink&>(*traced) : *opened.link, quitRequested, limits);
    if (SessionEnd e = session.waitUntilIdle(); e != SessionEnd::Done)
        return sessionFailed(e, session, limits, "waiting for the machine to be idle", limits.idleWaitMs, false);
    if (SessionEnd e = session.identify(); e != SessionEnd::Done)
        return sessionFailed(e, session, limits, "asking for its identification", limits.replyWaitMs, false);
    say("identified as \"" + session.identification() + "\" (model " + std::to_string(session.model()) + ")");

    if (session.model() < ModelJobs::First || session.model() > ModelJobs::Last)
        return fail(ExitFailure, "no job for model " + std::to_string(session.model()));
    const std::size_t k = static_cast<std::size_t>(session.model() - ModelJobs::First);
    if (!jobs.status[k].ok) return fail(ExitBadInput, jobs.status[k].error);
    // Said before the mark search moves the carriage: the identified model sets the feed limit.
    DesignFacts facts = design;
    facts.marks = jobs.marks[k];
    std::string overhang;
    if (std::string error = reportJob(options, facts, jobs.job[k], jobs.status[k].extent, std::cerr, overhang); !error.empty())
        return fail(ExitBadInput, error);
    // Cut in part only when the user said so: the machine would leave the rest out unseen.
    if (!overhang.empty() && !options.yes)
        return fail(ExitBadInput, "the job does not fit: it " + overhang + "; nothing was sent (--yes cuts what fits)");
    if (!overhang.empty()) say("the job does not fit: it " + overhang + "; cutting what fits (--yes)");
    if (!jobs.search[k].empty()) {
        say("searching the registration marks");
        const SessionEnd e = session.searchMarks(jobs.search[k], [&] { return askContinue(options); });
        // A Ctrl-C at the question is the interruption, not a No.
        if (e == SessionEnd::NotFoundDeclined && quitRequested.load())
            return sessionFailed(SessionEnd::Interrupted, session, limits, "asking whether to cut", 0, false);
        if (e != SessionEnd::Done) return sessionFailed(e, session, limits, "searching the registration marks", limits.searchWaitMs, false);
    }

    for (std::size_t other = 0; other < jobs.job.size(); ++other)
        if (other != k) std::string().swap(jobs.job[other]);
    std::string& job = jobs.job[k];
    ProgressView progress;
    const SessionEnd e = session.send(job, [&](std::size_t sent, std::size_t total) { progress(sent, total); });
    progress.end();
    if (e != SessionEnd::Done) return sessionFailed(e, session, limits, "sending the job", limits.stallMs, true);
    say("the job was sent: " + std::to_string(session.sent()) + " bytes");
    return ExitDone;
}

}  // namespace

int exitFor(UsbFailure failure) {
    switch (failure) {
        case UsbFailure::Permission: return ExitNoPermission;
        case UsbFailure::InUse: return ExitInUse;
        case UsbFailure::Other: return ExitFailure;
        default: return ExitNoMachine;
    }
}

std::unique_ptr<std::ofstream> openTraceFile(const std::string& path, std::string& error) {
    auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (*file) return file;
    error = "cannot write the trace file " + quoted(path);
    return nullptr;
}

int runList() {
    try {
        return listMachines();
    } catch (const std::exception& e) {
        return fail(ExitFailure, e.what());
    }
}

int runSend(const CutToolOptions& options, DesignTextSource& design, std::string_view designName) {
    // Outlives the link: the device is released under it.
    InterruptGuard interrupts;
    // Bad input is refused before the machine is touched, and a quit request
    // while the job is made ends the run at once.
    makingJob.store(true);
    ModelJobs jobs;
    CutToolStatus prepared, made;
    {
        PreparedCut cut;
        prepared = made = cut.prepare(options, design, designName);
        if (prepared.ok && prepared.nothingToCut.empty()) made = makeJobs(cut, jobs);
    }
    makingJob.store(false);
    if (!prepared.ok) return fail(ExitBadInput, prepared.error);
    if (!prepared.nothingToCut.empty()) return fail(ExitBadInput, prepared.nothingToCut + "; nothing was sent");
    if (!made.ok) return fail(ExitBadInput, made.error);
    for (const std::string& note : prepared.notes) std::cerr << "vantrel-cut: " << note << '\n';
    if (std::string overhang = overhangOnEveryModel(options, jobs, prepared.design); !overhang.empty() && !options.yes)
        return fail(ExitBadInput, "the job does not fit: it " + overhang + "; nothing was sent (--yes cuts what fits)");
    std::unique_ptr<std::ofstream> traceFile;
    std::optional<LinkTrace> trace;
    if (!options.trace.empty()) {
        std::string error;
        if (!(traceFile = openTraceFile(options.trace, error))) return fail(ExitBadInput, error);
        trace.emplace(*traceFile, steadyNowMs());
    }
    try {
        const int status = sendPrepared(options, jobs, prepared.design, trace ? &*trace : nullptr);
        if (trace && !trace->good()) say("the trace file " + quoted(options.trace) + " could not be written whole");
        return status;
    } catch (const std::exception& e) {
        return fail(ExitFailure, e.what());
    }
}

}  // namespace vantrel::cli
