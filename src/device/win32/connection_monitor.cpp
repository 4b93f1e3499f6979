#include "device/win32/connection_monitor.h"

#include "cutdata/commands.h"
#include "device/machine_replies.h"
#include "device/win32/logged_device_list.h"
#include "log/win32/diagnostics_run.h"

namespace vantrel::win {

ConnectionMonitor::ConnectionMonitor(ConnectionListener& listener, DeviceListFactory devices)
    : listener_(listener), discovery_(withDiscoveryLog(withDeviceCallLimit(std::move(devices), DeviceCallLimitMs))) {}

ConnectionMonitor::~ConnectionMonitor() {
    // The threads must not outlive the dialog's window. The listener (often
    // the dialog itself) may already be half destroyed here, so it is not
    // told anything.
    if (opened_) {
        writer_.closeChannel();
        reader_.closeChannel();
        stopThreads();
    }
}

void ConnectionMonitor::stopThreads() {
    reader_.requestStop();
    writer_.requestStop();
    reader_.Stop();
    writer_.Stop();
}

void ConnectionMonitor::open(HWND window) {
    window_ = window;
    opened_ = true;
    SetTimer(window, TIMER_CONNECT, TimerConnectMs, nullptr);
    SetConnected(false);
    reader_.Start(window, WM_READER_EVENT, THREAD_PRIORITY_NORMAL, false);
    writer_.Start(window, WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, false);
    listener_.showStatus(connectingStatus());
}

void ConnectionMonitor::closeLink() {
    if (window_) {
        KillTimer(window_, TIMER_STATUS_POLL);
        KillTimer(window_, TIMER_CONNECT);
    }
    logDisconnected(connected_, "the dialog was closed");
    Disconnect();
    // A channel a search opened after the last check goes with the link.
    discovery_.take();
    stopThreads();
    opened_ = false;
}

bool ConnectionMonitor::handleTimer(UINT_PTR id) {
    if (id == TIMER_CONNECT) {
        check();
        return true;
    }
    if (id == TIMER_STATUS_POLL) {
        pollStatus();
        return true;
    }
    return false;
}

bool ConnectionMonitor::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_READER_EVENT) {
        onReaderEvent(wParam, lParam);
        return true;
    }
    if (message == WM_WRITER_EVENT) {
        onWriterEvent(wParam, lParam);
        return true;
    }
    if (message == WM_DISCOVERY_DONE) {
        if (opened_ && !discovery_.searching()) advance();
        return true;
    }
    return false;
}

void ConnectionMonitor::showNotConnected() {
    listener_.showStatus(notConnectedStatus());
    listener_.clearIdentifiedMachine();
}

void ConnectionMonitor::check() {
    // Connected, yet a channel is closed: it failed while a sub-dialog had the
    // notifications. Reopening it alone would leave the machine unidentified
    // at "Connecting..."; the link is lost and found again instead.
    if (connected_ && !bothChannelsOpen()) Disconnect();
    // A search still under way (a device slow to answer) is waited for by
    // the next tick, never here.
    if (!discovery_.searching()) advance();
}

std::optional<Discovery::Found> ConnectionMonitor::found(bool outgoing) {
    std::optional<Discovery::Found> found = discovery_.take();
    if (found && found->outgoing == outgoing) return found;
    // Not looked for yet: look, and go on when the search is done.
    discovery_.start(outgoing, window_);
    return std::nullopt;
}

void ConnectionMonitor::advance() {
    if (writerPath_.empty() || !writer_.isChannelOpen()) {
        auto result = found(true);
        if (!result) {
            showNotConnected();
            return;
        }
        if (!result->path) {
            SetConnected(false);
            Disconnect();
            return;
        }
        writerPath_ = *result->path;
        // Opened beside the dialog, bounded as discovery's calls are: a
        // driver that never answers the open leaves the dialog answering.
        if (!writer_.takeChannel(std::move(result->channel))) {
            logChannelNotOpened(true, writerPath_, result->openError);
            SetConnected(false);
            Disconnect();
            return;
        }
        listener_.showStatus(connectingStatus());
    }
    if (!readerPath_.empty() && reader_.isChannelOpen()) {
        SetConnected(true);
        return;
    }
    auto result = found(false);
    if (!result) {
        showNotConnected();
        return;
    }
    if (!result->path) {
        SetConnected(false);
        Disconnect();
        return;
    }
    readerPath_ = *result->path;
    if (reader_.takeChannel(std::move(result->channel))) {
        listener_.showStatus(connectingStatus());
        SetConnected(true);
        logConnected(writerPath_, readerPath_);
    } else {
        logChannelNotOpened(false, readerPath_, result->openError);
        SetConnected(false);
        Disconnect();
    }
}

