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

PortLosses discardPortMessages(HWND window) {
    PortLosses losses;
    if (!window) return losses;
    MSG message;
    while (PeekMessageW(&message, window, WM_READER_EVENT, WM_WRITER_EVENT, PM_REMOVE)) {
        if (message.wParam == PORT_LOST) {
            (message.message == WM_READER_EVENT ? losses.reader : losses.writer) = true;
        } else if (message.message == WM_READER_EVENT && static_cast<INT_PTR>(message.wParam) >= 0) {
            takeReplyText(message.lParam);
        }
    }
    return losses;
}

void handNotificationsBack(MachinePort& port, HWND window, HWND next) {
    port.notifyTo(next);
    const PortLosses losses = discardPortMessages(window);
    if (!next) return;
    if (losses.reader) PostMessageW(next, WM_READER_EVENT, PORT_LOST, 0);
    if (losses.writer) PostMessageW(next, WM_WRITER_EVENT, PORT_LOST, 0);
}

}  // namespace vantrel::win
