#pragma once
// Acting on the plug-in's windows from another thread, as a user or a test
// does while the host's thread sits in the plug-in's modal loop. Shared by
// the stand-in host's demo script and the Wine tests.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "support/win32/unique_handle.h"

namespace vantrel::driving {

// Polls until `condition` holds or `timeout` passes; returns the last result.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Returns once every message posted to `window`'s thread before the call
// has been dispatched. A marker is posted behind them (a thread's posted
// messages are retrieved in the order they were posted); a message hook on
// that thread sees it taken, and a message sent after that is handled at the
// thread's next retrieval, once the marker has been dispatched. (A handler
// that runs a loop of its own, like a message box, counts as done.) Two
// sends alone are not enough: every retrieval handles the sent messages
// first, so between them only one posted message is dispatched. A window of
// another process gets only that weaker flush. False when the window went
// (its queued messages with it) or its thread did not answer within `timeout`.
bool flushPostedMessages(HWND window, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Counts the ticks of one timer of `window` (of any of its timers for id 0)
// as the window's thread takes them from its queue, through a message hook
// on that thread (the window must be one of this process). A check that
// something did NOT happen waits for ticks: proof that the window's thread
// ran and its periodic work had its chances, where a fixed sleep passes as
// well on a machine that starved that thread. One counter at a time.
class TimerTicks {
public:
    TimerTicks(HWND window, UINT_PTR timerId);
    ~TimerTicks();
    TimerTicks(const TimerTicks&) = delete;
    TimerTicks& operator=(const TimerTicks&) = delete;

    bool hooked() const { return static_cast<bool>(hook_); }
    // Ticks taken since the counter was made (for a thread that pumps its own messages).
    int taken() const;
    // Waits until `ticks` more ticks than when it was called have been taken,
    // then until the window's thread has dispatched them.
    bool waitForMore(int ticks, std::chrono::milliseconds timeout);

private:
    static LRESULT CALLBACK onMessage(int code, WPARAM wParam, LPARAM lParam);

    HWND window_;
    win::UniqueHook hook_;
};

// Input as the user makes it, through the input system: it reaches the
// window that has the focus (or, with none, the active window) through
// whatever message loop runs there, the dialog manager's included, where a
// posted message would go straight to the window it names. Keys need the
// window in the foreground first (bringToFront).
void pressKey(WORD key, bool withAlt = false);
void clickAt(POINT screen);
// Makes `window` the foreground window, as a click on it would; false when
// it is not within `timeout`.
bool bringToFront(HWND window, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A window's text read with WM_GETTEXT through SendMessageTimeout, so a busy
// or hung window on another thread cannot hang the caller.
std::wstring textOf(HWND window);

// A visible dialog (class #32770) that `owner` owns: a message box or a
// dialog it opened. Null when there is none.
HWND ownedDialog(HWND owner);

// Picks a row of a drop-down list the way a mouse choice does: the list
// changes and its dialog is told.
void selectRow(HWND dialog, int listId, int row);

// One command over the simulated cutter's control pipe "<base>\.ctl": a line
// out, "ok <n>\n" and n bytes of payload back. `alive` is asked between
// attempts to open the pipe (the simulator may be between two instances of
// it); false gives up at once. True when the answer was "ok".
bool simulatorCommand(const std::wstring& base, const std::string& command, std::string* payload = nullptr,
                      const std::function<bool()>& alive = {});

}  // namespace vantrel::driving
