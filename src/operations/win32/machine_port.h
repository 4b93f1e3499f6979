#pragma once
// What the machine-assisted dialogs need of the main dialog's link to the
// cutter: the port threads' notifications while they are open, and the send
// queue. The main dialog hands one in; tests hand in their own.
#include <windows.h>

#include <memory>
#include <string_view>

namespace vantrel::win {

inline constexpr UINT WM_READER_EVENT = 3028;
inline constexpr UINT WM_WRITER_EVENT = 3029;
inline constexpr WPARAM THREAD_STARTED = static_cast<WPARAM>(-1);
inline constexpr WPARAM PORT_LOST = static_cast<WPARAM>(-2);

class MachinePort {
public:
    virtual ~MachinePort() = default;
    // Points the notifications of both port threads at `window`; their
    // messages stay WM_READER_EVENT and WM_WRITER_EVENT.
    virtual void notifyTo(HWND window) = 0;
    // Queues command text ("|" after each command) or an escape sequence.
    virtual void enqueue(std::string_view commandText) = 0;
};

// A reader's reply: the receiving window owns the zero-terminated text the
// second parameter carries (null when the message brought none).
inline std::unique_ptr<char[]> adoptReplyText(LPARAM value) {
    return std::unique_ptr<char[]>(reinterpret_cast<char*>(value));
}

}  // namespace vantrel::win
