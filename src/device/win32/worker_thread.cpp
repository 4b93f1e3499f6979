#include "device/win32/worker_thread.h"

#include <process.h>

namespace vantrel::win {

WorkerThread::~WorkerThread() { Stop(); }

bool WorkerThread::Start(HWND notifyWindow, UINT notifyMessage, int priority, bool waitForStart) {
    if (running_.load()) return false;
    // A thread that has ended by itself leaves its handle for us to release.
    if (thread_) awaitThreadEnd();
    if (!runEnded_) runEnded_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!runEnded_) return false;
    ResetEvent(runEnded_.get());
    notifyWindow_.store(notifyWindow);
    notifyMessage_.store(notifyMessage);
    if (waitForStart) startEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    unsigned id = 0;
    auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WorkerThread::entry, this, CREATE_SUSPENDED, &id));
    if (!handle) {
        startEvent_.reset();
        return false;
    }
    thread_.reset(handle);
    threadId_.store(id);
    running_.store(true);
    SetThreadPriority(handle, priority);
    ResumeThread(handle);
    if (startEvent_) {
        HANDLE waits[] = {startEvent_.get(), handle};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        startEvent_.reset();
    }
    return true;
}

void WorkerThread::requestStop() {
    if (!thread_) return;
    // The thread can take thread messages only once it has a queue; until
    // then keep offering the quit message rather than leave it running
    // under an object that is about to go away.
    for (;;) {
        if (PostThreadMessageW(threadId_.load(), WM_QUIT, 0, 0)) break;
        if (WaitForSingleObject(runEnded_.get(), 10) == WAIT_OBJECT_0) break;
    }
}

void WorkerThread::Stop() {
    if (!thread_) return;
    requestStop();
    awaitThreadEnd();
}

void WorkerThread::awaitThreadEnd() {
    // Run uses this object, so its end is waited for without limit; a port
    // thread's Run gives up a transfer its driver does not end, so it ends
    // within a few seconds of the quit. The system's end of the thread
    // after that is waited for only a while.
    WaitForSingleObject(runEnded_.get(), INFINITE);
    WaitForSingleObject(thread_.get(), ThreadEndLimitMs);
    thread_.reset();
}

bool WorkerThread::waitForEnd(DWORD timeoutMs) {
    if (!thread_) return true;
    return WaitForSingleObject(runEnded_.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool WorkerThread::notify(WPARAM code, LPARAM value) const {
    AcquireSRWLockExclusive(&notifyLock_);
    HWND window = notifyWindow_.load();
    const bool posted = window && IsWindow(window) && PostMessageW(window, notifyMessage_.load(), code, value);
    ReleaseSRWLockExclusive(&notifyLock_);
    return posted;
}

void WorkerThread::notifyBarrier() const {
    AcquireSRWLockExclusive(&notifyLock_);
    ReleaseSRWLockExclusive(&notifyLock_);
}

bool WorkerThread::quitRequested() {
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message == WM_QUIT) quit = true;
    return quit;
}

unsigned __stdcall WorkerThread::entry(void* self) { return static_cast<WorkerThread*>(self)->runThread(); }

unsigned WorkerThread::runThread() {
    // Posting to ourselves creates the thread's message queue; from then on
    // Stop's quit message can reach us.
    while (!PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0)) Sleep(100);
    if (startEvent_) SetEvent(startEvent_.get());
    DWORD started = GetTickCount();
    DWORD result = 1;
    try {
        result = Run();
    } catch (...) {
        result = 1;
    }
    result_.store(result);
    elapsedMs_.store(GetTickCount() - started);
    threadId_.store(0);
    running_.store(false);
    // The last use of the object: Stop may destroy it as soon as this is set.
    SetEvent(runEnded_.get());
    return result;
}

}  // namespace vantrel::win
