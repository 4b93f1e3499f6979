#pragma once
// The signals that ask vantrel-cut to quit (Ctrl-C, the terminating ones,
// and a closed pipe on its output), and a guard that holds them back for a scope. Every libusb call runs
// under it, so a signal is never delivered inside one: a system call of
// libusb's that it landed in could fail with EINTR, and libusb takes a failed
// reap for a failed transfer (a lost machine). Held back, the signal arrives
// as the call returns, and each call waits at most one transfer's time-out.
#include <pthread.h>
#include <signal.h>

#include <array>

namespace vantrel::cli {

inline constexpr std::array<int, 5> QuitSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

class QuitSignalsHeld {
public:
    QuitSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int s : QuitSignals) sigaddset(&held, s);
        pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    // A signal that came meanwhile is delivered here, to the handler.
    ~QuitSignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    QuitSignalsHeld(const QuitSignalsHeld&) = delete;
    QuitSignalsHeld& operator=(const QuitSignalsHeld&) = delete;

private:
    sigset_t before_{};
};

}  // namespace vantrel::cli
