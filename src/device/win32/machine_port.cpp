#include "device/win32/machine_port.h"

#include "log/win32/diagnostics_run.h"

namespace vantrel::win {

static_assert(WM_WRITER_EVENT == WM_READER_EVENT + 1, "one message range holds both threads' messages");

void notifyPortThreadsTo(PortReader& reader, PortWriter& writer, HWND window) {
    reader.setNotifyWindow(window);
    writer.setNotifyWindow(window);
    // Both threads read their notify window and post under their notify
    // lock: once each has been taken here, a post to the old window is either
    // in its queue or was never made.
    reader.notifyBarrier();
    writer.notifyBarrier();
}

void PortThreadsLink::enqueue(std::string_view commandText) {
    if (writer_.Offer(commandText) == Handover::Busy) logCommandRefused(commandText.size());
}

bool PortLosses::note(UINT message, WPARAM code) {
    if (code != PORT_LOST || (message != WM_READER_EVENT && message != WM_WRITER_EVENT)) return false;
    (message == WM_READER_EVENT ? reader : writer) = true;
    return true;
}

PortLosses discardPortMessages(HWND window) {
    PortLosses losses;
    if (!window) return losses;
    MSG message;
    while (PeekMessageW(&message, window, WM_READER_EVENT, WM_WRITER_EVENT, PM_REMOVE)) {
        if (!losses.note(message.message, message.wParam) && message.message == WM_READER_EVENT &&
            static_cast<INT_PTR>(message.wParam) >= 0)
            takeReplyText(message.lParam);
    }
    return losses;
}

void handNotificationsBack(MachinePort& port, HWND window, HWND next, PortLosses heard) {
    port.notifyTo(next);
    PortLosses losses = discardPortMessages(window);
    losses.reader = losses.reader || heard.reader;
    losses.writer = losses.writer || heard.writer;
    if (!next) return;
    if (losses.reader) PostMessageW(next, WM_READER_EVENT, PORT_LOST, 0);
    if (losses.writer) PostMessageW(next, WM_WRITER_EVENT, PORT_LOST, 0);
}

}  // namespace vantrel::win
