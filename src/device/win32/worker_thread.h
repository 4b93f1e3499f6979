#pragma once
// Base of the plug-in's worker threads (reader, writer, cut-data generator).
// A worker reaches the user interface only by posting its notify message to
// its notify window; both may be changed while the thread runs.
#include <windows.h>

#include <atomic>

#include "support/win32/notify_messages.h"
#include "support/win32/unique_handle.h"

namespace vantrel::win {

// Notify codes in the first parameter; a reader's reply carries its length
// (0 or more) instead.
inline constexpr WPARAM THREAD_STARTED = static_cast<WPARAM>(-1);
inline constexpr WPARAM PORT_LOST = static_cast<WPARAM>(-2);
inline constexpr WPARAM WRITE_BEGIN = static_cast<WPARAM>(-3);
inline constexpr WPARAM WRITE_DONE = static_cast<WPARAM>(-4);

// Every wait of a worker is a loop of steps this long, so that a closed
// channel or a quit request takes effect at once.
inline constexpr DWORD WorkerStepMs = 25;

// How long Stop waits for the system to end a thread whose Run has returned.
// When a thread exits, Windows cancels the I/O it issued and gives a driver
// five minutes to complete a cancelled request before it lets the request go
// (driver documentation, "Canceling IRPs"); nothing of ours runs on the
// thread by then.
inline constexpr DWORD ThreadEndLimitMs = 1000;

class WorkerThread {
public:
    WorkerThread() = default;
    // Stops the thread before any member of a derived class goes away; a
    // derived class whose Run uses its own members must call Stop in its own
    // destructor too.
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread; false at once, changing nothing, while it runs.
    // With `waitForStart` returns only once the thread is up.
    virtual bool Start(HWND notifyWindow, UINT notifyMessage, int priority, bool waitForStart);
    // Asks the thread to quit and waits until its Run has returned, and for
    // the end of the thread itself at most ThreadEndLimitMs more.
    void Stop();
    // Only asks the thread to quit. Threads that are all asked first and then
    // stopped give up their transfers side by side, so the slowest one's
    // time-out is waited for once rather than each in turn.
    void requestStop();
    // Waits up to `timeoutMs` for the thread's Run to end on its own.
    bool waitForEnd(DWORD timeoutMs);

    bool isRunning() const { return running_.load(); }
    DWORD threadId() const { return threadId_.load(); }
    HWND notifyWindow() const { return notifyWindow_.load(); }
    void setNotifyWindow(HWND window) { notifyWindow_.store(window); }
    UINT notifyMessage() const { return notifyMessage_.load(); }
    // Returns once a post under way to the notify window read before it has
    // landed in that window's queue: after setNotifyWindow and this, nothing
    // more reaches the previous window. Never waits for a transfer.
    void notifyBarrier() const;
    void setNotifyMessage(UINT message) { notifyMessage_.store(message); }
    DWORD result() const { return result_.load(); }
    DWORD elapsedMs() const { return elapsedMs_.load(); }

protected:
    virtual DWORD Run() = 0;

    // Posts to the notify window when it still exists; false when dropped.
    // Each post reads the window and posts under the notify lock.
    bool notify(WPARAM code, LPARAM value) const;
    // Empties the thread's message queue; true when a quit message was in it.
    static bool quitRequested();

private:
    static unsigned __stdcall entry(void* self);
    unsigned runThread();
    void awaitThreadEnd();

    // The object keeps the thread handle until it has waited for the end or
    // starts anew, so Stop never waits on a handle that is already closed.
    UniqueHandle thread_;
    UniqueHandle startEvent_;
    // Manual-reset, set by the thread as the last thing it does with this
    // object: from then on the object may go, whether or not the thread has
    // ended yet.
    UniqueHandle runEnded_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> running_{false};
    std::atomic<HWND> notifyWindow_{nullptr};
    std::atomic<UINT> notifyMessage_{0};
    std::atomic<DWORD> result_{0};
    std::atomic<DWORD> elapsedMs_{0};
    // Held only from reading the notify window until its post is made.
    mutable SRWLOCK notifyLock_ = SRWLOCK_INIT;
};

// A Win32 mutex held for a scope. Kernel mutexes hand ownership to a waiting
// thread on release, which is what lets the user-interface thread in between
// a worker's release and retake.
class MutexLock {
public:
    explicit MutexLock(HANDLE mutex) : mutex_(mutex) { acquire(); }
    ~MutexLock() { release(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    void acquire() {
        if (!held_) {
            WaitForSingleObject(mutex_, INFINITE);
            held_ = true;
        }
    }
    void release() {
        if (held_) {
            ReleaseMutex(mutex_);
            held_ = false;
        }
    }
    // Lets a waiting thread take the lock, then takes it again.
    void yield() {
        release();
        acquire();
    }

private:
    HANDLE mutex_;
    bool held_ = false;
};

}  // namespace vantrel::win
