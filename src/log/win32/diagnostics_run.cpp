#include "log/win32/diagnostics_run.h"

#include "log/win32/diagnostics_log.h"
#include "support/win32/notify_messages.h"

namespace vantrel::win {

struct DiagnosticsRun::State {
    explicit State(std::wstring folder) : log(std::move(folder)) {}

    DiagnosticsLog log;
    SRWLOCK lock = SRWLOCK_INIT;  // guards the fields below
    DiscoveryChanges discovery;
    // The last channel that would not open, with its error: a channel that
    // fails the same way every second is logged once.
    std::string lastNotOpened;
    ULONGLONG jobStartTick = 0;
};

namespace {

using State = DiagnosticsRun::State;

// The running plug-in's log. Hooks take a share of it under the shared lock,
// so a port thread still finishing a transfer when the run ends never writes
// to a log that is gone.
SRWLOCK activeLock = SRWLOCK_INIT;
std::shared_ptr<State> activeState;

std::shared_ptr<State> current() {
    AcquireSRWLockShared(&activeLock);
    std::shared_ptr<State> state = activeState;
    ReleaseSRWLockShared(&activeLock);
    return state;
}

class Exclusive {
public:
    explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

private:
    SRWLOCK& lock_;
};

// The link was made or lost: what discovery finds next is news again.
void linkChanged(State& state) {
    Exclusive lock(state.lock);
    state.discovery.linkChanged();
    state.lastNotOpened.clear();
}

// Runs `event` with the active state, if any; nothing escapes a hook.
template <typename Event>
void withActive(Event&& event) noexcept {
    try {
        if (std::shared_ptr<State> state = current()) event(*state);
    } catch (...) {
    }
}

}  // namespace

DiagnosticsRun::DiagnosticsRun(const std::string& firstLine, std::wstring folder) {
    if (firstLine.empty()) return;
    try {
        state_ = std::make_shared<State>(std::move(folder));
        state_->log.write(firstLine);
    } catch (...) {
        // No log for this run; the run itself goes on.
        state_.reset();
        return;
    }
    Exclusive lock(activeLock);
    activeState = state_;
}

DiagnosticsRun::~DiagnosticsRun() {
    if (!state_) return;
    state_->log.write(runEndsText());
    {
        Exclusive lock(activeLock);
        if (activeState == state_) activeState.reset();
    }
    // The last share (ours, unless a hook is just writing) closes the log.
    state_.reset();
}

void logDiscoveryPass(const DiscoveryPass& pass) noexcept {
    withActive([&](State& state) {
        std::string text;
        {
            Exclusive lock(state.lock);
            text = state.discovery.textIfChanged(pass);
        }
        if (!text.empty()) state.log.write(text);
    });
}

void logChannelNotOpened(bool outgoing, const std::wstring& path, DWORD error) noexcept {
    withActive([&](State& state) {
        std::string text = channelNotOpenedText(outgoing, path, error);
        {
            Exclusive lock(state.lock);
            if (text == state.lastNotOpened) return;
            state.lastNotOpened = text;
        }
        state.log.write(text);
    });
}

void logConnected(const std::wstring& outgoingPath, const std::wstring& incomingPath) noexcept {
    withActive([&](State& state) {
        linkChanged(state);
        state.log.write(connectedText(outgoingPath, incomingPath));
    });
}

void logIdentificationAsked() noexcept {
    withActive([&](State& state) { state.log.write(identificationAskedText()); });
}

void logMarkSearchAnswer(std::string_view answer, std::optional<long> code) noexcept {
    withActive([&](State& state) { state.log.write(markSearchAnswerText(answer, code)); });
}

void logCommandRefused(std::size_t bytes) noexcept {
    withActive([&](State& state) { state.log.write(commandRefusedText(bytes)); });
}

void logIdentified(std::string_view identification, int model) noexcept {
    withActive([&](State& state) { state.log.write(identifiedText(identification, model)); });
}

void logDisconnected(bool connected, const char* why) noexcept {
    if (!connected) return;
    withActive([&](State& state) {
        linkChanged(state);
        state.log.write(disconnectedText(why));
    });
}

void logChannelLost(UINT notifyMessage, DWORD error) noexcept {
    withActive([&](State& state) {
        linkChanged(state);
        state.log.write(channelLostText(notifyMessage == WM_READER_EVENT, error));
    });
}

void logJobStarted(const CutJob& job, std::size_t bytes, const Resolution& resolution, float mediaWidth) noexcept {
    withActive([&](State& state) {
        {
            Exclusive lock(state.lock);
            state.jobStartTick = GetTickCount64();
        }
        state.log.write(jobStartText(job, bytes, resolution.dpiX, resolution.dpiY, mediaWidth));
    });
}

void logJobEnded(JobEnd end, std::size_t bytes) noexcept {
    withActive([&](State& state) {
        ULONGLONG started = 0;
        {
            Exclusive lock(state.lock);
            started = state.jobStartTick;
        }
        const ULONGLONG now = GetTickCount64();
        state.log.write(jobEndText(end, bytes, started != 0 && now >= started ? now - started : 0));
    });
}

void logMessageShown(const wchar_t* text) noexcept {
    if (!text) return;
    withActive([&](State& state) { state.log.write(messageShownText(text)); });
}

}  // namespace vantrel::win