void ConnectionMonitor::pollStatus() {
    // Skipped while the last request is still pending: a machine that takes
    // no data is not asked again until it does.
    if (connected_ && polling_ && !listener_.jobInProgress()) writer_.Poll(StatusRequest);
}

void ConnectionMonitor::SetConnected(bool connected) {
    if (connected && !connected_ && window_) {
        SetTimer(window_, TIMER_STATUS_POLL, TimerStatusPollMs, nullptr);
        polling_ = true;
    }
    connected_ = connected;
    if (!connected) {
        listener_.setMachineButtonsEnabled(false);
        listener_.linkLost();
    }
}

void ConnectionMonitor::Disconnect() {
    writer_.closeChannel();
    reader_.closeChannel();
    writerPath_.clear();
    readerPath_.clear();
    // An identification asked of the lost link is not expected any more;
    // the next connection asks again once the machine is idle.
    awaitingIdentity_ = false;
    polling_ = false;
    SetConnected(false);
}

void ConnectionMonitor::onReaderEvent(WPARAM code, LPARAM value) {
    if (code == THREAD_STARTED) return;
    if (code == PORT_LOST) {
        Disconnect();
        return;
    }
    if (static_cast<INT_PTR>(code) < 0) return;
    onReply(static_cast<std::size_t>(code), takeReplyText(value));
}

void ConnectionMonitor::onReply(std::size_t length, std::unique_ptr<char[]> text) {
    if (!text) return;
    std::string_view reply(text.get(), length);
    if (isStatusReply(reply)) {
        // Only an answer to our own polling ends it. A second idle answer
        // (polls that crossed it) or a late one to a sub-dialog's status
        // request must not ask again: in the middle of a job that would
        // enable Start and queue "FG|" behind the whole job on this thread.
        if (isBusyReply(reply) || !polling_ || listener_.jobInProgress()) return;
        CommandStream identify;
        identify.identify();
        // Not handed over (the link went, or a write is still pending):
        // polling goes on, and the next idle answer asks again.
        if (writer_.Offer(identify.text()) != Handover::Placed) return;
        if (window_) KillTimer(window_, TIMER_STATUS_POLL);
        polling_ = false;
        awaitingIdentity_ = true;
        logIdentificationAsked();
    } else if (length >= 2 && awaitingIdentity_) {
        awaitingIdentity_ = false;
        IdentifyCutter(trimReply(reply));
    }
}

void ConnectionMonitor::onWriterEvent(WPARAM code, LPARAM value) {
    if (code == PORT_LOST)
        Disconnect();
    else if (code == WRITE_BEGIN)
        listener_.writeBegin(static_cast<std::size_t>(value));
    else if (code == WRITE_DONE)
        listener_.writeDone(static_cast<std::size_t>(value));
}

void ConnectionMonitor::IdentifyCutter(std::string_view identification) {
    listener_.showStatus(connectedStatus(identification));
    model_ = modelFromIdentification(identification);
    logIdentified(identification, model_);
    listener_.cutterIdentified(model_, identification);
    listener_.setMachineButtonsEnabled(true);
    listener_.showMat(matSizeFor(model_, listener_.designRightEdge()));
    listener_.showIdentifiedMachine(model_);
}

void ConnectionMonitor::redirectNotifications(HWND window) { notifyPortThreadsTo(reader_, writer_, window); }

void ConnectionMonitor::notificationsReturned() {
    restoreNotifications();
    if (connected_ && !bothChannelsOpen()) Disconnect();
}

void ConnectionMonitor::forgetWindow() {
    if (!window_) return;
    redirectNotifications(nullptr);
    discardPortMessages(window_);
    window_ = nullptr;
}

}  // namespace vantrel::win
