#pragma once
// What the dialogs that work the machine while the main dialog waits (mark
// search, test cut, knife point, calibration) need of its link to the cutter:
// the port threads' notifications while they are open, and the send queue.
// Replies arrive as WM_READER_EVENT with a text the receiver frees through
// takeReplyText. The main dialog hands in its port threads through
// PortThreadsLink; tests may hand in their own.
#include <windows.h>

#include <string_view>

#include "cutdata/commands.h"
#include "device/win32/port_reader.h"
#include "device/win32/port_writer.h"

namespace vantrel::win {

class MachinePort {
public:
    virtual ~MachinePort() = default;
    // Points the notifications of both port threads at `window`; their
    // messages stay WM_READER_EVENT and WM_WRITER_EVENT. Once this returns,
    // nothing more is posted to the window they notified before.
    virtual void notifyTo(HWND window) = 0;
    // Queues command text ("|" after each command) or an escape sequence,
    // without waiting for a write still pending: a machine that takes no
    // data must not freeze the dialog, so the text is then refused.
    virtual void enqueue(std::string_view commandText) = 0;
    // The jog stop or the way home: never refused, however long the machine
    // takes nothing, and sent ahead of what waits (PortWriter::OfferFirst). A
    // link that refuses nothing may leave it to enqueue.
    virtual void enqueueFirst(std::string_view commandText) { enqueue(commandText); }
    // A status request, skipped while an earlier write is still pending.
    virtual void pollStatus() { enqueue(StatusRequest); }
};

// Points both threads' notifications at `window` and waits until a post to
// the previous window that was under way has landed in its queue.
void notifyPortThreadsTo(PortReader& reader, PortWriter& writer, HWND window);

// The main dialog's PortReader and PortWriter.
class PortThreadsLink : public MachinePort {
public:
    PortThreadsLink(PortReader& reader, PortWriter& writer) : reader_(reader), writer_(writer) {}
    void notifyTo(HWND window) override { notifyPortThreadsTo(reader_, writer_, window); }
    void enqueue(std::string_view commandText) override;
    void enqueueFirst(std::string_view commandText) override { writer_.OfferFirst(commandText); }
    void pollStatus() override { writer_.Poll(StatusRequest); }

private:
    PortReader& reader_;
    PortWriter& writer_;
};

// Which channels were reported lost.
struct PortLosses {
    bool reader = false;
    bool writer = false;
    bool any() const { return reader || writer; }
    // Notes the loss when `message` from a port thread reports one.
    bool note(UINT message, WPARAM code);
};

// Removes the port threads' messages still queued for `window`, freeing the
// reply texts they carry. Windows throws away what is queued for a window it
// destroys, and with it the texts, which belong to the receiver.
PortLosses discardPortMessages(HWND window);

// For a dialog that had the notifications, as its window goes (WM_DESTROY):
// hands them to `next` (its owner, which takes them back anyway), frees what
// was posted to `window` and never read, and passes on to `next` a lost
// channel found among it or among `heard`, the losses the dialog acted on
// itself. The owner must hear of each: the monitor may since have opened
// the failed channel again alone, under a link it never identified.
void handNotificationsBack(MachinePort& port, HWND window, HWND next, PortLosses heard = {});

}  // namespace vantrel::win
