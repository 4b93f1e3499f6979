#pragma once
// Keeps the cutter connected while the main dialog is open: once a second it
// checks both channels and finds and opens them when they are not, polls a
// new connection until the machine is idle, asks for the identification and
// identifies the machine. It owns the two port threads (the CutterPort) and
// reports what the dialog must show or enable through ConnectionListener.
// Every operation runs on the dialog's (user-interface) thread.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "device/identification.h"
#include "device/win32/device_list.h"
#include "device/win32/discovery.h"
#include "device/win32/machine_port.h"
#include "device/win32/port_reader.h"
#include "device/win32/port_writer.h"

namespace vantrel::win {

inline constexpr UINT_PTR TIMER_CONNECT = 35;
inline constexpr UINT_PTR TIMER_STATUS_POLL = 44;
inline constexpr UINT TimerConnectMs = 1000;
inline constexpr UINT TimerStatusPollMs = 200;

class ConnectionListener {
public:
    virtual ~ConnectionListener() = default;
    // The status line under the preview; repaint it.
    virtual void showStatus(const StatusLine& status) = 0;
    // The preview stops drawing an identified machine and forgets its model
    // (the dialog keeps its own copy of the last model).
    virtual void clearIdentifiedMachine() = 0;
    // Start (9017), Calibrate DPI (9014) and Test Cut (9020).
    virtual void setMachineButtonsEnabled(bool enabled) = 0;
    // The link has gone (the buttons were just disabled): a job on its way
    // will not arrive.
    virtual void linkLost() {}
    // A machine was identified: keep `model` for the jobs and run
    // rebuildRegMarks. Called after the connected status line is shown and
    // before the buttons are enabled.
    virtual void cutterIdentified(CutterModel model, std::string_view identification) = 0;
    // The right edge of the curve-aware bounds of the dialog's design, in inches.
    virtual float designRightEdge() = 0;
    // The mat to draw; when `mat.clearCarrierMat` is set, clear the "Using
    // C&arrier Mat" check box and handle it as the user's own change.
    virtual void showMat(const MatSize& mat) = 0;
    // The preview draws an identified machine of this model.
    virtual void showIdentifiedMachine(CutterModel model) = 0;
    // The writer is about to write / has completely written a buffer of this
    // many bytes (a job, a command or a status request).
    virtual void writeBegin(std::size_t /*bytes*/) {}
    virtual void writeDone(std::size_t /*bytes*/) {}
    // A job is being prepared or sent: the machine is not identified then
    // (nor asked for its status from this thread, which a write of the whole
    // job would hold up).
    virtual bool jobInProgress() { return false; }
};

class ConnectionMonitor {
public:
    using DeviceListFactory = std::function<std::unique_ptr<DeviceList>()>;

    explicit ConnectionMonitor(ConnectionListener& listener, DeviceListFactory devices = makeSystemDeviceList);
    // Closes the channels and stops the threads if the dialog has not.
    ~ConnectionMonitor();
    ConnectionMonitor(const ConnectionMonitor&) = delete;
    ConnectionMonitor& operator=(const ConnectionMonitor&) = delete;

    // When the dialog opens: starts TIMER_CONNECT on `window`, SetConnected
    // false, starts the reader (WM_READER_EVENT) and writer (WM_WRITER_EVENT)
    // with `window` as notify window, shows "Connecting...".
    void open(HWND window);
    // The dialog's cancel path, after it has checked that no job is being
    // generated and killed its own job timer: kills TIMER_STATUS_POLL and
    // TIMER_CONNECT, Disconnect, then stops the reader and the writer.
    void closeLink();

    // Forward WM_TIMER and every message here; true when it was ours.
    bool handleTimer(UINT_PTR id);
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // One TIMER_CONNECT tick; one TIMER_STATUS_POLL tick. Discovery, and the
    // open of the channel it finds, run on a thread of its own: a check that
    // needs them starts them and goes on when they are done
    // (WM_DISCOVERY_DONE, or the next tick).
    void check();
    void pollStatus();
    void onReaderEvent(WPARAM code, LPARAM value);
    void onWriterEvent(WPARAM code, LPARAM value);

    void SetConnected(bool connected);
    // Closes both channels (the outgoing first), forgets their paths and
    // SetConnected false; the status line stays until the next check.
    void Disconnect();
    // Shows the identification (already trimmed) and chooses the model and mat.
    void IdentifyCutter(std::string_view identification);

    // Commands from this (the user-interface) thread: never waits for a
    // pending write (see PortWriter::Offer).
    Handover Enqueue(std::string_view commandText) { return writer_.Offer(commandText); }

    // Sub-dialogs that talk to the machine take both threads' notifications
    // while they are open; the dialog points them back afterwards.
    void redirectNotifications(HWND window);
    void restoreNotifications() { redirectNotifications(window_); }
    // After a sub-dialog: points the notifications back and, when a channel
    // failed while the sub-dialog had them (its thread closed the channel and
    // told only the sub-dialog), takes the link as lost (Disconnect), so that
    // the machine is found and identified anew.
    void notificationsReturned();
    // The dialog's window is going: nothing is posted to it any more, and the
    // reply texts still queued for it are freed.
    void forgetWindow();

    // Which connection each channel is (PortThread::connection); a job is
    // sent only on the link it was started on.
    struct LinkId {
        unsigned long writer = 0;
        unsigned long reader = 0;
        bool operator==(const LinkId&) const = default;
    };
    LinkId link() const { return {writer_.connection(), reader_.connection()}; }

    bool connected() const { return connected_; }
    bool awaitingIdentity() const { return awaitingIdentity_; }
    // A new connection is polled for the machine's status until it is idle.
    bool identificationPolling() const { return polling_; }
    CutterModel model() const { return model_; }
    const std::wstring& writerPath() const { return writerPath_; }
    const std::wstring& readerPath() const { return readerPath_; }
    PortReader& reader() { return reader_; }
    PortWriter& writer() { return writer_; }

private:
    // Both threads are asked to quit before either is waited for.
    void stopThreads();
    void showNotConnected();
    // The check's steps from where they stand.
    void advance();
    // What the last search found for this channel: its path (none when no
    // cutter is attached) and the channel opened there. Nothing when none was
    // looked for yet, and then a search is started.
    std::optional<Discovery::Found> found(bool outgoing);
    bool bothChannelsOpen() const { return writer_.isChannelOpen() && reader_.isChannelOpen(); }
    void onReply(std::size_t length, std::unique_ptr<char[]> text);

    ConnectionListener& listener_;
    // Joined after the port threads have stopped; its search ends by itself.
    Discovery discovery_;
    HWND window_ = nullptr;
    bool opened_ = false;
    bool connected_ = false;
    bool awaitingIdentity_ = false;
    bool polling_ = false;
    CutterModel model_ = CutterModelNone;
    std::wstring writerPath_;
    std::wstring readerPath_;
    PortReader reader_;
    PortWriter writer_;
};

}  // namespace vantrel::win
