#pragma once
// What the dialogs that work the machine while the main dialog waits (mark
// search, test cut, knife point, calibration) need of its link to the cutter:
// the port threads' notifications while they are open, and the send queue.
// Replies arrive as WM_READER_EVENT with a text the receiver frees through
// takeReplyText. The main dialog hands in its port threads through
// PortThreadsLink; tests may hand in their own.
#include <windows.h>

#include <string_view>

#include "device/win32/port_reader.h"
#include "device/win32/port_writer.h"

namespace vantrel::win {

class MachinePort {
public:
    virtual ~MachinePort() = default;
    // Points the notifications of both port threads at `window`; their
    // messages stay WM_READER_EVENT and WM_WRITER_EVENT.
    virtual void notifyTo(HWND window) = 0;
    // Queues command text ("|" after each command) or an escape sequence.
    virtual void enqueue(std::string_view commandText) = 0;
};

// The main dialog's PortReader and PortWriter.
class PortThreadsLink : public MachinePort {
public:
    PortThreadsLink(PortReader& reader, PortWriter& writer) : reader_(reader), writer_(writer) {}
    void notifyTo(HWND window) override {
        reader_.setNotifyWindow(window);
        writer_.setNotifyWindow(window);
    }
    void enqueue(std::string_view commandText) override { writer_.Enqueue(commandText); }

private:
    PortReader& reader_;
    PortWriter& writer_;
};

}  // namespace vantrel::win
